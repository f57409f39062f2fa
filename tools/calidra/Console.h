// What the tool says: results on standard output, problems on standard error
// prefixed with the command, and a progress line that only a terminal sees.
#pragma once

#include <string>
#include <string_view>

namespace calidra::tool {

class Console {
public:
    explicit Console(std::string command);

    void Out(std::string_view line) const;
    void Error(std::string_view message) const;
    void Warning(std::string_view message) const;
    // Replaces the progress line on a terminal; prints nothing elsewhere.
    void Progress(std::string_view line);
    // Ends a progress line so the next output starts on a line of its own.
    void EndProgress();
    bool Interactive() const { return interactive_; }

private:
    std::string command_;
    bool interactive_;
    bool progressShown_ = false;
};

// Ctrl-C and SIGTERM only set a flag; the waiting loops look at it.
class Interrupt {
public:
    static void Install();
    static bool Requested();
};

}  // namespace calidra::tool
