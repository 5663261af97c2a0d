#!/usr/bin/env python3
"""Repacks an FLV's video into a SWF movie (DefineVideoStream and one VideoFrame a frame,
through swfwriter), for codecs ffmpeg encodes but does not put into SWF itself (Screen
Video 2). The FLV's frame-type byte is left out, as SWF movies have none.
Usage: flv2swf.py IN.flv OUT.swf WIDTH HEIGHT [RATE]"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import swfwriter  # noqa: E402


def main():
    data = open(sys.argv[1], 'rb').read()
    width, height = int(sys.argv[3]), int(sys.argv[4])
    rate = float(sys.argv[5]) if len(sys.argv) > 5 else 10
    pos = struct.unpack('>I', data[5:9])[0] + 4
    frames, codec = [], 0
    while pos + 11 <= len(data):
        kind = data[pos]
        size = struct.unpack('>I', b'\0' + data[pos + 1:pos + 4])[0]
        body = data[pos + 11:pos + 11 + size]
        pos += 11 + size + 4
        if kind == 9 and body:
            codec = body[0] & 15
            frames.append(body[1:])
    tags = [swfwriter.define_video_stream(1, len(frames), width, height, codec)]
    for i, frame in enumerate(frames):
        tags.append(swfwriter.video_frame(1, i, frame))
        tags.append(swfwriter.place_object2(1, character=1 if i == 0 else None, ratio=i, move=i > 0))
        tags.append(swfwriter.show_frame())
    tags.append(swfwriter.end())
    with open(sys.argv[2], 'wb') as f:
        f.write(swfwriter.movie(tags, width * 20, height * 20, rate, len(frames), version=8))


main()
