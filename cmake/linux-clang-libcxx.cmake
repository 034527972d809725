# Linux x86_64 with clang and LLVM's C++ runtime linked into every binary, so
# that the shipped libraries need nothing of the C++ toolchain at run time and
# load on old systems (glibc 2.17 and newer):
# - libc++ and libc++abi as static archives (Debian's libc++-14-dev,
#   libc++abi-14-dev), never the system's libstdc++;
# - LLVM's libunwind (libunwind-14-dev) before libgcc's unwinder, which would
#   call _dl_find_object (glibc 2.35);
# - libgcc itself statically, for the few compiler helpers it still gives;
# - in shared libraries, the runtime's symbols kept local (--exclude-libs), so
#   that a host with libstdc++ loaded never binds our operator new, exception
#   or unwinder calls to its own.
# Every target of the tree is built with it, tests and GoogleTest included:
# one C++ standard library per binary. ORVIK_GLIBC_PINS (cmake/GlibcPins.cmake)
# then binds what remains of newer glibc symbols to their oldest versions.
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)

# Sections of their own, so that a library keeps only the code it reaches of
# the runtime (--gc-sections: a third of the size).
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++ -ffunction-sections -fdata-sections")
set(orvik_runtime_link "-stdlib=libc++ -nostdlib++ -static-libgcc")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${orvik_runtime_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${orvik_runtime_link} -Wl,--exclude-libs,ALL -Wl,--gc-sections")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${CMAKE_SHARED_LINKER_FLAGS_INIT}")
# At the end of every C++ link line, after the objects and libraries that need them.
set(CMAKE_CXX_STANDARD_LIBRARIES_INIT "-Wl,-Bstatic -lc++ -lc++abi -lunwind -Wl,-Bdynamic")

set(ORVIK_STATIC_LIBCXX ON)
