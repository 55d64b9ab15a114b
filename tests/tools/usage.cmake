# Help, usage errors (exit 2: a sentence naming the command and pointing at
# its help) and failures (exit 1: one sentence naming the file or number
# concerned): what each prints is golden/usage.txt.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

# runs(CODE CALLS...): run(CODE ...) of each call, its words joined by '|'.
function(runs code)
  foreach(call ${ARGN})
    string(REPLACE "|" ";" words "${call}")
    run(${code} ${words})
  endforeach()
endfunction()

runs(0 --help create|--help add|--help add-still|--help info|--help type|--help chapters|--help program|--help playlist|--help author|--help
     extract|--help check|--help repair|--help demo|--help)
run(2)
# The man page describes every command --help lists, and --version.
execute_process(COMMAND ${TOOL} --help OUTPUT_VARIABLE out)
string(REGEX MATCHALL "\n  [a-z-]+ " listed "${out}")
file(READ ${CMAKE_CURRENT_LIST_DIR}/../../docs/vrmangr.1 man)
foreach(command ${listed} "--version")
  string(STRIP "${command}" command)
  string(REPLACE "-" "\\-" roff "${command}")
  string(FIND "${man}" ".B ${roff}" at)
  expect("the man page does not describe ${command}" NOT at EQUAL -1)
endforeach()
must_match("${out}" "vrmangr --help \\| --version")
runs(2 frobnicate info info|a|b info|d|--xml add|d chapters|d|split|1|2 chapters|d|divide|1 chapters|d|divide|x|10
     chapters|d|combine|3|2 program|d program|d|cut|1 program|d|delete program|d|erase|1|5 program|d|divide|1|1:75
     playlist|d playlist|d|add|1|0 playlist|d|remove|0|1 playlist|d|title|1
     extract|d|-o|x.mpg extract|d|--program|1 extract|d|--program|1|--playlist|1|-o|x.mpg
     extract|d|--entry|-3|-o|x.mpg check create type|-x repair|d|--from add|d|f.mpg|--date|yesterday
     create|d|--date|2019-02-29 add-still|d|f|--date)

file(MAKE_DIRECTORY ${WORK}/empty ${WORK}/video)
file(WRITE ${WORK}/video/VIDEO_TS.IFO "DVDVIDEO-VMG and more")
runs(0 type|empty type|video)
# The disc named by its root (holding DVD_RTAV) or by its management file;
# a global option before the command.
run(0 create root/DVD_RTAV ${PAL} --quiet)
runs(0 --quiet|check|root check|root/DVD_RTAV/VR_MANGR.IFO)
runs(1 info|missing info|empty check|empty add|empty|${PAL} type|missing)

# A refused recording: create leaves nothing behind, add leaves the disc
# as it was.
foreach(call create|fresh|${VCD} create|fresh|${PAL}|${DATA}/no-such-file.mpg)
  runs(1 ${call})
  expect("a failed create left ${WORK}/fresh behind" NOT EXISTS ${WORK}/fresh)
endforeach()
run(0 create disc ${PAL})
run(0 type disc)
run(1 create disc ${PAL})
unchanged(1 disc add disc ${PAL} ${NTSC})
unchanged(1 disc add disc ${DATA}/mpeg1_system_packs.mpg)
unchanged(1 disc add-still disc ${PAL_LPCM})

# Numbers that name nothing.
runs(1 chapters|disc|divide|2|10 chapters|disc|divide|1|1000 playlist|disc|delete|1 extract|disc|--program|2|-o|x.mpg)
run(1 playlist disc title 1 "a text that is much longer than the sixty-three bytes a title can hold")
transcript(usage.txt)
