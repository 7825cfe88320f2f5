#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "dialog/request.h"
#include "support/support.h"

namespace {

// The record is filled with a marker first, so a field that FillRequest
// forgets shows up as 0xCC bytes.
OsDialogRequest Filled(const DialogSettings& settings, const char* filter, char* selection)
{
    OsDialogRequest request;
    std::memset(&request, 0xCC, sizeof request);
    request = FillRequest(settings, filter, selection);
    return request;
}

TEST(FillRequest, SetsEveryField)
{
    char filter[16] = "*.*";
    char selection[8] = "";
    DialogSettings settings = {};
    settings.InitialDir = "C:\\docs\\";
    settings.WindowTitle = "Pick";
    settings.DialogFlags = OfnHideReadOnly | OfnAllowMultiSelect | OfnExplorer;
    settings.OwnerWindow = reinterpret_cast<void*>(0x1234);
    OsDialogRequest r = Filled(settings, filter, selection);

    EXPECT_EQ(r.StructSize, 76u);
    EXPECT_EQ(r.Owner, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(r.Filter, filter);
    EXPECT_EQ(r.FilterIndex, 1u);
    EXPECT_EQ(r.File, selection);
    EXPECT_EQ(r.MaxFile, 20480u);
    EXPECT_STREQ(r.InitialDir, "C:\\docs\\");
    EXPECT_STREQ(r.Title, "Pick");
    EXPECT_EQ(r.Flags, 0x80204u);
}

TEST(FillRequest, PassesAnEmptyDirectoryAsTextAndNoTitleAsNull)
{
    char filter[4] = {};
    char selection[4] = {};
    for (const char* dir : {(const char*)nullptr, ""}) {
        DialogSettings settings = {};
        settings.InitialDir = dir;
        OsDialogRequest r = Filled(settings, filter, selection);
        ASSERT_NE(r.InitialDir, nullptr);
        EXPECT_STREQ(r.InitialDir, "");
        EXPECT_EQ(r.Title, nullptr);
        EXPECT_EQ(r.Owner, nullptr);
    }
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
