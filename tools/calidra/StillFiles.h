// Saving the newest frame in the library's still types, with the size of what
// was written checked against what the type promises.
#pragma once

#include <string>

#include "Camera.h"
#include "Catalog.h"

namespace calidra::tool {

class StillFiles {
public:
    // "png16.png": the name a still type gets inside a folder.
    static std::string FileName(const SaveType& type);
    // Calidra_SaveA; on failure reports the error codes, and hands the report
    // to *problem when given. *bytes: the file's size.
    static bool Save(Camera& camera, const SaveType& type, const std::string& path, long long* bytes,
                     std::string* problem = nullptr);
};

}  // namespace calidra::tool
