#!/usr/bin/env python3
"""A small VP6 encoder for tests: synthetic pictures coded as VP6 keyframes and inter
frames (every macroblock mode, vectors short and long and off the picture, golden frames,
both sub-pixel filter kinds and the loop filter, one or two partitions, model updates),
with an alpha stream for VP6A. Writes the clip as an FLV (which ffmpeg decodes as the
reference) and as a SWF movie (DefineVideoStream + VideoFrame tags, through swfwriter).

The encoder is open loop (residuals against the source, not a reconstruction): the
pictures drift a little, which is no matter, since ours and ffmpeg's decoders read the
same bits.

Usage: vp6writer.py OUT_BASE WIDTH HEIGHT FRAMES [option=value ...]
  alpha=1        VP6 with an alpha stream (codec 5)
  gop=N          a keyframe every N frames (default 4)
  q=N            quantiser 0..63 (default 20)
  sub=N          sub-version 6..8 (default 8)
  filter=0|1|2   sub-pixel filter mode: bilinear, four-tap, adaptive (default 1)
  loop=0|1       loop filter in inter frames (default 1)
  split=0|1      coefficients in their own partition (default 0)
  huffman=0|1    Huffman-coded coefficients (in their own partition; default 0)
  updates=0|1    probability and scan-order updates (default 1)
  filter_header=0|1  keyframes carry the filter settings (default 1; without, coefficients
                 always get their own partition)
  rate=N         frames a second of the movie (default 10)
  modes=LIST     inter macroblock modes to cycle through (default all: 0..9)
  detail=N       DCT coefficients per side computed (1..8, default 4)
  motion=X,Y     the vector most macroblocks use, in quarter pixels (default 5,3)
  jitter=0|1     vectors spread around that one and some long ones (default 1)
  seed=N
Writes OUT_BASE.flv and OUT_BASE.swf."""

import os
import random
import re
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import swfwriter  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TABLES = os.path.join(HERE, '..', 'player', 'core', 'video', 'vp6_tables.cpp')


def load_tables():
    """The format's constants, read from the decoder's own table file: a wrong constant
    there shows as a mismatch against ffmpeg all the same."""
    text = open(TABLES).read()
    text = re.sub(r'#define ALL255 (\{[^}]*\})', '', text)
    all255 = '{' + ', '.join(['255'] * 11) + '}'
    text = text.replace('ALL255', all255)
    tables = {}
    for m in re.finditer(r'const [\w:]+ (k\w+)(?:\[\d*\])+ = (\{.*?\});', text, re.S):
        tables[m.group(1)] = eval(m.group(2).replace('{', '[').replace('}', ']'))
    return tables


T = load_tables()
INTER_NOVEC, INTRA, INTER_DELTA, INTER_NEAR, INTER_NEARER = 0, 1, 2, 3, 4
GOLD_NOVEC, GOLD_DELTA, INTER_FOUR, GOLD_NEAR, GOLD_NEARER = 5, 6, 7, 8, 9
PREVIOUS, CURRENT, GOLDEN, NONE = 1, 0, 2, -1
REF_OF = [PREVIOUS, CURRENT, PREVIOUS, PREVIOUS, PREVIOUS, GOLDEN, GOLDEN, PREVIOUS, GOLDEN, GOLDEN]
NORM = [0] * 256
for _i in range(1, 256):
    _n = 0
    while (_i << _n) < 128:
        _n += 1
    NORM[_i] = _n


class BoolEncoder:
    """The range coder's writer: carries propagate into bytes already written."""

    def __init__(self):
        self.out = bytearray()
        self.low = 0
        self.range = 255
        self.count = -24

    def bit(self, bit, prob=128):
        split = 1 + (((self.range - 1) * prob) >> 8)
        if bit:
            self.low += split
            self.range -= split
        else:
            self.range = split
        shift = NORM[self.range]
        self.range <<= shift
        self.count += shift
        if self.count >= 0:
            offset = shift - self.count
            if (self.low << (offset - 1)) & 0x80000000:
                x = len(self.out) - 1
                while x >= 0 and self.out[x] == 0xFF:
                    self.out[x] = 0
                    x -= 1
                self.out[x] += 1
            self.out.append((self.low >> (24 - offset)) & 0xFF)
            self.low = (self.low << offset) & 0xFFFFFF
            shift = self.count
            self.count -= 8
        self.low = (self.low << shift) & 0xFFFFFFFF

    def bits(self, value, n):
        for i in range(n - 1, -1, -1):
            self.bit((value >> i) & 1)

    def prob(self, p):
        """A 7-bit probability update; returns the probability the decoder will use."""
        self.bits(p >> 1, 7)
        return max(1, (p >> 1) << 1)

    def tree(self, tree, probs, value):
        path = tree_path(tree, value)
        for node, b in path:
            self.bit(b, probs[tree[node][1]])

    def finish(self):
        for _ in range(32):
            self.bit(0)
        return bytes(self.out)


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def bits(self, value, n):
        for i in range(n - 1, -1, -1):
            self.acc = self.acc << 1 | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                self.acc = self.n = 0

    def finish(self):
        self.bits(0, 32)
        if self.n:
            self.bits(0, 8 - self.n)
        return bytes(self.out)


def huffman_codes(probs, mapping, symbols):
    """symbol -> (code, length), as the decoder builds its tree from the probabilities."""
    inner = [256] + [0] * 11
    counts = [0] * symbols
    for i in range(symbols - 1):
        for k, w in enumerate((inner[i] * probs[i] >> 8, inner[i] * (255 - probs[i]) >> 8)):
            to = mapping[2 * i + k]
            if to < symbols:
                counts[to] = max(1, w)
            else:
                inner[to - symbols] = max(1, w)
    nodes = sorted(([c, s, -1] for s, c in enumerate(counts)), key=lambda n: (n[0], -n[1]))
    i = 0
    while i + 1 < 2 * symbols - 1:
        nodes.append([nodes[i][0] + nodes[i + 1][0], -1, i])
        j = len(nodes) - 1
        while j > 0:
            a, b = nodes[j], nodes[j - 1]
            if a[0] > b[0] or (a[0] == b[0] and (a[2] in (j - 1, j - 2) or (a[1] >= 0 and b[1] >= 0))):
                break
            nodes[j], nodes[j - 1] = b, a
            j -= 1
        i += 2
    codes = {}

    def walk(n, code, length):
        if nodes[n][1] >= 0:
            codes[nodes[n][1]] = (code, length)
        else:
            walk(nodes[n][2], code << 1, length + 1)
            walk(nodes[n][2] + 1, code << 1 | 1, length + 1)
    walk(2 * symbols - 2, 0, 0)
    return codes


def tree_path(tree, value, node=0):
    nxt = tree[node][0]
    if nxt <= 0:
        return [] if -nxt == value else None
    for b, child in ((0, node + 1), (1, node + nxt)):
        rest = tree_path(tree, value, child)
        if rest is not None:
            return [(node, b)] + rest
    return None


# --- Transform ------------------------------------------------------------------------

import math  # noqa: E402

COS = [[(math.sqrt(0.125) if u == 0 else 0.5) * math.cos((2 * x + 1) * u * math.pi / 16)
        for x in range(8)] for u in range(8)]


def fdct(block, detail):
    """Orthonormal 2-D DCT of 64 samples (row-major), to frequency `detail` per side."""
    rows = [[sum(COS[u][x] * block[y * 8 + x] for x in range(8)) for u in range(detail)]
            for y in range(8)]
    out = [0.0] * 64
    for v in range(detail):
        for u in range(detail):
            out[v * 8 + u] = sum(COS[v][y] * rows[y][u] for y in range(8))
    return out


# --- Pictures ------------------------------------------------------------------------


def synthetic(width, height, n, alpha=False):
    """Moving gradients, a bar and a checker: edges and flat parts, moving by a known
    amount each frame."""
    y = bytearray(width * height)
    for j in range(height):
        for i in range(width):
            x0, y0 = i + 3 * n, j + 2 * n
            v = (x0 * 2 + y0) % 200 + 20
            if ((x0 // 8) + (y0 // 8)) % 5 == 0:
                v = 230 if (x0 // 4 + y0 // 4) % 2 else 30
            if abs(i - (width // 2 + 5 * n) % width) < 3:
                v = 250
            y[j * width + i] = v
    cw, ch = (width + 1) // 2, (height + 1) // 2
    u = bytearray((i * 3 + j + n * 4) % 256 for j in range(ch) for i in range(cw))
    v = bytearray((255 - i - j * 2 + n * 3) % 256 for j in range(ch) for i in range(cw))
    a = None
    if alpha:
        a = bytearray(
            255 if (i - width // 2) ** 2 + (j - height // 2) ** 2 < (min(width, height) // 2 - n) ** 2
            else (i * 255 // max(1, width - 1)) // 2 for j in range(height) for i in range(width))
    return y, u, v, a


def pad_plane(plane, w, h, cw, ch):
    """A plane of w x h extended to cw x ch by repeating its last row and column."""
    out = bytearray(cw * ch)
    for j in range(ch):
        sj = min(j, h - 1)
        row = plane[sj * w:(sj + 1) * w]
        out[j * cw:j * cw + w] = row
        out[j * cw + w:(j + 1) * cw] = bytes([row[-1]]) * (cw - w)
    return out


# --- The encoder --------------------------------------------------------------------


class Stream:
    def __init__(self, cols, rows, opts, rng):
        self.cols, self.rows = cols, rows
        self.o = opts
        self.rng = rng
        self.sub = opts['sub']
        self.mbs = [(INTRA, (0, 0))] * (cols * rows)
        self.cand_pos = 0
        self.prev_src = self.golden_src = None
        self.filter_header = 6

    # Models, as the decoder keeps them.
    def order_tables(self):
        idx = [0]
        for band in range(16):
            for pos in range(1, 64):
                if self.reorder[pos] == band and len(idx) < 64:
                    idx.append(pos)
        self.index_to_pos = idx

    def default_models(self):
        self.vshort = [0xA2, 0xA4]
        self.vsign = [0x80, 0x80]
        self.stats = [[list(p) for p in ctx] for ctx in T['kModeStatsDefault']]
        self.vlong = [list(r) for r in T['kFdvDefault']]
        self.vtree = [list(r) for r in T['kPdvDefault']]
        self.run = [list(r) for r in T['kRunDefault']]
        self.reorder = list(T['kReorderDefault'])
        self.order_tables()

    def maybe_update(self, rc, update_prob, current, chance):
        """Codes an update flag; returns the new probability or None."""
        if self.o['updates'] and self.rng.random() < chance:
            rc.bit(1, update_prob)
            return rc.prob(self.rng.randrange(2, 256))
        rc.bit(0, update_prob)
        return None

    def mode_models(self, rc):
        for ctx in range(3):
            preset = self.o['updates'] and self.rng.random() < 0.3
            rc.bit(int(preset), 174)
            if preset:
                k = self.rng.randrange(16)
                rc.bits(k, 4)
                self.stats[ctx] = [list(p) for p in T['kModeStatsPresets'][k][ctx]]
            deltas = self.o['updates'] and self.rng.random() < 0.3
            rc.bit(int(deltas), 254)
            if deltas:
                for t in range(10):
                    for i in range(2):
                        change = self.rng.random() < 0.2
                        rc.bit(int(change), 205)
                        if change:
                            neg = self.rng.random() < 0.5 and self.stats[ctx][t][i] > 30
                            rc.bit(int(neg))
                            d = self.rng.choice([4, 8, 12, 16, 20, 24, 0])
                            rc.tree(T['kModeDeltaTree'], T['kModeDeltaProbs'], d)
                            if d == 0:
                                r = self.rng.randrange(1, 8)
                                rc.bits(r, 7)
                                d = 4 * r
                            self.stats[ctx][t][i] = (self.stats[ctx][t][i] + (-d if neg else d)) & 255
        self.mode_probs = []
        for ctx in range(3):
            s = self.stats[ctx]
            w = [100 * s[t][1] for t in range(10)]
            per = []
            for t in range(10):
                same, other = s[t]
                p = [0] * 10
                p[0] = 255 - (255 * same) // (1 + same + other)
                w[t] = 0
                w02, w34, w17 = w[0] + w[2], w[3] + w[4], w[1] + w[7]
                w56, w89 = w[5] + w[6], w[8] + w[9]
                w0234, w5689 = w02 + w34, w56 + w89
                w156789 = w17 + w5689
                p[1] = 1 + 255 * w0234 // (1 + w0234 + w156789)
                p[2] = 1 + 255 * w02 // (1 + w0234)
                p[3] = 1 + 255 * w17 // (1 + w156789)
                p[4] = 1 + 255 * w[0] // (1 + w02)
                p[5] = 1 + 255 * w[3] // (1 + w34)
                p[6] = 1 + 255 * w[1] // (1 + w17)
                p[7] = 1 + 255 * w56 // (1 + w5689)
                p[8] = 1 + 255 * w[5] // (1 + w56)
                p[9] = 1 + 255 * w[8] // (1 + w89)
                w[t] = 100 * other
                per.append([x & 255 for x in p])
            self.mode_probs.append(per)

    def vector_models(self, rc):
        for c in range(2):
            v = self.maybe_update(rc, T['kSigDctUpdate'][c][0], self.vshort[c], 0.3)
            if v is not None:
                self.vshort[c] = v
            v = self.maybe_update(rc, T['kSigDctUpdate'][c][1], self.vsign[c], 0.3)
            if v is not None:
                self.vsign[c] = v
        for c in range(2):
            for node in range(7):
                v = self.maybe_update(rc, T['kPdvUpdate'][c][node], 0, 0.1)
                if v is not None:
                    self.vtree[c][node] = v
        for c in range(2):
            for node in range(8):
                v = self.maybe_update(rc, T['kFdvUpdate'][c][node], 0, 0.1)
                if v is not None:
                    self.vlong[c][node] = v

    def coefficient_models(self, rc, key):
        last = [0x80] * 11
        if key:
            self.dc = [[0x80] * 11, [0x80] * 11]
            self.ac = [[[[0x80] * 11 for _ in range(6)] for _ in range(3)] for _ in range(2)]
        for pt in range(2):
            for node in range(11):
                v = self.maybe_update(rc, T['kDcUpdate'][pt][node], 0, 0.5 if key else 0.1)
                if v is not None:
                    last[node] = v
                    self.dc[pt][node] = v
                elif key:
                    self.dc[pt][node] = last[node]
        reorder = self.o['updates'] and self.rng.random() < 0.5
        rc.bit(int(reorder))
        if reorder:
            for pos in range(1, 64):
                change = self.rng.random() < 0.2
                rc.bit(int(change), T['kReorderUpdate'][pos])
                if change:
                    self.reorder[pos] = self.rng.randrange(16)
                    rc.bits(self.reorder[pos], 4)
            self.order_tables()
        for cg in range(2):
            for node in range(14):
                v = self.maybe_update(rc, T['kRunUpdate'][cg][node], 0, 0.1)
                if v is not None:
                    self.run[cg][node] = v
        for ct in range(3):
            for pt in range(2):
                for cg in range(6):
                    for node in range(11):
                        v = self.maybe_update(rc, T['kAcUpdate'][ct][pt][cg][node], 0,
                                              0.3 if key else 0.05)
                        if v is not None:
                            last[node] = v
                            self.ac[pt][ct][cg][node] = v
                        elif key:
                            self.ac[pt][ct][cg][node] = last[node]
        self.dc_ctx = [[[min(255, max(1, ((self.dc[pt][node] * T['kDcContext'][ctx][node][0] + 128) >> 8)
                                       + T['kDcContext'][ctx][node][1]))
                         for node in range(5)] for ctx in range(3)] for pt in range(2)]

    # Macroblock modes and vectors.
    def neighbours(self, row, col, ref):
        found = [(0, 0), (0, 0)]
        n = 0
        for pos, (dx, dy) in enumerate(T['kNeighbourMbs']):
            x, y = col + dx, row + dy
            if not (0 <= x < self.cols and 0 <= y < self.rows):
                continue
            mode, mv = self.mbs[y * self.cols + x]
            if REF_OF[mode] != ref or mv == found[0] or mv == (0, 0):
                continue
            found[n] = mv
            n += 1
            if n > 1:
                n = -1
                break
            self.cand_pos = pos
        self.cands = found
        return n + 1

    def vector_delta(self, rc, target):
        base = self.cands[0] if self.cand_pos < 2 else (0, 0)
        for c in range(2):
            d = target[c] - base[c]
            a = abs(d)
            assert a < 256
            if a < 8:
                rc.bit(0, self.vshort[c])
                rc.tree(T['kVectorTree'], self.vtree[c], a)
            else:
                rc.bit(1, self.vshort[c])
                for j in (0, 1, 2, 7, 6, 5, 4):
                    rc.bit((a >> j) & 1, self.vlong[c][j])
                if a & 0xF0:
                    rc.bit((a >> 3) & 1, self.vlong[c][3])
                else:
                    assert a & 8
            if d:
                rc.bit(int(d < 0), self.vsign[c])
        return target

    def choose_vector(self, row, col, n):
        gx, gy = self.o['motion']
        if not self.o['jitter']:
            return (gx, gy)
        r = self.rng.random()
        if r < 0.15:  # long, and off the picture at the edges
            return (self.rng.randrange(-120, 120), self.rng.randrange(-90, 90))
        return (gx + self.rng.randrange(-3, 4), gy + self.rng.randrange(-3, 4))

    def code_mode(self, rc, row, col, n, mode_prev):
        ctx = self.neighbours(row, col, PREVIOUS)
        modes = self.o['modes']
        mode = modes[(row * 7 + col * 3 + n * 5 + self.rng.randrange(3)) % len(modes)]
        probs = self.mode_probs[ctx][mode_prev]
        if mode == mode_prev:
            rc.bit(1, probs[0])
        else:
            rc.bit(0, probs[0])
            rc.tree(T['kModeTree'], probs, mode)
        mvs = None
        if mode == INTER_NEAR:
            mv = self.cands[0]
        elif mode == INTER_NEARER:
            mv = self.cands[1]
        elif mode in (GOLD_NEAR, GOLD_NEARER, GOLD_DELTA):
            self.neighbours(row, col, GOLDEN)
            mv = self.cands[0] if mode == GOLD_NEAR else self.cands[1]
            if mode == GOLD_DELTA:
                mv = self.vector_delta(rc, self.choose_vector(row, col, n))
        elif mode == INTER_DELTA:
            mv = self.vector_delta(rc, self.choose_vector(row, col, n))
        elif mode == INTER_FOUR:
            kinds = [self.rng.randrange(4) for _ in range(4)]
            for k in kinds:
                rc.bits(k, 2)
            mvs = []
            for k in kinds:
                if k == 0:
                    mvs.append((0, 0))
                elif k == 1:
                    mvs.append(self.vector_delta(rc, self.choose_vector(row, col, n)))
                else:
                    mvs.append(self.cands[k - 2])
            mv = mvs[3]
        else:
            mv = (0, 0)
        self.mbs[row * self.cols + col] = (mode, mv)
        if mvs is None:
            mvs = [mv] * 4
        return mode, mvs

    # Coefficients.
    def code_block(self, tc, b, levels):
        """levels: 64 values in coded order (index 0 the DC difference)."""
        pt = 1 if b > 3 else 0
        left, above = self.left[(0, 0, 1, 1, 2, 3)[b]], self.above[self.above_idx[b]]
        values = self.dc[pt]
        tokens = self.dc_ctx[pt][left[0] + above[0]]
        ct = 1
        idx = 0
        nz = [i for i in range(64) if levels[i]]
        lastnz = nz[-1] if nz else -1
        while idx < 64:
            v = levels[idx]
            if v == 0:
                if idx > 0 and idx > lastnz:
                    tc.bit(0, tokens[0])
                    tc.bit(0, tokens[1])
                    break
                tc.bit(0, tokens[0])
                run = 1
                if idx > 0:
                    tc.bit(1, tokens[1])
                    run = 0
                    while levels[idx + run] == 0:
                        run += 1
                    probs = self.run[1 if idx >= 6 else 0]
                    if run <= 8:
                        tc.tree(T['kRunTree'], probs, run)
                    else:
                        tc.tree(T['kRunTree'], probs, 0)
                        for i in range(6):
                            tc.bit(((run - 9) >> i) & 1, probs[i + 8])
                ct = 0
                idx += run
            else:
                if not (idx > 1 and ct == 0):
                    tc.bit(1, tokens[0])
                a = abs(v)
                if a == 1:
                    tc.bit(0, tokens[2])
                    ct = 1
                else:
                    tc.bit(1, tokens[2])
                    if a <= 4:
                        tc.bit(0, tokens[3])
                        if a == 2:
                            tc.bit(0, tokens[4])
                        else:
                            tc.bit(1, tokens[4])
                            tc.bit(a - 3, values[5])
                    else:
                        tc.bit(1, tokens[3])
                        cat = max(c for c in range(6) if T['kCategoryBase'][c + 5] <= a)
                        tc.tree(T['kTokenTree'], values, cat)
                        extra = a - T['kCategoryBase'][cat + 5]
                        for i in range(T['kCategoryBits'][cat], -1, -1):
                            tc.bit((extra >> i) & 1, T['kCategoryProbs'][cat][i])
                    ct = 2
                tc.bit(int(v < 0))
                idx += 1
            if idx < 64:
                values = tokens = self.ac[pt][ct][T['kCoeffGroup'][idx]]
        nonzero = int(levels[0] != 0)
        left[0] = above[0] = nonzero

    def dc_predict(self, b, ref, dc_level):
        """The DC difference to code for a block whose DC level should be dc_level."""
        left, above = self.left[(0, 0, 1, 1, 2, 3)[b]], self.above[self.above_idx[b]]
        count, dc = 0, 0
        for ctx in (left, above):
            if ctx[1] == ref:
                dc += ctx[2]
                count += 1
        plane = (0, 0, 0, 0, 1, 2)[b]
        if count == 0:
            dc = self.prev_dc[plane][ref]
        elif count == 2:
            dc = int(dc / 2)
        for ctx in (left, above):
            ctx[1], ctx[2] = ref, dc_level
        self.prev_dc[plane][ref] = dc_level
        return dc_level - dc

    def encode(self, src, n, key, q):
        """src: padded (y, u, v) at the coded size. Returns the frame's bytes."""
        o = self.o
        cols, rows = self.cols, self.rows
        split = o['split'] or o['huffman']
        hdr = bytearray([(0 if key else 0x80) | (q << 1) | int(split)])
        if key:
            self.filter_header = 6 if o['filter_header'] else 0
            hdr.append((self.sub << 3) | self.filter_header)
        has_offset = split or self.filter_header == 0 or o['huffman']
        rc = BoolEncoder()
        tc = BoolEncoder() if has_offset else rc
        golden = False
        if key:
            rc.bits(0, 2)
            filter_info = self.filter_header != 0
        else:
            golden = (n % 3) == 1
            rc.bit(int(golden))
            filter_info = False
            if self.filter_header:
                rc.bit(o['loop'])
                if o['loop']:
                    rc.bit(0)
                if self.sub > 7:
                    filter_info = n % 2 == 0
                    rc.bit(int(filter_info))
        if filter_info:
            mode = o['filter']
            if mode == 2:
                rc.bit(1)
                rc.bits(3, 5)  # variance threshold
                rc.bits(3, 3)  # longest vector filtered: 16 quarter pixels
            else:
                rc.bit(0)
                rc.bit(mode)
            if self.sub > 7:
                rc.bits(n % 17 if n % 17 < 16 else 7, 4)
        rc.bit(o['huffman'])  # how the tokens are coded
        if key:
            self.default_models()
            self.mbs = [(INTRA, (0, 0))] * (cols * rows)
        else:
            self.mode_models(rc)
            self.vector_models(rc)
        self.coefficient_models(rc, key)
        acq = T['kAcDequant'][q]
        dcq = T['kDcDequant'][q]
        self.prev_dc = [[0, 0, 0], [128, 0, 0], [128, 0, 0]]
        self.above = [[0, NONE, 0] for _ in range(4 * cols + 6)]
        self.above[2 * cols + 2][1] = CURRENT
        self.above[3 * cols + 4][1] = CURRENT
        mode_prev = INTER_NOVEC
        detail = o['detail']
        blocks = []  # (plane type, levels) for the Huffman partition
        for row in range(rows):
            self.left = [[0, NONE, 0] for _ in range(4)]
            self.above_idx = [1, 2, 1, 2, 2 * cols + 3, 3 * cols + 5]
            for col in range(cols):
                if key:
                    mode, mvs = INTRA, [(0, 0)] * 4
                else:
                    mode, mvs = self.code_mode(rc, row, col, n, mode_prev)
                    mode_prev = mode
                ref = REF_OF[mode]
                ref_src = self.golden_src if ref == GOLDEN else self.prev_src
                for b in range(6):
                    if b < 4:
                        plane, stride, ph = src[0], cols * 16, rows * 16
                        bx, by = col * 16 + (b & 1) * 8, row * 16 + (b >> 1) * 8
                        mv = mvs[b]
                        div = 4
                    else:
                        plane, stride, ph = src[b - 3], cols * 8, rows * 8
                        bx, by = col * 8, row * 8
                        sx, sy = sum(m[0] for m in mvs), sum(m[1] for m in mvs)
                        mv = (int(sx / 4), int(sy / 4))
                        div = 8
                    block = [plane[(by + j) * stride + bx + i] for j in range(8) for i in range(8)]
                    if mode == INTRA:
                        pred = [128] * 64
                    else:
                        rp = ref_src[0] if b < 4 else ref_src[b - 3]
                        ox, oy = round(mv[0] / div), round(mv[1] / div)
                        pred = [rp[min(ph - 1, max(0, by + j + oy)) * stride
                                   + min(stride - 1, max(0, bx + i + ox))]
                                for j in range(8) for i in range(8)]
                    coef = fdct([block[k] - pred[k] for k in range(64)], detail)
                    levels = [0] * 64
                    for idx in range(1, 64):
                        pos = T['kZigzag'][self.index_to_pos[idx]]
                        levels[idx] = int(round(coef[pos] / acq))
                    dc_level = int(round(coef[0] / dcq))
                    levels[0] = self.dc_predict(b, ref, dc_level)
                    if o['huffman']:
                        blocks.append((1 if b > 3 else 0, levels))
                    else:
                        self.code_block(tc, b, levels)
                for b in range(4):
                    self.above_idx[b] += 2
                self.above_idx[4] += 1
                self.above_idx[5] += 1
        first = rc.finish()
        if key:
            dims = bytes([rows, cols, rows, cols])
        else:
            dims = b''
        if has_offset:
            tokens = self.huffman_tokens(blocks) if o['huffman'] else tc.finish()
            hdr += struct.pack('>H', len(hdr) + 2 + len(dims) + len(first))
            return bytes(hdr) + dims + first + tokens
        return bytes(hdr) + dims + first

    def huffman_tokens(self, blocks):
        m = T['kHuffTokenMap']
        dc = [huffman_codes(self.dc[pt], m, 12) for pt in range(2)]
        runs = [huffman_codes(self.run[pt], T['kHuffRunMap'], 9) for pt in range(2)]
        ac = [[[huffman_codes(self.ac[pt][ct][cg], m, 12) for cg in range(4)] for ct in range(3)]
              for pt in range(2)]
        w = BitWriter()

        def put(codes, sym):
            w.bits(*codes[sym])

        def following(i, pt, empty):
            n = 0
            for pt2, lv in blocks[i + 1:]:
                if pt2 != pt:
                    continue
                if not empty(lv) or n == 73:
                    break
                n += 1
            if n < 2:
                w.bits(n, 2)
            elif n < 6:
                w.bits(2, 2)
                w.bits(n - 2, 2)
            elif n < 10:
                w.bits(6, 3)
                w.bits(n - 6, 2)
            else:
                w.bits(7, 3)
                w.bits(n - 10, 6)
            return n

        skip = [[0, 0], [0, 0]]
        for i, (pt, levels) in enumerate(blocks):
            codes = dc[pt]
            ct = idx = 0
            while True:
                run = 1
                if idx < 2 and skip[idx][pt]:
                    skip[idx][pt] -= 1
                    if idx == 1:
                        break
                else:
                    v = levels[idx]
                    rest = any(levels[idx + 1:])
                    if v == 0 and (idx == 0 or rest):
                        put(codes, 0)
                        if idx:
                            run = 0
                            while levels[idx + run] == 0:
                                run += 1
                            table = runs[1 if idx >= 6 else 0]
                            put(table, min(run, 9) - 1)
                            if run >= 9:
                                w.bits(run - 9, 6)
                        else:
                            skip[0][pt] = following(i, pt, lambda lv: lv[0] == 0)
                        ct = 0
                    elif v == 0:
                        put(codes, 11)
                        if idx == 1:
                            skip[1][pt] = following(i, pt, lambda lv: not any(lv[1:]))
                        break
                    else:
                        a = abs(v)
                        tok = a if a <= 4 else 5 + max(c for c in range(6) if T['kCategoryBase'][c + 5] <= a)
                        put(codes, tok)
                        if tok > 4:
                            w.bits(a - T['kCategoryBase'][tok], tok - 4 if tok <= 9 else 11)
                        w.bits(int(v < 0), 1)
                        ct = 2 if a > 1 else 1
                idx += run
                if idx >= 64:
                    break
                codes = ac[pt][ct][min(T['kCoeffGroup'][idx], 3)]
        return w.finish()

    def keep(self, src, key, golden_flag):
        if key or golden_flag:
            self.golden_src = src
        self.prev_src = src


def flv(frames, width, height, alpha, rate):
    out = bytearray(b'FLV\x01\x01\x00\x00\x00\x09\x00\x00\x00\x00')
    crop = bytes([((-width) % 16) << 4 | ((-height) % 16)])
    for i, (data, key) in enumerate(frames):
        body = bytes([(1 if key else 2) << 4 | (5 if alpha else 4)]) + crop + data
        ts = int(i * 1000 / rate)
        out += bytes([9]) + struct.pack('>I', len(body))[1:] + struct.pack('>I', ts)[1:]
        out += bytes([(ts >> 24) & 0xFF, 0, 0, 0]) + body
        out += struct.pack('>I', 11 + len(body))
    return bytes(out)


def swf(frames, width, height, alpha, rate):
    tags = [swfwriter.define_video_stream(1, len(frames), width, height, 5 if alpha else 4)]
    tags.append(swfwriter.place_object2(1, character=1, ratio=0))
    tags.append(swfwriter.show_frame())
    for i, (data, _) in enumerate(frames):
        tags.append(swfwriter.video_frame(1, i, data))
        if i:
            tags.append(swfwriter.place_object2(1, ratio=i, move=True))
            tags.append(swfwriter.show_frame())
    tags.append(swfwriter.end())
    return swfwriter.movie(tags, width * 20, height * 20, rate, len(frames), version=8)


def encode_clip(width, height, count, opts):
    rng = random.Random(opts['seed'])
    cols, rows = (width + 15) // 16, (height + 15) // 16
    colour = Stream(cols, rows, opts, rng)
    mask = Stream(cols, rows, opts, rng) if opts['alpha'] else None
    frames = []
    for n in range(count):
        y, u, v, a = synthetic(width, height, n, opts['alpha'])
        cw, ch = (width + 1) // 2, (height + 1) // 2
        src = (pad_plane(y, width, height, cols * 16, rows * 16),
               pad_plane(u, cw, ch, cols * 8, rows * 8), pad_plane(v, cw, ch, cols * 8, rows * 8))
        key = n % opts['gop'] == 0
        q = opts['q'] if key else min(63, opts['q'] + n % 5)
        data = colour.encode(src, n, key, q)
        colour.keep(src, key, not key and n % 3 == 1)
        if mask is not None:
            asrc = (pad_plane(a, width, height, cols * 16, rows * 16), bytes([128]) * (cols * rows * 64),
                    bytes([128]) * (cols * rows * 64))
            adata = mask.encode(asrc, n, key, q)
            mask.keep(asrc, key, not key and n % 3 == 1)
            data = struct.pack('>I', len(data))[1:] + data + adata
        frames.append((data, key))
    return frames


def main():
    base, width, height, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    opts = {'alpha': 0, 'gop': 4, 'q': 20, 'sub': 8, 'filter': 1, 'loop': 1, 'split': 0,
            'updates': 1, 'huffman': 0, 'modes': list(range(10)), 'detail': 4, 'seed': 1, 'motion': (5, 3), 'jitter': 1,
            'filter_header': 1, 'rate': 10}
    for arg in sys.argv[5:]:
        k, v = arg.split('=')
        if k == 'modes':
            opts[k] = [int(x) for x in v.split(',')]
        elif k == 'motion':
            opts[k] = tuple(int(x) for x in v.split(','))
        else:
            opts[k] = int(v)
    frames = encode_clip(width, height, count, opts)
    with open(base + '.flv', 'wb') as f:
        f.write(flv(frames, width, height, opts['alpha'], opts['rate']))
    with open(base + '.swf', 'wb') as f:
        f.write(swf(frames, width, height, opts['alpha'], opts['rate']))


if __name__ == '__main__':
    main()
