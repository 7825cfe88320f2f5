#include <gtest/gtest.h>
#include <string>
#include "paths/paths.h"
#include "support/support.h"

namespace {

struct SplitCase {
    const char* text;
    const char* dir;
    const char* name;
};

const SplitCase SplitCases[] = {
    {"", "", ""},
    {"*.*", "", "*.*"},
    {"C:\\docs\\*.txt;*.doc", "C:\\docs\\", "*.txt;*.doc"},
    {"C:\\docs\\", "C:\\docs\\", ""},
    {"C:\\docs", "C:\\", "docs"},
    {"C:", "", "C:"},
    {"C:\\", "C:\\", ""},
    {"C:/a/b.txt", "C:/a/", "b.txt"},
    {"\\\\server\\share\\*.log", "\\\\server\\share\\", "*.log"},
    {"C:\\docs\\*.txt;sub\\*.doc", "C:\\docs\\*.txt;sub\\", "*.doc"},
    {"\"C:\\dir\\file.txt\"", "C:\\dir\\", "file.txt"},
    {"C:\\dir\\*.txt\"", "C:\\dir\\", "*.txt"},
    {"C:\\x\\a\"b", "C:\\x\\", "a"},
    {"C:\\a\"b\\c", "C:\\a\"b\\", "c"},
    {"C:\\dir\\\"x\"", "C:\\dir\\", ""},
    {"\"abc\"", "", "abc"},
    {"\"", "", ""},
    {"\\", "\\", ""},
    {"C:\\docs\\ ", "C:\\docs\\", " "},
    {"C:\\a|b\\c", "C:\\", "c"},
    {"C:\\dir\\*.txt|*.doc", "C:\\dir\\", "*.txt|*.doc"},
    {"a|b", "", "a|b"},
    {"|\\x", "", "x"},
    // A separator byte counts even as the second byte of a double-byte
    // character: the split knows nothing of code pages.
    {"C:\\\x83\\x.txt", "C:\\\x83\\", "x.txt"},
};

TEST(SplitPath, CutsAtTheLastSeparator)
{
    for (const SplitCase& c : SplitCases) {
        SCOPED_TRACE(testing::Message() << "text [" << c.text << "]");
        TestArena arena;
        EXPECT_STREQ(DirPart(c.text, arena), c.dir);
        EXPECT_STREQ(NamePart(c.text, arena), c.name);
    }
}

TEST(SplitPath, TakesAbsentAsEmpty)
{
    TestArena arena;
    EXPECT_STREQ(DirPart(nullptr, arena), "");
    EXPECT_STREQ(NamePart(nullptr, arena), "");
}

TEST(SplitPath, LeavesItsInputAlone)
{
    TestArena arena;
    char text[] = "\"C:\\dir\\file.txt\"";
    std::string before = text;
    DirPart(text, arena);
    NamePart(text, arena);
    EXPECT_EQ(before, text);
}

struct NameCase {
    const char* text;
    bool valid;
};

const NameCase NameCases[] = {
    {"report.txt", true},
    {"a.b.c", true},
    {" ", true},
    {".", true},
    {"..", true},
    {"CON", true},
    {"name.", true},
    {"name ", true},
    {"caf\xE9.txt", true},
    {"\x7F\x80\xFF", true},
    {"", false},
    {"C:\\report.txt", false},
    {"sub/x.txt", false},
    {"*.txt", false},
    {"a?b", false},
    {"x<y", false},
    {"x>y", false},
    {"a\"b", false},
    {"a|b", false},
    {"a:b", false},
    {"a\\b", false},
    {"a\tb", false},
    {"a\x01", false},
    {"\x1F", false},
    {"name*", false},
};

TEST(IsValidFileName, RefusesControlAndReservedCharacters)
{
    for (const NameCase& c : NameCases) {
        SCOPED_TRACE(testing::Message() << "name [" << c.text << "]");
        EXPECT_EQ(IsValidFileName(c.text), c.valid);
    }
    EXPECT_FALSE(IsValidFileName(nullptr));
}

TEST(ResolveFullPath, GivesEmptyForEmpty)
{
    TestArena arena;
    EXPECT_STREQ(ResolveFullPath("", arena), "");
    EXPECT_STREQ(ResolveFullPath(nullptr, arena), "");
}

}  // namespace
