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
