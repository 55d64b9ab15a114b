# program DIR delete|erase|divide|combine on a disc of three recordings (12
# s, 2 s, 30 s) with chapters and two playlists: what each leaves to
# extract, to the playlists and to the stream file, and what each refuses.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

set(TWELVE ${DATA}/pal_cif_12s.vob)
set(PAL ${DATA}/pal_mpeg2_mp2_4x3.vob)
set(THIRTY ${DATA}/pal_cif_30s.vob)

# same_as(DISC PROGRAM SOURCE): the program extracts as the source's bytes.
function(same_as disc pg source)
  run(0 extract ${disc} --program ${pg} -o ${disc}-${pg}.mpg --force)
  same_bytes(${disc}-${pg}.mpg ${source})
endfunction()

# duration_ms(DISC PROGRAM VAR): the program's length as info shows it.
function(duration_ms disc pg var)
  execute_process(COMMAND ${TOOL} info ${disc} WORKING_DIRECTORY ${WORK} OUTPUT_VARIABLE info)
  string(REGEX MATCH "Program ${pg}: [^\n]*\\+([0-9]+):([0-9][0-9]):([0-9][0-9])\\.([0-9][0-9][0-9])\n" line "${info}")
  if(line STREQUAL "")
    message(FATAL_ERROR "info lists no program ${pg} of ${disc}:\n${info}")
  endif()
  math(EXPR ms "((${CMAKE_MATCH_1} * 60 + ${CMAKE_MATCH_2}) * 60 + ${CMAKE_MATCH_3}) * 1000 + ${CMAKE_MATCH_4}")
  set(${var} ${ms} PARENT_SCOPE)
endfunction()

# within_vobu(DISC PROGRAM MS): its length lies within one VOBU (12 frames,
# 480 ms) of MS.
function(within_vobu disc pg want)
  duration_ms(${disc} ${pg} got)
  math(EXPR diff "${got} - ${want}")
  expect("program ${pg} of ${disc} lasts ${got} ms, not ${want} ms within a VOBU" diff GREATER -481 AND diff LESS 481)
endfunction()

# The disc: chapters at 6 s of the first recording and 10 s of the third;
# playlist 1 plays the first recording's second chapter and the second
# recording, playlist 2 only the second recording.
run(0 create three ${TWELVE} ${PAL} ${THIRTY} --quiet)
run(0 chapters three divide 1 150)
run(0 chapters three divide 4 250)
run(0 playlist three new)
run(0 playlist three add 1 0 2)
run(0 playlist three add 1 1 3)
run(0 playlist three new)
run(0 playlist three add 2 0 3)
file(COPY ${WORK}/three/ DESTINATION ${WORK}/pristine)

# Refused, changing nothing: numbers out of range, a stretch backwards or
# of the whole program, the last program to combine, a program of still
# pictures to cut, a script that does not say --yes.
unchanged(1 three program three delete 4 --yes)
one_sentence_error("${err}" "no program 4")
unchanged(2 three program three erase 1 0:08 0:05 --yes)
one_sentence_error("${err}" "FROM must come before TO")
unchanged(1 three program three erase 2 0 2 --yes)
one_sentence_error("${err}" "delete the program instead")
unchanged(1 three program three combine 3)
one_sentence_error("${err}" "last one")
unchanged(2 three program three delete 2)
one_sentence_error("${err}" "--yes")
run(0 create stills ${PAL} --still ${DATA}/still_pal_2pictures.vob --quiet)
unchanged(1 stills program stills erase 2 0 1 --yes)
one_sentence_error("${err}" "still pictures")

# Divide, then combine: the same program again, extracting as its source.
run(0 program three divide 3 10.3)
must_match("${out}" "divided at 0:00:10.080")
run(0 info three)
must_match("${out}" "Program 4: [^\n]*title \"[^\"]* \\(2\\)\", 0:00:24.080 \\+0:00:19.920")
run(0 program three combine 3)
same_as(three 3 ${THIRTY})
run(0 check three)
must_match("${out}" "no problems found")

# Delete the middle recording: the others extract as their sources,
# playlist 1 loses its cell, playlist 2 (nothing else) goes.
run(0 program three delete 2 --yes)
must_match("${out}" "Program 2 [^\n]* is deleted")
must_match("${out}" "1 recording removed")
must_match("${out}" "Playlist 1 \"[^\"]*\" loses what the edit removes")
must_match("${out}" "Playlist 2 \"[^\"]*\" plays nothing else: deleted")
same_as(three 1 ${TWELVE})
same_as(three 2 ${THIRTY})
must_match("${out}" "306 KB given back to the file system|306 KB stay in the stream files")
run(0 info three)
must_match("${out}" "Playlists: 1\n")
must_match("${out}" "Original chain: 2 programs, 2 cells, 4 entry points")
run(0 check three)
must_match("${out}" "no problems found \\([^\n]*, 306 KB free between recordings\\)")
# A recording that fits into the freed sectors goes there: the stream file
# does not grow, and it extracts as its source.
file(SIZE ${WORK}/three/VR_MOVIE.VRO before)
run(0 add three ${DATA}/pal_mpeg2_ac3mono_4x3.vob)
file(SIZE ${WORK}/three/VR_MOVIE.VRO after)
expect("the add grew the stream from ${before} to ${after} bytes" before EQUAL after)
run(0 info three)
must_match("${out}" "Cell 3: movie VOB 3, [^\n]*, VR_MOVIE.VRO bytes 440320..577536\n")
same_as(three 3 ${DATA}/pal_mpeg2_ac3mono_4x3.vob)
same_as(three 2 ${THIRTY})
run(0 check three)
must_match("${out}" "no problems found")

# Erase the first 5 s of the 12 s recording and 10 s to 16 s of the 30 s
# one: each cut at the VOBU boundary nearest, the program that much shorter,
# and what extract gives is the source without the erased VOBUs.
file(REMOVE_RECURSE ${WORK}/cut)
file(COPY ${WORK}/pristine/ DESTINATION ${WORK}/cut)
run(0 program cut erase 1 0 5 --yes)
must_match("${out}" "0:00:00.000 to 0:00:04.800 is erased")
within_vobu(cut 1 7000)
run(0 extract cut --program 1 -o cut-1.mpg)
file(SIZE ${WORK}/cut-1.mpg kept)
file(SIZE ${TWELVE} whole)
math(EXPR dropped "${whole} - ${kept}")
expect("erasing kept all of the recording" dropped GREATER 0)
hex_of(${WORK}/cut-1.mpg got)
hex_of(${TWELVE} want OFFSET ${dropped})
expect("program 1 after the erase is not the recording's end" got STREQUAL want)

# The sectors of the erased VOBUs are given back where the file system
# can punch holes: the file keeps its length and takes fewer blocks.
execute_process(COMMAND stat -c %b ${WORK}/cut/VR_MOVIE.VRO OUTPUT_VARIABLE blocks_before)
run(0 program cut erase 3 10 16 --yes)
execute_process(COMMAND stat -c %b ${WORK}/cut/VR_MOVIE.VRO OUTPUT_VARIABLE blocks_after)
if(out MATCHES "given back to the file system")
  expect("the erase gave back no blocks (${blocks_before} before, ${blocks_after} after)"
         blocks_after LESS blocks_before)
else()
  must_match("${out}" "cannot give back space inside a file")
endif()
must_match("${out}" "0:00:10.080 to 0:00:15.840 is erased")
within_vobu(cut 3 24000)
run(0 info cut)
string(REGEX MATCH "Program 3:[^\n]*\n  Cell [0-9]+: [^\n]*bytes ([0-9]+)\\.\\.([0-9]+)" cell "${out}")
math(EXPR head "${CMAKE_MATCH_2} - ${CMAKE_MATCH_1}")
run(0 extract cut --program 3 -o cut-3.mpg)
file(SIZE ${WORK}/cut-3.mpg kept)
file(SIZE ${THIRTY} whole)
math(EXPR tail "${kept} - ${head}")
math(EXPR from "${whole} - ${tail}")
expect("erasing the middle kept all of the recording" from GREATER ${head})
hex_of(${WORK}/cut-3.mpg got)
hex_of(${THIRTY} first LIMIT ${head})
hex_of(${THIRTY} last OFFSET ${from})
expect("program 3 after the erase is not the recording without its middle" got STREQUAL "${first}${last}")
run(0 check cut)
must_match("${out}" "no problems found")
