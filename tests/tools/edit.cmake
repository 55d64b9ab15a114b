# demo, then every chapter and playlist command on a disc of one recording
# of 50 frames, refused ones too, each followed by the chains, cells and
# entry points info lists: golden/edit.txt.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

# edit(CODE ARGS...): the edit, then info's lines of chains, cells and
# entry points into the transcript.
function(edit code)
  run(${code} ${ARGN})
  execute_process(COMMAND ${TOOL} info disc WORKING_DIRECTORY ${WORK} OUTPUT_VARIABLE info)
  string(REGEX MATCHALL "(Original chain|Playlist|  Cell|    Entry point)[^\n]*\n" lines "${info}")
  string(REPLACE ";" "" lines "${lines}")
  set_property(GLOBAL APPEND_STRING PROPERTY transcript "${lines}")
endfunction()

run(0 demo demo)
run(1 demo demo)
run(0 create disc ${PAL})
edit(0 chapters disc divide 1 20)
edit(0 chapters disc divide 2 10)
edit(1 chapters disc divide 3 30)  # past the recording's end
edit(0 chapters disc combine 1 2)
edit(0 chapters disc combine 1 2)
edit(0 chapters disc divide 1 25)
run(0 playlist disc new)
edit(0 playlist disc new)
edit(0 playlist disc add 1 0 1)  # original entry point 1 (25 frames)
edit(0 playlist disc add 1 1 2)  # then entry point 2
edit(0 playlist disc add 1 0 2)  # and entry point 2 again, first
edit(0 playlist disc move 1 1 3)  # the first segment to the end
edit(0 playlist disc divide 1 1 10)
edit(0 playlist disc combine 1 1 2)
edit(0 playlist disc remove 1 3)
edit(0 playlist disc title 1 "Evening news")
edit(1 playlist disc remove 1 3)
edit(1 playlist disc add 1 0 9)
edit(1 playlist disc divide 1 2 100)
edit(0 playlist disc delete 1)
run(0 playlist disc delete 1)
run(0 info disc)
run(0 check disc)
transcript(edit.txt)

# chapters and playlist take the disc's root for its DVD_RTAV folder, as
# the other commands do.
run(0 create rooted/DVD_RTAV ${PAL} --quiet)
run(0 chapters rooted divide 1 25)
run(0 playlist rooted new)
expect("playlist new on the disc's root printed ${out}" out STREQUAL "1\n")
run(0 info rooted/DVD_RTAV)
must_match("${out}" "Entry point 2: 0:00:01.000")
