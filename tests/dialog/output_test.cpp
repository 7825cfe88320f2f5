#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <string>
#include "dialog/output.h"
#include "support/support.h"

namespace {

constexpr uint32_t Single = OfnHideReadOnly | OfnFileMustExist;
constexpr uint32_t Multi = Single | OfnAllowMultiSelect | OfnExplorer;

using namespace std::string_literals;

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
