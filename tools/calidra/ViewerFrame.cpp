#include "ViewerFrame.h"

#include <cstring>

#include "CentiKelvin.h"

namespace calidra::tool {

namespace {

void Put(std::string& out, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>(value >> (8 * i));
}

void PutDouble(std::string& out, std::size_t at, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Put(out, at, bits, 8);
}

std::string Header(unsigned long id, std::uint16_t flags, std::size_t pixelBytes) {
    std::string out(ViewerFrame::kHeaderBytes + pixelBytes, '\0');
    out.replace(0, 4, "CLVF");
    Put(out, 4, ViewerFrame::kHeaderBytes, 2);
    Put(out, 6, flags, 2);
    Put(out, 8, static_cast<std::uint32_t>(id), 4);
    Put(out, 12, ViewerFrame::kWidth, 2);
    Put(out, 14, ViewerFrame::kHeight, 2);
    PutDouble(out, 16, CentiKelvin::kScale);
    PutDouble(out, 24, CentiKelvin::kOffset);
    return out;
}

// The source row of output row `row`.
int SourceRow(int row, bool topRowFirst) { return topRowFirst ? row : ViewerFrame::kHeight - 1 - row; }

}  // namespace

std::string ViewerFrame::FromTemperatures(unsigned long id, const float* celsius, bool topRowFirst) {
    std::string out = Header(id, 0, std::size_t{kWidth} * kHeight * 2);
    std::size_t at = kHeaderBytes;
    for (int row = 0; row < kHeight; ++row) {
        const float* line = celsius + std::size_t(SourceRow(row, topRowFirst)) * kWidth;
        for (int column = 0; column < kWidth; ++column, at += 2)
            Put(out, at, CentiKelvin::FromCelsius(line[column]), 2);
    }
    return out;
}

std::string ViewerFrame::FromColour(unsigned long id, const unsigned char* bgr, bool topRowFirst) {
    constexpr std::size_t kLineBytes = std::size_t{kWidth} * 3;
    std::string out = Header(id, kColourFlag, kLineBytes * kHeight);
    for (int row = 0; row < kHeight; ++row) {
        std::memcpy(out.data() + kHeaderBytes + row * kLineBytes,
                    bgr + std::size_t(SourceRow(row, topRowFirst)) * kLineBytes, kLineBytes);
    }
    return out;
}

}  // namespace calidra::tool
