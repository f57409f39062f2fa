#include "StillFiles.h"

#include <filesystem>
#include <system_error>

#include "Numbers.h"

namespace calidra::tool {

std::string StillFiles::FileName(const SaveType& type) { return std::string(type.name) + std::string(type.extension); }

bool StillFiles::Save(Camera& camera, const SaveType& type, const std::string& path, long long* bytes,
                      std::string* problem) {
    camera.ForgetCodes();
    *bytes = 0;
    auto fail = [&](std::string message) {
        camera.Out().Error(message);
        if (problem != nullptr) *problem = std::move(message);
        return false;
    };
    // Bare-byte files are written over an existing file without cutting it
    // short, so an old, longer file would keep its tail.
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (!Calidra_SaveA(camera.Handle(), path.c_str(), type.type)) {
        std::string report =
            camera.ReportFailure("saving " + std::string(type.name) + " to " + path + ": Calidra_SaveA");
        if (problem != nullptr) *problem = std::move(report);
        return false;
    }
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    if (error) {
        return fail("saving " + std::string(type.name) + ": the library reported success but " + path +
                    " is not there");
    }
    *bytes = static_cast<long long>(size);
    if (type.fixedSize >= 0 && *bytes != type.fixedSize) {
        return fail("saving " + std::string(type.name) + ": " + path + " holds " + Numbers::Grouped(*bytes) +
                    " bytes instead of " + Numbers::Grouped(type.fixedSize));
    }
    return true;
}

}  // namespace calidra::tool
