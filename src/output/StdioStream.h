// A C stream opened by a wide path, for the encoder libraries that write
// through FILE (libjpeg, libpng). Closed on destruction.
#pragma once

#include <cstdio>

namespace calidra {

class StdioStream {
public:
    StdioStream() = default;
    ~StdioStream();
    StdioStream(const StdioStream&) = delete;
    StdioStream& operator=(const StdioStream&) = delete;

    // false for a null or empty path or when the platform refuses it (a path
    // too long included); mode as for fopen.
    bool Open(const wchar_t* path, const char* mode);
    std::FILE* Get() const { return stream_; }
    // true when every byte written reached the file and the stream closed.
    bool Close();

private:
    std::FILE* stream_ = nullptr;
};

}  // namespace calidra
