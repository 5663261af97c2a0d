"""Walks a Flash (SWF) file's header and tag stream; used by checks of movies we write."""

import struct
import zlib


class SwfError(Exception):
    pass


def read(data):
    """Gives (header dict, [(code, body)]) or raises SwfError for anything malformed."""
    if len(data) < 8 or data[:3] not in (b"FWS", b"CWS"):
        raise SwfError("no SWF signature")
    version = data[3]
    length = struct.unpack_from("<I", data, 4)[0]
    if data[:3] == b"CWS":
        body = zlib.decompress(data[8:])
        data = data[:8] + body
    if length != len(data):
        raise SwfError("declared length %d, file %d" % (length, len(data)))
    nbits = data[8] >> 3
    rect_bytes = (5 + 4 * nbits + 7) // 8
    pos = 8 + rect_bytes
    if pos + 4 > len(data):
        raise SwfError("truncated header")
    rate, frames = struct.unpack_from("<HH", data, pos)
    pos += 4
    tags = []
    while True:
        if pos + 2 > len(data):
            raise SwfError("tag header past the end at %d" % pos)
        code_len = struct.unpack_from("<H", data, pos)[0]
        pos += 2
        code, size = code_len >> 6, code_len & 0x3F
        if size == 0x3F:
            if pos + 4 > len(data):
                raise SwfError("long tag header past the end")
            size = struct.unpack_from("<I", data, pos)[0]
            pos += 4
        if pos + size > len(data):
            raise SwfError("tag %d of %d bytes runs past the end" % (code, size))
        tags.append((code, data[pos:pos + size]))
        pos += size
        if code == 0:
            break
    if pos != len(data):
        raise SwfError("End tag at %d, file length %d" % (pos, len(data)))
    header = {"signature": data[:3].decode(), "version": version, "length": length,
              "rect_bits": nbits, "frame_rate": rate / 256.0, "frame_count": frames}
    return header, tags
