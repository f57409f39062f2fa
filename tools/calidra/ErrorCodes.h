// The library's error and event codes with their names and meanings: the one
// table every message of the tool comes from.
#pragma once

#include <string>
#include <string_view>

namespace calidra::tool {

struct ErrorCode {
    int code;
    std::string_view name;
    std::string_view meaning;
};

class ErrorCodes {
public:
    // The entry of a code, or nullptr for a number the library never records.
    static const ErrorCode* Find(int code);
    // "ERR_FILE (9): a file could not be read or written"; never a bare number.
    static std::string Describe(int code);
    static std::string_view Name(int code);
    static const ErrorCode* begin();
    static const ErrorCode* end();
};

}  // namespace calidra::tool
