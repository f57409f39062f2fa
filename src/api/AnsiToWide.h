// The wide copy of a narrow (UTF-8) text argument, owned for one call.
#pragma once

#include <memory>

namespace calidra {

class AnsiToWide {
public:
    // A null text gives a null wide pointer.
    explicit AnsiToWide(const char* text);
    const wchar_t* Get() const { return text_.get(); }

private:
    std::unique_ptr<wchar_t[]> text_;
};

}  // namespace calidra
