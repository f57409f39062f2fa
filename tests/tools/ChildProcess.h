// Runs a program as a user would: its arguments, its output, its exit code.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace calidra::test {

struct ProcessResult {
    int exitCode = -1;  // -1: it did not end within the timeout and was killed
    std::string out;
    std::string err;
};

class ChildProcess {
public:
    // Starts argv[0] with its output going to files in `scratchDir`.
    ChildProcess(const std::vector<std::string>& argv, const std::string& scratchDir);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) const;
    // Waits for the end (killing it after `timeout`, a hang guard) and collects the output.
    ProcessResult Wait(std::chrono::seconds timeout);
    std::string OutputSoFar() const;

    static ProcessResult Run(const std::vector<std::string>& argv, const std::string& scratchDir,
                             std::chrono::seconds timeout = std::chrono::seconds(120));

private:
    pid_t pid_ = -1;
    std::string outPath_;
    std::string errPath_;
    int status_ = -1;
};

}  // namespace calidra::test
