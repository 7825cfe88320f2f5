#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <string>
#include "dialog/output.h"
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
        EXPECT_EQ(std::string(BuildOutputLine(buffer.data(), (ptrdiff_t)buffer.size(), settings, arena)), c.line);
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
    EXPECT_EQ(std::string(BuildOutputLine(selection.data(), (ptrdiff_t)selection.size(), settings, arena)), expected);
}

TEST(BuildOutputLine, StaysInsideABufferWithoutItsFinalNuls)
{
    // The dialog is trusted for nothing: a selection that fills the buffer
    // to its last byte ends there. Each buffer is an exact heap block, so a
    // read past it is caught under AddressSanitizer, and here too when the
    // byte behind it would have been taken for a name.
    struct {
        const char* label;
        std::string bytes;
        uint32_t dialogFlags;
        std::string line;
    } cases[] = {
        {"single", "C:\\a"s, Single, "t \"C:\\a\"\r\n"},
        {"single, full", std::string(64, 'n'), Multi, "t \"" + std::string(64, 'n') + "\"\r\n"},
        {"multiple, no final NULs", "C:\\d\0a\0b"s, Multi, "t \"C:\\d\\a\" \"C:\\d\\b\"\r\n"},
        {"multiple, one NUL short", "C:\\d\0a\0b\0"s, Multi, "t \"C:\\d\\a\" \"C:\\d\\b\"\r\n"},
        {"directory alone", "C:\\d\0"s, Multi, "t \"C:\\d\"\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TestArena arena;
        std::unique_ptr<char[]> block(new char[c.bytes.size() + 1]);
        std::memcpy(block.get(), c.bytes.data(), c.bytes.size());
        block[c.bytes.size()] = 'X';  // behind the buffer: must never show
        DialogSettings settings = {};
        settings.CommandString = "t";
        settings.DialogFlags = c.dialogFlags;
        settings.OutputFlags = QuoteNames;
        EXPECT_EQ(std::string(BuildOutputLine(block.get(), (ptrdiff_t)c.bytes.size(), settings, arena)), c.line);
    }
}

}  // namespace
