# export: what it refuses (one sentence each, nothing created) and what it
# writes where; the files' contents are read back in tests/export.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

run(0 create disc ${PAL_LPCM} ${PAL})
run(0 playlist disc new)
run(0 playlist disc add 1 0 2)

# LPCM does not fit MP4: it is transcoded to AAC with a note, or with
# --audio copy refused with a sentence that names MKV; MKV and MPEG-PS take
# it. AAC does not fit MPEG-PS.
run(0 export disc --program 1 -o lpcm.mp4)
must_match("${err}" "^vrmangr: note: MP4 cannot hold the LPCM audio of program 1; its audio is transcoded to AAC")
run(1 export disc --program 1 -o lpcm.mkv --format mp4 --audio copy)
one_sentence_error("${err}" "MP4 cannot hold the LPCM audio of program 1; export it to MKV")
run(2 export disc --program 1 -o lpcm.mpg --audio aac)
run(2 export disc --program 1 -o lpcm.mpg --audio mp3)
run(0 export disc --program 1 -o lpcm.mkv)
run(0 export disc --program 1 -o lpcm.mpg)
# No such program or playlist.
run(1 export disc --program 3 -o x.mkv)
one_sentence_error("${err}" "has 2 programs; there is no program 3")
run(1 export disc --playlist 2 -o x.mkv)
one_sentence_error("${err}" "has 1 playlist; there is no playlist 2")
file(GLOB made ${WORK}/x.mkv*)
expect("a refused export created ${made}" NOT made)
# An existing output stays as it was without --force.
file(WRITE ${WORK}/keep.mkv "mine")
run(1 export disc --playlist 1 -o keep.mkv)
one_sentence_error("${err}" "keep.mkv exists; give --force")
file(READ ${WORK}/keep.mkv kept)
expect("a refused export changed keep.mkv" kept STREQUAL "mine")
run(0 export disc --playlist 1 -o keep.mkv --force)
file(SIZE ${WORK}/keep.mkv size)
expect("--force did not replace keep.mkv" size GREATER 1000)
# Never onto a file of the disc being read, whatever the spelling, with or
# without --force; nor --all into the disc's directory.
foreach(target disc/VR_MOVIE.VRO disc/../disc/VR_MANGR.IFO /proc/self/cwd/disc/VR_MANGR.BUP disc/VR_STILL.VRO)
  foreach(format mkv mpg)
    unchanged(1 disc export disc --program 1 -o ${target} --format ${format} --force)
    one_sentence_error("${err}" "of the disc in disc; an output never replaces")
  endforeach()
endforeach()
unchanged(1 disc export disc --all -d disc/. --force)
one_sentence_error("${err}" "disc/. is the directory of the disc being read")
# Three sectors zeroed inside a VOBU of program 2: the export is written
# whole, the damaged range named, exit 1.
file(COPY ${WORK}/disc/ DESTINATION ${WORK}/holes)
file(SIZE ${PAL_LPCM} lpcm_size)
math(EXPR at "${lpcm_size} + 20480")
string(REPEAT "00" 6144 zeros)
damage(holes/VR_MOVIE.VRO ${at} ${zeros})
run(1 export holes --program 2 -o holes.mkv)
math(EXPR to "${at} + 6144")
one_sentence_error("${err}" "program 2: bytes ${at}..${to} of VR_MOVIE.VRO \\(about [0-9:.]+ into it\\) are damaged")
file(SIZE ${WORK}/holes.mkv size)
expect("the damaged export was not written (${size} bytes)" size GREATER 100000)
# The stream of the two recordings swapped: program 1's bytes hold the
# other recording, whose navigation packs lie elsewhere.
file(COPY ${WORK}/disc/ DESTINATION ${WORK}/swapped)
execute_process(COMMAND sh -c "cat '${PAL}' '${PAL_LPCM}' > swapped/VR_MOVIE.VRO" WORKING_DIRECTORY ${WORK})
run(1 export swapped --program 1 -o swapped.mkv)
must_match("${err}" "^vrmangr: program 1: bytes [0-9]+..[0-9]+ of VR_MOVIE.VRO [^\n]* are damaged: (no navigation pack where the time map places a VOBU|a navigation pack where the time map places no VOBU)")
# A write that fails and Ctrl-C: exit 1 or 130, one sentence, no file.
fails_cleanly(export big.mkv --program 2)
# Usage.
run(2 export disc -o x.mkv)
run(2 export disc --program 1 -o x.mkv --format avi)
# An extension of a container export does not write is refused, not
# written as MKV.
run(2 export disc --program 1 -o x.avi)
must_match("${err}" "x.avi names no container export writes")
expect("a refused export wrote x.avi" NOT EXISTS ${WORK}/x.avi)

# --all: one file per program and playlist, named as extract names them.
run(0 export disc --all --playlists -d all --name "{chain}{n}" --format mpg)
file(GLOB made RELATIVE ${WORK}/all ${WORK}/all/*)
string(REPLACE ";" " " made "${made}")
expect("--all wrote ${made}" made STREQUAL "playlist01.mpg program01.mpg program02.mpg")
run(1 export disc --all -d all --name "{chain}{n}" --format mpg)
one_sentence_error("${err}" "program01.mpg exists")
# One item that cannot be exported does not stop the others: MP4 takes no
# LPCM, so program 1 is named and left out, program 2 written, exit 1.
run(1 export disc --all -d mp4 --name "{chain}{n}" --format mp4 --audio copy)
must_match("${err}" "MP4 cannot hold the LPCM audio of program 1[^\n]*\nvrmangr: 1 file of 2 was written")
file(GLOB made RELATIVE ${WORK}/mp4 ${WORK}/mp4/*)
expect("--all --format mp4 wrote ${made}" made STREQUAL "program02.mp4")
transcript(export.txt)

# Cells of different picture sizes make no one file: refused, naming the
# cell and both sizes.
run(0 create sizes ${PAL} ${DATA}/pal_mpeg2_bframes_cif.vob)
run(0 playlist sizes new)
run(0 playlist sizes add 1 0 1)
run(0 playlist sizes add 1 1 2)
run(1 export sizes --playlist 1 -o sizes.mkv)
one_sentence_error("${err}" "playlist 1 cannot be exported as one file: cell 2 is MPEG-2 352x288 where cell 1 is MPEG-2 720x576")
expect("a refused export wrote sizes.mkv" NOT EXISTS ${WORK}/sizes.mkv)

# The tool loads the export module at run time: without it (a tool copied
# alone) or with a file that is no module in its place, export says so in
# one sentence and writes nothing; the other commands run as before.
file(MAKE_DIRECTORY ${WORK}/alone)
file(COPY ${TOOL} DESTINATION ${WORK}/alone)
get_filename_component(tool_name ${TOOL} NAME)
set(TOOL ${WORK}/alone/${tool_name})
run(1 export disc --program 1 -o alone.mkv)
one_sentence_error("${err}" "export cannot run: its module vrmangr-export.so is not installed beside the tool")
file(WRITE ${WORK}/alone/vrmangr-export.so "not a module")
run(1 export disc --program 1 -o alone.mkv)
one_sentence_error("${err}" "export cannot run: .*alone/vrmangr-export.so cannot be loaded: ")
expect("export without its module wrote alone.mkv" NOT EXISTS ${WORK}/alone.mkv)
run(0 info disc)
