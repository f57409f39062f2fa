#include "ToolFixture.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace calidra::test {

std::string ToolFixture::FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        std::string candidate = folder + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

std::string Describe(const ProcessResult& result) {
    return "exit code " + std::to_string(result.exitCode) + "\n--- stdout ---\n" + result.out + "--- stderr ---\n" +
           result.err;
}

}  // namespace calidra::test
