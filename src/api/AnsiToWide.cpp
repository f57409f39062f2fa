#include "api/AnsiToWide.h"

#include <algorithm>
#include <string>

#include "platform/TextConversion.h"

namespace calidra {

AnsiToWide::AnsiToWide(const char* text) {
    if (text == nullptr) return;
    std::wstring wide = TextConversion::WideFromNarrow(text);
    text_ = std::make_unique<wchar_t[]>(wide.size() + 1);
    std::copy(wide.begin(), wide.end(), text_.get());
    text_[wide.size()] = 0;
}

}  // namespace calidra
