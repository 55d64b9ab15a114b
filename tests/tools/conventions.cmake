# Discs laid out as recorders of other makers leave them (made by
# tool_test_conventions, tests/support/Conventions.h): info shows what
# their fields say, as text and in JSON, and extract gives each program's
# recording as the sample it came from: golden/conventions.txt.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

# lines(DISC ARGS REGEX): info ARGS, only the lines that match into the
# transcript.
function(lines disc args regex)
  execute_process(COMMAND ${TOOL} info ${disc} ${args} WORKING_DIRECTORY ${WORK} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  expect("info ${disc} ${args} failed" rc EQUAL 0)
  string(STRIP "$ vrmangr info ${disc} ${args}" command)
  set_property(GLOBAL APPEND_STRING PROPERTY transcript "${command} | lines\n")
  string(REGEX MATCHALL "${regex}" matched "${out}")
  string(REPLACE ";" "" matched "${matched}")
  set_property(GLOBAL APPEND_STRING PROPERTY transcript "${matched}")
endfunction()

# disc(NAME SAMPLES...): the fixture, its info, and each program extracted
# as the bytes of its sample.
function(disc name)
  execute_process(COMMAND ${FIXTURE} ${name} ${DATA} ${WORK}/${name} RESULT_VARIABLE rc)
  expect("the fixture ${name} could not be built" rc EQUAL 0)
  # The disc's protection, each program and playlist, their pictures and
  # sound; in JSON the members the fixtures change.
  lines(${name} "" "(Original chain|Program|Playlist|  protection|                [A-Z]|    video|    audio)[^\n]*\n")
  lines(${name} --json "\"(protected|cpsi|title_key|label|title|width|height|mode)\": [^\n]*\n")
  set(pg 0)
  foreach(sample ${ARGN})
    math(EXPR pg "${pg} + 1")
    if(sample STREQUAL "encrypted")  # its packs are marked scrambled
      continue()
    endif()
    run(0 extract ${name} --program ${pg} -o ${name}-${pg}.mpg)
    file(SHA256 ${WORK}/${name}-${pg}.mpg got)
    file(SHA256 ${DATA}/${sample} want)
    expect("program ${pg} of ${name} is not ${sample}" got STREQUAL want)
  endforeach()
endfunction()

disc(first-program-0 pal_mpeg2_mp2_4x3.vob pal_mpeg2_mp2_4x3.vob)
disc(first-program-ffff pal_mpeg2_mp2_4x3.vob pal_mpeg2_mp2_4x3.vob)
disc(texts pal_mpeg2_mp2_4x3.vob pal_mpeg2_mp2_4x3.vob)
disc(formatted)
run(1 extract formatted --all -d out)
disc(attributes-625 pal_mpeg2_mp2_4x3.vob pal_mpeg2_lpcm_16x9.vob pal_mpeg2_mp2_4x3.vob)
disc(attributes-525 ntsc_mpeg2_ac3_16x9.vob ntsc_mpeg1_mp2_4x3.vob)
disc(cprm pal_mpeg2_mp2_4x3.vob encrypted pal_mpeg2_mp2_4x3.vob)
# A recorder nine hours east of UTC keeps its local times (the golden file
# masks dates: matched here); a recording added with a UTC time lists at
# that zone's time.
disc(zone-0900 pal_mpeg2_mp2_4x3.vob pal_mpeg2_mp2_4x3.vob)
run(0 add zone-0900 ${DATA}/pal_mpeg2_mp2_4x3.vob --date 2019-10-30T13:40:00Z)
run(0 info zone-0900)
must_match("${out}" "time zone: +UTC\\+09:00")
must_match("${out}" "Program 1: movie, recorded 2019-10-30 22:32:07 \\+09:00, title \"2019/10/30\"")
must_match("${out}" "Program 3: movie, recorded 2019-10-30 22:40:00 \\+09:00")
must_match("${out}" "Playlist 1: [^\n]*created 2019-10-30 22:32:07 \\+09:00")
run(0 info zone-0900 --json)
must_match("${out}" "\"recorded\": \"2019-10-30T22:32:07\\+09:00\"")
transcript(conventions.txt)
