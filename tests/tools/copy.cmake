# copy: a disc read from a UDF image (made here without mounting) and from a
# directory into a new directory, byte for byte; an image cut short gives
# zeros for what it lost, naming the range and the program; what is no disc
# and a directory that holds one are refused with one sentence.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

set(STILL ${DATA}/still_pal_2pictures.vob)
run(0 create root/DVD_RTAV ${PAL} ${DATA}/pal_mpeg2_bframes_cif.vob --still ${STILL} --quiet)
execute_process(COMMAND ${GENISOIMAGE} -quiet -udf -V DVDVR -o disc.iso root WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE rc)
expect("genisoimage could not make the image" rc EQUAL 0)
set(four VR_MANGR.IFO VR_MANGR.BUP VR_MOVIE.VRO VR_STILL.VRO)

# same_files(DIR): DIR holds the four files of root/DVD_RTAV, byte for byte.
function(same_files dir)
  foreach(f ${four})
    file(SHA256 ${WORK}/root/DVD_RTAV/${f} want)
    file(SHA256 ${WORK}/${dir}/${f} got)
    expect("${dir}/${f} is not the disc's ${f}" got STREQUAL want)
  endforeach()
endfunction()

run(0 copy disc.iso out)
must_match("${out}" "^out: 4 files copied from the image disc.iso.\n$")
same_files(out)
run(0 info out)
# A directory that holds a disc is not written over; a directory source
# (given as the folder above DVD_RTAV) copies the same.
file(SHA256 ${WORK}/out/VR_MOVIE.VRO before)
run(1 copy disc.iso out)
one_sentence_error("${err}" "out already holds VR_MANGR.IFO")
file(SHA256 ${WORK}/out/VR_MOVIE.VRO after)
expect("a refused copy changed out" before STREQUAL after)
run(0 copy root out2)
same_files(out2)
# What is no disc: one sentence, nothing made.
file(WRITE ${WORK}/notimage "hello")
run(1 copy notimage out3)
one_sentence_error("${err}" "notimage is neither a directory nor a disc image or drive with a UDF file system")
expect("a refused copy made out3" NOT EXISTS ${WORK}/out3)
run(2 copy disc.iso)

# An image cut short 400,000 bytes into VR_MOVIE.VRO: the blocks it still
# holds are copied, the rest are zeros, named with the programs they hit.
file(SIZE ${WORK}/root/DVD_RTAV/VR_MOVIE.VRO movie)
file(READ ${WORK}/root/DVD_RTAV/VR_MOVIE.VRO first LIMIT 64 HEX)
file(READ ${WORK}/disc.iso image HEX)
string(FIND "${image}" "${first}" at)
expect("the movie stream is not in the image" NOT at EQUAL -1)
math(EXPR at "${at} / 2")
math(EXPR cut "${at} + 400000")
file(COPY_FILE ${WORK}/disc.iso ${WORK}/cut.iso)
damage(cut.iso truncate ${cut})
run(1 copy cut.iso out4)
must_match("${err}" "^vrmangr: bytes 399360..${movie} of VR_MOVIE.VRO could not be read from the image cut.iso; zeros stand in their place \\(program 2\\).\nvrmangr: bytes 0..69632 of VR_STILL.VRO could not be read from the image cut.iso; zeros stand in their place \\(program 3\\).\n$")
file(READ ${WORK}/out4/VR_MOVIE.VRO got LIMIT 399360 HEX)
file(READ ${WORK}/root/DVD_RTAV/VR_MOVIE.VRO want LIMIT 399360 HEX)
expect("the readable part of VR_MOVIE.VRO differs" got STREQUAL want)
file(READ ${WORK}/out4/VR_MOVIE.VRO lost OFFSET 399360 LIMIT 64 HEX)
string(REPEAT "00" 64 zeros)
expect("the lost part of VR_MOVIE.VRO is not zeros" lost STREQUAL zeros)

# A ddrescue map marking 8 sectors inside program 2 bad: those sectors, and
# no others, become zeros; the copy names their range and program 2; the
# rest is the disc's, byte for byte.
math(EXPR bad "${at} + 305152 + 20480")
rescue_map(disc.map disc.iso ${bad} 16384)
run(1 copy disc.iso mapped --map disc.map)
must_match("${err}" "^vrmangr: bytes 325632..342016 of VR_MOVIE.VRO could not be read from the image disc.iso; zeros stand in their place \\(program 2\\).\n$")
zeros_instead(${WORK}/mapped/VR_MOVIE.VRO ${WORK}/root/DVD_RTAV/VR_MOVIE.VRO 325632 16384 VR_MOVIE.VRO)
foreach(f VR_MANGR.IFO VR_MANGR.BUP VR_STILL.VRO)
  file(SHA256 ${WORK}/root/DVD_RTAV/${f} want)
  file(SHA256 ${WORK}/mapped/${f} got)
  expect("mapped/${f} is not the disc's" got STREQUAL want)
endforeach()
# A map that does not parse, or is of a smaller image: one sentence, nothing made.
file(WRITE ${WORK}/junk.map "0x0 + 1\nhello world\n")
run(1 copy disc.iso junkout --map junk.map)
one_sentence_error("${err}" "junk.map is no ddrescue map: line 2 is not \"pos size status\"")
file(WRITE ${WORK}/small.map "0x0 + 1\n0x0 0x800 +\n")
run(1 copy disc.iso smallout --map small.map)
one_sentence_error("${err}" "small.map describes 2048 bytes, fewer than the [0-9]+ of the image")
expect("a refused copy made a directory" NOT EXISTS ${WORK}/junkout)
run(1 copy root out5 --map disc.map)
one_sentence_error("${err}" "--map is for a disc image")
