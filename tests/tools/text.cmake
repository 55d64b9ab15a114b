# Titles: a disc laid out as a recorder leaves it (labels of spaces, titles
# in the second halves, Shift-JIS), `title` and `playlist title` writing
# through the disc's character set, refusals that save nothing, an unknown
# character set, and extract's {title} and {label}: golden/text.txt.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

# text_field(DISC OFFSET LABEL_HEX TITLE_HEX): the 128-byte PRM_TXTI at
# OFFSET of both management files: each half its hex, padded with zeros.
function(text_field disc offset label title)
  foreach(half label title)
    string(LENGTH "${${half}}" n)
    math(EXPR pad "128 - ${n}")
    string(REPEAT "0" ${pad} zeros)
    set(${half} "${${half}}${zeros}")
  endforeach()
  foreach(file VR_MANGR.IFO VR_MANGR.BUP)
    damage(${disc}/${file} ${offset} "${label}${title}")
  endforeach()
endfunction()

# json_texts(DISC): info --json, only its text members into the transcript.
function(json_texts disc)
  execute_process(COMMAND ${TOOL} info ${disc} --json WORKING_DIRECTORY ${WORK} OUTPUT_VARIABLE out)
  set_property(GLOBAL APPEND_STRING PROPERTY transcript "$ vrmangr info ${disc} --json | texts\n")
  string(REGEX MATCHALL "\"(character_set[a-z_]*|text|label|title|text_hex|item_text)\": [^\n]*\n" lines "${out}")
  string(REPLACE ";" "" lines "${lines}")
  set_property(GLOBAL APPEND_STRING PROPERTY transcript "${lines}")
endfunction()

run(0 create rec ${PAL} ${PAL} ${PAL} --quiet)
run(0 playlist rec new)
run(0 playlist rec add 1 0 3)
# The recorder's layout, made from the library's own file: CHRS 0x12 at
# byte 67 of VMGI_MAT, each program's text (PGI at ORG_PGCI_SA + 4 +
# 142 x index, its PRM_TXTI 4 bytes in) a label of spaces and TEST1..TEST3,
# the playlist's (PL_SRP 1 at 520, PRM_TXTI 8 bytes in) Japanese without a
# NUL before the half's end.
hex_of(${WORK}/rec/VR_MANGR.IFO sa OFFSET 304 LIMIT 4)
math(EXPR sa "0x${sa}")
string(REPEAT "20" 64 spaces)
foreach(file VR_MANGR.IFO VR_MANGR.BUP)
  damage(rec/${file} 67 12)
endforeach()
foreach(i 0 1 2)
  math(EXPR at "${sa} + 4 + 142 * ${i} + 4")
  math(EXPR n "${i} + 1")
  text_field(rec ${at} ${spaces} 544553543${n})
endforeach()
string(REPEAT "836583588367" 10 japanese)  # テスト x 10: 60 bytes
text_field(rec 528 ${spaces} "${japanese}41424344")
# Item texts as some recorders keep them: a TXTDT_MG (Shift-JIS) in the
# free space behind RTR_VMGI (TXTDT_MG_SA at 352) with テスト and "News!",
# named by program 1 (IT_TXT_SRPN 132 bytes into its PGI) and playlist 1
# (136 into its PL_SRP). A save lays the table out behind the others.
math(EXPR item "${sa} + 4 + 132")
foreach(file VR_MANGR.IFO VR_MANGR.BUP)
  damage(rec/${file} 4096 120000020000001A00100006001600058365835883674E65777321)
  damage(rec/${file} 352 00001000)
  damage(rec/${file} ${item} 0001)
  damage(rec/${file} 656 0002)
endforeach()
run(0 info rec)
json_texts(rec)

# A maker's binary record in the text data manager (the second item: 22
# bytes with NULs and control bytes inside, as a recorder of the field keeps
# "dvdvrx010B..." records there): not shown as text, but as maker data, in
# JSON as its bytes in hex.
file(COPY ${WORK}/rec/ DESTINATION ${WORK}/maker)
foreach(file VR_MANGR.IFO VR_MANGR.BUP)
  damage(maker/${file} 4096 120000020000002B00100006001600168365835883670164767672780030313042000343333300004A504E00)
endforeach()
execute_process(COMMAND ${TOOL} info maker WORKING_DIRECTORY ${WORK} OUTPUT_VARIABLE out)
must_match("${out}" "Playlist 1: [^\n]*maker data as item text \\(22 bytes\\)")
execute_process(COMMAND ${TOOL} info maker --json WORKING_DIRECTORY ${WORK} OUTPUT_VARIABLE out)
must_match("${out}" "\"item_text\": \"\",\n *\"item_data_hex\": \"0164767672780030313042000343333300004a504e00\"")
must_match("${out}" "\"item_text\": \"テスト\",\n *\"item_data_hex\": \"\"")

# Titles written as recorders write them; a character Shift-JIS lacks, a
# title too long for its half, a program that does not exist: one sentence,
# nothing saved.
run(0 title rec --program 2 "ニュース 7")
run(0 playlist rec title 1 "Late show")
unchanged(1 rec title rec --program 1 "Été")
one_sentence_error("${err}" "cannot be written in Shift-JIS")
unchanged(1 rec playlist rec title 1 "ニュースニュースニュースニュースニュースニュースニュースニュース")
unchanged(1 rec title rec --program 4 x)
run(2 title rec --program 1)
run(2 title rec "x")
json_texts(rec)
run(0 extract rec --all --playlists -d out --name "{n}_{title}_{label}")

# Another character set: the texts are converted, ASCII halves kept; a text
# the new set lacks refuses the change and nothing is saved.
file(COPY ${WORK}/rec/ DESTINATION ${WORK}/latin)
unchanged(2 latin charset latin FOO)
unchanged(1 latin charset latin latin1)
one_sentence_error("${err}" "program 2 cannot be converted: '[^']+' \\(U\\+30CB\\) cannot be written in ISO 8859-1")
run(0 title latin --program 2 "News")
run(0 charset latin latin1)
run(0 title latin --program 1 "Été à Köln")
unchanged(1 latin charset latin sjis)
json_texts(latin)

# A character set vrmangr does not know: texts read as ISO 8859-1 with a
# note, none written.
foreach(file VR_MANGR.IFO VR_MANGR.BUP)
  damage(rec/${file} 67 42)
endforeach()
run(0 info rec)
unchanged(1 rec title rec --program 1 "TEST")
run(0 title --help)
transcript(text.txt)
