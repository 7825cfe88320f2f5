#include <gtest/gtest.h>
#include <optional>
#include <string>
#include "console/codepage.h"
#include "support/fake_os.h"
#include "support/support.h"

namespace {

TEST(NarrowExactly, RefusesWhatDoesNotReadBackTheSame)
{
    struct {
        uint32_t codePage;
        std::u16string wide;
        std::optional<std::string> bytes;
    } cases[] = {
        {1252, u"caf\u00E9\u20AC\u0178", "caf\xE9\x80\x9F"},
        {1252, u"\u0081", "\x81"},  // undefined in 1252, yet it reads back the same
        {1252, u"\u0141og", std::nullopt},
        {1252, u"a?b", "a?b"},  // a real "?" is itself
        {1252, u"\U0001F600", std::nullopt},
        {1252, u"", ""},
        {932, u"\u8868\u30BD", "\x95\x5C\x83\x5C"},
        {932, u"caf\u00E9", std::nullopt},
        {65001, u"\u0141\u8868\U0001F600", "\xC5\x81\xE8\xA1\xA8\xF0\x9F\x98\x80"},
        {65001, u"a\xDC00", std::nullopt},  // a lone surrogate becomes U+FFFD's bytes
        {850, u"\u00E9\u00C9", "\x82\x90"},
        {850, u"\u0141", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.codePage << " " << FakeNarrow(65001, c.wide));
        TestArena arena;
        ptrdiff_t length = -1;
        char* bytes = NarrowExactly(c.codePage, c.wide.data(), (ptrdiff_t)c.wide.size(), arena, &length);
        EXPECT_EQ(bytes ? std::optional<std::string>(std::string(bytes, length)) : std::nullopt, c.bytes);
    }
}

TEST(Widen, EndsTheUnitsWithAZero)
{
    // Two bytes of code page 932 make one unit: what the call leaves after
    // it is no part of the text.
    TestArena arena;
    ptrdiff_t length = -1;
    char16_t* wide = Widen(932, "\x95\x5C", 2, arena, &length);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(std::u16string(wide), u"\u8868");
}

}  // namespace
