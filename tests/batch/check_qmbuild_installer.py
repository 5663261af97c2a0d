"""The installer qmbuild made, read with python3-pefile: one screen saver under 1033 that
carries the movie byte for byte and the display name, and the installer's own strings."""

import os
import re
import sys
import tempfile
import unittest

import pe_resources

OUT = sys.argv.pop(1)


def strings(block):
    """The 16 counted UTF-16LE strings of one string-table block."""
    result, at = [], 0
    for _ in range(16):
        count = int.from_bytes(block[at:at + 2], "little")
        result.append(block[at + 2:at + 2 + 2 * count].decode("utf-16-le"))
        at += 2 + 2 * count
    return result


def slot(path, type_name, name):
    return [(lang, data) for t, n, lang, data in pe_resources.entries(path)
            if (t, n) == (type_name, name)]


class QmbuildInstaller(unittest.TestCase):
    def setUp(self):
        self.installer = os.path.join(OUT, "installer.exe")
        with open(os.path.join(OUT, "movie.swf"), "rb") as f:
            self.movie = f.read()

    def test_installer_strings_name_a_stem_and_the_display_name(self):
        found = slot(self.installer, "6", "1")
        self.assertEqual([1033], [lang for lang, _ in found])
        texts = strings(found[0][1])
        self.assertRegex(texts[1], re.compile(r"^qmv\d{5}$"))
        self.assertEqual("Ocean Waves", texts[2])

    def test_the_nested_screen_saver_carries_movie_and_name(self):
        found = slot(self.installer, "SCR", "101")
        self.assertEqual([1033], [lang for lang, _ in found])
        with tempfile.TemporaryDirectory() as tmp:
            saver = os.path.join(tmp, "saver.scr")
            with open(saver, "wb") as f:
                f.write(found[0][1])
            movies = slot(saver, "SWF", "202")
            self.assertEqual([1033], [lang for lang, _ in movies])
            self.assertEqual(self.movie, movies[0][1])
            names = slot(saver, "6", "1")
            self.assertEqual([1033], [lang for lang, _ in names])
            self.assertEqual("Ocean Waves", strings(names[0][1])[1])


if __name__ == "__main__":
    unittest.main()
