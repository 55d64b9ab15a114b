# Unused sectors between recordings, as an edit leaves them when it gives a
# deleted recording's sectors back (or as never written ones read): zeros.
# recover calls them unused and keeps the recording in front of them whole;
# check counts them as free space (no warning), repair leaves them.
# (Adds into them: tests/manager and tool_program.)
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

file(MAKE_DIRECTORY ${WORK}/gap)
# The PAL recording, 200 sectors of zeros, the LPCM recording.
splice(gap/VR_MOVIE.VRO file:${PAL}:0:-1 zeros:409600 file:${PAL_LPCM}:0:-1)
run(0 recover gap --dry-run)
must_match("${out}" "^recording 1: bytes 0..305152 \\(149 sectors\\), [^\n]*, end: unused sectors;")
must_match("${out}" "\nunused: bytes 305152..714752 \\(409600 bytes\\): nothing but zero bytes")
must_match("${out}" "\nrecording 2: bytes 714752..1353728 ")
run(0 recover gap)
expect("recover called unused sectors damaged" NOT out MATCHES "damaged")
unchanged(0 gap check gap)
must_match("${out}" "no problems found \\([^\n]*, 410 KB free between recordings\\)")
unchanged(0 gap repair gap)
must_match("${out}" "nothing to repair")

# Sectors between recordings that hold data are no free space: a warning.
# (An add into free space: tool_program.)
damage(gap/VR_MOVIE.VRO 620000 6e6f74)
run(0 check gap)
must_match("${out}" "warning: VR_MOVIE.VRO: sectors 149 to 348 \\(200 sectors\\) lie before the last recording but belong to none")
