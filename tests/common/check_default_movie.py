"""The default movie is a well-formed, uncompressed version 5 Flash movie."""

import sys
import unittest

import swfreader

with open(sys.argv.pop(1), "rb") as f:
    DATA = f.read()


class DefaultMovie(unittest.TestCase):
    def test_header_and_tag_stream(self):
        header, tags = swfreader.read(DATA)
        self.assertEqual("FWS", header["signature"])
        self.assertEqual(5, header["version"])
        self.assertEqual(len(DATA), header["length"])
        self.assertGreater(header["frame_rate"], 0)
        codes = [code for code, _ in tags]
        self.assertEqual(0, codes[-1], "the stream ends with End")
        self.assertEqual(1, codes.count(0))
        self.assertEqual(header["frame_count"], codes.count(1), "ShowFrame per frame")
        self.assertIn(9, codes, "a background colour")
        self.assertIn(2, codes, "a shape")
        # The shape is placed once and then moved: later placements carry no character.
        places = [body for code, body in tags if code == 26]
        self.assertEqual(header["frame_count"], len(places))
        self.assertTrue(places[0][0] & 0x02)
        self.assertTrue(all(p[0] & 0x01 and not p[0] & 0x02 for p in places[1:]))
        self.assertGreater(len(set(places[1:])), 2, "the shape moves")


if __name__ == "__main__":
    unittest.main()
