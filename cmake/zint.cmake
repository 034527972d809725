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
    code16k.c codablock.c dmatrix.c pdf417.c qr.c maxicode.c composite.c aztec.c code49.c code1.c
    gridmtx.c hanxin.c dotcode.c ultra.c
    vector.c ps.c svg.c emf.c bmp.c pcx.c gif.c png.c tif.c raster.c output.c)
  list(APPEND ORVIK_ZINT_SOURCES ${ORVIK_ZINT_DIR}/${source})
endforeach()

if(NOT EXISTS ${ORVIK_ZINT_DIR}/library.c)
  message(FATAL_ERROR "zint source missing in ${ORVIK_ZINT_DIR}: run scripts/setup.sh")
endif()

orvik_third_party_c_library(orvik_zint ${ORVIK_ZINT_DIR} ${ORVIK_ZINT_SOURCES})
target_compile_definitions(orvik_zint PUBLIC NO_PNG)
# zint's C99 sources take alloca from <stdlib.h>, which declares it only
# with the compilers' extensions (gnu99), as zint's own build has them.
set_target_properties(orvik_zint PROPERTIES C_EXTENSIONS ON)
if(NOT WIN32)
  target_link_libraries(orvik_zint PRIVATE m)
endif()
