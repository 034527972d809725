# pugixml for the tools and the benchmark's baseline (the libraries use expat,
# expat.cmake). Gives the target orvik_pugixml to link against:
# - Windows and the linux preset (static libc++): the static library
#   pugixml_static, built from Debian's source package that scripts/setup.sh
#   unpacks into third_party/pugixml-src, so that it shares the tree's C++
#   runtime;
# - other Linux builds: Debian's libpugixml-dev (find_package).
include_guard(GLOBAL)

set(ORVIK_PUGIXML_DIR ${CMAKE_SOURCE_DIR}/third_party/pugixml-src/src)
set(ORVIK_PUGIXML_SOURCE ${ORVIK_PUGIXML_DIR}/pugixml.cpp)

add_library(orvik_pugixml INTERFACE)
if(WIN32 OR ORVIK_STATIC_LIBCXX)
  if(NOT EXISTS ${ORVIK_PUGIXML_SOURCE})
    message(FATAL_ERROR "pugixml source missing in ${ORVIK_PUGIXML_DIR}: run scripts/setup.sh")
  endif()
  # Third-party code: none of our warnings-as-errors.
  add_library(pugixml_static STATIC ${ORVIK_PUGIXML_SOURCE})
  target_include_directories(pugixml_static SYSTEM PUBLIC ${ORVIK_PUGIXML_DIR})
  target_compile_options(pugixml_static PRIVATE -w)
  target_link_libraries(orvik_pugixml INTERFACE pugixml_static)
else()
  find_package(pugixml REQUIRED)
  if(TARGET pugixml::pugixml)
    target_link_libraries(orvik_pugixml INTERFACE pugixml::pugixml)
  else()
    target_link_libraries(orvik_pugixml INTERFACE pugixml)
  endif()
endif()
