# recover SOURCE -d DIR: recordings found in raw dumps at any byte offset,
# put in order by their clock and written as new discs whose programs
# extract byte-identical to the recordings; recordings of the other TV
# system into a disc of their own; a dump with no MPEG data refused.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

set(CIF ${DATA}/pal_mpeg2_bframes_cif.vob)

# Noise, the second half of a recording, more noise, its first half (at odd
# byte offsets), zeros, another recording.
file(SIZE ${CIF} cif_size)
math(EXPR half "${cif_size} / 4096 * 2048")
splice(dump.bin noise:5001 file:${CIF}:${half}:-1 noise:7777 file:${CIF}:0:${half} zeros:100000
       file:${PAL}:0:-1 noise:3000)
run(0 recover dump.bin -d out --dry-run)
math(EXPR second_at "5001")
math(EXPR second_end "5001 + ${cif_size} - ${half}")
math(EXPR first_at "${second_end} + 7777")
math(EXPR first_end "${first_at} + ${half}")
must_match("${out}" "recording 1: bytes ${first_at}..${first_end}, then bytes ${second_at}..${second_end} \\(163 packs\\), 625 lines, into out\n")
must_match("${out}" "left out: [0-9]+ bytes that hold no MPEG packs \\(bytes 0..5001, bytes ${second_end}..${first_at}, ")
expect("a dry run made out" NOT EXISTS ${WORK}/out)
file(SHA256 ${WORK}/dump.bin before)
run(0 recover dump.bin -d out)
file(SHA256 ${WORK}/dump.bin after)
expect("recover changed its source" before STREQUAL after)
run(0 info out)
must_match("${out}" "title \"Recovered recording 1\".*title \"Recovered recording 2\"")
run(0 extract out --program 1 -o one.mpg)
same_bytes(one.mpg ${CIF})
run(0 extract out --program 2 -o two.mpg)
same_bytes(two.mpg ${PAL})
# A directory that holds a disc is not written over.
run(1 recover dump.bin -d out)
one_sentence_error("${err}" "out already holds VR_MANGR.IFO")
# The same recording twice (a file and its older copy): once.
splice(copies.bin file:${PAL}:0:-1 noise:999 file:${PAL}:0:-1)
run(0 recover copies.bin -d once --dry-run)
must_match("${out}" "1 recording found.*left out: bytes 306151..611303 repeat bytes 0..305152")

# A disc's two stream files apart in a dump: the still pictures (every
# VOBU one picture) go back into VR_STILL.VRO as a still group.
run(0 create stills ${PAL} --still ${STILL} --quiet)
splice(stills.bin noise:3000 file:${WORK}/stills/VR_MOVIE.VRO:0:-1 noise:5000 file:${WORK}/stills/VR_STILL.VRO:0:-1)
run(0 recover stills.bin -d stills-back)
must_match("${out}" "still pictures 2: bytes 313152..382784 \\(34 packs\\), 625 lines, into stills-back\n")
run(0 info stills-back)
must_match("${out}" "Program 2: still.*Cell 2: still VOG 1, [^\n]*\\(2 pictures\\)")
run(0 extract stills --program 2 -o still-before.mpg)
run(0 extract stills-back --program 2 -o still-after.mpg)
same_bytes(still-after.mpg ${WORK}/still-before.mpg)

# A management file first in a dump (as on a disc) describing a program of
# two recordings: each comes back with the program's title, numbered, and
# its chapters.
run(0 create joined/DVD_RTAV ${PAL} ${CIF} --join --quiet --date 2019-05-04T18:30Z)
run(0 title joined --program 1 "Trip")
run(0 chapters joined divide 2 25)
splice(joined.bin file:${WORK}/joined/DVD_RTAV/VR_MANGR.IFO:0:-1 noise:1000
       file:${WORK}/joined/DVD_RTAV/VR_MOVIE.VRO:0:-1)
run(0 recover joined.bin -d joined-back)
must_match("${out}" "recording 1 is program 1 \\(1\\) \\(\"Trip\"\\) of the management file at byte 0\n")
must_match("${out}" "recording 2 is program 1 \\(2\\) \\(\"Trip\"\\)")
run(0 info joined-back)
must_match("${out}" "Program 1: movie, recorded 2019-05-04 18:30:00 [^\n]*, title \"Trip \\(1\\)\"")
must_match("${out}" "Program 2: movie, recorded 2019-05-04 18:30:00 [^\n]*, title \"Trip \\(2\\)\"[^\n]*\n[^\n]*\n[^\n]*\n[^\n]*\n    Entry point 2: [^\n]*\(25 frames\)")

# A PAL and an NTSC recording back to back: two discs.
splice(systems.bin noise:2048 file:${PAL}:0:-1 file:${NTSC}:0:-1)
run(0 recover systems.bin -d sys)
run(0 extract sys --program 1 -o pal.mpg)
same_bytes(pal.mpg ${PAL})
run(0 extract sys-525 --program 1 -o ntsc.mpg)
same_bytes(ntsc.mpg ${NTSC})
# --files: one MPEG file per recording, no disc.
run(0 recover systems.bin -d files --files --quiet)
file(GLOB made RELATIVE ${WORK}/files ${WORK}/files/*)
list(LENGTH made n)
expect("--files wrote ${made}" n EQUAL 1)
same_bytes("files/${made}" ${PAL})
expect("--files left a disc" NOT EXISTS ${WORK}/files/VR_MANGR.IFO)

# A recording cut short inside a pack, and a pack header alone at the very
# end: the whole packs are found, nothing is read past the end.
splice(cut.bin noise:777 file:${PAL}:0:100000 noise:10 file:${PAL}:0:20)
run(0 recover cut.bin -d cut --dry-run)
must_match("${out}" "recording 1: bytes 777..99081 \\(48 packs\\)")

# No MPEG data, an empty file: one sentence, nothing made.
splice(noise.bin noise:300000)
run(1 recover noise.bin -d none)
one_sentence_error("${err}" "noise.bin holds no MPEG program stream of 2048-byte packs")
file(WRITE ${WORK}/empty.bin "")
run(1 recover empty.bin -d none)
one_sentence_error("${err}" "empty.bin is empty")
expect("a refused recover made a directory" NOT EXISTS ${WORK}/none)
run(2 recover dump.bin -d x --realign)
