#include <gtest/gtest.h>
#include <string>
#include "base/text.h"
#include "support/support.h"

namespace {

TEST(Text, TreatsAbsentAsEmpty)
{
    EXPECT_EQ(Length((const char16_t*)nullptr), 0);
    EXPECT_TRUE(IsEmpty(nullptr));
    EXPECT_TRUE(Equal(nullptr, ""));
    EXPECT_TRUE(Equal(u"", nullptr));
    EXPECT_FALSE(Equal(nullptr, "a"));
    EXPECT_FALSE(Equal(u"ab", "a"));
    EXPECT_FALSE(Equal(u"a", "ab"));
    EXPECT_FALSE(Equal(u"/?", "/?x"));
    // A unit is its character, never one of its bytes.
    EXPECT_FALSE(Equal(u"\u013F", "?"));
}

TEST(Arena, AlignsAndZeroes)
{
    TestArena arena(256);
    char* byte = New<char>(arena);
    EXPECT_EQ(*byte, 0);
    int* numbers = New<int>(arena, 4);
    EXPECT_EQ(reinterpret_cast<size_t>(numbers) % alignof(int), 0u);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(numbers[i], 0);
    }
}

TEST(TextBuilder, BuildsInPlaceAndHandsOverTheBytes)
{
    TestArena arena;
    TextBuilder<char> builder = StartText<char>(arena);
    Append(builder, "ab");
    Append(builder, "c\0d", 3);
    char* text = Finish(builder);
    char* next = New<char>(arena, 1);
    EXPECT_EQ(Bytes(text, 5), std::string("abc\0d", 5));
    EXPECT_EQ(text[5], 0);
    EXPECT_EQ(next, text + 6 + ArenaRedZone);
    EXPECT_EQ(std::u16string(Concat(arena, "x: ", u"\u8868")), u"x: \u8868");
}

}  // namespace
