// The binary frame of GET /api/frame: a fixed 32-byte little-endian header,
// then the pixels with the top row first.
//
//   offset  size  field
//        0     4  "CLVF"
//        4     2  header size in bytes (32)
//        6     2  flags: 1 = colour pixels (blue, green, red bytes); else
//                 temperatures as unsigned 16-bit hundredths of a kelvin
//        8     4  the library's frame id
//       12     2  width (640)
//       14     2  height (480)
//       16     8  scale, double: degrees C = value x scale + offset (0.01)
//       24     8  offset, double (-273.15); a value of 0 is an unknown temperature
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace calidra::tool {

class ViewerFrame {
public:
    static constexpr std::size_t kHeaderBytes = 32;
    static constexpr std::uint16_t kColourFlag = 1;
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;

    // celsius: width x height values as Calidra_GetTemperature gives them,
    // top row first when topRowFirst, else bottom row first.
    static std::string FromTemperatures(unsigned long id, const float* celsius, bool topRowFirst);
    // bgr: width x height x 3 bytes as Calidra_GetColor gives them.
    static std::string FromColour(unsigned long id, const unsigned char* bgr, bool topRowFirst);
};

}  // namespace calidra::tool
