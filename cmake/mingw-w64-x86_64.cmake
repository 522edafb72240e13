# Cross build for 64-bit Windows with Debian's mingw-w64 toolchain (the POSIX
# thread model, for std::thread and std::mutex). Programs run under Wine on
# the build machine: the build-time generators and the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DORV_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${DORV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DORV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${DORV_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DORV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained programs: the compiler's runtime and the threads library are
# linked in, so no DLL has to lie beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here (the string tables' and firmware check's generators, the
# tests) run through Wine in the build's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)

# -O2 as in the Linux build: GCC 12 at -O3 warns falsely (-Wrestrict) about
# the standard library's own string code.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the release build")
