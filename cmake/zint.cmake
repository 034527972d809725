# zint's backend, the barcode library every barcode of ours is drawn with, as
# a static C library of our own (orvik_zint) for every target: the backend's
# sources of Debian's source package zint, which scripts/setup.sh unpacks into
# third_party/zint-src, without PNG output (NO_PNG: symbols are read from
# memory, never written as files by the library) and without its own CMake.
include_guard(GLOBAL)

set(ORVIK_ZINT_DIR ${CMAKE_SOURCE_DIR}/third_party/zint-src/backend)
set(ORVIK_ZINT_SOURCES)
foreach(source
    common.c library.c large.c reedsol.c gs1.c eci.c general_field.c
    bc412.c code.c code128.c 2of5.c upcean.c telepen.c medical.c plessey.c rss.c
    postal.c auspost.c imail.c mailmark.c
    code16k.c codablock.c dmatrix.c qr.c maxicode.c composite.c aztec.c code49.c code1.c
    gridmtx.c hanxin.c dotcode.c ultra.c
    vector.c ps.c svg.c emf.c bmp.c pcx.c gif.c png.c tif.c raster.c output.c)
  list(APPEND ORVIK_ZINT_SOURCES ${ORVIK_ZINT_DIR}/${source})
endforeach()

if(NOT EXISTS ${ORVIK_ZINT_DIR}/library.c)
  message(FATAL_ERROR "zint source missing in ${ORVIK_ZINT_DIR}: run scripts/setup.sh")
endif()

# PDF417 in 2.11.1 estimates the text length of a numeric run's neighbours
# with its ASCII table (127 entries) even when a neighbour is a run of bytes,
# reading past the table for bytes from 127 up (UTF-8 Cyrillic beside a
# number of 11 or 12 digits). The build compiles a copy of pdf417.c whose
# estimate counts such a byte as a character of no text table.
set(ORVIK_ZINT_PDF417 ${CMAKE_BINARY_DIR}/zint/pdf417.c)
file(READ ${ORVIK_ZINT_DIR}/pdf417.c pdf417_source)
set(pdf417_read "        listet[indexlistet] = pdf_asciix[chaine[start + indexlistet]];")
string(FIND "${pdf417_source}" "${pdf417_read}" pdf417_at)
if(pdf417_at EQUAL -1)
  message(FATAL_ERROR "zint's pdf417.c is not the 2.11.1 this build corrects: check cmake/zint.cmake")
endif()
string(REPLACE "${pdf417_read}"
  "        listet[indexlistet] = chaine[start + indexlistet] < 127 ? pdf_asciix[chaine[start + indexlistet]] : 0;"
  pdf417_source "${pdf417_source}")
set(pdf417_written "")
if(EXISTS ${ORVIK_ZINT_PDF417})
  file(READ ${ORVIK_ZINT_PDF417} pdf417_written)
endif()
if(NOT pdf417_written STREQUAL pdf417_source)
  file(WRITE ${ORVIK_ZINT_PDF417} "${pdf417_source}")
endif()

orvik_third_party_c_library(orvik_zint ${ORVIK_ZINT_DIR} ${ORVIK_ZINT_SOURCES} ${ORVIK_ZINT_PDF417})
target_compile_definitions(orvik_zint PUBLIC NO_PNG)
# zint's C99 sources take alloca from <stdlib.h>, which declares it only
# with the compilers' extensions (gnu99), as zint's own build has them.
set_target_properties(orvik_zint PROPERTIES C_EXTENSIONS ON)
if(NOT WIN32)
  target_link_libraries(orvik_zint PRIVATE m)
endif()
