"""A package built by the wizard, read with python3-pefile: one entry per slot under 1033,
the screen saver inside the installer carrying the movie byte for byte.

    check_package.py OUTPUT_DIR INSTALLER [MOVIE [DISPLAY_NAME]]"""

import os
import sys
import tempfile
import unittest

import pe_resources

OUT, INSTALLER, MOVIE, NAME = sys.argv[1:] + [None, None, "movie.swf", "Sky"][len(sys.argv) - 1:]
del sys.argv[1:]


def slots(path):
    """Each (type, name) with its list of (language, bytes)."""
    found = {}
    for t, n, lang, data in pe_resources.entries(path):
        found.setdefault((t, n), []).append((lang, data))
    return found


def only_1033(found, slot):
    assert [lang for lang, _ in found[slot]] == [1033], slot
    return found[slot][0][1]


class Package(unittest.TestCase):
    def test_installer_and_the_saver_inside(self):
        installer = slots(os.path.join(OUT, INSTALLER))
        texts = pe_resources.string_block(only_1033(installer, ("6", "1")))
        self.assertRegex(texts[1], r"^qmv\d{5}$")
        self.assertEqual(["", texts[1], NAME] + [""] * 13, texts)
        with tempfile.NamedTemporaryFile(suffix=".scr", delete=False) as f:
            f.write(only_1033(installer, ("SCR", "101")))
        saver = slots(f.name)
        os.unlink(f.name)
        with open(os.path.join(OUT, MOVIE), "rb") as f:
            self.assertEqual(f.read(), only_1033(saver, ("SWF", "202")))
        self.assertEqual(["", NAME] + [""] * 14, pe_resources.string_block(only_1033(saver, ("6", "1"))))


if __name__ == "__main__":
    unittest.main()
