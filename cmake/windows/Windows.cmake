# What the Windows build adds, included by the top CMakeLists.txt when the
# target is Windows: resources, the DLL's exports and import libraries, and the
# tests run under Wine.
enable_language(RC)

# The library's objects define what the public headers declare, and the test
# programs link those objects in: neither imports them from the DLL.
add_compile_definitions(CALIDRA_BUILDING_LIBRARY)
# -O2, as the Linux build: GCC 12 at -O3 warns of out-of-bounds copies in
# libstdc++ that cannot happen (-Wrestrict, -Warray-bounds) in tests and tools.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
# Windows aligns the stack to 16 bytes only, and GCC may keep 32-byte AVX
# values there with aligned moves: the assembler makes every such move unaligned.
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-Wa,-muse-unaligned-vector-move>")

# Test programs run under Wine, each in the build folder's own prefix.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine)
endif()
# Only the test folders whose subject is the same on Windows: the library's
# layers from the platform up to the exported functions.
set(CALIDRA_WINDOWS_TEST_FOLDERS platform device pipeline output instance api)
# Test files about POSIX alone: full disks made with mount namespaces.
set(CALIDRA_WINDOWS_TEST_EXCLUDE "/DiskFaultTest\\.cpp$")

# calidra_windows_dll(target): calidra.dll with exactly the names of
# src/api/exports.txt (the .def file made from it: no decoration on 32-bit
# either), its MinGW import library libcalidra.dll.a, and calidra.lib, an
# import library made from the same .def for MSVC.
function(calidra_windows_dll target)
  target_sources(${target} PRIVATE ${CALIDRA_EXPORT_DEF})
  set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "lib" IMPORT_SUFFIX ".dll.a"
                                             RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}
                                             ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
  add_custom_command(TARGET ${target} POST_BUILD
                     COMMAND ${CMAKE_DLLTOOL} --input-def ${CALIDRA_EXPORT_DEF} --dllname calidra.dll
                             --output-lib ${PROJECT_BINARY_DIR}/calidra.lib
                     VERBATIM)
endfunction()
