// Narrow and wide text. Narrow is UTF-8 and wide UTF-32 on POSIX; on Windows
// narrow is the system's ANSI code page and wide UTF-16, converted by
// MultiByteToWideChar and WideCharToMultiByte. Input that does not convert
// becomes U+FFFD (or the code page's default character) rather than failing,
// and nothing is read past the terminator.
#pragma once

#include <cstddef>
#include <string>

namespace calidra {

class TextConversion {
public:
    // Empty for a null pointer.
    static std::wstring WideFromNarrow(const char* text);
    static std::string NarrowFromWide(const wchar_t* text);
    // Narrows into a caller's buffer of size bytes, always terminated when size > 0;
    // cuts only at whole characters. Returns the bytes written without the NUL.
    static std::size_t NarrowInto(const wchar_t* text, char* out, std::size_t size);
};

}  // namespace calidra
