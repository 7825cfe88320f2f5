#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "dialog/request.h"
#include "support/support.h"

namespace {

using namespace std::string_literals;

std::u16string Wide(const char16_t* text)
{
    return text ? std::u16string(text) : u"(null)";
}

// The record is filled with a marker first, so a field that FillRequest
// forgets shows up as 0xCC bytes.
OsDialogRequest Filled(const DialogSettings& settings, Arena& arena)
{
    OsDialogRequest request;
    std::memset(&request, 0xCC, sizeof request);
    request = FillRequest(settings, arena);
    return request;
}

TEST(FillRequest, SetsEveryFieldAndMakesTheBufferLast)
{
    TestArena arena;
    DialogSettings settings = {};
    settings.Patterns = u"*.t\u00E9;*.\u8868";
    settings.InitialDir = u"C:\\caf\u00E9\\";
    settings.WindowTitle = u"Pick \u201Cone\u201D";
    settings.DialogFlags = OfnHideReadOnly | OfnAllowMultiSelect | OfnExplorer;
    settings.OwnerWindow = reinterpret_cast<void*>(0x1234);
    settings.InitialName = u"start.txt";
    OsDialogRequest r = Filled(settings, arena);

    EXPECT_EQ(r.StructSize, 76u);
    EXPECT_EQ(r.Owner, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(std::u16string(r.Filter, 19), u"*.t\u00E9;*.\u8868\0*.t\u00E9;*.\u8868\0\0"s);
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
    for (const char16_t* dir : {(const char16_t*)nullptr, u""}) {
        TestArena arena;
        DialogSettings settings = {};
        settings.InitialDir = dir;
        OsDialogRequest r = Filled(settings, arena);
        EXPECT_EQ(Wide(r.InitialDir), u"");
        EXPECT_EQ(r.Title, nullptr);
        EXPECT_EQ(r.Owner, nullptr);
        // An empty filter list: its closing empty text alone.
        EXPECT_EQ(std::u16string(r.Filter, 3), u"\0\0\0"s);
    }
}

TEST(BuildSelectionBuffer, StartsWithTheInitialNameAndIsZeroBehind)
{
    for (const char16_t* name : {(const char16_t*)nullptr, u"", u"report.txt", u"\u8868\u00E9"}) {
        std::u16string wide = name ? name : u"";
        SCOPED_TRACE(wide.size());
        TestArena arena;
        char16_t* buffer = BuildSelectionBuffer(name, arena);
        EXPECT_EQ(std::u16string(buffer, wide.size()), wide);
        // The whole buffer is the dialog's: 20480 units, zero behind the name.
        EXPECT_EQ(std::u16string(buffer + wide.size(), SelectionChars - wide.size()),
                  std::u16string(SelectionChars - wide.size(), u'\0'));
    }
}

}  // namespace
