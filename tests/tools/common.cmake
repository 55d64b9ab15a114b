# Helpers of the tool tests. Each script gets TOOL, HELPER, DATA, GOLDEN and
# WORK (a scratch directory, emptied here; the tool runs inside it, so disc
# paths in its output are the short relative names the scripts use).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(ENV{TZ} UTC)

# run(EXPECTED_EXIT_CODE ARGS...): runs the tool; its output lands in `out`
# and `err` of the caller.
function(run expected)
  execute_process(COMMAND ${TOOL} ${ARGN} WORKING_DIRECTORY ${WORK}
    RESULT_VARIABLE rc OUTPUT_VARIABLE o ERROR_VARIABLE e)
  if(NOT rc STREQUAL "${expected}")
    message(FATAL_ERROR "vrmangr ${ARGN}: exit ${rc}, expected ${expected}\nstdout:\n${o}\nstderr:\n${e}")
  endif()
  set(out "${o}" PARENT_SCOPE)
  set(err "${e}" PARENT_SCOPE)
endfunction()

# must_match(TEXT REGEX [WHAT]) / must_not_match(TEXT REGEX [WHAT])
function(must_match text regex)
  if(NOT text MATCHES "${regex}")
    message(FATAL_ERROR "expected to match '${regex}' ${ARGN}:\n${text}")
  endif()
endfunction()
function(must_not_match text regex)
  if(text MATCHES "${regex}")
    message(FATAL_ERROR "expected not to match '${regex}' ${ARGN}:\n${text}")
  endif()
endfunction()

# One sentence on stderr, naming what failed.
function(one_sentence_error text what)
  must_match("${text}" "^vrmangr[^\n]*: [^\n]*${what}[^\n]*\\.\n" "(an error naming ${what})")
endfunction()

# Recording and creation dates vary: they are masked before comparing.
function(mask text var)
  string(REGEX REPLACE "[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9][ T][0-9][0-9]:[0-9][0-9]:[0-9][0-9]( UTC|Z)"
         "<date>" text "${text}")
  string(REGEX REPLACE "[0-9][0-9][0-9][0-9]/[ 0-9][0-9]/[ 0-9][0-9]" "<date text>" text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# golden(TEXT NAME): TEXT, masked, equals tests/tools/golden/NAME.
function(golden text name)
  mask("${text}" masked)
  if(DEFINED ENV{VRMANGR_UPDATE_GOLDEN})
    file(WRITE ${GOLDEN}/${name} "${masked}")
    return()
  endif()
  file(READ ${GOLDEN}/${name} expected)
  if(NOT masked STREQUAL expected)
    file(WRITE ${WORK}/${name}.actual "${masked}")
    message(FATAL_ERROR "output differs from golden/${name}; see ${WORK}/${name}.actual:\n${masked}")
  endif()
endfunction()

# expect(WHAT CONDITION...): fails saying WHAT unless the condition holds.
macro(expect what)
  if(NOT (${ARGN}))
    message(FATAL_ERROR "${what}")
  endif()
endmacro()

# sums(DIR VAR): names and SHA-256 of every file of DIR.
function(sums dir var)
  file(GLOB files LIST_DIRECTORIES false ${WORK}/${dir}/*)
  list(SORT files)
  set(all "")
  foreach(f ${files})
    file(SHA256 ${f} h)
    string(APPEND all "${f} ${h}\n")
  endforeach()
  set(${var} "${all}" PARENT_SCOPE)
endfunction()

# unchanged(CODE DIR ARGS...): runs the tool and fails when it changed a
# file of DIR.
function(unchanged code dir)
  sums(${dir} before)
  run(${code} ${ARGN})
  sums(${dir} after)
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

set(PAL ${DATA}/pal_mpeg2_mp2_4x3.vob)
set(PAL_LPCM ${DATA}/pal_mpeg2_lpcm_16x9.vob)
set(NTSC ${DATA}/ntsc_mpeg2_ac3_16x9.vob)
set(STILL ${DATA}/still_pal_2pictures.vob)
set(VCD ${DATA}/pal_vcd.mpg)
