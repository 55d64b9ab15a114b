# demo, then every chapter and playlist command, each checked through info.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

run(0 demo demo)
golden("${out}" demo.txt)
run(1 demo demo)
one_sentence_error("${err}" "demo already holds a DVD-VR disc")

# edited(SECTION "FRAMES " ARGS...): runs the edit, then info: the entry
# points of SECTION ("Original chain", "Playlist 1") are of FRAMES frames.
function(edited section expected)
  if(ARGN)
    run(0 ${ARGN})
  endif()
  run(0 info disc)
  string(REGEX MATCH "${section}.*" part "${out}")
  if(NOT section MATCHES "^Playlist")
    string(REGEX REPLACE "\nPlaylists:.*" "" part "${part}")
  endif()
  string(REGEX MATCHALL "Entry point [0-9]+: [0-9:.]+ \\+[0-9:.]+ \\(([0-9]+) frames?\\)" lines "${part}")
  set(frames "")
  foreach(line ${lines})
    string(REGEX REPLACE ".*\\(([0-9]+) frames?\\)" "\\1" n "${line}")
    string(APPEND frames "${n} ")
  endforeach()
  expect("${ARGN}: ${section} has entry points of '${frames}' frames, expected '${expected}'" frames STREQUAL expected)
  set(out "${out}" PARENT_SCOPE)
endfunction()

# Chapters of the original chain: one recording of 50 frames.
run(0 create disc ${PAL})
edited("Original chain" "50 ")
edited("Original chain" "20 30 " chapters disc divide 1 20)
edited("Original chain" "20 10 20 " chapters disc divide 2 10)
run(1 chapters disc divide 3 30)  # past the recording's end
edited("Original chain" "30 20 " chapters disc combine 1 2)
edited("Original chain" "50 " chapters disc combine 1 2)
run(0 chapters disc divide 1 25)

# Playlists.
run(0 playlist disc new)
must_match("${out}" "^1\n$")
run(0 playlist disc new)
must_match("${out}" "^2\n$")
run(0 playlist disc add 1 0 1)  # original entry point 1 (25 frames)
run(0 playlist disc add 1 1 2)  # then entry point 2
edited("Playlist 1" "25 25 25 " playlist disc add 1 0 2)  # and entry point 2 again, first
must_match("${out}" "Playlist 1: \"<?[0-9/ ]+\"?[^\n]*, movie, created [^\n]*, 3 cells, 0:00:03.000")
string(REGEX MATCHALL "Playlist 1[^\n]*\n  Cell 1: movie VOB 1, [^\n]*bytes ([0-9]+)" first "${out}")
must_match("${first}" "bytes 69632$" "(the copy of entry point 2 comes first)")

edited("Playlist 1" "25 25 25 " playlist disc move 1 1 3)  # the first segment to the end
must_match("${out}" "Playlist 1[^\n]*\n  Cell 1: [^\n]*bytes 0\\.\\.")
edited("Playlist 1" "10 15 25 25 " playlist disc divide 1 1 10)
edited("Playlist 1" "25 25 25 " playlist disc combine 1 1 2)
edited("Playlist 1" "25 25 " playlist disc remove 1 3)
run(0 playlist disc title 1 "Evening news")
run(0 info disc)
must_match("${out}" "Playlist 1: \"Evening news\", movie")
must_match("${out}" "Playlist 2: \"<?[0-9/ ]+\"?[^\n]*, still, [^\n]*, 0 cells")

# Refused edits change nothing.
run(1 playlist disc remove 1 3)
one_sentence_error("${err}" "playlist 1 of disc has 2 entry points, not 3")
run(1 playlist disc add 1 0 9)
one_sentence_error("${err}" "original chain of disc has 2 entry points, not 9")
run(1 playlist disc divide 1 2 100)
edited("Playlist 1" "25 25 ")

run(0 playlist disc delete 1)
run(0 info disc)
must_match("${out}" "Playlists: 1\n")
must_not_match("${out}" "Evening news")
run(0 playlist disc delete 1)
run(0 info disc)
must_match("${out}" "Playlists: 0\n")
golden("${out}" edited.txt)
run(0 check disc)
