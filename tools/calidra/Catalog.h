// The names the tool gives to the library's numbers: still save types,
// recording kinds and parameters.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace calidra::tool {

struct SaveType {
    int type;                    // the type argument of Calidra_SaveA
    std::string_view name;       // what --format takes
    std::string_view extension;  // with the dot
    long long fixedSize;         // bytes of the file, or -1 when the encoder decides
    std::string_view content;
};

struct RecordKind {
    int kind;               // the kind argument of Calidra_RecA
    std::string_view name;  // what --kind takes
    std::string_view extension;
    long long frameBytes;  // bytes per frame in the file
    std::string_view content;
};

struct Parameter {
    int id;
    std::string_view name;
    std::string_view meaning;
};

class Catalog {
public:
    static std::span<const SaveType> SaveTypes();
    static const SaveType* FindSaveType(std::string_view name);

    static std::span<const RecordKind> RecordKinds();
    static const RecordKind* FindRecordKind(std::string_view name);

    static std::span<const Parameter> Parameters();
    static const Parameter* FindParameter(int id);
    // A parameter id from its name ("range-low") or its number ("13"); any
    // number is taken, since ids outside 1..18 reach the camera's registers.
    static std::optional<int> ParameterId(std::string_view text);

    // The names as the commands' help lists them, each line indented by
    // `indent` spaces and ending in a newline.
    static std::string ParameterColumns(int indent);
    static std::string SaveTypeNames(int indent);
    static std::string RecordKindLines(int indent);
};

}  // namespace calidra::tool
