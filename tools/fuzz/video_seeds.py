#!/usr/bin/env python3
"""Seeds for the video fuzz targets: the video frames of SWF movies (written by ffmpeg)
in the targets' input form: width/8, height/8, then each frame as a 16-bit big-endian length
and its bytes. Usage: video_seeds.py OUT_DIR MOVIE.swf..."""
import os
import struct
import sys
import zlib


def tags(body, pos):
    while pos + 2 <= len(body):
        head = struct.unpack_from('<H', body, pos)[0]
        pos += 2
        code, length = head >> 6, head & 63
        if length == 63:
            length = struct.unpack_from('<I', body, pos)[0]
            pos += 4
        yield code, body[pos:pos + length]
        pos += length
        if code == 0:
            return


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for path in sys.argv[2:]:
        data = open(path, 'rb').read()
        if data[:3] == b'CWS':
            data = data[:8] + zlib.decompress(data[8:])
        bits = data[8] >> 3
        start = 8 + (5 + 4 * bits + 7) // 8 + 4
        size, frames = b'', []
        for code, body in tags(data, start):
            if code == 60:
                w, h = struct.unpack_from('<HH', body, 4)
                size = bytes([min(255, w // 8), min(255, h // 8)])
            elif code == 61 and len(body) - 4 < 65536:
                frames.append(struct.pack('>H', len(body) - 4) + body[4:])
        name = os.path.splitext(os.path.basename(path))[0]
        with open(os.path.join(out, name), 'wb') as f:
            f.write(size + b''.join(frames[:6]))


main()
