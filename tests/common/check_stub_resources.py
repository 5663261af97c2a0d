"""Every slot of the delivered stubs is there exactly once, under language 1033, as an
independent PE reader (python3-pefile) sees them."""

import collections
import os
import sys
import tempfile
import unittest

import pe_resources

BIN, GENERATED = sys.argv.pop(1), sys.argv.pop(1)


def slots(path):
    table = collections.defaultdict(list)
    for t, n, lang, data in pe_resources.entries(path):
        table[(t, n)].append((lang, data))
    return table


class StubResources(unittest.TestCase):
    def setUp(self):
        with open(os.path.join(GENERATED, "default.swf"), "rb") as f:
            self.movie = f.read()

    def assertSlot(self, table, key):
        self.assertIn(key, table)
        self.assertEqual([1033], [lang for lang, _ in table[key]], key)
        return table[key][0][1]

    def check_saver(self, path):
        table = slots(path)
        self.assertEqual(self.movie, self.assertSlot(table, ("SWF", "202")))
        self.assertSlot(table, ("6", "1"))   # string block 1
        self.assertSlot(table, ("6", "9"))   # error messages 129-134
        self.assertSlot(table, ("5", "2003"))
        self.assertSlot(table, ("14", "100"))
        self.assertSlot(table, ("16", "1"))

    def test_template(self):
        self.check_saver(os.path.join(BIN, "template.scr"))

    def test_setup_and_its_payload(self):
        table = slots(os.path.join(BIN, "setup.ex_"))
        payload = self.assertSlot(table, ("SCR", "101"))
        self.assertSlot(table, ("6", "1"))
        self.assertSlot(table, ("6", "3"))   # messages 43-47
        self.assertSlot(table, ("14", "103"))
        with open(os.path.join(GENERATED, "payload.scr"), "rb") as f:
            self.assertEqual(f.read(), payload)
        with tempfile.NamedTemporaryFile(suffix=".scr") as f:
            f.write(payload)
            f.flush()
            self.check_saver(f.name)

    def test_wizard(self):
        table = slots(os.path.join(BIN, "qmwizard.exe"))
        for key in [("5", "1232"), ("5", "1233"), ("5", "1234"), ("5", "202"),
                    ("2", "203"), ("14", "128"), ("16", "1"), ("24", "1")]:
            self.assertSlot(table, key)


if __name__ == "__main__":
    unittest.main()
