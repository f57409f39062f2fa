// Baseline JPEG of a colour picture for the MJPEG stream, through libjpeg.
#pragma once

#include <string>

namespace calidra::tool {

class JpegPicture {
public:
    // bgr: width x height pixels of blue, green, red bytes, top row first.
    // Empty when libjpeg fails.
    static std::string Encode(const unsigned char* bgr, int width, int height, int quality);
};

}  // namespace calidra::tool
