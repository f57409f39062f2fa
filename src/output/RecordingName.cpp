#include "output/RecordingName.h"

namespace calidra {

std::wstring RecordingFileName(const std::wstring& path, unsigned counter) {
    if (counter == 0) return path;
    // Both separators count, as they do for the client's wide paths.
    const std::size_t slash = path.find_last_of(L"/\\");
    const std::size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    std::size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || dot < nameStart) dot = path.size();
    return path.substr(0, dot) + L"_" + std::to_wstring(counter) + path.substr(dot);
}

}  // namespace calidra
