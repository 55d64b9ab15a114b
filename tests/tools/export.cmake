# export: what it refuses (one sentence each, nothing created) and what it
# writes where; the files' contents are read back in tests/export.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

run(0 create disc ${PAL_LPCM} ${PAL})
run(0 playlist disc new)
run(0 playlist disc add 1 0 2)

# LPCM does not fit MP4: the sentence names MKV; MKV and MPEG-PS take it.
run(1 export disc --program 1 -o lpcm.mp4)
one_sentence_error("${err}" "MP4 cannot hold the LPCM audio of program 1; export it to MKV")
run(1 export disc --program 1 -o lpcm.mkv --format mp4)
run(0 export disc --program 1 -o lpcm.mkv)
run(0 export disc --program 1 -o lpcm.mpg)
# No such program or playlist.
run(1 export disc --program 3 -o x.mkv)
one_sentence_error("${err}" "has 2 programs; there is no program 3")
run(1 export disc --playlist 2 -o x.mkv)
one_sentence_error("${err}" "has 1 playlist; there is no playlist 2")
file(GLOB made ${WORK}/lpcm.mp4* ${WORK}/x.mkv*)
expect("a refused export created ${made}" NOT made)
# An existing output stays as it was without --force.
file(WRITE ${WORK}/keep.mkv "mine")
run(1 export disc --playlist 1 -o keep.mkv)
one_sentence_error("${err}" "keep.mkv exists; give --force")
file(READ ${WORK}/keep.mkv kept)
expect("a refused export changed keep.mkv" kept STREQUAL "mine")
run(0 export disc --playlist 1 -o keep.mkv --force)
file(SIZE ${WORK}/keep.mkv size)
expect("--force did not replace keep.mkv" size GREATER 1000)
# A write that fails (the file size limit): exit 1, one sentence, no file.
execute_process(COMMAND sh -c "ulimit -f 64; exec '${TOOL}' export disc --program 2 -o big.mkv"
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc ERROR_VARIABLE err)
expect("a failing write exited ${rc}" rc EQUAL 1)
one_sentence_error("${err}" "could not be written")
file(GLOB left ${WORK}/big.mkv*)
expect("a failed export left ${left}" NOT left)
# Ctrl-C while a FIFO's reader does not read: exit 130 at once, one sentence.
execute_process(COMMAND sh -c "mkfifo fifo && { (exec 3<fifo; sleep 9) >/dev/null 2>&1 & reader=$!; \
'${TOOL}' export disc --program 2 -o fifo & pid=$!; sleep 2; kill -INT $pid; wait $pid; rc=$?; kill $reader; exit $rc; }"
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc ERROR_VARIABLE err TIMEOUT 30)
expect("Ctrl-C exited ${rc}" rc EQUAL 130)
one_sentence_error("${err}" "cancelled")
# Usage.
run(2 export disc -o x.mkv)
run(2 export disc --program 1 -o x.mkv --format avi)

# --all: one file per program and playlist, named as extract names them.
run(0 export disc --all --playlists -d all --name "{chain}{n}" --format mpg)
file(GLOB made RELATIVE ${WORK}/all ${WORK}/all/*)
string(REPLACE ";" " " made "${made}")
expect("--all wrote ${made}" made STREQUAL "playlist01.mpg program01.mpg program02.mpg")
run(1 export disc --all -d all --name "{chain}{n}" --format mpg)
one_sentence_error("${err}" "program01.mpg exists")
transcript(export.txt)
