# Help, usage errors (exit 2) and failures (exit 1) with their messages.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

run(0 --help)
set(tool_help "${out}")
foreach(command create add add-still info type chapters playlist extract check repair demo)
  must_match("${tool_help}" "\n  ${command} " "(tool help lists ${command})")
  run(0 ${command} --help)
  must_match("${out}" "^Usage: vrmangr ${command}")
endforeach()

# Usage errors (exit 2): the message names the command and points at its
# help. Words of one call are joined by '|'.
run(2)
run(2 frobnicate)
must_match("${err}" "unknown command 'frobnicate'")
foreach(call info info|a|b info|d|--xml add|d chapters|d|split|1|2 chapters|d|divide|1 chapters|d|divide|x|10
        chapters|d|combine|3|2 playlist|d playlist|d|add|1|0 playlist|d|remove|0|1 playlist|d|title|1
        extract|d|-o|x.mpg extract|d|--program|1 extract|d|--program|1|--playlist|1|-o|x.mpg
        extract|d|--entry|-3|-o|x.mpg check create type|-x repair|d|--from)
  string(REPLACE "|" ";" words "${call}")
  run(2 ${words})
  list(GET words 0 command)
  must_match("${err}" "^vrmangr ${command}: [^\n]*\\.\nTry 'vrmangr ${command} --help'")
endforeach()

# Failures name the file concerned.
run(1 info missing)
one_sentence_error("${err}" "missing")
file(MAKE_DIRECTORY ${WORK}/empty)
run(1 info empty)
one_sentence_error("${err}" "empty holds no DVD-VR disc")
run(1 check empty)
run(1 add empty ${PAL})

# type
run(0 type empty)
must_match("${out}" "^neither\n$")
file(MAKE_DIRECTORY ${WORK}/video)
file(WRITE ${WORK}/video/VIDEO_TS.IFO "DVDVIDEO-VMG and more")
run(0 type video)
must_match("${out}" "^DVD-Video\n$")
run(1 type missing)

# A refused recording: create leaves nothing behind, add leaves the disc
# as it was.
run(1 create fresh ${VCD})
one_sentence_error("${err}" "pal_vcd.mpg has packs of 2324 bytes")
expect("a failed create left ${WORK}/fresh behind" NOT EXISTS ${WORK}/fresh)
run(1 create fresh ${PAL} ${DATA}/no-such-file.mpg)
one_sentence_error("${err}" "no-such-file.mpg")
expect("a failed create left ${WORK}/fresh behind" NOT EXISTS ${WORK}/fresh)

run(0 create disc ${PAL})
run(0 type disc)
must_match("${out}" "^DVD-VR\n$")
run(1 create disc ${PAL})
one_sentence_error("${err}" "disc already holds a DVD-VR disc")
unchanged(1 disc add disc ${PAL} ${NTSC})
one_sentence_error("${err}" "ntsc_mpeg2_ac3_16x9.vob is a 525/60 recording")
unchanged(1 disc add disc ${DATA}/mpeg1_system_packs.mpg)
one_sentence_error("${err}" "mpeg1_system_packs.mpg")
unchanged(1 disc add-still disc ${PAL_LPCM})
one_sentence_error("${err}" "pal_mpeg2_lpcm_16x9.vob")

# Numbers that name nothing.
run(1 chapters disc divide 2 10)
one_sentence_error("${err}" "has 1 entry point, not 2")
run(1 chapters disc divide 1 1000)
run(1 playlist disc delete 1)
one_sentence_error("${err}" "there is no playlist 1")
run(1 extract disc --program 2 -o x.mpg)
one_sentence_error("${err}" "no program 2")
run(1 playlist disc title 1 "a text that is much longer than the sixty-three bytes a title can hold")
