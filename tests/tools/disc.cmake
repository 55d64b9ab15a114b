# create, add, add-still, info (text and JSON) and a clean check: what they
# print is golden/disc.txt, the JSON golden/info.json.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

run(0 create disc ${PAL} --still ${STILL} --quiet)
run(0 add disc ${PAL_LPCM})
run(0 add-still disc ${STILL})
run(0 info disc)
run(0 check disc)

# A stream file that no management file describes may be all that is left
# of earlier recordings: create (and demo) refuse to replace it, changing
# nothing; --force replaces it.
file(MAKE_DIRECTORY ${WORK}/orphan)
file(COPY_FILE ${PAL} ${WORK}/orphan/VR_MOVIE.VRO)
unchanged(1 orphan create orphan ${PAL_LPCM})
unchanged(1 orphan demo orphan)
run(0 create orphan ${PAL_LPCM} --force)
run(0 check orphan)  # no data left behind the new recording
# Each file is a program of its own; --join puts a file of the same day
# into the last program.
run(0 create joined ${PAL} --still ${STILL} --join)
run(0 add joined ${PAL_LPCM} --join)
run(0 add joined ${PAL} --quiet)
run(0 info joined)
transcript(disc.txt)
run(0 info disc --json)
golden("${out}" info.json)
