#include "output/StdioStream.h"

#include "platform/File.h"

namespace calidra {

StdioStream::~StdioStream() { Close(); }

bool StdioStream::Open(const wchar_t* path, const char* mode) {
    Close();
    stream_ = File::OpenStream(path, mode);
    return stream_ != nullptr;
}

bool StdioStream::Close() {
    if (stream_ == nullptr) return false;
    const bool clean = std::ferror(stream_) == 0;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    return clean && closed;
}

}  // namespace calidra
