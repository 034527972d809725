# Binds the glibc symbols that the Linux libraries import to versions that
# glibc 2.17 already had, so that the libraries load on RHEL/CentOS 7 and every
# newer system. Used with the linux preset's toolchain (static libc++).
#
# glibc 2.34 moved the functions of libpthread.so.0 and libdl.so.2 into
# libc.so.6 and gave them new default versions (GLIBC_2.34); both files remain
# as empty stubs. Linked against today's libc, a library would need
# pthread_create@GLIBC_2.34 from libc.so.6. Each version requirement also names
# the file it was linked against, and before 2.34 the dynamic loader refuses a
# symbol that it reaches in the named file without finding ("not defined in
# file libc.so.6 with link time reference"): the requirement must name the
# file that held the function then. So each pinned symbol is linked against a
# stand-in of its old file (below, a few bytes built here and used only at link
# time) that defines it at its old version. The real file is needed at run
# time: on old systems it holds the function, on new ones it is the stub and
# libc.so.6 answers, since glibc 2.34 looks a versioned symbol up by version
# name wherever it is defined.
#
# One line per file and version: <file> <version> <symbols...>. A symbol that
# `scripts/check-libraries.sh` reports (moved in glibc 2.34, or too new) goes
# here when it lived under an older version in an old file; one that had no
# old version at all (stat, pthread_cond_clockwait) is replaced in
# bridge/GlibcCompat_posix.cpp and named in ORVIK_GLIBC_WRAPPED.
set(ORVIK_GLIBC_PINS
  # The condition variables keep 2.3.2: their 2.2.5 versions are the old,
  # incompatible ones.
  "libpthread.so.0 GLIBC_2.2.5 pthread_create pthread_join pthread_detach pthread_once
     pthread_key_create pthread_key_delete pthread_getspecific pthread_setspecific
     pthread_mutex_init pthread_mutex_destroy pthread_mutex_lock pthread_mutex_trylock pthread_mutex_unlock
     pthread_mutexattr_init pthread_mutexattr_destroy pthread_mutexattr_settype
     pthread_rwlock_init pthread_rwlock_destroy pthread_rwlock_rdlock pthread_rwlock_wrlock pthread_rwlock_unlock"
  "libpthread.so.0 GLIBC_2.3.2 pthread_cond_init pthread_cond_destroy pthread_cond_wait pthread_cond_timedwait
     pthread_cond_signal pthread_cond_broadcast"
  "libdl.so.2 GLIBC_2.2.5 dlopen dlsym dlclose dlerror dladdr")

# Replaced by functions of bridge/GlibcCompat_posix.cpp (ld --wrap): their
# current versions have no old version of the same name.
set(ORVIK_GLIBC_WRAPPED stat fstat lstat pthread_cond_clockwait)

set(ORVIK_GLIBC_COMPAT_SOURCE ${CMAKE_SOURCE_DIR}/bridge/GlibcCompat_posix.cpp)

# The link-time stand-ins, one per file: a C file of empty functions and a
# version script.
function(orvik_glibc_stubs out_var)
  set(dir ${CMAKE_BINARY_DIR}/glibc-link-stubs)
  set(files)
  foreach(line IN LISTS ORVIK_GLIBC_PINS)
    string(REGEX REPLACE "[ \t\r\n]+" ";" words "${line}")
    list(POP_FRONT words file version)
    list(APPEND files ${file})
    string(MAKE_C_IDENTIFIER ${file} id)
    list(APPEND ${id}_versions ${version})
    set(${id}_${version} ${words})
  endforeach()
  list(REMOVE_DUPLICATES files)
  set(outputs)
  foreach(file IN LISTS files)
    string(MAKE_C_IDENTIFIER ${file} id)
    set(source "/* Link-time stand-in for ${file}; never loaded. */\n")
    set(script "")
    set(rest "  local:\n    *;\n")
    foreach(version IN LISTS ${id}_versions)
      string(APPEND script "${version} {\n  global:\n")
      foreach(symbol IN LISTS ${id}_${version})
        string(APPEND source "void ${symbol}(void) {}\n")
        string(APPEND script "    ${symbol};\n")
      endforeach()
      string(APPEND script "${rest}};\n")
      set(rest "")
    endforeach()
    file(CONFIGURE OUTPUT ${dir}/${id}.c CONTENT "${source}" @ONLY)
    file(CONFIGURE OUTPUT ${dir}/${id}.map CONTENT "${script}" @ONLY)
    # Named apart from the real file, so that nothing finds it at run time.
    set(stub ${dir}/link-only-${file})
    add_custom_command(OUTPUT ${stub}
      COMMAND ${CMAKE_C_COMPILER} -shared -fPIC -nostdlib -w -Wl,-soname,${file}
        -Wl,--version-script,${dir}/${id}.map -o ${stub} ${dir}/${id}.c
      DEPENDS ${dir}/${id}.c ${dir}/${id}.map
      COMMENT "Link-time stand-in for ${file}")
    list(APPEND outputs ${stub})
  endforeach()
  add_custom_target(orvik_glibc_stubs DEPENDS ${outputs})
  set(${out_var} ${outputs} PARENT_SCOPE)
endfunction()

orvik_glibc_stubs(ORVIK_GLIBC_STUB_FILES)

# Links <target> (a shared library or a test program) with the pins and the
# replacements.
function(orvik_pin_glibc target)
  target_sources(${target} PRIVATE ${ORVIK_GLIBC_COMPAT_SOURCE})
  add_dependencies(${target} orvik_glibc_stubs)
  # By path in the link options, not as libraries: CMake would add their folder
  # to the run-time search path. Before the C library, which the compiler
  # driver links last, so that the stand-ins define the pinned symbols.
  list(TRANSFORM ORVIK_GLIBC_WRAPPED PREPEND "LINKER:--wrap=" OUTPUT_VARIABLE wraps)
  target_link_options(${target} PRIVATE ${wraps} LINKER:--no-as-needed ${ORVIK_GLIBC_STUB_FILES})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ORVIK_GLIBC_STUB_FILES})
endfunction()
