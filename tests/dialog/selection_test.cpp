#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "dialog/selection.h"
#include "support/support.h"

namespace {

constexpr uint32_t Single = OfnHideReadOnly | OfnFileMustExist;
constexpr uint32_t Multi = Single | OfnAllowMultiSelect | OfnExplorer;

struct LineCase {
    const char* label;
    std::string selection;  // as the dialog leaves it, NULs included
    const char* command;
    uint32_t dialogFlags;
    uint32_t outputFlags;
    std::string line;
};

using namespace std::string_literals;

const LineCase LineCases[] = {
    {"single", "C:\\docs\\a.txt\0"s, "type", Single, QuoteNames, "type \"C:\\docs\\a.txt\"\r\n"},
    {"single, no quotes", "C:\\docs\\a.txt\0"s, "type", Single, 0, "type C:\\docs\\a.txt\r\n"},
    {"single, no line end", "C:\\docs\\a.txt\0"s, "type", Single, QuoteNames | NoLineEnd,
     "type \"C:\\docs\\a.txt\""},
    {"bare, no line end", "C:\\a\0"s, "x", Single, NoLineEnd, "x C:\\a"},
    {"assignment", "C:\\docs\\a.txt\0"s, "set f=", Single, QuoteNames, "set f=\"C:\\docs\\a.txt\"\r\n"},
    {"trailing blank gets another", "C:\\a\0"s, "echo ", Single, QuoteNames, "echo  \"C:\\a\"\r\n"},
    {"only = counts", "C:\\a\0"s, "x==", Single, 0, "x==C:\\a\r\n"},
    {"multiple", "C:\\docs\0a.txt\0b.txt\0\0"s, "type", Multi, QuoteNames,
     "type \"C:\\docs\\a.txt\" \"C:\\docs\\b.txt\"\r\n"},
    {"multiple, bare", "C:\\docs\0a.txt\0b.txt\0c\0\0"s, "set f=", Multi, 0,
     "set f=C:\\docs\\a.txt C:\\docs\\b.txt C:\\docs\\c\r\n"},
    {"multiple at a drive root", "C:\\\0a.txt\0b.txt\0\0"s, "t", Multi, QuoteNames,
     "t \"C:\\a.txt\" \"C:\\b.txt\"\r\n"},
    {"multiple keeps the dialog's order", "D:\\x\0z\0a\0\0"s, "t", Multi, 0, "t D:\\x\\z D:\\x\\a\r\n"},
    {"one file under multiselect", "C:\\docs\\a.txt\0\0"s, "t", Multi, QuoteNames, "t \"C:\\docs\\a.txt\"\r\n"},
    // Without multiselect the bytes after the first NUL are never looked at,
    // even when leftovers of the initial name stand there.
    {"single ignores leftovers", "C:\\a\0stale-name.txt\0\0"s, "t", Single, QuoteNames, "t \"C:\\a\"\r\n"},
    {"names with blanks and high bytes", "C:\\My Docs\0caf\xE9 1.txt\0\xFF\0\0"s, "t", Multi, QuoteNames,
     "t \"C:\\My Docs\\caf\xE9 1.txt\" \"C:\\My Docs\\\xFF\"\r\n"},
    {"nothing inside a name is escaped", "C:\\100%!\0"s, "t", Single, QuoteNames, "t \"C:\\100%!\"\r\n"},
    {"a slash does not end a directory", "C:/x/\0a\0b\0\0"s, "t", Multi, 0, "t C:/x/\\a C:/x/\\b\r\n"},
};

TEST(BuildOutputLine, WritesCommandNamesAndLineEnd)
{
    for (const LineCase& c : LineCases) {
        SCOPED_TRACE(c.label);
        TestArena arena;
        std::string buffer = c.selection + std::string(8, '\0');
        DialogSettings settings = {};
        settings.CommandString = c.command;
        settings.DialogFlags = c.dialogFlags;
        settings.OutputFlags = c.outputFlags;
        EXPECT_EQ(std::string(BuildOutputLine(buffer.data(), settings, arena)), c.line);
    }
}

TEST(BuildOutputLine, JoinsAThousandNames)
{
    std::string selection = "C:\\some\\dir";
    selection += '\0';
    std::string expected = "for ";
    for (int i = 0; i < 1000; i++) {
        std::string name = "file" + std::to_string(i) + ".dat";
        selection += name + '\0';
        expected += (i ? " \"" : "\"") + std::string("C:\\some\\dir\\") + name + "\"";
    }
    selection += '\0';
    expected += "\r\n";
    TestArena arena;
    DialogSettings settings = {};
    settings.CommandString = "for";
    settings.DialogFlags = Multi;
    settings.OutputFlags = QuoteNames;
    EXPECT_EQ(std::string(BuildOutputLine(selection.data(), settings, arena)), expected);
}

TEST(BuildFilterBlock, HoldsPatternsTwiceThenAnEmptyText)
{
    struct {
        const char* patterns;
        std::string used;
    } cases[] = {
        {"*.*", std::string("*.*\0*.*\0\0", 9)},
        {"*.txt;*.doc", std::string("*.txt;*.doc\0*.txt;*.doc\0\0", 25)},
        {"", std::string("\0\0\0", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.patterns);
        TestArena arena;
        char* block = BuildFilterBlock(c.patterns, arena);
        EXPECT_EQ(Bytes(block, c.used.size()), c.used);
        // The rest of the 1024 bytes is zero, not the arena's marker.
        EXPECT_EQ(std::string(block + c.used.size(), FilterBlockSize - c.used.size()),
                  std::string(FilterBlockSize - c.used.size(), '\0'));
    }
}

TEST(BuildFilterBlock, GrowsRatherThanCutsALongPatternList)
{
    for (size_t length : {510u, 511u, 600u, 5000u}) {
        SCOPED_TRACE(length);
        std::string patterns(length, 'p');
        TestArena arena;
        char* block = BuildFilterBlock(patterns.c_str(), arena);
        EXPECT_EQ(Bytes(block, 2 * length + 3), patterns + '\0' + patterns + '\0' + '\0');
        // Whatever follows in the arena was not written by the block.
        char* after = static_cast<char*>(Alloc(arena, 1, 1));
        EXPECT_GE(after, block + 2 * length + 3);
    }
}

TEST(BuildSelectionBuffer, StartsWithTheInitialNameAndIsZeroBehind)
{
    for (const char* name : {(const char*)nullptr, "", "report.txt"}) {
        SCOPED_TRACE(name ? name : "(absent)");
        TestArena arena;
        char* buffer = BuildSelectionBuffer(name, arena);
        size_t length = name ? std::strlen(name) : 0;
        EXPECT_EQ(Bytes(buffer, length), std::string(name ? name : ""));
        EXPECT_EQ(Bytes(buffer + length, SelectionBufferSize - length),
                  std::string(SelectionBufferSize - length, '\0'));
    }
}

}  // namespace
