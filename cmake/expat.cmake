# expat, the XML parser of the goods upload, as a static C library of our own
# (orvik_expat) for every target: the three library sources of Debian's source
# package, which scripts/setup.sh unpacks into third_party/expat-src, with our
# own configuration header (cmake/expat/expat_config.h). Users get the public
# definitions: a static library, the document type features (entity
# declarations with the amplification limits) and 64-bit positions everywhere.
include_guard(GLOBAL)

set(ORVIK_EXPAT_DIR ${CMAKE_SOURCE_DIR}/third_party/expat-src/lib)
set(ORVIK_EXPAT_SOURCES ${ORVIK_EXPAT_DIR}/xmlparse.c ${ORVIK_EXPAT_DIR}/xmlrole.c ${ORVIK_EXPAT_DIR}/xmltok.c)
set(ORVIK_EXPAT_DEFINITIONS XML_STATIC XML_DTD=1 XML_NS=1 XML_LARGE_SIZE=1)
set(ORVIK_EXPAT_CONFIG_DIR ${CMAKE_SOURCE_DIR}/cmake/expat)

if(NOT EXISTS ${ORVIK_EXPAT_DIR}/xmlparse.c)
  message(FATAL_ERROR "expat source missing in ${ORVIK_EXPAT_DIR}: run scripts/setup.sh")
endif()

orvik_third_party_c_library(orvik_expat ${ORVIK_EXPAT_DIR} ${ORVIK_EXPAT_SOURCES})
target_include_directories(orvik_expat PRIVATE ${ORVIK_EXPAT_CONFIG_DIR})
target_compile_definitions(orvik_expat PUBLIC ${ORVIK_EXPAT_DEFINITIONS})
