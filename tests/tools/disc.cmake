# create, add, add-still, info (text and JSON) and a clean check: what they
# print is golden/disc.txt, the JSON golden/info.json.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

run(0 create disc ${PAL} --still ${STILL} --quiet)
run(0 add disc ${PAL_LPCM})
run(0 add-still disc ${STILL})
run(0 info disc)
run(0 check disc)

# A stream file that no management file describes may be all that is left
# of earlier recordings: create (and demo) refuse to replace it, changing
# nothing; --force replaces it.
file(MAKE_DIRECTORY ${WORK}/orphan)
file(COPY_FILE ${PAL} ${WORK}/orphan/VR_MOVIE.VRO)
unchanged(1 orphan create orphan ${PAL_LPCM})
unchanged(1 orphan demo orphan)
run(0 create orphan ${PAL_LPCM} --force)
run(0 check orphan)  # no data left behind the new recording
# Each file is a program of its own; --join puts a file of the same day
# into the last program.
run(0 create joined ${PAL} --still ${STILL} --join)
run(0 add joined ${PAL_LPCM} --join)
run(0 add joined ${PAL} --quiet)
run(0 info joined)
# --date: files recorded long ago keep their time, in their recording and
# their program's date (the golden files mask dates: matched here). A time
# without zone is local (TZ=UTC here); --join goes by the given day. The
# AC-3 stereo sample shows its two channels.
run(0 create dated ${NTSC} --date 2019-05-04T18:30:00+02:00)
run(0 add dated ${NTSC} --date "2019-05-04 20:15" --join)
file(COPY_FILE ${STILL} ${WORK}/copy.vob)
file(TIMESTAMP ${WORK}/copy.vob mtime "%Y-%m-%d %H:%M:%S \\+00:00" UTC)
run(0 add-still dated ${STILL} --date 2001-12-31)
run(0 add-still dated copy.vob --date mtime)
run(0 info dated)
must_match("${out}" "Program 1: movie, recorded 2019-05-04 16:30:00 \\+00:00, title \"2019/ 5/ 4\"[^\n]*
  Cell 1:[^\n]*
[^\n]*
    audio: 1 stream, AC-3, 48000 Hz, 2 channels, stereo, 192 kbit/s
[^P]*Cell 2:")
must_match("${out}" "Program 2: still, recorded 2001-12-31 12:00:00 \\+00:00, title \"2001/12/31\"")
must_match("${out}" "Program 3: still, recorded ${mtime}")
# Two independent channels (MPEG dual channel) are recorded and shown as
# dual mono: the sample with its first audio frame header's mode changed.
file(COPY_FILE ${PAL} ${WORK}/dual.vob)
damage(dual.vob 4131 84)
run(0 create dualmono dual.vob)
run(0 info dualmono)
must_match("${out}" "audio: 1 stream, MPEG-1 audio layer II, 48000 Hz, 2 channels, dual mono, 224 kbit/s")
transcript(disc.txt)
run(0 info disc --json)
golden("${out}" info.json)

# A disc made in another zone (Central Europe, given as a POSIX rule so
# that no time zone database is needed) takes its standard offset and keeps
# wall-clock times of it: 18:30 UTC is 19:30 there.
set(ENV{TZ} "CET-1CEST,M3.5.0,M10.5.0/3")
run(0 create berlin ${PAL} --date 2019-12-04T18:30:00Z)
run(0 info berlin)
must_match("${out}" "time zone: +UTC\\+01:00")
must_match("${out}" "Program 1: movie, recorded 2019-12-04 19:30:00 \\+01:00, title \"2019/12/ 4\"")
set(ENV{TZ} UTC)

# The medium: info shows how much of it the disc's files take; a recording
# that would not fit is refused, naming what is missing, and nothing changes.
run(0 create small ${PAL} --quiet --medium 600000)
run(0 info small --medium 600000)
must_match("${out}" "  medium: +568 KB of 600 KB used \\(94.5 %\\), 33 KB free\n")
run(0 info small --medium 9.4 --json)
must_match("${out}" "\"used_bytes\": 567296,\n *\"medium_bytes\": 9400745984,")
unchanged(1 small add small ${PAL} --medium 600000)
one_sentence_error("${err}" "pal_mpeg2_mp2_4x3.vob does not fit on a medium of 600000 bytes: it needs 306 KB, 273 KB more than the 33 KB left")
run(1 create smaller ${PAL} --medium 500000)
one_sentence_error("${err}" "does not fit on a medium of 500000 bytes")
expect("a refused create left files" NOT EXISTS ${WORK}/smaller/VR_MANGR.IFO)
run(0 add small ${PAL} --medium 4.7 --quiet)
run(2 add small ${PAL} --medium 4.7GiB)
