# Writes a file's bytes as a C++ source (cmake -P): an array and its size in
# the namespace given, so that the library carries the file with no path to
# find at run time and no assembler directive that differs between targets.
#   cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DNAMESPACE=<ns> -DNAME=<name> -P EmbedFile.cmake
if(NOT EXISTS "${INPUT}")
  message(FATAL_ERROR "EmbedFile: ${INPUT} is missing")
endif()
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} by cmake/EmbedFile.cmake: do not edit.\n"
  "#include <cstddef>\n"
  "namespace ${NAMESPACE} {\n"
  "extern const unsigned char ${NAME}[];\n"
  "extern const std::size_t ${NAME}Size;\n"
  "alignas(4) const unsigned char ${NAME}[] = {\n${bytes}};\n"
  "const std::size_t ${NAME}Size = ${size};\n"
  "} // namespace ${NAMESPACE}\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
