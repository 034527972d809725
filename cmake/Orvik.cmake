# Shared build settings and helpers for the emulator libraries.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ORVIK_BITS 64)
else()
  set(ORVIK_BITS 32)
endif()

if(WIN32)
  set(ORVIK_PLATFORM win)
else()
  set(ORVIK_PLATFORM posix)
endif()

set(ORVIK_DIST_DIR ${CMAKE_SOURCE_DIR}/dist)

# The linux preset's libraries load on glibc 2.17 and newer (see the toolchain
# file cmake/linux-clang-libcxx.cmake).
if(ORVIK_STATIC_LIBCXX)
  include(GlibcPins)
endif()

# The version header, generated from project(VERSION): used by the resource
# scripts and by the Linux builds alike.
set(ORVIK_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/resources/orvik_version.h.in ${ORVIK_GENERATED_DIR}/orvik_version.h @ONLY)

# Warnings are errors on our own code only (third-party code is built without them).
function(orvik_warnings target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Werror -Wno-missing-field-initializers>)
endfunction()

function(orvik_sanitize target)
  if(ORVIK_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# A third-party C library from its Debian source as a static library of ours:
# C99, position-independent, its headers included as system headers, none of
# our warnings, the sanitizers of the build (and the fuzz build's coverage).
function(orvik_third_party_c_library target include_dir)
  add_library(${target} STATIC ${ARGN})
  set_target_properties(${target} PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${target} SYSTEM PUBLIC ${include_dir})
  target_compile_options(${target} PRIVATE -w)
  if(ORVIK_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
  endif()
  orvik_fuzz_instrument(${target})
endfunction()

# The fuzz build: every target of ours carries the fuzzer's coverage and the
# sanitizers, so that a fuzzer follows the libraries it loads.
function(orvik_fuzz_instrument target)
  if(ORVIK_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# Every target of ours: warnings, sanitizers, and on Windows a fully static runtime.
function(orvik_target target)
  orvik_warnings(${target})
  orvik_sanitize(${target})
  orvik_fuzz_instrument(${target})
  target_include_directories(${target} PRIVATE ${ORVIK_GENERATED_DIR})
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
  endif()
endfunction()

# The library as it ships: dist/ gets a stripped copy, and its debug
# information stays in the build tree as symbols/<file>.debug, which the
# shipped copy names in its .gnu_debuglink section (with its CRC), so that
# gdb and addr2line can still read a user's crash address.
function(orvik_ship target)
  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "objcopy is needed to ship ${target} stripped")
  endif()
  set(symbols ${CMAKE_BINARY_DIR}/symbols)
  set(debug_file ${symbols}/$<TARGET_FILE_NAME:${target}>.debug)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVIK_DIST_DIR} ${symbols}
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug_file}
    COMMAND ${CMAKE_OBJCOPY} --strip-debug --strip-unneeded --add-gnu-debuglink=${debug_file}
      $<TARGET_FILE:${target}> ${ORVIK_DIST_DIR}/$<TARGET_FILE_NAME:${target}>
    VERBATIM)
endfunction()

# An add-in library: <base>_<bits>.dll on Windows (with its resource script and
# the export table), <base>_<bits>.so on Linux. Collected in dist/ when asked.
#   orvik_add_addin(<target> NAME <base> RC <file.rc> SOURCES ... LIBS ...)
function(orvik_add_addin target)
  cmake_parse_arguments(A "NODIST" "NAME;RC" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${A_SOURCES} ${CMAKE_SOURCE_DIR}/bridge/Exports.cpp)
  set(file ${A_NAME}_${ORVIK_BITS})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${file})
  if(WIN32)
    target_sources(${target} PRIVATE ${A_RC} ${CMAKE_SOURCE_DIR}/resources/exports.def)
    set_source_files_properties(${A_RC} PROPERTIES OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/resources/orvik.ico)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/resources)
    target_link_options(${target} PRIVATE -Wl,--kill-at)
  elseif(NOT ORVIK_FUZZ) # fuzzing: the sanitizers' runtime comes with the program
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
    if(ORVIK_STATIC_LIBCXX)
      orvik_pin_glibc(${target})
    endif()
  endif()
  target_link_libraries(${target} PRIVATE ${A_LIBS})
  orvik_target(${target})
  if(ORVIK_DIST AND NOT A_NODIST)
    orvik_ship(${target})
  endif()
endfunction()

# GoogleTest: built from Debian's source package for the cross builds and
# wherever the tree has its own C++ runtime (the linux preset's libc++); the
# system's otherwise.
macro(orvik_find_gtest)
  if(WIN32 OR ORVIK_STATIC_LIBCXX)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    if(NOT TARGET GTest::gtest)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)
endmacro()

# A test program. On Linux it runs directly; the Windows programs run under Wine
# through scripts/wine-run.sh (a Xvfb display, a prefix of the build tree's own,
# a watchdog).
#   orvik_add_test(<target> SOURCES ... LIBS ... [ENV k=v ...] [SHARED_DATA])
# SHARED_DATA marks a test that writes files of the data folder other than the
# call log, or reads them whole: the control file operator.txt, the display's
# record, the printer's tape. Under Wine every test program of a build tree
# shares one data folder, so such tests never run at the same time there. On
# Linux no test sees the desktop it was started from: those that show windows
# start a Xvfb of their own.
function(orvik_add_test target)
  cmake_parse_arguments(A "SHARED_DATA" "TIMEOUT" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
  add_executable(${target} ${A_SOURCES})
  target_link_libraries(${target} PRIVATE ${A_LIBS} testsupport_main GTest::gtest)
  orvik_target(${target})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  if(WIN32)
    add_test(NAME ${target}
      COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:${target}>)
    # 77: an x86 program where this machine cannot run 32-bit programs.
    set_tests_properties(${target} PROPERTIES SKIP_RETURN_CODE 77)
  else()
    add_test(NAME ${target} COMMAND ${target})
  endif()
  if(NOT WIN32)
    list(APPEND A_ENV DISPLAY=)
  endif()
  if(ORVIK_SANITIZE)
    list(APPEND A_ENV LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan.supp)
  endif()
  if(WIN32)
    # Wine's own watchdog fires before ctest's, so that no Wine process outlives the test.
    math(EXPR wine_timeout "${A_TIMEOUT} - 20")
    list(APPEND A_ENV WINE_RUN_TIMEOUT=${wine_timeout})
  endif()
  # The operator's answer of the shell that runs the tests is not theirs.
  set_tests_properties(${target} PROPERTIES TIMEOUT ${A_TIMEOUT} ENVIRONMENT "${A_ENV}" LABELS "${A_LABELS}"
    ENVIRONMENT_MODIFICATION "ORVIK_OPERATOR=unset:")
  if(WIN32 AND A_SHARED_DATA)
    set_tests_properties(${target} PROPERTIES RESOURCE_LOCK orvik_data_folder)
  endif()
endfunction()

# The dialog templates of a resource script as tables of the window layer:
# <script name>_dialogs.h in the build tree, made again when the script changes,
# on the include path of target.
#   orvik_dialog_table(<target> <file.rc>)
function(orvik_dialog_table target rc)
  get_filename_component(name ${rc} NAME_WE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/dialogs)
  set(header ${dir}/${name}_dialogs.h)
  add_custom_command(OUTPUT ${header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -DRC=${rc} -DOUT=${header} -P ${CMAKE_SOURCE_DIR}/cmake/DialogTable.cmake
    DEPENDS ${rc} ${CMAKE_SOURCE_DIR}/cmake/DialogTable.cmake
    COMMENT "Dialog tables of ${name}.rc"
    VERBATIM)
  target_sources(${target} PRIVATE ${header})
  target_include_directories(${target} PUBLIC ${dir})
endfunction()
