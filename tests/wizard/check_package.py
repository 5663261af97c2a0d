"""A package built by the wizard, read with python3-pefile: one entry per slot under 1033,
the screen saver inside the installer carrying the movie byte for byte.

    check_package.py OUTPUT_DIR INSTALLER [MOVIE] [DISPLAY_NAME]"""

import os
import sys
import tempfile
import unittest

import pe_resources

OUT = sys.argv.pop(1)
INSTALLER = sys.argv.pop(1)
MOVIE = sys.argv.pop(1) if len(sys.argv) > 1 and not sys.argv[1].startswith("-") else "movie.swf"
NAME = sys.argv.pop(1) if len(sys.argv) > 1 and not sys.argv[1].startswith("-") else "Sky"


def strings(block):
    """The 16 texts of a string-table block."""
    texts, at = [], 0
    for _ in range(16):
        count = int.from_bytes(block[at:at + 2], "little")
        texts.append(block[at + 2:at + 2 + 2 * count].decode("utf-16-le"))
        at += 2 + 2 * count
    assert at == len(block), "no bytes after the sixteenth entry"
    return texts


def slots(path):
    found = {}
    for t, n, lang, data in pe_resources.entries(path):
        found.setdefault((t, n), []).append((lang, data))
    return found


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.installer = slots(os.path.join(OUT, INSTALLER))
        saver = cls.installer[("SCR", "101")][0][1]
        with tempfile.NamedTemporaryFile(suffix=".scr", delete=False) as f:
            f.write(saver)
        cls.saver = slots(f.name)
        os.unlink(f.name)

    def test_installer_slots(self):
        self.assertEqual([1033], [lang for lang, _ in self.installer[("SCR", "101")]])
        self.assertEqual([1033], [lang for lang, _ in self.installer[("6", "1")]])
        texts = strings(self.installer[("6", "1")][0][1])
        self.assertEqual("", texts[0])
        self.assertRegex(texts[1], r"^qmv\d{5}$")
        self.assertEqual(NAME, texts[2])
        self.assertEqual([""] * 13, texts[3:])

    def test_saver_inside_carries_the_movie(self):
        with open(os.path.join(OUT, MOVIE), "rb") as f:
            movie = f.read()
        self.assertEqual([1033], [lang for lang, _ in self.saver[("SWF", "202")]])
        self.assertEqual(movie, self.saver[("SWF", "202")][0][1])
        self.assertEqual([1033], [lang for lang, _ in self.saver[("6", "1")]])
        self.assertEqual(["", NAME] + [""] * 14, strings(self.saver[("6", "1")][0][1]))


if __name__ == "__main__":
    unittest.main()
