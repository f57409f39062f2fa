// Options of one subcommand: "--name value", "--name=value" and flags, in any
// order among the positional arguments. "--" ends the options.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace calidra::tool {

struct OptionSpec {
    std::string_view name;  // without the dashes
    bool takesValue;
};

class ArgParser {
public:
    // False with a message in *error for an unknown option or a missing value.
    bool Parse(std::span<const std::string> args, std::span<const OptionSpec> specs, std::string* error);

    bool Has(std::string_view name) const;
    // The last value given, when the option was given.
    std::optional<std::string> Get(std::string_view name) const;
    std::vector<std::string> GetAll(std::string_view name) const;
    const std::vector<std::string>& Positionals() const { return positionals_; }

private:
    std::map<std::string, std::vector<std::string>, std::less<>> values_;
    std::vector<std::string> positionals_;
};

}  // namespace calidra::tool
