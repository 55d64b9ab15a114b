# A UDF image (written here, without mounting) whose VR_MOVIE.VRO is a
# real-time file in two extents stored out of order: info, extract and
# export read it as they read the directory, byte for byte.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

run(0 create root/DVD_RTAV ${PAL} ${DATA}/pal_mpeg2_bframes_cif.vob --quiet --date 2019-05-04T18:30Z)
run(0 title root --program 2 "Evening news")
run(0 chapters root/DVD_RTAV divide 2 25)
execute_process(COMMAND ${PYTHON} ${WRITER} root/DVD_RTAV fragmented.iso --fragment WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE rc ERROR_VARIABLE e)
expect("the image could not be written: ${e}" rc EQUAL 0)
# The stream file's second half lies in front of its first.
file(READ ${WORK}/root/DVD_RTAV/VR_MOVIE.VRO movie HEX)
file(READ ${WORK}/fragmented.iso image HEX)
file(SIZE ${WORK}/root/DVD_RTAV/VR_MOVIE.VRO size)
math(EXPR half "${size} / 4096 * 2048 * 2")
string(SUBSTRING "${movie}" 0 8192 head)
string(SUBSTRING "${movie}" ${half} 8192 tail)
string(FIND "${image}" "${head}" head_at)
string(FIND "${image}" "${tail}" tail_at)
expect("VR_MOVIE.VRO is not stored out of order" NOT head_at EQUAL -1 AND NOT tail_at EQUAL -1 AND tail_at LESS head_at)

reads_as_directory(fragmented.iso 2)
run(0 check fragmented.iso --deep)
must_match("${out}" "^fragmented.iso: no problems found")
