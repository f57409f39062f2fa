#include "platform/TextConversion.h"

#include <cstdint>
#include <cstring>

namespace calidra {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text (NUL-terminated); advances text.
char32_t DecodeOne(const unsigned char*& text) {
    unsigned char lead = *text++;
    if (lead < 0x80) return lead;
    int extra;
    char32_t code;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, code = lead & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    for (int i = 0; i < extra; ++i) {
        // A NUL is never a continuation byte, so this stops at the terminator.
        if ((*text & 0xC0) != 0x80) return kReplacement;
        code = (code << 6) | (*text++ & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return kReplacement;
    return code;
}

std::size_t EncodeOne(char32_t code, char out[4]) {
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = kReplacement;
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code >> 6));
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (code >> 12));
        out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (code >> 18));
    out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return 4;
}

}  // namespace

std::wstring TextConversion::WideFromNarrow(const char* text) {
    std::wstring wide;
    if (text == nullptr) return wide;
    const auto* cursor = reinterpret_cast<const unsigned char*>(text);
    while (*cursor != 0) wide.push_back(static_cast<wchar_t>(DecodeOne(cursor)));
    return wide;
}

std::string TextConversion::NarrowFromWide(const wchar_t* text) {
    std::string narrow;
    if (text == nullptr) return narrow;
    char bytes[4];
    for (; *text != 0; ++text) narrow.append(bytes, EncodeOne(static_cast<char32_t>(*text), bytes));
    return narrow;
}

std::size_t TextConversion::NarrowInto(const wchar_t* text, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return 0;
    std::size_t used = 0;
    char bytes[4];
    for (; text != nullptr && *text != 0; ++text) {
        std::size_t n = EncodeOne(static_cast<char32_t>(*text), bytes);
        if (used + n + 1 > size) break;
        std::memcpy(out + used, bytes, n);
        used += n;
    }
    out[used] = 0;
    return used;
}

}  // namespace calidra
