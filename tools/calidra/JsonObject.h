// A JSON object written field by field, for the server's answers.
#pragma once

#include <string>
#include <string_view>

namespace calidra::tool {

class JsonObject {
public:
    JsonObject& Add(std::string_view key, std::string_view value);
    JsonObject& Add(std::string_view key, const char* value) { return Add(key, std::string_view(value)); }
    JsonObject& Add(std::string_view key, long long value);
    JsonObject& Add(std::string_view key, int value) { return Add(key, static_cast<long long>(value)); }
    JsonObject& Add(std::string_view key, unsigned long value) { return Add(key, static_cast<long long>(value)); }
    JsonObject& Add(std::string_view key, bool value);
    // A number with `decimals` digits after the point.
    JsonObject& Add(std::string_view key, double value, int decimals);
    JsonObject& Add(std::string_view key, const JsonObject& value);
    // Already written JSON (an array).
    JsonObject& AddRaw(std::string_view key, std::string_view json);

    std::string Text() const { return "{" + body_ + "}"; }
    // "text" with quotes and escapes.
    static std::string Quote(std::string_view text);

private:
    JsonObject& Field(std::string_view key, std::string_view json);
    std::string body_;
};

}  // namespace calidra::tool
