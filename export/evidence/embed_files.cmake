# Writes OUT, a C++ source holding the files NAMES (name=path pairs, ';'
# separated) as byte arrays behind functions evidence::<name>() returning
# std::string_view, so that the program carries the page it writes.
set(code "// Made by embed_files.cmake from the files beside it; do not edit.\n#include <string_view>\n\nnamespace evidence {\n")
foreach(pair ${NAMES})
  string(REPLACE "=" ";" parts ${pair})
  list(GET parts 0 name)
  list(GET parts 1 path)
  file(READ ${path} bytes HEX)
  string(LENGTH "${bytes}" hexLength)
  math(EXPR length "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
  string(APPEND code "namespace { const char k_${name}[] = {${bytes}}; }\n"
                     "std::string_view ${name}() { return {k_${name}, ${length}}; }\n")
endforeach()
string(APPEND code "}  // namespace evidence\n")
file(WRITE ${OUT} "${code}")
