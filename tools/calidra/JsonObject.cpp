#include "JsonObject.h"

#include <cmath>
#include <cstdio>

#include "Numbers.h"

namespace calidra::tool {

std::string JsonObject::Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

JsonObject& JsonObject::Field(std::string_view key, std::string_view json) {
    if (!body_.empty()) body_ += ',';
    body_ += Quote(key);
    body_ += ':';
    body_ += json;
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view value) { return Field(key, Quote(value)); }
JsonObject& JsonObject::Add(std::string_view key, long long value) { return Field(key, std::to_string(value)); }
JsonObject& JsonObject::Add(std::string_view key, bool value) { return Field(key, value ? "true" : "false"); }
JsonObject& JsonObject::Add(std::string_view key, const JsonObject& value) { return Field(key, value.Text()); }
JsonObject& JsonObject::AddRaw(std::string_view key, std::string_view json) { return Field(key, json); }

JsonObject& JsonObject::Add(std::string_view key, double value, int decimals) {
    // JSON has no words for infinity or not-a-number.
    return Field(key, std::isfinite(value) ? Numbers::Fixed(value, decimals) : "null");
}

}  // namespace calidra::tool
