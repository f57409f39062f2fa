// A file of the file system, opened by a wide path: CreateFileW, ReadFile,
// WriteFile, SetFilePointerEx, GetFileSizeEx and CloseHandle on Windows; POSIX
// calls on the path narrowed to UTF-8 elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace calidra {

class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // Each Open closes a file already open first; false when path is null or the
    // file cannot be opened.
    bool OpenRead(const wchar_t* path);
    // Truncates an existing file, else creates a new one.
    bool OpenForWrite(const wchar_t* path);
    // Opens an existing file without truncating it, else creates it; the
    // position is the first byte.
    bool OpenAlways(const wchar_t* path);
    bool IsOpen() const { return handle_ != kNone; }

    // Reads up to size bytes; the number read, or -1 on an error.
    std::int64_t Read(void* buffer, std::size_t size);
    // true only when all size bytes were written (a full disk, a file-size
    // limit or an I/O error gives false).
    bool Write(const void* buffer, std::size_t size);
    // Moves the position to an absolute offset; false on failure.
    bool Seek(std::uint64_t offset);
    // Cuts the file (or extends it with zeros) to size bytes; the position
    // stays. false on failure.
    bool Truncate(std::uint64_t size);
    std::uint64_t Position() const;
    // -1 when not open.
    std::int64_t Size() const;
    void Close();

    // The narrow path the platform uses for a wide path (UTF-8; on Windows the
    // ANSI code page, which may not hold every character).
    static std::string SystemPath(const wchar_t* path);
    // A C stream on the file at a wide path, for libraries that write through
    // FILE; mode as for fopen. null when path is null or empty or the file
    // cannot be opened.
    static std::FILE* OpenStream(const wchar_t* path, const char* mode);
    static bool Remove(const wchar_t* path);
    static bool Exists(const wchar_t* path);

private:
    // A file descriptor (POSIX) or a HANDLE (Windows); both platforms use -1
    // for none.
    using Native = std::intptr_t;
    static constexpr Native kNone = -1;
    enum class Mode { kRead, kTruncateOrCreate, kOpenOrCreate };
    bool Open(const wchar_t* path, Mode mode);

    Native handle_ = kNone;
};

}  // namespace calidra
