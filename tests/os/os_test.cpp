// The seam's contract as tables, run twice: natively against the fake
// Windows, and under Wine against the Win32 binding. Where Windows and Wine
// differ, a case says what each one does; the fake must do what Windows
// does, and the binding what Wine does, so the host tests that rely on the
// fake are known to rely on the real system's behaviour.
#include <gtest/gtest.h>
#include <cctype>
#include <cstring>
#include <string>
#include "os/os.h"

#ifdef _WIN32
#include <windows.h>
constexpr bool OnWine = true;
#else
#include "support/fake_os.h"
constexpr bool OnWine = false;
#endif

namespace {

// The path cases are ASCII, which is the same in every code page.
std::u16string Units(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

class Seam : public testing::Test {
protected:
    void SetUp() override
    {
#ifdef _WIN32
        char buffer[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, buffer);
        saved = buffer;
        ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows"));
#else
        Fake.CurrentDir = "C:\\windows";
#endif
    }
    void TearDown() override
    {
#ifdef _WIN32
        SetCurrentDirectoryA(saved.c_str());
#endif
    }
    std::string saved;
};

struct PathCase {
    std::string text;
    std::string windows;  // the full path Windows gives
    const char* wine;     // where Wine gives another, that one
};

// "C:\windows\" is 11 characters.
const std::string Fits(259 - 11, 'a');
const std::string TooLong(260 - 11, 'a');

const PathCase PathCases[] = {
    {"*.txt", "C:\\windows\\*.txt", nullptr},
    {"*.txt;*.doc", "C:\\windows\\*.txt;*.doc", nullptr},
    {"sub\\*.txt", "C:\\windows\\sub\\*.txt", nullptr},
    {"C:\\docs\\*.txt;*.doc", "C:\\docs\\*.txt;*.doc", nullptr},
    {"C:\\docs\\", "C:\\docs\\", nullptr},
    {"\\\\server\\share\\*.csv", "\\\\server\\share\\*.csv", nullptr},
    {"C:/docs/a.txt", "C:\\docs\\a.txt", nullptr},
    {"sub/dir/./../x.txt", "C:\\windows\\sub\\x.txt", nullptr},
    {"\\x.txt", "C:\\x.txt", nullptr},
    {"C:", "C:\\windows", "C:\\windows\\"},
    {"C:.", "C:\\windows", nullptr},
    {"C:x.txt", "C:\\windows\\x.txt", nullptr},
    {"D:", "D:\\", nullptr},
    {"C:\\docs\\file. . ", "C:\\docs\\file", nullptr},
    {"\"C:\\a b\"", "C:\\windows\\\"C:\\a b\"", nullptr},
    {Fits, "C:\\windows\\" + Fits, nullptr},
};

TEST_F(Seam, FullPathNameMergesWithTheCurrentDirectory)
{
    for (const PathCase& c : PathCases) {
        SCOPED_TRACE(c.text);
        std::string expected = OnWine && c.wine ? c.wine : c.windows;
        char16_t buffer[260];
        std::memset(buffer, 0xCC, sizeof buffer);
        uint32_t length = OsFullPathName(Units(c.text).c_str(), 260, buffer);
        EXPECT_EQ(length, expected.size());
        EXPECT_EQ(std::u16string(buffer), Units(expected));
    }
}

TEST_F(Seam, FullPathNameReportsAPathThatDoesNotFit)
{
    // Windows answers with the size it needs, the NUL counted, and so does
    // Wine's UTF-16 form (its ANSI one fails with 0). The caller treats both
    // as "not resolved".
    for (const std::string& text : {TooLong, "sub\\" + TooLong}) {
        SCOPED_TRACE(text.size());
        char16_t buffer[260];
        uint32_t needed = (uint32_t)("C:\\windows\\" + text).size() + 1;
        EXPECT_EQ(OsFullPathName(Units(text).c_str(), 260, buffer), needed);
    }
}

TEST(SeamLower, LowersLettersOnly)
{
    // ASCII letters, the accented capitals (not the multiplication sign),
    // and the capitals that code page 1252 has in its 0x80 row.
    struct {
        char16_t upper;
        char16_t lower;
    } cases[] = {
        {u'A', u'a'}, {u'Z', u'z'}, {u'a', u'a'}, {u'@', u'@'}, {u'[', u'['}, {u'/', u'/'}, {u'0', u'0'},
        {0xC0, 0xE0}, {0xC9, 0xE9}, {0xDE, 0xFE}, {0xD7, 0xD7}, {0xDF, 0xDF}, {0xE9, 0xE9},
        {0x160, 0x161}, {0x152, 0x153}, {0x17D, 0x17E}, {0x178, 0xFF}, {0x20AC, 0x20AC}, {0xFF, 0xFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "unit " << (int)c.upper);
        char16_t text[] = {c.upper, u'X', 0};
        OsLower(text);
        EXPECT_EQ(text[0], c.lower);
        EXPECT_EQ(text[1], u'x');
    }
}

TEST(SeamCodePage, ConvertsBothWaysWithoutBestFit)
{
    struct {
        uint32_t codePage;
        std::string bytes;
        std::u16string wide;
    } exact[] = {
        {1252, "caf\xE9", u"caf\u00E9"},
        {1252, "\x80\x8A\x9F\xFF", u"\u20AC\u0160\u0178\u00FF"},
        {1252, std::string("a\0b", 3), std::u16string(u"a\0b", 3)},  // NULs convert as any other byte
        // A backslash byte as the second of a pair.
        {932, "\x95\x5C\x83\x5C", u"\u8868\u30BD"},
        {65001, "\xC5\x81\xE4\xB8\xAD\xF0\x9F\x98\x80", u"\u0141\u4E2D\U0001F600"},
        {850, "\x82\x90", u"\u00E9\u00C9"},
    };
    for (const auto& c : exact) {
        SCOPED_TRACE(testing::Message() << c.codePage << " " << c.bytes);
        char16_t wide[16];
        ASSERT_EQ(OsWiden(c.codePage, c.bytes.data(), (uint32_t)c.bytes.size(), wide, 16), c.wide.size());
        EXPECT_EQ(std::u16string(wide, c.wide.size()), c.wide);
        char bytes[16];
        ASSERT_EQ(OsNarrow(c.codePage, c.wide.data(), (uint32_t)c.wide.size(), bytes, 16), c.bytes.size());
        EXPECT_EQ(std::string(bytes, c.bytes.size()), c.bytes);
    }
    // What has no exact form becomes "?" (in UTF-8, U+FFFD's bytes), never a
    // look-alike ("L" for "Ł"), and never a failure of the call: Windows
    // refuses the no-best-fit flag for UTF-8, so it must not be asked there.
    struct {
        uint32_t codePage;
        std::u16string wide;
        std::string bytes;
    } inexact[] = {
        {1252, u"\u0141og", "?og"},
        {1252, u"\u4E2D\u6587.txt", "??.txt"},
        {932, u"caf\u00E9", "caf?"},
        {850, u"\u0141", "?"},
        {65001, u"a\xDC00", "a\xEF\xBF\xBD"},
    };
    for (const auto& c : inexact) {
        SCOPED_TRACE(testing::Message() << c.codePage << " " << c.bytes);
        char bytes[16];
        uint32_t got = OsNarrow(c.codePage, c.wide.data(), (uint32_t)c.wide.size(), bytes, 16);
        EXPECT_EQ(std::string(bytes, got), c.bytes);
    }
    char16_t wide[4];
    EXPECT_EQ(OsWiden(1252, "", 0, wide, 4), 0u) << "an empty input is refused";
}

#ifdef _WIN32
TEST(SeamShortPath, GivesAnAliasThatTheCodePageHolds)
{
    // Wine gives every file an alias; Windows only where 8.3 names are made.
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"\u4E2D\u6587-seam.txt";
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    char16_t alias[MAX_PATH];
    uint32_t length = OsShortPath((const char16_t*)path.c_str(), alias, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, (uint32_t)MAX_PATH);
    for (uint32_t i = 0; i < length; i++) {
        EXPECT_LT(alias[i], 0x80) << "position " << i;
    }
    EXPECT_NE(GetFileAttributesW((const wchar_t*)alias), INVALID_FILE_ATTRIBUTES) << "the alias names the file";
    DeleteFileW(path.c_str());
    EXPECT_EQ(OsShortPath((const char16_t*)path.c_str(), alias, MAX_PATH), 0u) << "no alias for what is not there";
}
#endif

// A 32-bit process on 64-bit Windows (Wine's 64-bit prefix too): the
// system folder that it sees is another file than a 64-bit program's, but
// for the folders that Windows exempts; what does not exist is told apart.
struct RedirectCase {
    const char* path;
    OsRedirection answer;
    const char* finalEnd;  // OsOtherFile: how the final path ends, in any case
};

const RedirectCase RedirectCases[] = {
    {"C:\\windows\\system32\\notepad.exe", OsOtherFile, "\\syswow64\\notepad.exe"},
    {"C:\\windows\\system32", OsOtherFile, ":\\windows\\syswow64"},
    {"C:\\windows\\system32\\drivers\\etc\\hosts", OsSameFile, nullptr},
    {"C:\\windows", OsSameFile, nullptr},
    {"C:\\windows\\system32\\tamberlin-none.txt", OsNoSuchFile, nullptr},
    {"C:\\tamberlin-none\\a.txt", OsNoSuchFile, nullptr},
};

TEST(SeamRedirection, TellsTheFileThatA64BitProgramOpens)
{
#ifdef _WIN32
    // Only 64-bit Windows has a folder for 32-bit programs.
    wchar_t folder[MAX_PATH];
    bool wow64 = GetSystemWow64DirectoryW(folder, MAX_PATH) != 0;
    ASSERT_EQ(OsIsWow64(), wow64);
    if (!wow64) {
        GTEST_SKIP() << "a 32-bit prefix: nothing is redirected";
    }
#else
    ResetFake();
    Fake.Wow64 = true;
    Fake.Files = {{u"C:\\windows\\system32\\notepad.exe", 2, 1},
                  {u"C:\\windows\\system32", 4, 3},
                  {u"C:\\windows\\system32\\drivers\\etc\\hosts", 5, 5},
                  {u"C:\\windows", 6, 6}};
    Fake.FinalPaths = {{2, u"\\\\?\\C:\\windows\\syswow64\\notepad.exe"}, {4, u"\\\\?\\C:\\windows\\syswow64"}};
    ASSERT_TRUE(OsIsWow64());
#endif
    static char16_t buffer[OsLongestPath];
    for (const RedirectCase& c : RedirectCases) {
        SCOPED_TRACE(c.path);
        std::u16string path = Units(c.path);
        ASSERT_EQ(OsRealPath(path.c_str(), buffer), c.answer);
        if (c.finalEnd) {
            std::u16string final(buffer);
            std::u16string end = Units(c.finalEnd);
            EXPECT_EQ(final.substr(0, 4), u"\\\\?\\") << "the system's long form";
            ASSERT_GE(final.size(), end.size());
            for (size_t i = 0; i < end.size(); i++) {
                EXPECT_EQ(std::tolower(final[final.size() - end.size() + i]), end[i]) << "position " << i;
            }
        }
    }
}

// A handle of each kind that a parent can hand over, and what each write
// function does with it: only a console takes console writes, and no write
// reaches anything through a missing or made-up handle.
enum class Kind { Pipe, File, Missing, Invalid };

struct Handle {
    void* value;
    std::string (*read)(void*);
};

#ifdef _WIN32
std::string ReadPipe(void* readEnd)
{
    char bytes[64];
    DWORD got = 0;
    DWORD available = 0;
    if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) || !available) {
        return "";
    }
    ReadFile(readEnd, bytes, sizeof bytes, &got, nullptr);
    return std::string(bytes, got);
}

struct Opened {
    void* write;
    void* read;
};

Opened Open(Kind kind)
{
    switch (kind) {
    case Kind::Pipe: {
        HANDLE r, w;
        CreatePipe(&r, &w, nullptr, 0);
        return {w, r};
    }
    case Kind::File: {
        char path[MAX_PATH];
        GetTempPathA(MAX_PATH, path);
        std::strcat(path, "tamberlin-seam.txt");
        HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        return {h, h};
    }
    case Kind::Missing: return {nullptr, nullptr};
    default: return {INVALID_HANDLE_VALUE, nullptr};
    }
}

std::string ReadBack(Kind kind, Opened h)
{
    if (kind == Kind::Pipe) {
        return ReadPipe(h.read);
    }
    if (kind == Kind::File) {
        char bytes[64];
        DWORD got = 0;
        SetFilePointer(h.read, 0, nullptr, FILE_BEGIN);
        ReadFile(h.read, bytes, sizeof bytes, &got, nullptr);
        return std::string(bytes, got);
    }
    return "";
}

void Close(Kind kind, Opened h)
{
    if (kind == Kind::Pipe) {
        CloseHandle(h.write);
        CloseHandle(h.read);
    } else if (kind == Kind::File) {
        CloseHandle(h.write);
    }
}
#else
struct Opened {
    void* write;
};

Opened Open(Kind kind)
{
    Fake.Streams[1] = kind == Kind::Missing ? Stream::Missing
                      : kind == Kind::Invalid ? Stream::Invalid
                                              : Stream::Redirected;
    return {FakeHandle(OsStdOutput)};
}

std::string ReadBack(Kind, Opened)
{
    return Written(OsStdOutput);
}

void Close(Kind, Opened) {}
#endif

TEST(SeamWrites, OnlyAFileWriteReachesARedirectedStream)
{
    struct {
        const char* label;
        Kind kind;
        bool console;
        bool file;
    } cases[] = {
        {"pipe", Kind::Pipe, false, true},
        {"file", Kind::File, false, true},
        {"missing", Kind::Missing, false, false},
        {"invalid", Kind::Invalid, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
#ifndef _WIN32
        ResetFake();
#endif
        Opened h = Open(c.kind);
        EXPECT_EQ(OsWriteConsole(h.write, "ab", 2), c.console);
        EXPECT_EQ(OsWriteFile(h.write, "c\xE9\n", 3), c.file);
        EXPECT_EQ(ReadBack(c.kind, h), c.file ? "c\xE9\n" : "");
        Close(c.kind, h);
    }
}

TEST(SeamDialog, TellsAFailureFromACancel)
{
    // A record of a size that no version of the dialog takes fails before
    // any window is made (CDERR_STRUCTSIZE), display or not; only 76 and
    // 88 are sizes of OPENFILENAMEW.
    for (auto show : {OsOpenFileDialog, OsSaveFileDialog}) {
        for (uint32_t size : {0u, 75u, 84u}) {
            SCOPED_TRACE(testing::Message() << (show == OsOpenFileDialog ? "open, " : "save, ") << size);
#ifndef _WIN32
            ResetFake();
            Fake.Answer = std::string("C:\\a", 5);
#endif
            char16_t file[16] = {};
            OsDialogRequest request = {};
            request.StructSize = size;
            request.Filter = u"*.*\0*.*\0";
            request.File = file;
            request.MaxFile = 16;
            request.InitialDir = u"";
            OsDialogResult result = show(request);
            EXPECT_EQ(result.End, OsFailed);
            EXPECT_EQ(result.Error, 1u);
        }
    }
}

TEST(SeamWindowStation, TellsWhetherADialogCanBeSeen)
{
    // A process started by a user has WinSta0, the one visible window
    // station (Wine gives every process that one); a window station made
    // for the test has no visible surfaces, as a service's has none.
    for (bool own : {true, false}) {
        SCOPED_TRACE(own ? "the process's own" : "one of its own making");
#ifdef _WIN32
        HWINSTA before = GetProcessWindowStation();
        HWINSTA made = own ? nullptr : CreateWindowStationW(L"tamberlin-seam", 0, WINSTA_ALL_ACCESS, nullptr);
        ASSERT_TRUE(own || (made && SetProcessWindowStation(made)));
        OsDesktop desktop = OsWindowStation();
        if (made) {
            SetProcessWindowStation(before);
            CloseWindowStation(made);
        }
#else
        ResetFake();
        Fake.Desktop = own ? OsDesktopVisible : OsDesktopHidden;
        OsDesktop desktop = OsWindowStation();
#endif
        EXPECT_EQ(desktop, own ? OsDesktopVisible : OsDesktopHidden);
    }
}

TEST(SeamMemory, CommitsZeroedPagesOfAReservation)
{
    constexpr ptrdiff_t Size = 1 << 20;
    OsMemory memory = OsReserveMemory(Size);
    ASSERT_NE(memory.Base, nullptr);
    ASSERT_EQ(memory.Size, Size);
    ASSERT_TRUE(OsCommitMemory(memory.Base, 64 << 10));
    for (ptrdiff_t i = 0; i < 64 << 10; i += 4093) {
        ASSERT_EQ(memory.Base[i], 0) << i;
    }
    memory.Base[100] = 1;
    // Committing again keeps what is there; the end of the reservation too.
    ASSERT_TRUE(OsCommitMemory(memory.Base, 128 << 10));
    EXPECT_EQ(memory.Base[100], 1);
    ASSERT_TRUE(OsCommitMemory(memory.Base + Size - 4096, 4096));
    memory.Base[Size - 1] = 1;
    OsReleaseMemory(memory);
    OsReleaseMemory(OsMemory{});  // nothing granted: nothing to give back
}

}  // namespace
