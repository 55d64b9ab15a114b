# extract: the bytes written are the source recordings' VOBUs. (Whole
# recordings and programs extract as they were made in the Readers safety
# test; here the parts of recordings.)
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

run(0 create disc ${PAL} ${PAL_LPCM})
hex_of(${PAL} pal)
hex_of(${PAL_LPCM} lpcm)

# A divided entry point: the segment from 25 frames on starts at the VOBU
# holding frame 25 and runs to the recording's end.
run(0 chapters disc divide 1 25)
run(0 info disc)
string(REGEX MATCH "Entry point 2: [^\n]*bytes ([0-9]+)\\.\\." m "${out}")
set(start ${CMAKE_MATCH_1})
expect("no start byte for entry point 2:\n${out}" start GREATER 0)
run(0 extract disc --entry 2 -o half.mpg)
hex_of(${PAL} tail OFFSET ${start})
hex_of(${WORK}/half.mpg half)
expect("entry point 2 is not the recording from byte ${start} on" half STREQUAL tail)

# A playlist: the second recording, then the first half of the first.
run(0 playlist disc new)
run(0 playlist disc add 1 0 3)
run(0 playlist disc add 1 1 1)
run(0 extract disc --playlist 1 -o playlist.mpg)
run(0 info disc)
string(REGEX MATCH "Entry point 1: [^\n]*bytes 0\\.\\.([0-9]+)" m "${out}")
set(end ${CMAKE_MATCH_1})
hex_of(${PAL} head LIMIT ${end})
hex_of(${WORK}/playlist.mpg list)
expect("playlist 1 is not recording 2 followed by the first ${end} bytes of recording 1"
       list STREQUAL "${lpcm}${head}")
run(0 extract disc --playlist 1 --entry 2 -o pl-entry.mpg)
hex_of(${WORK}/pl-entry.mpg one)
expect("entry point 2 of playlist 1 is not the head of recording 1" one STREQUAL head)

run(1 extract disc --playlist 2 -o x.mpg)
run(1 extract disc --entry 9 -o x.mpg)
one_sentence_error("${err}" "has 3 entry points, not 9")
run(1 extract disc --program 1 -o no-such-dir/x.mpg)
one_sentence_error("${err}" "no-such-dir/x.mpg")

# ---- Outputs ----
# An existing file is refused (and left as it was) unless --force; through a
# symbolic link the file it names is replaced, the link stays.
run(0 extract disc --program 1 -o p1.mpg)
hex_of(${WORK}/p1.mpg p1)
# (Each recording is a program of its own.)
expect("program 1 is not the first recording" p1 STREQUAL "${pal}")
file(WRITE ${WORK}/keep.mpg "mine")
run(1 extract disc --program 1 -o keep.mpg)
one_sentence_error("${err}" "keep.mpg exists; give --force")
file(READ ${WORK}/keep.mpg kept)
expect("a refused extract changed keep.mpg" kept STREQUAL "mine")
file(CREATE_LINK keep.mpg ${WORK}/link.mpg SYMBOLIC)
run(0 extract disc --playlist 1 -o link.mpg --force)
hex_of(${WORK}/keep.mpg replaced)
expect("--force through a link did not replace keep.mpg" replaced STREQUAL list)
expect("the link was replaced" IS_SYMLINK ${WORK}/link.mpg)
# - is standard output; a device is written as it is, never replaced.
execute_process(COMMAND ${TOOL} extract disc --playlist 1 --entry 2 -o - WORKING_DIRECTORY ${WORK}
  OUTPUT_FILE ${WORK}/stdout.mpg RESULT_VARIABLE rc)
hex_of(${WORK}/stdout.mpg piped)
expect("-o - did not write the entry point to stdout (exit ${rc})" rc EQUAL 0 AND piped STREQUAL head)
run(0 extract disc --program 1 -o /dev/null)
execute_process(COMMAND sh -c "test -c /dev/null" RESULT_VARIABLE rc)
expect("/dev/null is no longer a device" rc EQUAL 0)

# ---- Never on the disc ----
# No spelling of a path lands an output on a file of the disc being read,
# with or without --force, existing or not: the disc's files stay byte for
# byte and no file is added to it.
file(MAKE_DIRECTORY ${WORK}/links)
file(CREATE_LINK ${WORK}/disc/VR_MOVIE.VRO ${WORK}/links/movie SYMBOLIC)
file(CREATE_LINK ${WORK}/disc ${WORK}/links/dir SYMBOLIC)
file(CREATE_LINK ${WORK}/disc/VR_MANGR.BUP ${WORK}/hard.bup)
set(on_disc disc/VR_MOVIE.VRO disc/../disc/VR_MANGR.IFO ./disc//VR_MANGR.BUP links/movie links/dir/VR_STILL.VRO
    /proc/self/cwd/disc/VR_MOVIE.VRO ${WORK}/disc/vr_movie.vro disc/VR_MANGR.IFO.tmp-abc123 hard.bup)
foreach(target ${on_disc})
  foreach(selector "--program;1" "--playlist;1" "--entry;2")
    unchanged(1 disc extract disc ${selector} -o ${target} --force)
    one_sentence_error("${err}" "of the disc in disc; an output never replaces")
  endforeach()
endforeach()
# From inside the disc's directory, into standard output appended to a
# stream file, and --all into the disc's directory.
unchanged(0 disc info disc)
file(GLOB before ${WORK}/disc/*)
execute_process(COMMAND ${CMAKE_COMMAND} -E sha256sum ${before} OUTPUT_VARIABLE sums_before)
execute_process(COMMAND ${TOOL} extract . --program 1 -o VR_MOVIE.VRO --force WORKING_DIRECTORY ${WORK}/disc
  RESULT_VARIABLE rc ERROR_VARIABLE err)
expect("an output named from inside the disc exited ${rc}" rc EQUAL 1)
one_sentence_error("${err}" "VR_MOVIE.VRO is VR_MOVIE.VRO of the disc in \\.")
execute_process(COMMAND sh -c "'${TOOL}' extract disc --program 1 -o - >> disc/VR_MOVIE.VRO" WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE rc ERROR_VARIABLE err)
expect("standard output into the disc exited ${rc}" rc EQUAL 1)
one_sentence_error("${err}" "standard output is VR_MOVIE.VRO of the disc in disc")
execute_process(COMMAND ${CMAKE_COMMAND} -E sha256sum ${before} OUTPUT_VARIABLE sums_after)
expect("an output from inside the disc or through >> changed it" sums_before STREQUAL sums_after)
foreach(directory disc disc/../disc links/dir)
  unchanged(1 disc extract disc --all --playlists -d ${directory} --force)
  one_sentence_error("${err}" "${directory} is the directory of the disc being read")
endforeach()

# The stream of two recordings swapped: packs everywhere, but their
# navigation packs are not where the time maps place VOBUs. Each program is
# still written whole, with exit 1 and the places named.
run(0 create swapped ${PAL} ${PAL_LPCM})
execute_process(COMMAND sh -c "cat '${PAL_LPCM}' '${PAL}' > swapped/VR_MOVIE.VRO" WORKING_DIRECTORY ${WORK})
foreach(program 1 2)
  run(1 extract swapped --program ${program} -o swapped${program}.mpg)
  must_match("${err}" "^vrmangr: program ${program}: bytes [0-9]+..[0-9]+ of VR_MOVIE.VRO \\(about [0-9:.]+ into it\\) are damaged: (no navigation pack where the time map places a VOBU|a navigation pack where the time map places no VOBU)")
  expect("program ${program} of the swapped stream was not written" EXISTS ${WORK}/swapped${program}.mpg)
endforeach()

# A write that fails (the file size limit) and Ctrl-C while a FIFO's reader
# does not read: exit 1 or 130 at once, one sentence, no file left behind.
fails_cleanly(extract big.mpg --program 1)

# ---- Every program and playlist at once ----
# One file per program and playlist, in disc order, each the bytes of the
# cell ranges info --json gives; existing names are refused before anything
# is written. A third recording and a second playlist (entry point 4, then
# the tail of recording 1).
run(0 add disc ${PAL})
run(0 playlist disc new)
run(0 playlist disc add 2 0 4)
run(0 playlist disc add 2 1 2)
run(0 info disc --json)
set(json "${out}")
# The bytes of the cells of chain `index` (0-based) of `kind`.
function(chain_bytes kind index var)
  string(JSON cells GET "${json}" ${kind} ${index} cells)
  string(JSON n LENGTH "${cells}")
  math(EXPR last "${n} - 1")
  set(all "")
  foreach(i RANGE ${last})
    string(JSON f GET "${cells}" ${i} file)
    string(JSON a GET "${cells}" ${i} start_byte)
    string(JSON b GET "${cells}" ${i} end_byte)
    math(EXPR len "${b} - ${a}")
    hex_of(${WORK}/disc/${f} part OFFSET ${a} LIMIT ${len})
    string(APPEND all "${part}")
  endforeach()
  set(${var} "${all}" PARENT_SCOPE)
endfunction()
run(0 extract disc --all --playlists -d all)
must_match("${out}" "^(all/program0[1-3]_[0-9-]+_[0-9-]+\\.mpg\n)+(all/playlist0[12]_[^\n]+\n)+$")
string(REGEX MATCHALL "[^\n]+" written "${out}")
list(LENGTH written n)
expect("--all --playlists wrote ${n} files, not 5" n EQUAL 5)
set(expected original.programs original.programs original.programs playlists playlists)
set(index 0 1 2 0 1)
foreach(k RANGE 4)
  list(GET written ${k} name)
  list(GET expected ${k} kind)
  list(GET index ${k} i)
  string(REPLACE "." ";" path "${kind}")
  chain_bytes("${path}" ${i} want)
  hex_of(${WORK}/${name} got)
  expect("--all: ${name} is not the cells of ${kind} ${i}" got STREQUAL want AND want)
endforeach()
list(GET written 0 first)
hex_of(${WORK}/${first} one)
expect("--all: ${first} is not program 1" one STREQUAL p1)
run(1 extract disc --all -d all)
one_sentence_error("${err}" "exists; give --force")
# No title (only the date label): {title} takes its separator along.
run(0 extract disc --all -d all --force --name "{n}-{chain}-{title}{label}")
must_match("${out}" "^(all/0[1-3]-program[0-9][0-9][0-9][0-9]_[ 0-9][0-9]_[ 0-9][0-9]\\.mpg\n)+$")
run(2 extract disc --all --name "{nope}")
one_sentence_error("${err}" "unknown field \\{nope\\}")

# A stream cut short inside program 2: every program that is there in part
# is written as far as it is there, each missing stretch named, exit 1; a
# program none of whose bytes are there is named and nothing written.
file(COPY ${WORK}/disc DESTINATION ${WORK}/cut)
damage(cut/disc/VR_MOVIE.VRO truncate 500000)
run(1 extract cut/disc --program 3 -o cut3.mpg)
must_match("${err}" "program 3: bytes [0-9]+..[0-9]+ of VR_MOVIE.VRO are missing \\(the file ends at byte 500000\\); nothing of it is there, nothing was extracted")
expect("a program that is not there was written" NOT EXISTS ${WORK}/cut3.mpg)
run(1 extract cut/disc --program 2 -o cut2.mpg)
must_match("${err}" "program 2: bytes 500000..[0-9]+ of VR_MOVIE.VRO are missing \\(the file ends at byte 500000\\); the output holds what is there")
file(READ ${WORK}/cut/disc/VR_MOVIE.VRO stream HEX)
file(READ ${WORK}/cut2.mpg part HEX)
string(LENGTH "${part}" n)
math(EXPR from "(500000 * 2) - ${n}")
string(SUBSTRING "${stream}" ${from} ${n} tail)
expect("the part of program 2 is not the stream's bytes up to its end" part STREQUAL tail)
run(0 info cut/disc)
must_match("${out}" "Cell 2: [^\n]*VR_MOVIE.VRO bytes [0-9]+..[0-9]+ \\(missing behind byte 500000, where the file ends\\)")
# Without its VR_MOVIE.VRO (a copied management file, a damaged disc) the
# disc lists, with a warning; nothing changes it; extract names the file.
file(COPY ${WORK}/disc DESTINATION ${WORK}/nomovie)
file(REMOVE ${WORK}/nomovie/disc/VR_MOVIE.VRO)
unchanged(0 nomovie/disc info nomovie/disc)
must_match("${err}" "^vrmangr: warning: VR_MOVIE.VRO of nomovie/disc is missing: its recordings are listed but cannot be read.\n$")
must_match("${out}" "Program 3: [^\n]*\n  Cell 3: [^\n]*VR_MOVIE.VRO bytes [0-9]+..[0-9]+ \\(missing: the file is not there\\)")
unchanged(0 nomovie/disc info nomovie/disc --json)
unchanged(1 nomovie/disc title nomovie/disc --program 1 Lost)
must_match("${err}" "nomovie/disc cannot be changed: VR_MOVIE.VRO, which holds its recordings, is missing")
run(1 extract nomovie/disc --program 1 -o none.mpg)
must_match("${err}" "program 1: bytes 0..[0-9]+ of VR_MOVIE.VRO are missing \\(the file is missing\\); nothing of it is there")

# An entry point that runs on into a cell of its own (two recordings of one
# program, their entry points combined): info gives its whole length and
# the part in each cell, and the extraction is those parts.
run(0 create joined ${PAL} ${PAL_LPCM} --join)
run(0 chapters joined combine 1 2)
run(0 info joined)
must_match("${out}" "Entry point 1: 0:00:00.000 \\+0:00:04.000 \\(100 frames\\), bytes 0\\.\\.([0-9]+)\n      runs on into cell 2, bytes ")
run(0 info joined --json)
string(JSON e GET "${out}" original programs 0 cells 0 entry_points 0)
string(JSON a GET "${e}" end_byte)
string(JSON b GET "${e}" continuation 0 start_byte)
string(JSON c GET "${e}" continuation 0 cell)
expect("the continuation of entry point 1 is not cell 2 from byte ${a}: ${e}" b EQUAL a AND c EQUAL 2)
run(0 extract joined --entry 1 -o whole.mpg)
hex_of(${WORK}/whole.mpg whole)
expect("entry point 1 is not both recordings" whole STREQUAL "${pal}${lpcm}")

# An output is dated by its recording: the disc keeps 18:30 of a zone two
# hours east of UTC (here UTC), so 16:30 UTC.
run(0 create datedisc ${PAL} --date 2019-05-04T18:30:00+02:00)
run(0 extract datedisc --program 1 -o dated.mpg)
file(TIMESTAMP ${WORK}/dated.mpg when "%Y-%m-%d %H:%M:%S" UTC)
expect("the output is dated ${when}, not by its recording" when STREQUAL "2019-05-04 16:30:00")
