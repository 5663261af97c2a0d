"""An update through the resource update layer replaces the stub's movie: one entry,
under 1033, holding the source file byte for byte (read with python3-pefile)."""

import os
import sys
import unittest

import pe_resources

OUT = sys.argv.pop(1)


class UpdatedStub(unittest.TestCase):
    def test_one_movie_entry_under_1033(self):
        with open(os.path.join(OUT, "movie.swf"), "rb") as f:
            movie = f.read()
        found = [(lang, data) for t, n, lang, data in
                 pe_resources.entries(os.path.join(OUT, "updated.scr")) if (t, n) == ("SWF", "202")]
        self.assertEqual([1033], [lang for lang, _ in found])
        self.assertEqual(movie, found[0][1])


if __name__ == "__main__":
    unittest.main()
