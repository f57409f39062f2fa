# Windows x86-64 (64-bit) with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CALIDRA_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
