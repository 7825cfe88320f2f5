// Path resolution against the real GetFullPathNameA.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "paths/paths.h"
#include "support/support.h"

namespace {

class ResolveFullPathOnWindows : public testing::Test {
protected:
    void SetUp() override
    {
        char buffer[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, buffer);
        saved = buffer;
        ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows"));
    }
    void TearDown() override { SetCurrentDirectoryA(saved.c_str()); }
    std::string saved;
};

TEST_F(ResolveFullPathOnWindows, MergesWithTheCurrentDirectory)
{
    struct {
        const char* text;
        const char* full;
    } cases[] = {
        {"*.txt", "C:\\windows\\*.txt"},
        {"*.txt;*.doc", "C:\\windows\\*.txt;*.doc"},
        {"sub\\*.txt", "C:\\windows\\sub\\*.txt"},
        {"C:\\docs\\*.txt;*.doc", "C:\\docs\\*.txt;*.doc"},
        {"C:\\docs\\", "C:\\docs\\"},
        {"\\\\server\\share\\*.csv", "\\\\server\\share\\*.csv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TestArena arena;
        EXPECT_STREQ(ResolveFullPath(c.text, arena), c.full);
    }
}

TEST_F(ResolveFullPathOnWindows, TakesADriveAloneAgainstThatDrivesDirectory)
{
    // Whether a final backslash comes back is the system's choice; the
    // directory part is the current directory either way.
    TestArena arena;
    std::string full = ResolveFullPath("C:", arena);
    EXPECT_EQ(full.rfind("C:\\windows", 0), 0u) << full;
    std::string dir = DirPart(full.c_str(), arena);
    EXPECT_TRUE(dir == "C:\\" || dir == "C:\\windows\\") << dir;
}

TEST_F(ResolveFullPathOnWindows, ResolvesUpTo259CharactersOnly)
{
    // "C:\windows\" is 11 characters.
    const std::string fits(259 - 11, 'a');
    const std::string tooLong(260 - 11, 'a');
    TestArena arena;
    EXPECT_EQ(std::string(ResolveFullPath(fits.c_str(), arena)), "C:\\windows\\" + fits);
    EXPECT_EQ(std::string(ResolveFullPath(tooLong.c_str(), arena)), tooLong);
    std::string deep = "sub\\" + tooLong;
    EXPECT_EQ(std::string(ResolveFullPath(deep.c_str(), arena)), deep);
    EXPECT_STREQ(DirPart(deep.c_str(), arena), "sub\\");
}

TEST_F(ResolveFullPathOnWindows, LeavesTheCallersTextAlone)
{
    TestArena arena;
    char text[] = "sub/./x.txt";
    char* full = ResolveFullPath(text, arena);
    EXPECT_STREQ(text, "sub/./x.txt");
    EXPECT_NE(full, text);
}

}  // namespace
