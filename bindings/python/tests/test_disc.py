"""The Python package against the built library: VRMANGR_LIBRARY names it,
VRMANGR_TEST_DATA the folder of the committed samples."""

import os
import shutil
import tempfile
import unittest

from vrmangr import Disc, VrmError

DATA = os.environ.get("VRMANGR_TEST_DATA", os.path.join(os.path.dirname(__file__), "../../../tests/data"))
PAL = os.path.join(DATA, "pal_mpeg2_mp2_4x3.vob")
STILL = os.path.join(DATA, "still_pal_2pictures.vob")
THIRTY = os.path.join(DATA, "pal_cif_30s.vob")


class DiscTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)

    def make(self):
        with Disc.create(self.dir) as disc:
            disc.add_recording(PAL)
            disc.add_still_pictures(STILL)
            disc.divide(1, 10)
            pl = disc.add_playlist()
            disc.add_to_playlist(pl, 2)
            disc.set_title(1, "Ferien")
            disc.set_title(pl, "Holiday", playlist=True)
            disc.save()

    def test_create_list_and_reopen(self):
        self.make()
        with Disc.open(self.dir) as disc:
            programs = disc.programs()
            self.assertEqual([(p.number, p.content) for p in programs], [(1, "movie"), (2, "still")])
            self.assertEqual(programs[0].title, "Ferien")
            eps = disc.entry_points()
            self.assertEqual(len(eps), 3)
            self.assertEqual(eps[1].frames + eps[0].frames, programs[0].duration_ms * 25 // 1000)
            (pl,) = disc.playlists()
            self.assertEqual((pl.number, pl.title, pl.content, pl.entry_points), (1, "Holiday", "movie", 1))
            # Adding a still picture makes the playlist mixed, removing the
            # movie leaves it still: its type follows its cells.
            disc.add_to_playlist(1, 3, after=1)
            self.assertEqual(disc.playlists()[0].content, "mixed")
            disc.remove_from_playlist(1, 1)
            self.assertEqual(disc.playlists()[0].content, "still")

    def test_extract_takes_the_byte_ranges(self):
        self.make()
        with Disc.open(self.dir) as disc:
            out = os.path.join(self.dir, "out.vob")
            ranges = disc.playlist_ranges(1)
            self.assertEqual(disc.extract_playlist(1, out), sum(e - s for _, s, e in ranges))
            name, start, end = ranges[0]
            with open(name, "rb") as stream, open(out, "rb") as got:
                stream.seek(start)
                self.assertEqual(got.read(), stream.read(end - start))
            self.assertGreater(disc.extract_program(1, out), 0)
            self.assertEqual(os.path.getsize(out), os.path.getsize(PAL) - os.path.getsize(PAL) % 2048)

    def test_programs_divide_combine_erase_and_delete(self):
        with Disc.create(self.dir) as disc:
            disc.add_recording(THIRTY)
            disc.add_recording(PAL)
            disc.save()
        with Disc.open(self.dir) as disc:
            cut = disc.divide_program(1, 10.3)
            self.assertAlmostEqual(cut.start, 10.08)
            self.assertEqual([(p.number, p.title.endswith(" (2)")) for p in disc.programs()],
                             [(1, False), (2, True), (3, False)])
            disc.combine_programs(1)
            self.assertEqual([p.duration_ms for p in disc.programs()], [30000, 2000])
            erased = disc.erase(1, 10, 16)
            self.assertEqual((erased.start, erased.end, erased.shortened), (10.08, 15.84, 1))
            self.assertEqual(disc.programs()[0].duration_ms, 30000 - 5760)
            gone = disc.delete_program(2)
            self.assertEqual((gone.removed, gone.freed_bytes), (1, os.path.getsize(PAL)))
            with self.assertRaises(VrmError) as caught:
                disc.combine_programs(1)
            self.assertIn("last", caught.exception.sentence)
            disc.save()
        with Disc.open(self.dir) as disc:
            self.assertEqual(len(disc.programs()), 1)

    def test_a_missing_library_is_one_clear_error(self):
        with self.assertRaises(VrmError) as caught:
            Disc(self.dir, library=os.path.join(self.dir, "libnothing.so"))
        self.assertIn("cannot be loaded", caught.exception.sentence)

    def test_refusals_carry_the_library_sentence(self):
        with self.assertRaises(VrmError) as caught:
            Disc.open(self.dir)
        self.assertTrue(caught.exception.sentence)
        with Disc.create(self.dir) as disc:
            with self.assertRaises(VrmError) as caught:
                disc.delete_playlist(4)
            self.assertEqual(caught.exception.code, 37)
            self.assertIn("playlist 4", str(caught.exception))
            with self.assertRaises(VrmError):
                disc.set_title(1, "no program yet")


if __name__ == "__main__":
    unittest.main()
