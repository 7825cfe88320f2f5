#include <gtest/gtest.h>
#include <cstring>
#include "dialog/request.h"
#include "support/support.h"

namespace {

// The record is filled with a marker first, so a field that FillRequest
// forgets shows up as 0xCC bytes.
OPENFILENAMEA Filled(const DialogSettings& settings, char* filter, char* selection)
{
    OPENFILENAMEA request;
    std::memset(&request, 0xCC, sizeof request);
    FillRequest(request, settings, filter, selection);
    return request;
}

TEST(FillRequest, SetsEveryFieldAndZeroesTheRest)
{
    char filter[16] = "*.*";
    char selection[8] = "";
    DialogSettings settings = {};
    settings.InitialDir = "C:\\docs\\";
    settings.WindowTitle = "Pick";
    settings.DialogFlags = OfnHideReadOnly | OfnAllowMultiSelect | OfnExplorer;
    settings.OwnerWindow = reinterpret_cast<void*>(0x1234);
    OPENFILENAMEA r = Filled(settings, filter, selection);

    EXPECT_EQ(r.lStructSize, 76u);
    EXPECT_EQ(r.hwndOwner, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(r.hInstance, nullptr);
    EXPECT_EQ(r.lpstrFilter, filter);
    EXPECT_EQ(r.lpstrCustomFilter, nullptr);
    EXPECT_EQ(r.nMaxCustFilter, 0u);
    EXPECT_EQ(r.nFilterIndex, 1u);
    EXPECT_EQ(r.lpstrFile, selection);
    EXPECT_EQ(r.nMaxFile, 20480u);
    EXPECT_EQ(r.lpstrFileTitle, nullptr);
    EXPECT_EQ(r.nMaxFileTitle, 0u);
    EXPECT_STREQ(r.lpstrInitialDir, "C:\\docs\\");
    EXPECT_STREQ(r.lpstrTitle, "Pick");
    EXPECT_EQ(r.Flags, 0x80204u);
    EXPECT_EQ(r.nFileOffset, 0);
    EXPECT_EQ(r.nFileExtension, 0);
    EXPECT_EQ(r.lpstrDefExt, nullptr);
    EXPECT_EQ(r.lCustData, 0);
    EXPECT_EQ(r.lpfnHook, nullptr);
    EXPECT_EQ(r.lpTemplateName, nullptr);
    // Fields past the 76 bytes are not part of the request.
    EXPECT_EQ(r.pvReserved, nullptr);
    EXPECT_EQ(r.dwReserved, 0u);
    EXPECT_EQ(r.FlagsEx, 0u);
}

TEST(FillRequest, PassesAnEmptyDirectoryAsTextAndNoTitleAsNull)
{
    char filter[4] = {};
    char selection[4] = {};
    for (const char* dir : {(const char*)nullptr, ""}) {
        DialogSettings settings = {};
        settings.InitialDir = dir;
        OPENFILENAMEA r = Filled(settings, filter, selection);
        ASSERT_NE(r.lpstrInitialDir, nullptr);
        EXPECT_STREQ(r.lpstrInitialDir, "");
        EXPECT_EQ(r.lpstrTitle, nullptr);
        EXPECT_EQ(r.hwndOwner, nullptr);
    }
}

}  // namespace
