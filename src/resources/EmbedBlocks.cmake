# cmake -DOUTPUT=<file.cpp> -DTYPE=<type> -DBLOCKS=<id>=<file>|... -P EmbedBlocks.cmake
# Writes a C++ source that holds each file's bytes in an array and adds them,
# while the library loads, to its module as the resource <id> of type <type>.
if(NOT OUTPUT OR NOT TYPE OR NOT BLOCKS)
  message(FATAL_ERROR "EmbedBlocks.cmake needs OUTPUT, TYPE and BLOCKS")
endif()
string(REPLACE "|" ";" BLOCKS "${BLOCKS}")

set(text "// Made by the build from the block files of src/resources.\n")
string(APPEND text "#include <cstdint>\n\n#include \"platform/ModuleResources.h\"\n\n")
string(APPEND text "namespace calidra {\nnamespace {\n")
set(adds "")
foreach(entry IN LISTS BLOCKS)
  string(REPLACE "=" ";" pair "${entry}")
  list(GET pair 0 id)
  list(GET pair 1 file)
  file(SIZE ${file} size)
  if(size EQUAL 0)
    message(FATAL_ERROR "${file} is empty")
  endif()
  file(READ ${file} hex HEX)
  # Sixteen bytes to a line, each as 0xNN.
  string(REGEX REPLACE "([0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])"
                       "\\1\n" hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  string(APPEND text "\nalignas(8) const std::uint8_t kBlock${id}[${size}] = {\n${hex}};\n")
  string(APPEND adds "        ModuleResources::Library().Add({L\"${TYPE}\", ${id}, kBlock${id}, sizeof kBlock${id}});\n")
endforeach()
string(APPEND text "
// The blocks are in place before anything of the library runs: the loader
// constructs this object when the library (or a test program) is loaded.
struct Registration {
    Registration() {
${adds}    }
};
[[maybe_unused]] const Registration registration;

}  // namespace
}  // namespace calidra
")
file(WRITE ${OUTPUT} "${text}")
