#include "ArgParser.h"

namespace calidra::tool {

bool ArgParser::Parse(std::span<const std::string> args, std::span<const OptionSpec> specs, std::string* error) {
    values_.clear();
    positionals_.clear();
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            // A lone "-" is a positional too (a file name some people use for stdout).
            positionals_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view body = std::string_view(arg).substr(2);
        std::size_t equals = body.find('=');
        std::string_view name = body.substr(0, equals);
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : specs) {
            if (candidate.name == name) spec = &candidate;
        }
        if (spec == nullptr) {
            *error = "unknown option --" + std::string(name);
            return false;
        }
        auto& slot = values_[std::string(name)];
        if (!spec->takesValue) {
            if (equals != std::string_view::npos) {
                *error = "option --" + std::string(name) + " takes no value";
                return false;
            }
            slot.emplace_back();
        } else if (equals != std::string_view::npos) {
            slot.emplace_back(body.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            slot.push_back(args[++i]);
        } else {
            *error = "option --" + std::string(name) + " needs a value";
            return false;
        }
    }
    return true;
}

bool ArgParser::Has(std::string_view name) const { return values_.find(name) != values_.end(); }

std::optional<std::string> ArgParser::Get(std::string_view name) const {
    auto found = values_.find(name);
    if (found == values_.end() || found->second.empty()) return std::nullopt;
    return found->second.back();
}

std::vector<std::string> ArgParser::GetAll(std::string_view name) const {
    auto found = values_.find(name);
    return found == values_.end() ? std::vector<std::string>{} : found->second;
}

}  // namespace calidra::tool
