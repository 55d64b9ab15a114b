# recover: VR_MANGR.IFO and .BUP rebuilt from VR_MOVIE.VRO alone. The stream
# is the samples joined end to end (each join a clock jump, the middle one
# also another aspect ratio and audio coding); each recording must extract
# as the sample it was, and the stream must stay as it is.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

# stream(DIR FILES...): DIR/VR_MOVIE.VRO, the files joined.
function(stream dir)
  file(MAKE_DIRECTORY ${WORK}/${dir})
  execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${ARGN} OUTPUT_FILE ${WORK}/${dir}/VR_MOVIE.VRO RESULT_VARIABLE rc)
  expect("could not join ${ARGN}" rc EQUAL 0)
endfunction()

# extracts_as(DIR PROGRAM SAMPLE): program PROGRAM of DIR is SAMPLE's bytes.
function(extracts_as dir program sample)
  run(0 extract ${dir} --program ${program} -o ${dir}-p${program}.mpg)
  file(SHA256 ${WORK}/${dir}-p${program}.mpg got)
  file(SHA256 ${sample} want)
  expect("program ${program} of ${dir} is not ${sample}" got STREQUAL want)
endfunction()

stream(three ${PAL} ${PAL_LPCM} ${PAL})
file(SHA256 ${WORK}/three/VR_MOVIE.VRO before)
unchanged(0 three recover three --dry-run)
string(REGEX MATCHALL "recording [0-9]: bytes [0-9]+-[0-9]+" found "${out}")
string(JOIN ", " found ${found})
expect("--dry-run found other recordings:\n${out}" found STREQUAL
       "recording 1: bytes 0-305151, recording 2: bytes 305152-944127, recording 3: bytes 944128-1249279")
must_match("${out}" "recording 2: [^\n]*16:9[^\n]*LPCM[^\n]*system clock jumps back")
run(0 recover three)
file(SHA256 ${WORK}/three/VR_MOVIE.VRO after)
expect("recover changed the stream file" before STREQUAL after)
run(0 info three)
must_match("${out}" "Original chain: 3 programs")
must_match("${out}" "Program 3: [^\n]*title \"Recovered recording 3\"")
extracts_as(three 1 ${PAL})
extracts_as(three 2 ${PAL_LPCM})
extracts_as(three 3 ${PAL})
run(0 check three)
must_match("${out}" "no problems found")
# A management file that loads is never replaced.
unchanged(1 three recover three)
one_sentence_error("${err}" "holds a management file that loads")

# Garbage over the middle of the LPCM recording: the recordings around it
# come back whole, the damage is reported with its bytes.
stream(damaged ${PAL} ${PAL_LPCM} ${PAL})
string(REPEAT "a5" 20000 garbage)
damage(damaged/VR_MOVIE.VRO 553060 ${garbage})
run(0 recover damaged)
must_match("${out}" "damaged: bytes [0-9]+-[0-9]+ \\([0-9]+ bytes\\), skipped: sector [0-9]+ does not parse")
extracts_as(damaged 1 ${PAL})
run(0 info damaged)
string(REGEX MATCH "Original chain: ([0-9]+) programs" m "${out}")
extracts_as(damaged ${CMAKE_MATCH_1} ${PAL})

# A stream without a recording and a directory without a stream: refused,
# nothing written.
file(MAKE_DIRECTORY ${WORK}/noise)
file(WRITE ${WORK}/noise/VR_MOVIE.VRO "")
string(REPEAT "5a" 8192 noise)
damage(noise/VR_MOVIE.VRO 0 ${noise})
unchanged(1 noise recover noise)
one_sentence_error("${err}" "no recording was found")
file(MAKE_DIRECTORY ${WORK}/empty)
unchanged(1 empty recover empty)
one_sentence_error("${err}" "holds no VR_MOVIE.VRO")
