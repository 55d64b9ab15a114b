"""Export through the vrmangr command (VRMANGR_TOOL, else the one on the
PATH), checked by the video elementary stream it writes."""

import os
import shutil
import tempfile
import unittest

import vrmangr
from vrmangr import Disc, VrmError

DATA = os.environ.get("VRMANGR_TEST_DATA", os.path.join(os.path.dirname(__file__), "../../../tests/data"))
PAL = os.path.join(DATA, "pal_mpeg2_mp2_4x3.vob")


def video_stream(path: str) -> bytes:
    """The payload of the MPEG video PES packets (stream 0xE0) of a program
    stream, in order."""
    with open(path, "rb") as f:
        data = f.read()
    out, i = bytearray(), 0
    while True:
        i = data.find(b"\x00\x00\x01", i)
        if i < 0 or i + 6 > len(data):
            return bytes(out)
        sid = data[i + 3]
        if sid == 0xBA:  # pack header, MPEG-2 (with stuffing) or MPEG-1
            i += 14 + (data[i + 13] & 7) if data[i + 4] >> 6 == 1 else 12
        elif sid < 0xBB:
            i += 1
        else:
            length = int.from_bytes(data[i + 4:i + 6], "big")
            if sid == 0xE0:
                out += data[i + 9 + data[i + 8]:i + 6 + length]
            i += 6 + length


@unittest.skipUnless(os.environ.get("VRMANGR_TOOL") or shutil.which("vrmangr"), "the vrmangr command is not here")
class ExportTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)
        self.disc = os.path.join(self.dir, "disc")
        with Disc.create(self.disc) as disc:
            disc.add_recording(PAL)
            disc.save()

    def test_a_program_keeps_its_video_and_refusals_carry_the_sentence(self):
        out = os.path.join(self.dir, "p.mpg")
        with Disc.open(self.disc) as disc:
            self.assertEqual(disc.export(out, program=1), "")
        source = video_stream(PAL)
        self.assertGreater(len(source), 200000)
        self.assertEqual(video_stream(out), source)

        with self.assertRaises(VrmError) as caught:
            vrmangr.export(self.disc, out, program=1)
        self.assertEqual((caught.exception.code, str(caught.exception)), (1, out + " exists; give --force to replace it."))
        vrmangr.export(self.disc, out, program=1, format="mpg", audio="copy", force=True)
        self.assertEqual(video_stream(out), source)

        with self.assertRaises(VrmError) as caught:
            vrmangr.export(self.disc, os.path.join(self.dir, "none.mkv"), playlist=1)
        self.assertIn("there is no playlist 1", str(caught.exception))
        self.assertFalse(os.path.exists(os.path.join(self.dir, "none.mkv")))
        with self.assertRaises(ValueError):
            vrmangr.export(self.disc, out, program=1, playlist=1)


if __name__ == "__main__":
    unittest.main()
