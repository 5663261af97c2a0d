"""The installer qmbuild made, read with python3-pefile: its strings name a stem and the
display name, and its one screen saver carries the movie byte for byte and the name, all
under 1033."""

import os
import re
import sys
import tempfile
import unittest

import pe_resources

OUT = sys.argv.pop(1)


class QmbuildInstaller(unittest.TestCase):
    def only(self, path, type_name, name):
        found = [(lang, data) for t, n, lang, data in pe_resources.entries(path)
                 if (t, n) == (type_name, name)]
        self.assertEqual([1033], [lang for lang, _ in found], (type_name, name))
        return found[0][1]

    def test_installer_and_its_screen_saver(self):
        installer = os.path.join(OUT, "installer.exe")
        texts = pe_resources.string_block(self.only(installer, "6", "1"))
        self.assertRegex(texts[1], re.compile(r"^qmv\d{5}$"))
        self.assertEqual("Ocean Waves", texts[2])
        with tempfile.TemporaryDirectory() as tmp:
            saver = os.path.join(tmp, "saver.scr")
            with open(saver, "wb") as f:
                f.write(self.only(installer, "SCR", "101"))
            with open(os.path.join(OUT, "movie.swf"), "rb") as f:
                self.assertEqual(f.read(), self.only(saver, "SWF", "202"))
            self.assertEqual("Ocean Waves", pe_resources.string_block(self.only(saver, "6", "1"))[1])


if __name__ == "__main__":
    unittest.main()
