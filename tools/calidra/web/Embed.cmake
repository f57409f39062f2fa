# Writes OUTPUT, a C++ source that holds the files in FILES (separated by
# "|") as the tool's web assets: cmake -DOUTPUT=... -DFILES=a|b -P Embed.cmake
string(REPLACE "|" ";" files "${FILES}")
set(types_html "text/html; charset=utf-8")
set(types_js "text/javascript; charset=utf-8")
set(types_css "text/css; charset=utf-8")
set(types_svg "image/svg+xml")

set(arrays "")
set(entries "")
set(count 0)
foreach(file IN LISTS files)
  get_filename_component(name ${file} NAME)
  get_filename_component(extension ${file} LAST_EXT)
  string(SUBSTRING "${extension}" 1 -1 extension)
  if(NOT DEFINED types_${extension})
    message(FATAL_ERROR "Embed.cmake: no content type for ${name}")
  endif()
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(REGEX REPLACE "(('[^']*',){20})" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "const char kAsset${count}[] = {\n${bytes}};\n\n")
  string(APPEND entries "    {\"/${name}\", \"${types_${extension}}\", {kAsset${count}, ${size}}},\n")
  math(EXPR count "${count} + 1")
endforeach()

file(WRITE ${OUTPUT}.new "// Written by tools/calidra/web/Embed.cmake from tools/calidra/web/; do not edit.
#include \"WebAssets.h\"

namespace calidra::tool {

namespace {

${arrays}}  // namespace

extern const WebAsset kWebAssets[] = {
${entries}};
extern const std::size_t kWebAssetCount = ${count};

}  // namespace calidra::tool
")
file(RENAME ${OUTPUT}.new ${OUTPUT})
