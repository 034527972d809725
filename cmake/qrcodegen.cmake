# The QR Code generator's C library, which the receipt printer's window draws
# QR codes with, as a static library of our own (orvik_qrcodegen) for every
# target: the one source of Debian's source package qr-code-generator, which
# scripts/setup.sh unpacks into third_party/qrcodegen-src.
# ORVIK_QRCODEGEN_SOURCES names the source (the fuzzers compile it themselves).
set(ORVIK_QRCODEGEN_DIR ${CMAKE_SOURCE_DIR}/third_party/qrcodegen-src/c)
set(ORVIK_QRCODEGEN_SOURCES ${ORVIK_QRCODEGEN_DIR}/qrcodegen.c)

if(NOT EXISTS ${ORVIK_QRCODEGEN_SOURCES})
  message(FATAL_ERROR "qrcodegen source missing in ${ORVIK_QRCODEGEN_DIR}: run scripts/setup.sh")
endif()

if(TARGET orvik_qrcodegen)
  return()
endif()
add_library(orvik_qrcodegen STATIC ${ORVIK_QRCODEGEN_SOURCES})
set_target_properties(orvik_qrcodegen PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF POSITION_INDEPENDENT_CODE ON)
target_include_directories(orvik_qrcodegen SYSTEM PUBLIC ${ORVIK_QRCODEGEN_DIR})
# Third-party code: none of our warnings-as-errors.
target_compile_options(orvik_qrcodegen PRIVATE -w)
if(ORVIK_SANITIZE)
  target_compile_options(orvik_qrcodegen PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
endif()
