# stb, the image reader and writer and the font rasteriser of the label
# printer's drawing, as a static C library of our own (orvik_stb) for every
# target: Debian's source package libstb, which scripts/setup.sh unpacks into
# third_party/stb-src. One source of ours (cmake/stb/stb.c) holds the
# implementations: stb_image for PNG, JPEG, BMP and GIF from memory only,
# stb_image_write for PNG into memory only, stb_truetype.
include_guard(GLOBAL)

set(ORVIK_STB_DIR ${CMAKE_SOURCE_DIR}/third_party/stb-src)
foreach(header stb_image.h stb_image_write.h stb_truetype.h)
  if(NOT EXISTS ${ORVIK_STB_DIR}/${header})
    message(FATAL_ERROR "stb source missing (${ORVIK_STB_DIR}/${header}): run scripts/setup.sh")
  endif()
endforeach()

orvik_third_party_c_library(orvik_stb ${ORVIK_STB_DIR} ${CMAKE_SOURCE_DIR}/cmake/stb/stb.c)
# orvik_stb.h, the entries that survive a refused allocation, beside stb's headers.
target_include_directories(orvik_stb PUBLIC ${CMAKE_SOURCE_DIR}/cmake/stb)
# The same choices for every user of the headers as for the implementations.
target_compile_definitions(orvik_stb PUBLIC
  STBI_NO_STDIO STBI_NO_LINEAR STBI_ONLY_PNG STBI_ONLY_JPEG STBI_ONLY_BMP STBI_ONLY_GIF STBI_NO_FAILURE_STRINGS
  STBI_WRITE_NO_STDIO STBI_MAX_DIMENSIONS=8192)
if(NOT WIN32)
  target_link_libraries(orvik_stb PRIVATE m)
endif()
