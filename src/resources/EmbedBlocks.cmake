# cmake -DOUTPUT=<file.cpp> -DBLOCKS=<symbol>=<file>|... -P EmbedBlocks.cmake
# Writes a C++ source that defines, for each block, the array <symbol> holding the
# file's bytes and <symbol>Size holding their number.
if(NOT OUTPUT OR NOT BLOCKS)
  message(FATAL_ERROR "EmbedBlocks.cmake needs OUTPUT and BLOCKS")
endif()
string(REPLACE "|" ";" BLOCKS "${BLOCKS}")

set(text "// Made by the build from the block files of src/resources.\n")
string(APPEND text "#include \"resources/BuiltinTableData.h\"\n\nnamespace calidra {\n")
foreach(entry IN LISTS BLOCKS)
  string(REPLACE "=" ";" pair "${entry}")
  list(GET pair 0 symbol)
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
  string(APPEND text "\nalignas(8) extern const std::uint8_t ${symbol}[${size}] = {\n${hex}};\n")
  string(APPEND text "extern const std::size_t ${symbol}Size = sizeof ${symbol};\n")
endforeach()
string(APPEND text "\n}  // namespace calidra\n")
file(WRITE ${OUTPUT} "${text}")
