#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "dialog/names.h"
#include "support/fake_os.h"
#include "support/support.h"

namespace {

using namespace std::string_literals;

// Code page 1252 holds "é" (0xE9) and "€" (0x80); it holds neither "Ł"
// (whose best fit would be "L"), nor Chinese, Cyrillic or an emoji.
const std::string Message = "Name not in the ANSI code page and without a short name: ";

struct DecodeCase {
    const char* label;
    std::u16string selection;  // as the dialog leaves it, NULs included
    bool multiple;
    std::vector<std::pair<std::u16string, std::u16string>> aliases;
    std::string list;     // the ANSI list, or "" when there is a message
    std::string message;  // "" when there is a list
};

const DecodeCase DecodeCases[] = {
    {"ASCII", u"C:\\docs\\a.txt\0"s, false, {}, "C:\\docs\\a.txt\0"s, ""},
    {"held by the code page", u"C:\\caf\u00E9\\\u20AC 1.txt\0"s, false, {}, "C:\\caf\xE9\\\x80 1.txt\0"s, ""},
    // The name stands even where an alias exists: aliases only replace
    // what the code page cannot hold.
    {"exact name, alias ignored", u"C:\\Long Folder\\a.txt\0"s, false,
     {{u"C:\\Long Folder\\a.txt", u"C:\\LONGFO~1\\a.txt"}}, "C:\\Long Folder\\a.txt\0"s, ""},
    {"best fit refused, alias taken", u"C:\\d\\\u0141og.txt\0"s, false, {{u"C:\\d\\\u0141og.txt", u"C:\\d\\_OG~1.TXT"}},
     "C:\\d\\_OG~1.TXT\0"s, ""},
    {"best fit refused, no alias", u"C:\\d\\\u0141og.txt\0"s, false, {{u"C:\\d\\\u0141og.txt", u"C:\\d\\\u0141og.txt"}},
     "", Message + "C:\\d\\?og.txt"},
    {"Chinese, alias", u"C:\\d\\\u4E2D\u6587.txt\0"s, false, {{u"C:\\d\\\u4E2D\u6587.txt", u"C:\\d\\__~1.TXT"}},
     "C:\\d\\__~1.TXT\0"s, ""},
    {"Chinese, no such file", u"C:\\d\\\u4E2D\u6587.txt\0"s, false, {}, "", Message + "C:\\d\\??.txt"},
    {"emoji, alias", u"C:\\d\\\U0001F600.txt\0"s, false, {{u"C:\\d\\\U0001F600.txt", u"C:\\d\\__~1.TXT"}},
     "C:\\d\\__~1.TXT\0"s, ""},
    // Only the component that needs it changes; long ASCII ones stay.
    {"folder replaced, only it", u"C:\\Program Files\\\u041F\u0440\u0438\\caf\u00E9 x.txt\0"s, false,
     {{u"C:\\Program Files\\\u041F\u0440\u0438\\caf\u00E9 x.txt", u"C:\\PROGRA~1\\9B12~1\\CAFX~1.TXT"}},
     "C:\\Program Files\\9B12~1\\caf\xE9 x.txt\0"s, ""},
    {"alias that lines up with nothing", u"C:\\d\\\u0141.txt\0"s, false, {{u"C:\\d\\\u0141.txt", u"C:\\_~1.TXT"}}, "",
     Message + "C:\\d\\?.txt"},
    {"multiple, all held", u"C:\\d\0a\0caf\u00E9\0\0"s, true, {}, "C:\\d\0a\0caf\xE9\0\0"s, ""},
    {"multiple, alias for one name", u"C:\\d\0a\0\u4E2D.txt\0b\0\0"s, true, {{u"C:\\d\\\u4E2D.txt", u"C:\\d\\_~1.TXT"}},
     "C:\\d\0a\0_~1.TXT\0b\0\0"s, ""},
    {"multiple at a root", u"C:\\\0\u4E2D.txt\0\0"s, true, {{u"C:\\\u4E2D.txt", u"C:\\_~1.TXT"}},
     "C:\\\0_~1.TXT\0\0"s, ""},
    {"multiple, folder alias", u"C:\\\u4E2D\0a\0b\0\0"s, true, {{u"C:\\\u4E2D", u"C:\\_~1"}}, "C:\\_~1\0a\0b\0\0"s, ""},
    // One name without an exact form spoils the whole list: all or nothing.
    {"multiple, one bad name", u"C:\\d\0a\0\u4E2D.txt\0b\0\0"s, true, {}, "", Message + "C:\\d\\?.txt"},
    {"multiple, bad folder", u"C:\\\u4E2D\0a\0\0"s, true, {}, "", Message + "C:\\?"},
    {"single under multiple", u"C:\\d\\\u4E2D\0\0"s, true, {{u"C:\\d\\\u4E2D", u"C:\\d\\_~1"}}, "C:\\d\\_~1\0"s, ""},
};

// The selection in an exact heap block of its own size, so that a read past
// it is caught under AddressSanitizer.
std::unique_ptr<char16_t[]> Block(const std::u16string& units)
{
    std::unique_ptr<char16_t[]> block(new char16_t[units.size()]);
    std::memcpy(block.get(), units.data(), units.size() * sizeof(char16_t));
    return block;
}

TEST(DecodeSelection, WritesEveryNameExactlyOrNotAtAll)
{
    for (const DecodeCase& c : DecodeCases) {
        SCOPED_TRACE(c.label);
        ResetFake();
        Fake.ShortPaths = c.aliases;
        TestArena arena;
        std::u16string units = c.selection + std::u16string(4, u'\0');
        auto block = Block(units);
        AnsiSelection s = DecodeSelection(block.get(), (ptrdiff_t)units.size(), c.multiple, arena);
        EXPECT_EQ(s.List ? std::string(s.List, s.Size) : "", c.list);
        EXPECT_EQ(s.Message ? s.Message : "", c.message);
    }
}

TEST(DecodeSelection, TakesACutListForNoChoice)
{
    // Lists that reach the end of the buffer without their closing NULs:
    // the dialog left out the rest.
    struct {
        const char* label;
        std::u16string selection;
        bool multiple;
    } cases[] = {
        {"single, no NUL", u"C:\\d\\quarterly r"s, false},
        {"multiple, no final empty text", u"C:\\d\0a.txt\0b.txt\0"s, true},
        {"multiple, last name cut", u"C:\\d\0a.txt\0quarterly r"s, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TestArena arena;
        auto block = Block(c.selection);
        AnsiSelection s = DecodeSelection(block.get(), (ptrdiff_t)c.selection.size(), c.multiple, arena);
        EXPECT_EQ(s.List, nullptr);
        EXPECT_STREQ(s.Message, "Selection too long: pick fewer files");
    }
}

TEST(NarrowExactly, RefusesWhatDoesNotReadBackTheSame)
{
    struct {
        std::u16string wide;
        std::optional<std::string> ansi;
    } cases[] = {
        {u"plain", "plain"},
        {u"caf\u00E9\u20AC\u0178", "caf\xE9\x80\x9F"},
        {u"\u0081", "\x81"},  // undefined in 1252, yet it reads back the same
        {u"\u0141og", std::nullopt},
        {u"a?b", "a?b"},  // a real "?" is itself
        {u"\U0001F600", std::nullopt},
        {u"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow1252(c.wide));
        TestArena arena;
        ptrdiff_t length = -1;
        char* ansi = NarrowExactly(c.wide.data(), (ptrdiff_t)c.wide.size(), arena, &length);
        EXPECT_EQ(ansi ? std::optional<std::string>(std::string(ansi, length)) : std::nullopt, c.ansi);
    }
}

}  // namespace
