#include "WebAssets.h"

namespace calidra::tool {

// Written by web/Embed.cmake at build time.
extern const WebAsset kWebAssets[];
extern const std::size_t kWebAssetCount;

std::span<const WebAsset> WebAssets::All() { return {kWebAssets, kWebAssetCount}; }

const WebAsset* WebAssets::Find(std::string_view path) {
    if (path == "/") path = "/index.html";
    for (const WebAsset& asset : All()) {
        if (asset.path == path) return &asset;
    }
    return nullptr;
}

}  // namespace calidra::tool
