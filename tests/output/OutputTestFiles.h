// Shared by the output tests: little-endian peeks and running the command-line tools that check our files.
#pragma once

#include <gtest/gtest.h>
#if defined(_WIN32)
#include <windows.h>
#endif

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/DibImage.h"
#include "platform/LittleEndian.h"
#include "support/BuildPaths.h"
#include "support/ScratchFiles.h"

namespace calidra::test {

inline std::uint32_t Le32At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return offset + 4 <= bytes.size() ? GetLE32(bytes.data() + offset) : 0xDEADBEEFu;
}

inline std::string TextAt(const std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t count) {
    if (offset + count > bytes.size()) return {};
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                       bytes.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

// Runs a command line of the POSIX shell; 0 when it succeeded.
inline int Shell(const std::string& command) {
#if defined(_WIN32)
    // Under Wine the tools are the Linux host's: Wine starts /bin/sh as a Unix
    // program, but its handle can neither be waited for nor give the exit
    // status, so the shell renames a file holding the status into place when
    // it is done. Without Wine there is no Z:\bin\sh, and so no tool.
    const std::string base =
        (std::filesystem::path(calidra::test::TempRoot()) / ("shell-" + std::to_string(GetCurrentProcessId())))
            .generic_string();
    const std::filesystem::path script = base + ".sh", status = base + ".status";
    std::filesystem::remove(status);
    std::ofstream(script, std::ios::binary)
        << command << "\necho $? >'" << base << ".part' && mv '" << base << ".part' '" << base << ".status'\n";
    std::wstring line = L"sh \"" + script.generic_wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!std::filesystem::exists(status) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int code = -1;
    std::ifstream(status) >> code;
    return code;
#else
    return std::system(command.c_str());
#endif
}

inline bool HaveTool(const std::string& tool) { return Shell("command -v " + tool + " >/dev/null 2>&1") == 0; }

// Runs a shell command; its standard output and error in `output`, the exit status as result.
inline int RunTool(const std::string& command, std::string& output, const std::filesystem::path& scratch) {
    const std::filesystem::path log = scratch / "tool-output.txt";
    int status = Shell(command + " >'" + log.generic_string() + "' 2>&1");
    std::ifstream in(log);
    output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return status;
}

// A 640 x 480 raw image whose level tells line and column apart:
// (line * 7 + x) mod 16384; stored line 0 is the picture's bottom row.
inline DibImage RawFrame() {
    DibImage raw;
    EXPECT_TRUE(raw.Create(640, 480, 16));
    for (std::int32_t line = 0; line < 480; ++line) {
        for (std::int32_t x = 0; x < 640; ++x) {
            PutLE16(raw.Row(line) + 2 * x, static_cast<std::uint16_t>((line * 7 + x) % 16384));
        }
    }
    return raw;
}

// The colour of stored line `line`, column x: smooth enough for JPEG to keep.
inline std::uint8_t BlueAt(std::int32_t, std::int32_t x) { return static_cast<std::uint8_t>(x * 255 / 639); }
inline std::uint8_t GreenAt(std::int32_t line, std::int32_t) { return static_cast<std::uint8_t>(line * 255 / 479); }
inline std::uint8_t RedAt(std::int32_t line, std::int32_t x) { return static_cast<std::uint8_t>(255 - (line + x) / 5); }

inline DibImage ColourFrame() {
    DibImage colour;
    EXPECT_TRUE(colour.Create(640, 480, 24));
    for (std::int32_t line = 0; line < 480; ++line) {
        std::uint8_t* row = colour.Row(line);
        for (std::int32_t x = 0; x < 640; ++x) {
            row[3 * x + 0] = BlueAt(line, x);
            row[3 * x + 1] = GreenAt(line, x);
            row[3 * x + 2] = RedAt(line, x);
        }
    }
    return colour;
}

inline std::string Quoted(const std::filesystem::path& path) { return "'" + path.generic_string() + "'"; }

}  // namespace calidra::test
