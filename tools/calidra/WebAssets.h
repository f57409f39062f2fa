// The viewer's page, script and style sheet, built into the tool from
// tools/calidra/web/ (by web/Embed.cmake), so the tool needs no files beside it.
#pragma once

#include <span>
#include <string_view>

namespace calidra::tool {

struct WebAsset {
    std::string_view path;  // "/viewer.js"
    std::string_view contentType;
    std::string_view body;
};

class WebAssets {
public:
    static std::span<const WebAsset> All();
    // "/" finds "/index.html"; nullptr for anything else that is not there.
    static const WebAsset* Find(std::string_view path);
};

}  // namespace calidra::tool
