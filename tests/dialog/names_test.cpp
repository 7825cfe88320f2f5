#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <string>
#include "dialog/names.h"
#include "support/support.h"

namespace {

using namespace std::string_literals;

// The selection in an exact heap block of its own size, so that a read past
// it is caught under AddressSanitizer.
std::unique_ptr<char16_t[]> Block(const std::u16string& units)
{
    std::unique_ptr<char16_t[]> block(new char16_t[units.size()]);
    std::memcpy(block.get(), units.data(), units.size() * sizeof(char16_t));
    return block;
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
        Selection s = DecodeSelection(block.get(), (ptrdiff_t)c.selection.size(), c.multiple, arena);
        EXPECT_EQ(s.Count, 0);
        EXPECT_EQ(std::u16string(s.Message), u"Selection too long: pick fewer files");
    }
}

}  // namespace
