// The library's own 360-step palette, for a viewer that colours temperatures
// as the library's colour pictures are coloured. The public interface has no
// call for it, so the tool builds it from the library's own source file.
#pragma once

#include <string>

namespace calidra::tool {

class LibraryPalette {
public:
    // {"name":"library","colours":["#050006", ...]}: entry 0 (coldest) first.
    static std::string Json();
};

}  // namespace calidra::tool
