#include "Console.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace calidra::tool {

Console::Console(std::string command) : command_(std::move(command)), interactive_(isatty(STDOUT_FILENO) != 0) {}

void Console::Out(std::string_view line) const {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Console::Error(std::string_view message) const {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: error: %.*s\n", command_.c_str(), static_cast<int>(message.size()), message.data());
}

void Console::Warning(std::string_view message) const {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: warning: %.*s\n", command_.c_str(), static_cast<int>(message.size()), message.data());
}

void Console::Progress(std::string_view line) {
    if (!interactive_) return;
    std::fprintf(stdout, "\r\033[K%.*s", static_cast<int>(line.size()), line.data());
    std::fflush(stdout);
    progressShown_ = true;
}

void Console::EndProgress() {
    if (!progressShown_) return;
    std::fputc('\n', stdout);
    std::fflush(stdout);
    progressShown_ = false;
}

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) { gInterrupted = 1; }

}  // namespace

void Interrupt::Install() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool Interrupt::Requested() { return gInterrupted != 0; }

}  // namespace calidra::tool
