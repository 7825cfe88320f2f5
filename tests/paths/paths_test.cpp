#include <gtest/gtest.h>
#include <string>
#include "paths/paths.h"
#include "support/fake_os.h"
#include "support/support.h"

namespace {

struct SplitCase {
    const char16_t* text;
    const char16_t* dir;
    const char16_t* name;
};

const SplitCase SplitCases[] = {
    {u"", u"", u""},
    {u"*.*", u"", u"*.*"},
    {u"C:\\docs\\*.txt;*.doc", u"C:\\docs\\", u"*.txt;*.doc"},
    {u"C:\\docs\\", u"C:\\docs\\", u""},
    {u"C:\\docs", u"C:\\", u"docs"},
    // A drive alone is that drive's current directory.
    {u"C:", u"C:", u""},
    {u"C:*.txt", u"C:", u"*.txt"},
    {u"C:sub\\*.txt", u"C:sub\\", u"*.txt"},
    {u"c:", u"c:", u""},
    // Only an ASCII letter names a drive.
    {u"1:*.txt", u"", u"1:*.txt"},
    {u"|:x|y", u"", u"|:x|y"},
    {u"\u00C9:*.txt", u"", u"\u00C9:*.txt"},
    {u"@:*.txt", u"", u"@:*.txt"},
    {u"C:\\", u"C:\\", u""},
    {u"C:/a/b.txt", u"C:/a/", u"b.txt"},
    {u"\\\\server\\share\\*.log", u"\\\\server\\share\\", u"*.log"},
    {u"C:\\docs\\*.txt;sub\\*.doc", u"C:\\docs\\*.txt;sub\\", u"*.doc"},
    {u"\"C:\\dir\\file.txt\"", u"C:\\dir\\", u"file.txt"},
    {u"C:\\dir\\*.txt\"", u"C:\\dir\\", u"*.txt"},
    {u"C:\\x\\a\"b", u"C:\\x\\", u"a"},
    {u"C:\\a\"b\\c", u"C:\\a\"b\\", u"c"},
    {u"C:\\dir\\\"x\"", u"C:\\dir\\", u""},
    {u"\"abc\"", u"", u"abc"},
    {u"\"", u"", u""},
    {u"\\", u"\\", u""},
    {u"C:\\docs\\ ", u"C:\\docs\\", u" "},
    // No separator after the first bar counts: named filters hold none.
    {u"C:\\a|b\\c", u"C:\\", u"a|b\\c"},
    {u"C:\\dir\\*.txt|*.doc", u"C:\\dir\\", u"*.txt|*.doc"},
    {u"a|b", u"", u"a|b"},
    {u"|\\x", u"", u"|\\x"},
    // A character whose code page 932 form ends in a backslash byte is one
    // character, never a separator.
    {u"C:\\\u8868\u30BD\\x.txt", u"C:\\\u8868\u30BD\\", u"x.txt"},
    {u"C:\\\u8868\u30BD", u"C:\\", u"\u8868\u30BD"},
};

TEST(SplitPath, CutsAtTheLastSeparator)
{
    for (const SplitCase& c : SplitCases) {
        SCOPED_TRACE(testing::Message() << "text [" << Narrow1252(c.text) << "]");
        TestArena arena;
        EXPECT_EQ(std::u16string(DirPart(c.text, arena)), c.dir);
        EXPECT_EQ(std::u16string(NamePart(c.text, arena)), c.name);
    }
}

TEST(SplitPath, TakesAbsentAsEmpty)
{
    TestArena arena;
    EXPECT_EQ(std::u16string(DirPart(nullptr, arena)), u"");
    EXPECT_EQ(std::u16string(NamePart(nullptr, arena)), u"");
}

TEST(SplitPath, LeavesItsInputAlone)
{
    TestArena arena;
    char16_t text[] = u"\"C:\\dir\\file.txt\"";
    std::u16string before = text;
    DirPart(text, arena);
    NamePart(text, arena);
    EXPECT_EQ(before, text);
}

struct NameCase {
    const char16_t* text;
    bool valid;
};

const NameCase NameCases[] = {
    {u"report.txt", true},
    {u"a.b.c", true},
    {u" ", true},
    {u".", true},
    {u"..", true},
    {u"CON", true},
    {u"name.", true},
    {u"name ", true},
    {u"caf\xE9.txt", true},
    {u"\x7F\x80\xFF", true},
    {u"", false},
    {u"C:\\report.txt", false},
    {u"sub/x.txt", false},
    {u"*.txt", false},
    {u"a?b", false},
    {u"x<y", false},
    {u"x>y", false},
    {u"a\"b", false},
    {u"a|b", false},
    {u"a:b", false},
    {u"a\\b", false},
    {u"a\tb", false},
    {u"a\x01", false},
    {u"\x1F", false},
    {u"name*", false},
};

TEST(IsValidFileName, RefusesControlAndReservedCharacters)
{
    for (const NameCase& c : NameCases) {
        SCOPED_TRACE(testing::Message() << "name [" << Narrow1252(c.text) << "]");
        EXPECT_EQ(IsValidFileName(c.text), c.valid);
    }
    EXPECT_FALSE(IsValidFileName(nullptr));
}

}  // namespace
