# Windows x86 (32-bit) with MinGW-w64. Floating point in SSE2 registers, as on
# x86-64: the x87 unit's wider intermediates would round the correction and
# the temperatures differently. Every processor Windows 8 and later runs on
# has SSE2.
set(CMAKE_SYSTEM_PROCESSOR X86)
set(CALIDRA_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
