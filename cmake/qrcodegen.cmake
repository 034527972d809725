# The QR Code generator's C library, which the receipt printer's window draws
# QR codes with, as a static library of our own (orvik_qrcodegen) for every
# target: the one source of Debian's source package qr-code-generator, which
# scripts/setup.sh unpacks into third_party/qrcodegen-src.
set(ORVIK_QRCODEGEN_DIR ${CMAKE_SOURCE_DIR}/third_party/qrcodegen-src/c)
set(ORVIK_QRCODEGEN_SOURCES ${ORVIK_QRCODEGEN_DIR}/qrcodegen.c)

if(NOT EXISTS ${ORVIK_QRCODEGEN_SOURCES})
  message(FATAL_ERROR "qrcodegen source missing in ${ORVIK_QRCODEGEN_DIR}: run scripts/setup.sh")
endif()

if(TARGET orvik_qrcodegen)
  return()
endif()
orvik_third_party_c_library(orvik_qrcodegen ${ORVIK_QRCODEGEN_DIR} ${ORVIK_QRCODEGEN_SOURCES})
