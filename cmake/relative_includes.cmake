# Run at install time over the installed headers below VRMANGR_HEADER_ROOT
# (include/vrmangr): a header in a folder there includes the others as
# "../platform/types.h" instead of "platform/types.h", which only the source
# tree's root on the include path would find. The headers at the root
# (vrmangr.h, vrmangr_c.h) keep their includes, which are relative to it.
file(GLOB_RECURSE headers RELATIVE ${VRMANGR_HEADER_ROOT} ${VRMANGR_HEADER_ROOT}/*/*.h)
foreach(header ${headers})
  file(READ ${VRMANGR_HEADER_ROOT}/${header} text)
  string(REGEX REPLACE "#include \"(api|io|platform|manager|tables|query|stream)/" "#include \"../\\1/" fixed "${text}")
  if(NOT fixed STREQUAL text)
    file(WRITE ${VRMANGR_HEADER_ROOT}/${header} "${fixed}")
  endif()
endforeach()
