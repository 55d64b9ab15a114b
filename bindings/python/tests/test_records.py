"""The package's ctypes records are the C header's: _records.py is what
gen_records.py makes of platform/records.h (the records of the C
header) today."""

import os
import sys
import unittest

_ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..")
_HEADER = os.path.join(_ROOT, "platform", "records.h")
sys.path.insert(0, os.path.join(_ROOT, "bindings", "python"))


@unittest.skipUnless(os.path.exists(_HEADER), "runs in the source tree")
class RecordsTest(unittest.TestCase):
    def test_records_follow_the_c_header(self):
        import gen_records
        import vrmangr._records as records
        with open(_HEADER, encoding="utf-8") as f:
            header = f.read()
        wanted = gen_records.module(header)
        with open(records.__file__, encoding="utf-8") as f:
            self.assertEqual(f.read(), wanted,
                             "platform/records.h changed: run bindings/python/gen_records.py platform/records.h "
                             "> bindings/python/vrmangr/_records.py")
        # Every record of the header is read, nested records and pointers
        # included.
        self.assertEqual(len(gen_records.records(header)), header.count("typedef struct"))
        self.assertIs(dict(records.vrm_pg_info._fields_)["EntrySeg"], records.vrm_seg)


if __name__ == "__main__":
    unittest.main()
