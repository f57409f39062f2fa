#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace calidra::test {

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::atomic<int> gSerial{0};

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& scratchDir) {
    const std::string stem = scratchDir + "/process-" + std::to_string(getpid()) + "-" + std::to_string(gSerial++);
    outPath_ = stem + ".out";
    errPath_ = stem + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && status_ == -1) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
    }
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
}

std::string ChildProcess::OutputSoFar() const { return ReadText(outPath_); }

ProcessResult ChildProcess::Wait(std::chrono::seconds timeout) {
    ProcessResult result;
    if (pid_ <= 0) {
        result.err = "the program could not be started";
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool killed = false;
    while (waitpid(pid_, &status_, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
            killed = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!killed && WIFEXITED(status_)) result.exitCode = WEXITSTATUS(status_);
    if (!killed && WIFSIGNALED(status_)) result.exitCode = 128 + WTERMSIG(status_);
    result.out = ReadText(outPath_);
    result.err = ReadText(errPath_);
    return result;
}

ProcessResult ChildProcess::Run(const std::vector<std::string>& argv, const std::string& scratchDir,
                                std::chrono::seconds timeout) {
    ChildProcess child(argv, scratchDir);
    return child.Wait(timeout);
}

}  // namespace calidra::test
