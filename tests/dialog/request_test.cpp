#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "dialog/request.h"
#include "support/support.h"

namespace {

std::u16string Wide(const char16_t* text)
{
    return text ? std::u16string(text) : u"(null)";
}

// The record is filled with a marker first, so a field that FillRequest
// forgets shows up as 0xCC bytes.
OsDialogRequest Filled(const DialogSettings& settings, const char* filter, Arena& arena)
{
    OsDialogRequest request;
    std::memset(&request, 0xCC, sizeof request);
    request = FillRequest(settings, filter, arena);
    return request;
}

TEST(FillRequest, SetsEveryFieldWithTheTextsInUtf16)
{
    TestArena arena;
    const char filter[] = "*.t\xE9;*.\x80\0*.t\xE9;*.\x80\0\0junk";
    DialogSettings settings = {};
    settings.InitialDir = "C:\\caf\xE9\\";
    settings.WindowTitle = "Pick \x93one\x94";
    settings.DialogFlags = OfnHideReadOnly | OfnAllowMultiSelect | OfnExplorer;
    settings.OwnerWindow = reinterpret_cast<void*>(0x1234);
    settings.InitialName = "start.txt";
    OsDialogRequest r = Filled(settings, filter, arena);

    EXPECT_EQ(r.StructSize, 76u);
    EXPECT_EQ(r.Owner, reinterpret_cast<void*>(0x1234));
    // Converted from code page 1252 up to the list's closing empty text.
    EXPECT_EQ(std::u16string(r.Filter, 19), std::u16string(u"*.t\u00E9;*.\u20AC\0*.t\u00E9;*.\u20AC\0\0", 19));
    EXPECT_EQ(r.FilterIndex, 1u);
    EXPECT_EQ(Wide(r.File), u"start.txt");
    EXPECT_EQ(r.MaxFile, 20480u);
    // The buffer comes after every text the dialog reads, so that a dialog
    // that writes past it (as Wine's does) spoils none of them.
    for (const char16_t* text : {r.Filter, r.InitialDir, r.Title}) {
        EXPECT_LT((const void*)text, (const void*)r.File);
    }
    EXPECT_EQ(Wide(r.InitialDir), u"C:\\caf\u00E9\\");
    EXPECT_EQ(Wide(r.Title), u"Pick \u201Cone\u201D");
    EXPECT_EQ(r.Flags, 0x80204u);
}

TEST(FillRequest, PassesAnEmptyDirectoryAsTextAndNoTitleAsNull)
{
    char filter[4] = {};
    for (const char* dir : {(const char*)nullptr, ""}) {
        TestArena arena;
        DialogSettings settings = {};
        settings.InitialDir = dir;
        OsDialogRequest r = Filled(settings, filter, arena);
        EXPECT_EQ(Wide(r.InitialDir), u"");
        EXPECT_EQ(r.Title, nullptr);
        EXPECT_EQ(r.Owner, nullptr);
        EXPECT_EQ(Wide(r.Filter), u"");
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
    struct {
        const char* name;
        std::u16string wide;
    } cases[] = {{nullptr, u""}, {"", u""}, {"report.txt", u"report.txt"}, {"\xE9t\xE9\x80", u"\u00E9t\u00E9\u20AC"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name ? c.name : "(absent)");
        TestArena arena;
        char16_t* buffer = BuildSelectionBuffer(c.name, arena);
        EXPECT_EQ(std::u16string(buffer, c.wide.size()), c.wide);
        // The whole buffer is the dialog's: 20480 units, zero behind the name.
        EXPECT_EQ(std::u16string(buffer + c.wide.size(), SelectionChars - c.wide.size()),
                  std::u16string(SelectionChars - c.wide.size(), u'\0'));
    }
}

}  // namespace
