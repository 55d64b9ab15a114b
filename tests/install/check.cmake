# Installs the built library into a scratch prefix, compiles each installed
# header on its own, then builds and runs a small client against the
# installed tree, once found with find_package and
# once with pkg-config, and the C client against the installed C header.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# Every installed header compiles on its own, with only the installed
# include directory on the path.
file(GLOB_RECURSE installed RELATIVE ${prefix}/include ${prefix}/include/vrmangr/*.h)
foreach(header ${installed})
  file(WRITE ${WORK_DIR}/alone.cpp "#include <${header}>\n")
  run(${CXX} -std=c++17 -fsyntax-only -I${prefix}/include ${WORK_DIR}/alone.cpp)
endforeach()

# find_package
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/consumer
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/consumer)
if(NOT last_output MATCHES "handle ok")
  message(FATAL_ERROR "find_package client printed: ${last_output}")
endif()

# pkg-config
file(GLOB_RECURSE pc_files ${prefix}/*/vrmangr.pc)
list(LENGTH pc_files n)
if(NOT n EQUAL 1)
  message(FATAL_ERROR "expected one installed vrmangr.pc, found: ${pc_files}")
endif()
get_filename_component(pc_dir ${pc_files} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(pkg-config --cflags --libs vrmangr)
string(STRIP "${last_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${CXX} -std=c++17 ${SOURCE_DIR}/consumer/main.cpp ${flags} -o ${WORK_DIR}/pc-consumer)
get_filename_component(libdir ${pc_dir} DIRECTORY)
set(ENV{LD_LIBRARY_PATH} ${libdir})
run(${WORK_DIR}/pc-consumer)
if(NOT last_output MATCHES "handle ok")
  message(FATAL_ERROR "pkg-config client printed: ${last_output}")
endif()

# The C client of tests/interface, built with the pkg-config flags as C99
# and run on a sample.
find_program(C_COMPILER NAMES cc gcc clang)
if(C_COMPILER)
  run(${C_COMPILER} -std=c99 -Wall -Wextra -pedantic -Werror ${SOURCE_DIR}/../interface/c_client.c ${flags}
      -o ${WORK_DIR}/c-consumer)
  file(MAKE_DIRECTORY ${WORK_DIR}/c-disc)
  run(${WORK_DIR}/c-consumer ${SOURCE_DIR}/../data/pal_mpeg2_mp2_4x3.vob ${WORK_DIR}/c-disc)
  if(NOT last_output MATCHES "c client ok")
    message(FATAL_ERROR "C client printed: ${last_output}")
  endif()
endif()
