# Read commands on a UDF disc image (made here without mounting): info,
# extract and export give what they give on the directory, byte for byte;
# editing is refused; a ddrescue map marking sectors of program 3 unreadable
# is named by extract, export and check while program 1 extracts whole; a
# management copy that is zeroed or unreadable is passed over for the other.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

set(AC3 ${DATA}/pal_mpeg2_ac3mono_4x3.vob)
run(0 create root/DVD_RTAV ${PAL} ${DATA}/pal_mpeg2_bframes_cif.vob ${AC3} --quiet --date 2019-05-04T18:30Z)
run(0 title root --program 2 "Evening news")
run(0 chapters root/DVD_RTAV divide 2 25)
run(0 playlist root/DVD_RTAV new)
run(0 playlist root/DVD_RTAV add 1 0 3)
run(0 playlist root/DVD_RTAV add 1 1 1)
run(0 playlist root/DVD_RTAV title 1 "Best of")
execute_process(COMMAND ${GENISOIMAGE} -quiet -udf -V DVDVR -o disc.iso root WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE rc)
expect("genisoimage could not make the image" rc EQUAL 0)

# The same listing (the disc's name aside) and the same files.
reads_as_directory(disc.iso 3)

# An image is never changed, and never an output.
file(SHA256 ${WORK}/disc.iso before)
run(1 add disc.iso ${PAL})
one_sentence_error("${err}" "disc.iso is not a directory; vrmangr reads disc images and drives but never changes them")
must_match("${err}" "vrmangr copy disc.iso DIR")
run(1 extract disc.iso --program 1 -o disc.iso --force)
one_sentence_error("${err}" "disc.iso is the image the disc is read from")
file(SHA256 ${WORK}/disc.iso after)
expect("a refused command changed the image" before STREQUAL after)

# Where the stream file lies in the image.
file(READ ${WORK}/root/DVD_RTAV/VR_MOVIE.VRO first LIMIT 64 HEX)
file(READ ${WORK}/disc.iso image HEX)
string(FIND "${image}" "${first}" at)
math(EXPR at "${at} / 2")
# Program 3's recording starts behind the other two.
list(GET names 0 first_name)
list(GET names 1 second_name)
list(GET names 2 third)
file(SIZE ${WORK}/from_dir/${first_name} size1)
file(SIZE ${WORK}/from_dir/${second_name} size2)
math(EXPR start3 "${size1} + ${size2}")

# A ddrescue map marking 8 sectors inside program 3 unreadable.
math(EXPR bad "${at} + ${start3} + 20480")
rescue_map(disc.map disc.iso ${bad} 16384)
math(EXPR range_a "${start3} + 20480")
math(EXPR range_b "${range_a} + 16384")
set(named "bytes ${range_a}..${range_b} of VR_MOVIE.VRO \\(about [0-9:.]+ into it\\) are damaged: the sectors could not be read from the image disc.iso")
run(1 extract disc.iso --map disc.map --program 3 -o p3.mpg)
must_match("${err}" "^vrmangr: program 3: ${named}; zeros stand in their place.\n$")
zeros_instead(${WORK}/p3.mpg ${WORK}/from_dir/${third} 20480 16384 "program 3")
run(0 extract disc.iso --map disc.map --program 1 -o p1.mpg)
file(SHA256 ${WORK}/p1.mpg got)
file(SHA256 ${WORK}/from_dir/${first_name} want)
expect("program 1 through the map differs" got STREQUAL want)
run(0 extract disc.iso --map disc.map --program 3 -o p3-skipped.mpg --skip-damaged)
must_match("${err}" "^vrmangr: warning: program 3: left out bytes [0-9]+..[0-9]+; ${named}.\n$")
run(1 check disc.iso --map disc.map)
must_match("${out}" "^disc.iso: 1 problem found:\n  - program 3: ${named}.\n$")
one_sentence_error("${err}" "disc.iso failed the check")
run(0 check disc.iso --deep)
must_match("${out}" "^disc.iso: no problems found \\(VR_MANGR.IFO and VR_MANGR.BUP valid and identical, 3 cells")
if(HAVE_EXPORT)
  run(1 export disc.iso --map disc.map --program 3 -o p3.mp4)
  must_match("${err}" "program 3: ${named}; the export holds what its demultiplexer made of the zeros")
endif()

# The first management copy in the image zeroed, or unreadable by the map:
# the disc lists from the other, saying so.
file(READ ${WORK}/root/DVD_RTAV/VR_MANGR.IFO ifo HEX)
string(SUBSTRING "${ifo}" 0 64 ifo_head)
string(FIND "${image}" "${ifo_head}" copy_at)
math(EXPR copy_at "${copy_at} / 2")
file(COPY_FILE ${WORK}/disc.iso ${WORK}/zeroed.iso)
damage(zeroed.iso ${copy_at} 0000000000000000000000000000000000000000)
run(0 info zeroed.iso)
must_match("${err}" "^vrmangr: warning: VR_MANGR.(IFO|BUP) of zeroed.iso is damaged; read from VR_MANGR.(IFO|BUP)")
string(REGEX REPLACE "^Disc [^\n]*\n" "" listed "${out}")
expect("the disc listed from the other copy differs" listed STREQUAL from_dir)
rescue_map(copy.map disc.iso ${copy_at} 2048)
run(0 info disc.iso --map copy.map)
must_match("${err}" "^vrmangr: warning: VR_MANGR.(IFO|BUP) of disc.iso is damaged")
run(1 check disc.iso --map copy.map)
must_match("${out}" "VR_MANGR.(IFO|BUP) cannot be read.\n  - bytes 0..2048 of VR_MANGR.(IFO|BUP) could not be read \\(the copy is damaged\\).\n$")

# What is no image: one sentence each.
file(WRITE ${WORK}/notimage "hello")
run(1 info notimage)
one_sentence_error("${err}" "notimage is neither a directory nor a disc image or drive with a UDF file system")
file(WRITE ${WORK}/empty.iso "")
run(1 extract empty.iso --program 1 -o x.mpg)
one_sentence_error("${err}" "empty.iso is neither a directory nor a disc image")
expect("a refused extract wrote x.mpg" NOT EXISTS ${WORK}/x.mpg)
run(1 info nothere)
one_sentence_error("${err}" "nothere does not exist")

# type of an image: what its UDF file system holds.
run(0 type disc.iso)
expect("type of the image says ${out}" out STREQUAL "DVD-VR\n")
file(WRITE ${WORK}/video/VIDEO_TS/VIDEO_TS.IFO "DVDVIDEO-VMG and the rest")
file(MAKE_DIRECTORY ${WORK}/nothing)
foreach(tree video nothing)
  execute_process(COMMAND ${GENISOIMAGE} -quiet -udf -o ${tree}.iso ${tree} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc)
  expect("genisoimage could not make ${tree}.iso" rc EQUAL 0)
endforeach()
run(0 type video.iso)
expect("type of a DVD-Video image says ${out}" out STREQUAL "DVD-Video\n")
run(0 type nothing.iso)
expect("type of an empty image says ${out}" out STREQUAL "neither\n")
run(1 type notimage)
one_sentence_error("${err}" "notimage is neither a directory nor a disc image")

# The image's first 300 sectors (its UDF file system) and both management
# copies zeroed: recover finds the recordings in it, byte for byte.
string(FIND "${image}" "${ifo_head}" last_copy REVERSE)
math(EXPR last_copy "${last_copy} / 2")
execute_process(COMMAND ${HELPER} splice ${WORK}/wiped.iso "zeros:614400,file:${WORK}/disc.iso:614400:-1" 1
  RESULT_VARIABLE rc)
expect("could not write wiped.iso" rc EQUAL 0)
string(REPEAT "00" 2048 sector_zeros)
damage(wiped.iso ${copy_at} ${sector_zeros})
damage(wiped.iso ${last_copy} ${sector_zeros})
run(1 info wiped.iso)
run(0 recover wiped.iso -d recovered)
foreach(n 1 2 3)
  run(0 extract recovered --program ${n} -o recovered${n}.mpg)
  list(GET names 0 first_name)
  math(EXPR i "${n} - 1")
  list(GET names ${i} name)
  file(SHA256 ${WORK}/recovered${n}.mpg got)
  file(SHA256 ${WORK}/from_dir/${name} want)
  expect("recovered program ${n} differs from the disc's" got STREQUAL want)
endforeach()

# Everything in front of the management file zeroed (the UDF file system
# with it), the management file kept: it names, dates and divides the
# recovered recordings as the disc did and its playlist comes back (info
# equal but for the disc's name and the playlist's creation, which is the
# recovery's).
math(EXPR kept_end "${copy_at} + 131072")
execute_process(COMMAND ${HELPER} splice ${WORK}/survivor.iso
  "zeros:${copy_at},file:${WORK}/disc.iso:${copy_at}:131072,file:${WORK}/disc.iso:${kept_end}:-1" 1
  RESULT_VARIABLE rc)
expect("could not write survivor.iso" rc EQUAL 0)
run(0 recover survivor.iso -d titled)
must_match("${out}" "recording 2 is program 2 \\(\"Evening news\"\\) of the management file at byte ${copy_at}\n")
must_match("${out}" "dated by the management file that survived")
must_match("${out}" "playlist 1 \\(\"Best of\"\\) restored as playlist 1\n")
run(0 info titled)
string(REGEX REPLACE "^Disc [^\n]*\n" "" titled "${out}")
string(REGEX REPLACE "created [^,]*," "created," titled "${titled}")
string(REGEX REPLACE "created [^,]*," "created," before "${from_dir}")
expect("the disc recovered with its management file differs:\n${titled}" titled STREQUAL before)

