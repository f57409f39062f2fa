// The tool's exit codes (documented in its --help and in the usage guide).
#pragma once

namespace calidra::tool {

enum ExitCode : int {
    kExitOk = 0,            // everything asked for was done
    kExitFailed = 1,        // a library call failed; the message names the error code
    kExitUsage = 2,         // the command line is wrong
    kExitNoCamera = 3,      // the camera asked for is absent or cannot be set up
    kExitFileError = 4,     // the tool could not read its input or write its output
    kExitNoFrames = 5,      // no frames arrived in time, or the stream ended
    kExitInterrupted = 130  // Ctrl-C (except in record and serve, where Ctrl-C is the normal way to stop)
};

}  // namespace calidra::tool
