# Cross-building for Windows with MinGW-w64, included by the per-architecture
# toolchain files with CALIDRA_MINGW_TRIPLET set. The -posix compilers: the
# win32 thread model of GCC 12 has no std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${CALIDRA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CALIDRA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CALIDRA_MINGW_TRIPLET}-windres)
# Libraries come from the MinGW-w64 tree and from the prefixes given in
# CMAKE_PREFIX_PATH (the dependencies built for Windows), nowhere else.
set(CMAKE_FIND_ROOT_PATH /usr/${CALIDRA_MINGW_TRIPLET} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static runtime: the DLL and the programs need no libstdc++, libgcc or
# winpthread DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_DLLTOOL ${CALIDRA_MINGW_TRIPLET}-dlltool)
