"""check and repair on real discs made from the committed samples: the
findings as data, what a dry run leaves alone, and the library's sentence of
what it refuses."""

import os
import shutil
import tempfile
import unittest

from vrmangr import Disc, VrmError, check, repair

DATA = os.environ.get("VRMANGR_TEST_DATA", os.path.join(os.path.dirname(__file__), "../../../tests/data"))
PAL = os.path.join(DATA, "pal_mpeg2_mp2_4x3.vob")
LPCM = os.path.join(DATA, "pal_mpeg2_lpcm_16x9.vob")
STILL = os.path.join(DATA, "still_pal_2pictures.vob")


def _read(path):
    with open(path, "rb") as f:
        return f.read()


class CheckTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)
        with Disc.create(self.dir) as disc:
            disc.add_recording(PAL)
            disc.add_still_pictures(STILL)
            disc.save()

    def path(self, name):
        return os.path.join(self.dir, name)

    def files(self):
        return {name: _read(self.path(name)) for name in sorted(os.listdir(self.dir))}

    def test_a_sound_disc_has_no_findings(self):
        report = check(self.dir, every_unit=True, deep=True)
        self.assertEqual((report.findings, report.damaged, report.read_from, report.identical, report.cells),
                         ([], False, "VR_MANGR.IFO", True, 2))
        self.assertEqual(repair(self.dir)[0].kind, "nothing")

    def test_the_deep_check_names_damaged_sectors_by_their_bytes(self):
        # Two sectors of noise inside the recording; the sampled reads of
        # the plain check miss them.
        with open(self.path("VR_MOVIE.VRO"), "r+b") as f:
            f.seek(100 * 2048)
            f.write(b"\xa5" * 4096)
        before = self.files()
        self.assertEqual(check(self.dir).findings, [])
        report = check(self.dir, deep=True)
        self.assertEqual(self.files(), before)
        self.assertTrue(report.damaged)
        self.assertEqual([(f.severity, f.kind, f.file, f.start, f.end, f.text) for f in report.findings],
                         [("damage", "damaged sectors", "VR_MOVIE.VRO", 204800, 208896,
                           "VR_MOVIE.VRO: VOB 1: bytes 204800..208896 of VR_MOVIE.VRO (about 0:00:01.1 into it) "
                           "are damaged: no MPEG pack header where one belongs.")])

    def test_a_stale_bup_a_temp_file_and_trailing_data_are_found_and_repaired(self):
        stale = _read(self.path("VR_MANGR.BUP"))
        with Disc.open(self.dir) as disc:
            disc.add_recording(LPCM)
            disc.save()
        with open(self.path("VR_MANGR.BUP"), "wb") as f:
            f.write(stale)
        still_end = os.path.getsize(self.path("VR_STILL.VRO"))
        with open(self.path("VR_STILL.VRO"), "ab") as f:
            f.write(b"\x5a" * 4100)
        with open(self.path("VR_MANGR.IFO.tmp-Ab12Cd"), "wb") as f:
            f.write(b"half a save")

        report = check(self.dir)
        self.assertTrue(report.damaged)
        self.assertEqual([(f.severity, f.kind, f.file, f.start, f.end) for f in report.findings],
                         [("damage", "copies differ", "", None, None),
                          ("warning", "trailing", "VR_STILL.VRO", still_end, still_end + 4100),
                          ("warning", "temp file", "VR_MANGR.IFO.tmp-Ab12Cd", 0, 11)])
        self.assertIn("VR_MANGR.IFO describes more recorded data", report.findings[0].text)
        self.assertEqual(report.findings[2].text, "VR_MANGR.IFO.tmp-Ab12Cd (11 bytes) is a leftover of an "
                                                  "interrupted save.")
        self.assertEqual((report.restore_from, report.leftovers), ("VR_MANGR.IFO", True))
        self.assertTrue(report.restore_why.startswith("VR_MANGR.IFO describes more recorded data: "))

        before = self.files()
        planned = repair(self.dir, dry_run=True)
        self.assertEqual(self.files(), before)
        done = repair(self.dir)
        self.assertEqual([(a.kind, a.file, a.start, a.end) for a in done],
                         [("restore", "VR_MANGR.BUP", None, None),
                          ("trim", "VR_STILL.VRO", still_end, still_end + 4100),
                          ("remove", "VR_MANGR.IFO.tmp-Ab12Cd", None, None)])
        self.assertEqual([a.done for a in planned + done], [False] * 3 + [True] * 3)
        self.assertEqual(planned[2].text, "would remove VR_MANGR.IFO.tmp-Ab12Cd, a leftover of an interrupted save.")
        self.assertEqual(_read(self.path("VR_MANGR.BUP")), _read(self.path("VR_MANGR.IFO")))
        self.assertEqual(os.path.getsize(self.path("VR_STILL.VRO")), still_end)
        self.assertEqual(check(self.dir).findings, [])

    def test_refusals_carry_the_library_sentence_and_change_nothing(self):
        empty = tempfile.mkdtemp()
        self.addCleanup(os.rmdir, empty)
        with self.assertRaises(VrmError) as caught:
            check(empty)
        self.assertEqual(caught.exception.sentence,
                         empty + " holds no DVD-VR disc: VR_MANGR.IFO and VR_MANGR.BUP are missing.")
        with self.assertRaises(ValueError):
            repair(self.dir, keep="both")

        # A title only the IFO has: two whole copies the stream cannot tell
        # apart. repair refuses, listing the field; check says the same.
        untitled = _read(self.path("VR_MANGR.BUP"))
        with Disc.open(self.dir) as disc:
            disc.set_title(1, "Holiday")
            disc.save()
        with open(self.path("VR_MANGR.BUP"), "wb") as f:
            f.write(untitled)
        before = self.files()
        with self.assertRaises(VrmError) as caught:
            repair(self.dir)
        refusal = caught.exception
        self.assertEqual((refusal.code, str(refusal)),
                         (34, "VR_MANGR.IFO and VR_MANGR.BUP are both whole and describe the same recorded data, but "
                              "differ where the stream files cannot tell which is right; 'vrmangr repair %s --from "
                              "ifo' (or --from bup) keeps the one you choose." % self.dir))
        self.assertEqual([a.kind for a in refusal.actions], ["difference"])
        self.assertIn("PRM_TXTI: VR_MANGR.IFO 48 6F 6C 69 64 61 79", refusal.actions[0].text)
        self.assertEqual(self.files(), before)
        notes = [(f.kind, f.text) for f in check(self.dir).findings if f.severity == "note"]
        self.assertEqual(notes, [("difference", refusal.actions[0].text), ("refusal", str(refusal))])

        self.assertEqual([a.kind for a in repair(self.dir, keep="ifo")], ["restore"])
        self.assertEqual(check(self.dir).findings, [])


if __name__ == "__main__":
    unittest.main()
