# create, add, add-still, info (text and JSON against golden files) and a
# clean check.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

run(0 create disc ${PAL} --still ${STILL} --quiet)
run(0 add disc ${PAL_LPCM})
run(0 add-still disc ${STILL})
file(SIZE ${PAL} pal)
file(SIZE ${PAL_LPCM} lpcm)
file(SIZE ${WORK}/disc/VR_MOVIE.VRO movie)
math(EXPR both "${pal} + ${lpcm}")
if(NOT movie EQUAL both)
  message(FATAL_ERROR "VR_MOVIE.VRO is ${movie} bytes, expected ${both}")
endif()

run(0 info disc)
golden("${out}" info.txt)
run(0 info disc --json)
golden("${out}" info.json)

run(0 check disc)
must_match("${out}" "no problems found")
