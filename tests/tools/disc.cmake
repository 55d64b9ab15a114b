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
expect("VR_MOVIE.VRO is ${movie} bytes, expected ${both}" movie EQUAL both)

run(0 info disc)
golden("${out}" info.txt)
run(0 info disc --json)
golden("${out}" info.json)

run(0 check disc)
must_match("${out}" "no problems found")

# A stream file that no management file describes may be all that is left
# of earlier recordings: create (and demo) refuse to replace it, changing
# nothing; --force replaces it.
file(MAKE_DIRECTORY ${WORK}/orphan)
file(COPY_FILE ${PAL} ${WORK}/orphan/VR_MOVIE.VRO)
foreach(command "create;orphan;${PAL_LPCM}" "demo;orphan")
  run(1 ${command})
  one_sentence_error("${err}" "orphan/VR_MOVIE.VRO holds ${pal} bytes of recordings that no management file describes; move it away to keep it, or give 'vrmangr create' --force")
endforeach()
file(GLOB left RELATIVE ${WORK}/orphan ${WORK}/orphan/*)
file(SHA256 ${WORK}/orphan/VR_MOVIE.VRO kept)
file(SHA256 ${PAL} original)
expect("a refused create changed orphan: ${left}" left STREQUAL "VR_MOVIE.VRO" AND kept STREQUAL original)
run(0 create orphan ${PAL_LPCM} --force)
file(SIZE ${WORK}/orphan/VR_MOVIE.VRO movie)
expect("create --force left VR_MOVIE.VRO of ${movie} bytes, expected ${lpcm}" movie EQUAL lpcm)
run(0 check orphan)
