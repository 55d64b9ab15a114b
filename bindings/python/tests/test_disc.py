"""The Python package against the built library: VRMANGR_LIBRARY names it,
VRMANGR_TEST_DATA the folder of the committed samples."""

import datetime
import os
import shutil
import tempfile
import time
import unittest

from vrmangr import CharacterSet, Disc, Protection, VrmError, scan_stream

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
            # The save gives back what the edits freed: the erased stretch
            # is a gap in the stream file now, and the deleted recording,
            # which ended it, is cut off.
            released = disc.released_space()
            self.assertEqual(released.movie_bytes + released.movie_unsupported, erased.freed_bytes + gone.freed_bytes)
            use = disc.stream_use()
            self.assertEqual((use.overlaps, sum(n for _, n in use.gaps) * 2048), ([], erased.freed_bytes))
            self.assertEqual(use.file_bytes, use.recorded_end * 2048)
        with Disc.open(self.dir) as disc:
            self.assertEqual(len(disc.programs()), 1)

    def test_dates_are_datetimes_of_the_disc_zone(self):
        # The library takes a new disc's TM_ZONE from the local zone.
        old = os.environ.get("TZ")
        os.environ["TZ"] = "JST-9"
        time.tzset()
        self.addCleanup(time.tzset)
        self.addCleanup(lambda: os.environ.pop("TZ") if old is None else os.environ.update(TZ=old))
        when = datetime.datetime(2019, 10, 30, 13, 32, 7, tzinfo=datetime.timezone.utc)
        with Disc.create(self.dir) as disc:
            disc.add_recording(PAL, recorded=when)
            # A refused add leaves no time behind for the next one.
            with self.assertRaises(VrmError):
                disc.add_recording(os.path.join(self.dir, "missing.vob"), recorded=when)
            disc.add_still_pictures(STILL)
            disc.add_to_playlist(disc.add_playlist(), 1)
            disc.save()
        tokyo = datetime.timezone(datetime.timedelta(hours=9))
        with Disc.open(self.dir) as disc:
            self.assertEqual(disc.time_zone, tokyo)
            first, second = disc.programs()
            self.assertEqual((first.recorded.utcoffset(), first.recorded.timetuple()[:6]),
                             (datetime.timedelta(hours=9), (2019, 10, 30, 22, 32, 7)))
            self.assertEqual(first.recorded, when)
            # Without a time given, a recording is dated now.
            now = datetime.datetime.now(datetime.timezone.utc)
            for date in (second.recorded, disc.playlists()[0].created):
                self.assertEqual(date.tzinfo, tokyo)
                self.assertLess(abs(date - now), datetime.timedelta(minutes=1))

    def test_character_set_converts_titles_or_refuses(self):
        with Disc.create(self.dir) as disc:
            disc.add_recording(PAL)
            self.assertEqual(disc.character_set(), CharacterSet(0x12, "Shift-JIS", True))
            with self.assertRaises(VrmError) as caught:
                disc.set_title(1, "Köln")
            self.assertEqual((caught.exception.code, str(caught.exception)),
                             (1, "'ö' (U+00F6) cannot be written in Shift-JIS, the disc's character set."))
            disc.set_character_set("latin1")
            disc.set_title(1, "Köln")
            with self.assertRaises(VrmError) as caught:
                disc.set_character_set("ascii")
            self.assertEqual(caught.exception.sentence,
                             "The text of program 1 cannot be converted: 'ö' (U+00F6) cannot be written in ASCII.")
            with self.assertRaises(ValueError):
                disc.set_character_set("klingon")
            disc.save()
        with Disc.open(self.dir) as disc:
            self.assertEqual((disc.character_set().name, disc.programs()[0].title), ("ISO 8859-1", "Köln"))

    def test_recover_from_the_stream_files(self):
        with Disc.create(self.dir) as disc:
            disc.add_recording(THIRTY)
            disc.add_recording(PAL)
            disc.add_still_pictures(STILL)
            disc.save()
            use = disc.stream_use()
            ranges = [disc.program_ranges(pg) for pg in (1, 2, 3)]
        for name in ("VR_MANGR.IFO", "VR_MANGR.BUP"):
            os.remove(os.path.join(self.dir, name))
        with self.assertRaises(VrmError):
            Disc.open(self.dir)

        movie = scan_stream(os.path.join(self.dir, "VR_MOVIE.VRO"))
        self.assertEqual([(f.kind, f.first_sector, f.sectors) for f in movie],
                         [("recording", start, n) for _, start, n in use.recordings])
        self.assertEqual([f.frames for f in movie], [750, 50])
        second = movie[1]
        self.assertEqual((second.start, second.end), (second.first_sector * 2048, use.recorded_end * 2048))
        self.assertEqual((second.frame_rate, second.width, second.height, second.aspect, second.audio),
                         (25.0, 720, 576, "4:3", "MPEG audio"))
        (stills,) = scan_stream(os.path.join(self.dir, "VR_STILL.VRO"), still=True)
        self.assertEqual((stills.kind, stills.frames), ("stills", 2))

        when = datetime.datetime(2020, 5, 1, 8, 0, tzinfo=datetime.timezone.utc)
        with Disc.create(self.dir) as disc:
            for found in movie + [stills]:
                disc.add_found(found, recorded=when)
            disc.save()
        with Disc.open(self.dir) as disc:
            self.assertEqual([(p.content, p.duration_ms, p.recorded) for p in disc.programs()],
                             [("movie", 30000, when), ("movie", 2000, when), ("still", 6000, when)])
            self.assertEqual([disc.program_ranges(pg) for pg in (1, 2, 3)], ranges)

    def test_a_missing_library_is_one_clear_error(self):
        with self.assertRaises(ImportError) as caught:
            Disc(self.dir, library=os.path.join(self.dir, "libnothing.so"))
        sentence = str(caught.exception)
        self.assertIsInstance(caught.exception, VrmError)  # as callers caught it before
        for needed in ("libnothing.so cannot be loaded", "Debian package vrmangr", "cmake --install",
                       "VRMANGR_LIBRARY"):
            self.assertIn(needed, sentence)

    def test_refusals_carry_the_library_sentence(self):
        with self.assertRaises(VrmError) as caught:
            Disc.open(self.dir)
        self.assertEqual(caught.exception.sentence, "No DVD-VR management file is there.")
        missing = os.path.join(self.dir, "VR_MOVIE.VRO")
        with self.assertRaises(VrmError) as caught:
            scan_stream(missing)
        self.assertEqual(str(caught.exception), missing + " cannot be opened for reading.")
        with Disc.create(self.dir) as disc:
            with self.assertRaises(VrmError) as caught:
                disc.delete_playlist(4)
            self.assertEqual((caught.exception.code, str(caught.exception)),
                             (37, "There is no playlist 4 (the disc has 0)."))
            with self.assertRaises(VrmError):
                disc.set_title(1, "no program yet")
            disc.add_recording(PAL)
            disc.save()
            self.assertEqual(disc.protection(), Protection(0, False, False, 0))
            with self.assertRaises(VrmError) as caught:
                disc.delete_program(5)
            self.assertEqual((caught.exception.code, str(caught.exception)),
                             (37, "There is no program 5 (the disc has 1)."))
            # Queries name what the disc lacks too.
            for query, sentence in ((lambda: disc.program_ranges(3), "There is no program 3 (the disc has 1)."),
                                    (lambda: disc.entry_points(playlist=2),
                                     "There is no playlist 2 (the disc has 0).")):
                with self.assertRaises(VrmError) as caught:
                    query()
                self.assertEqual(str(caught.exception), sentence)


if __name__ == "__main__":
    unittest.main()
