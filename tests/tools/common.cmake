# Helpers of the tool tests. Each script gets TOOL, HELPER, DATA, GOLDEN and
# WORK (a scratch directory, emptied here; the tool runs inside it, so disc
# paths in its output are the short relative names the scripts use).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(ENV{TZ} UTC)

# run(EXPECTED_EXIT_CODE ARGS...): runs the tool; its output lands in `out`
# and `err` of the caller and, after the command line, in the transcript
# that transcript() compares.
function(run expected)
  execute_process(COMMAND ${TOOL} ${ARGN} WORKING_DIRECTORY ${WORK}
    RESULT_VARIABLE rc OUTPUT_VARIABLE o ERROR_VARIABLE e)
  if(NOT rc STREQUAL "${expected}")
    message(FATAL_ERROR "vrmangr ${ARGN}: exit ${rc}, expected ${expected}\nstdout:\n${o}\nstderr:\n${e}")
  endif()
  string(REPLACE ";" " " line "$ vrmangr ${ARGN}")
  set_property(GLOBAL APPEND_STRING PROPERTY transcript "${line}  [exit ${rc}]\n${o}${e}")
  set(out "${o}" PARENT_SCOPE)
  set(err "${e}" PARENT_SCOPE)
endfunction()

# must_match(TEXT REGEX [WHAT])
function(must_match text regex)
  if(NOT text MATCHES "${regex}")
    message(FATAL_ERROR "expected to match '${regex}' ${ARGN}:\n${text}")
  endif()
endfunction()

# One sentence on stderr, naming what failed.
function(one_sentence_error text what)
  must_match("${text}" "^vrmangr[^\n]*: [^\n]*${what}[^\n]*\\.\n" "(an error naming ${what})")
endfunction()

# golden(TEXT NAME): TEXT equals tests/tools/golden/NAME, with recording and
# creation dates (which vary) and the samples' directory masked.
function(golden text name)
  # As info shows them ("2019-10-30 22:32:07 +09:00") and in JSON (quoted
  # ISO 8601); a date given on a command line stays.
  set(day "[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]")
  set(clock "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]")
  set(offset "[+-][0-9][0-9]:[0-9][0-9]")
  string(REGEX REPLACE "${day} ${clock} (${offset}|\\(zone unknown\\))" "<date>" text "${text}")
  string(REGEX REPLACE "\"${day}T${clock}(${offset})?\"" "\"<date>\"" text "${text}")
  string(REGEX REPLACE "[0-9][0-9][0-9][0-9]/[ 0-9][0-9]/[ 0-9][0-9]" "<date text>" text "${text}")
  # The same date texts in hex ("2026/12/ 7" in info --json's text_hex).
  string(REGEX REPLACE "3[0-9]3[0-9]3[0-9]3[0-9]2f(20|3[0-9])3[0-9]2f(20|3[0-9])3[0-9]" "<date text hex>" text
         "${text}")
  string(REGEX REPLACE "3[0-9] 3[0-9] 3[0-9] 3[0-9] 2F (20|3[0-9]) 3[0-9] 2F (20|3[0-9]) 3[0-9]" "<date text hex>" text
         "${text}")
  string(REPLACE "${DATA}/" "" text "${text}")
  if(DEFINED ENV{VRMANGR_UPDATE_GOLDEN})
    file(WRITE ${GOLDEN}/${name} "${text}")
  else()
    file(READ ${GOLDEN}/${name} expected)
    if(NOT text STREQUAL expected)
      file(WRITE ${WORK}/${name}.actual "${text}")
      message(FATAL_ERROR "output differs from golden/${name}; see ${WORK}/${name}.actual:\n${text}")
    endif()
  endif()
endfunction()

# transcript(NAME): every run so far (command line, exit status, stdout
# and stderr) equals golden/NAME.
function(transcript name)
  get_property(text GLOBAL PROPERTY transcript)
  golden("${text}" ${name})
endfunction()

# expect(WHAT CONDITION...): fails saying WHAT unless the condition holds.
macro(expect what)
  if(NOT (${ARGN}))
    message(FATAL_ERROR "${what}")
  endif()
endmacro()

# unchanged(CODE DIR ARGS...): run(CODE ARGS...), failing when it changed
# the files of DIR (their names or SHA-256).
function(unchanged code dir)
  file(GLOB files ${WORK}/${dir}/*)
  execute_process(COMMAND ${CMAKE_COMMAND} -E sha256sum ${files} OUTPUT_VARIABLE before ERROR_QUIET)
  run(${code} ${ARGN})
  file(GLOB files ${WORK}/${dir}/*)
  execute_process(COMMAND ${CMAKE_COMMAND} -E sha256sum ${files} OUTPUT_VARIABLE after ERROR_QUIET)
  expect("${ARGN} changed files:\n${before}\n${after}" before STREQUAL after)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

# damage(FILE OFFSET HEXBYTES) or damage(FILE truncate SIZE)
function(damage file a b)
  execute_process(COMMAND ${HELPER} damage ${WORK}/${file} ${a} ${b} RESULT_VARIABLE rc)
  expect("could not damage ${file}" rc EQUAL 0)
endfunction()

# hex_of(FILE VAR [OFFSET N] [LIMIT N]): the file's bytes (or a part) as hex.
function(hex_of file var)
  file(READ ${file} hex HEX ${ARGN})
  set(${var} "${hex}" PARENT_SCOPE)
endfunction()

# splice(OUT PIECES...): the test helper writes OUT from pieces
# (file:PATH:FROM:TO, noise:N, zeros:N).
function(splice out)
  string(REPLACE ";" "," pieces "${ARGN}")
  execute_process(COMMAND ${HELPER} splice ${WORK}/${out} "${pieces}" 7 RESULT_VARIABLE rc)
  expect("could not write ${out}" rc EQUAL 0)
endfunction()

# same_bytes(FILE SOURCE): FILE holds SOURCE's bytes.
function(same_bytes file source)
  file(SHA256 ${WORK}/${file} got)
  file(SHA256 ${source} want)
  expect("${file} is not ${source}" got STREQUAL want)
endfunction()

set(PAL ${DATA}/pal_mpeg2_mp2_4x3.vob)
set(PAL_LPCM ${DATA}/pal_mpeg2_lpcm_16x9.vob)
set(NTSC ${DATA}/ntsc_mpeg2_ac3_16x9.vob)
set(STILL ${DATA}/still_pal_2pictures.vob)
set(VCD ${DATA}/pal_vcd.mpg)

# fails_cleanly(COMMAND OUTPUT SELECTOR...): `vrmangr COMMAND disc SELECTOR
# -o OUTPUT` with a file size limit exits 1 with one sentence and leaves no
# file; the same into a FIFO whose reader does not read, on Ctrl-C, exits
# 130 with one sentence.
function(fails_cleanly command output)
  string(REPLACE ";" " " selector "${ARGN}")
  execute_process(COMMAND sh -c "ulimit -f 64; exec '${TOOL}' ${command} disc ${selector} -o ${output}"
    WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc ERROR_VARIABLE err)
  expect("a failing write exited ${rc}" rc EQUAL 1)
  one_sentence_error("${err}" "${output} could not be written")
  file(GLOB left ${WORK}/${output}*)
  expect("a failed ${command} left ${left}" NOT left)
  execute_process(COMMAND sh -c "rm -f fifo; mkfifo fifo && { (exec 3<fifo; sleep 9) >/dev/null 2>&1 & reader=$!; \
'${TOOL}' ${command} disc ${selector} -o fifo & pid=$!; sleep 2; kill -INT $pid; wait $pid; rc=$?; kill $reader; exit $rc; }"
    WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc ERROR_VARIABLE err TIMEOUT 30)
  expect("Ctrl-C exited ${rc}" rc EQUAL 130)
  one_sentence_error("${err}" "cancelled")
endfunction()

# reads_as_directory(IMAGE COUNT): info (text and JSON, the disc's name
# aside), extract --all (COUNT files) and, with export built, export of
# program 2 to MP4 and MPEG-PS give for IMAGE what they give for root, byte
# for byte. Leaves from_dir (info's text without its first line) and names
# (the extracted files, in order) to the caller.
function(reads_as_directory image count)
  run(0 info ${image})
  string(REGEX REPLACE "^Disc [^\n]*\n" "" from_image "${out}")
  run(0 info root)
  string(REGEX REPLACE "^Disc [^\n]*\n" "" from_dir "${out}")
  expect("info of ${image} differs:\n${from_image}\nfrom the directory's:\n${from_dir}" from_image STREQUAL from_dir)
  run(0 info ${image} --json)
  set(json_image "${out}")
  run(0 info root --json)
  expect("info --json of ${image} differs" json_image STREQUAL out)
  run(0 extract ${image} --all -d from_image --quiet)
  run(0 extract root --all -d from_dir --quiet)
  file(GLOB names RELATIVE ${WORK}/from_dir ${WORK}/from_dir/*.mpg)
  list(LENGTH names n)
  expect("extract --all wrote ${n} files, not ${count}" n EQUAL ${count})
  foreach(name ${names})
    file(SHA256 ${WORK}/from_dir/${name} want)
    file(SHA256 ${WORK}/from_image/${name} got)
    expect("${name} from ${image} differs" got STREQUAL want)
  endforeach()
  if(HAVE_EXPORT)
    foreach(ext mp4 mpg)
      run(0 export ${image} --program 2 -o image.${ext})
      run(0 export root --program 2 -o dir.${ext})
      file(SHA256 ${WORK}/image.${ext} got)
      file(SHA256 ${WORK}/dir.${ext} want)
      expect("export of ${image} to ${ext} differs" got STREQUAL want)
    endforeach()
  endif()
  set(from_dir "${from_dir}" PARENT_SCOPE)
  set(names "${names}" PARENT_SCOPE)
endfunction()

# rescue_map(MAP IMAGE AT BYTES): writes MAP, a GNU ddrescue map of IMAGE
# that marks bytes [AT, AT + BYTES) unread ("-") and the rest finished.
function(rescue_map map image at bytes)
  file(SIZE ${WORK}/${image} whole)
  math(EXPR after "${at} + ${bytes}")
  math(EXPR at_hex "${at}" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR bytes_hex "${bytes}" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR after_hex "${after}" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR tail_hex "${whole} - ${after}" OUTPUT_FORMAT HEXADECIMAL)
  file(WRITE ${WORK}/${map} "# Mapfile. Created by GNU ddrescue\n# current_pos  current_status  current_pass\n0x00000000     +               1\n#      pos        size  status\n0x00000000  ${at_hex}  +\n${at_hex}  ${bytes_hex}  -\n${after_hex}  ${tail_hex}  +\n")
endfunction()

# zeros_instead(FILE SOURCE AT BYTES WHAT): FILE holds SOURCE's bytes but
# for [AT, AT + BYTES), which are zeros.
function(zeros_instead file source at bytes what)
  file(READ ${file} got HEX)
  file(READ ${source} want HEX)
  math(EXPR head "${at} * 2")
  math(EXPR span "${bytes} * 2")
  math(EXPR rest "(${at} + ${bytes}) * 2")
  string(SUBSTRING "${got}" 0 ${head} got_head)
  string(SUBSTRING "${want}" 0 ${head} want_head)
  expect("${what} before the unreadable sectors differs" got_head STREQUAL want_head)
  string(SUBSTRING "${got}" ${head} ${span} got_bad)
  string(REPEAT "00" ${bytes} zeros)
  expect("the unreadable sectors of ${what} are not zeros" got_bad STREQUAL zeros)
  string(SUBSTRING "${got}" ${rest} -1 got_rest)
  string(SUBSTRING "${want}" ${rest} -1 want_rest)
  expect("${what} behind the unreadable sectors differs" got_rest STREQUAL want_rest)
endfunction()

