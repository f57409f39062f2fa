// 16-bit grey pictures for other programs: PNG (stored, uncompressed deflate)
// and uncompressed TIFF, written without any image library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace calidra::tool {

class GreyImageFile {
public:
    // pixels: width x height samples, top row first.
    static bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint16_t>& pixels);
    static bool WriteTiff(const std::string& path, int width, int height, const std::vector<std::uint16_t>& pixels);
};

}  // namespace calidra::tool
