// Narrow/wide text: UTF-8 both ways, invalid input made safe; on Windows the
// ANSI code page.
#include <gtest/gtest.h>

#include <cstring>
#if defined(_WIN32)
#include <windows.h>
#endif

#include "platform/TextConversion.h"

namespace calidra {
namespace {

#if defined(_WIN32)
TEST(TextConversion, AnsiCodePageBothWaysAndWholeCharacters) {
    if (GetACP() != 1252) GTEST_SKIP() << "the values are those of code page 1252, not " << GetACP();
    const char* narrow =
        "Kamera \xB0"
        "C \x80";
    EXPECT_EQ(TextConversion::WideFromNarrow(narrow), L"Kamera \u00B0C \u20AC");
    EXPECT_EQ(TextConversion::NarrowFromWide(L"Kamera \u00B0C \u20AC"), narrow);
    // What the code page lacks becomes its default character.
    EXPECT_EQ(TextConversion::NarrowFromWide(L"x\u0416"), "x?");
    char out[4];
    EXPECT_EQ(TextConversion::NarrowInto(L"ab\u20ACc", out, sizeof out), 3u);
    EXPECT_STREQ(out, "ab\x80");
    EXPECT_EQ(TextConversion::WideFromNarrow(nullptr), L"");
}
#else

TEST(TextConversion, NonAsciiRoundTrips) {
    const char* narrow =
        "Kamera \xC2\xB0"
        "C \xE2\x82\xAC \xF0\x9F\x94\xA5";
    std::wstring wide = TextConversion::WideFromNarrow(narrow);
    ASSERT_EQ(wide.size(), 13u);
    EXPECT_EQ(wide[7], L'\u00B0');
    EXPECT_EQ(wide[10], L'\u20AC');
    EXPECT_EQ(static_cast<char32_t>(wide[12]), U'\U0001F525');
    EXPECT_EQ(TextConversion::NarrowFromWide(wide.c_str()), narrow);
}

TEST(TextConversion, InvalidUtf8BecomesReplacementAndStopsAtTerminator) {
    // A lead byte whose continuation is cut by the terminator must not read past it.
    char truncated[] = {'a', '\xE2', '\x82', 0, 'z', 'z', 0};
    EXPECT_EQ(TextConversion::WideFromNarrow(truncated), L"a\uFFFD");
    EXPECT_EQ(TextConversion::WideFromNarrow("\xFF\xFE"), L"\uFFFD\uFFFD");
    // Overlong forms and surrogates are refused.
    EXPECT_EQ(TextConversion::WideFromNarrow("\xC0\xAF"), L"\uFFFD");
    EXPECT_EQ(TextConversion::WideFromNarrow("\xED\xA0\x80"), L"\uFFFD");
    EXPECT_EQ(TextConversion::WideFromNarrow(nullptr), L"");
}

TEST(TextConversion, InvalidWideBecomesReplacement) {
    wchar_t bad[] = {L'x', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000), 0};
    EXPECT_EQ(TextConversion::NarrowFromWide(bad), "x\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(TextConversion, NarrowIntoCutsAtWholeCharacters) {
    char out[6];
    std::memset(out, 'Q', sizeof out);
    // "ab€" is 5 bytes; with room for 4 plus NUL only "ab" fits whole... and the euro needs 3.
    EXPECT_EQ(TextConversion::NarrowInto(L"ab\u20ACc", out, 5), 2u);
    EXPECT_STREQ(out, "ab");
    EXPECT_EQ(TextConversion::NarrowInto(L"ab\u20AC", out, 6), 5u);
    EXPECT_STREQ(out, "ab\xE2\x82\xAC");
    EXPECT_EQ(TextConversion::NarrowInto(L"abc", out, 1), 0u);
    EXPECT_STREQ(out, "");
}
#endif

}  // namespace
}  // namespace calidra
