// Narrow text is the system's ANSI code page, as for every Windows A function.
#include "platform/TextConversion.h"

#include <windows.h>

#include <cstring>

namespace calidra {

std::wstring TextConversion::WideFromNarrow(const char* text) {
    std::wstring wide;
    if (text == nullptr || text[0] == 0) return wide;
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return wide;
    wide.resize(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

std::string TextConversion::NarrowFromWide(const wchar_t* text) {
    std::string narrow;
    if (text == nullptr || text[0] == 0) return narrow;
    const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return narrow;
    narrow.resize(static_cast<std::size_t>(length));
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(length - 1));
    return narrow;
}

std::size_t TextConversion::NarrowInto(const wchar_t* text, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return 0;
    std::size_t used = 0;
    char bytes[8];
    while (text != nullptr && *text != 0) {
        // A surrogate pair is one character.
        const int units = (IS_HIGH_SURROGATE(text[0]) && IS_LOW_SURROGATE(text[1])) ? 2 : 1;
        const int n = WideCharToMultiByte(CP_ACP, 0, text, units, bytes, sizeof bytes, nullptr, nullptr);
        if (n <= 0 || used + static_cast<std::size_t>(n) + 1 > size) break;
        std::memcpy(out + used, bytes, static_cast<std::size_t>(n));
        used += static_cast<std::size_t>(n);
        text += units;
    }
    out[used] = 0;
    return used;
}

}  // namespace calidra
