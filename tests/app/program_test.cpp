// The whole program, from a raw command line to the exact bytes on both
// streams, the status and the dialog request, run against the fake Windows.
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>
#include "app/help.h"
#include "dialog/request.h"
#include "support/fake_os.h"

namespace {

using namespace std::string_literals;

const std::string Help =
    "Quibo 1.5 - Tamberlin " TAMBERLIN_VERSION "\r\n\r\n"
    "Syntax:\r\n"
    "    Tamberlin \"CommandString\" \"PathAndFilters\" [\"WindowTitle\"] [Options]\r\n"
    "CommandString\r\n"
    "    will be prepended to the returnd file name(s)\r\n"
    "PathAndFilters \r\n"
    "    initial path with one or more file pattern(s), separated by semicolon.\r\n"
    "WindowTitle\r\n"
    "    whatever you want to show in the title bar \r\n"
    "Options\r\n"
    "    /maynotexist /multiselect /noCRLF /noQuote\r\n"
    "    /utf8 /consoleCP /save /folder /lines\r\n"
    "\n";

constexpr uint32_t Hide = 0x4, MustExist = 0x1000, Multi = 0x200 | 0x80000;
// OFN_OVERWRITEPROMPT, OFN_PATHMUSTEXIST, OFN_NOREADONLYRETURN: a name the
// script can write to.
constexpr uint32_t Save = 0x2 | 0x800 | 0x8000;
// FOS_NOCHANGEDIR, FOS_PICKFOLDERS, FOS_FORCEFILESYSTEM, FOS_PATHMUSTEXIST,
// FOS_FILEMUSTEXIST.
constexpr uint32_t FolderOnly = 0x8 | 0x20 | 0x40 | 0x800 | 0x1000;
// The item dialog's options: those of the classic flags that it shares,
// a file that must exist needing its path too, plus FOS_NOCHANGEDIR and
// FOS_FORCEFILESYSTEM; never OFN_HIDEREADONLY's or OFN_EXPLORER's bits.
constexpr uint32_t FosAny = 0x8 | 0x40, FosOpen = FosAny | 0x800 | 0x1000, FosMulti = 0x200;
constexpr uint32_t FosSave = FosAny | 0x2 | 0x800 | 0x8000;
const std::string NoFolderPicker = "No folder picker on this system\n";
const std::string OneKind = "Only one of /multiselect, /save, /folder\n";
const std::string TooLong = "Selection too long: pick fewer files\n";
const std::string NoDesktop = "No desktop to show the dialog on\n";
const std::optional<std::string> Cancel;

// Which dialog a row is about: the common item dialog, the classic one
// that stands in where the system has none, or both, which must then end
// alike.
enum Dialogs { Both, Item, Classic };

// The checks of a run against the system's dialog: the item dialog where
// it can be made, else the classic one.
void UseDialog(Dialogs dialog)
{
    Fake.NoItemDialog = dialog == Classic;
}

// Texts compared whole, reported by where they first differ: a long line
// is not dumped.
testing::AssertionResult Same(const std::string& actual, const std::string& expected)
{
    if (actual == expected) {
        return testing::AssertionSuccess();
    }
    size_t at = std::mismatch(actual.begin(), actual.begin() + std::min(actual.size(), expected.size()),
                              expected.begin()).first - actual.begin();
    return testing::AssertionFailure() << "differs at byte " << at << " of " << actual.size() << " (expected "
                                       << expected.size() << "): \"" << actual.substr(at, 40) << "\" where \""
                                       << expected.substr(at, 40) << "\" was expected";
}

struct Outcome {
    std::string out;
    std::string err;
    int32_t status;
    std::optional<SeenRequest> request;
};

// One run of the program; `setup` changes the fake Windows first.
Outcome RunProgramWith(const std::string& cmdline, const std::optional<std::string>& answer,
                       const std::function<void()>& setup = nullptr)
{
    ResetFake();
    Fake.CommandLine = cmdline;
    Fake.Answer = answer;
    if (setup) {
        setup();
    }
    int32_t status = RunFake();
    EXPECT_LE(Fake.Requests.size(), 1u) << "the dialog is shown at most once";
    EXPECT_TRUE(!Fake.MemoryTaken || Fake.MemoryReleased) << "every run gives its memory back";
    EXPECT_EQ(Fake.Calls.empty() ? "" : Fake.Calls[0], "OsRestrictLibrarySearch") << "no library may load before the search is restricted";
    std::optional<SeenRequest> request;
    if (!Fake.Requests.empty()) {
        request = Fake.Requests[0];
    }
    return Outcome{Written(OsStdOutput), Written(OsStdError), status, request};
}

TEST(Program, AnswersHelpWithoutShowingTheDialog)
{
    for (const char* cmdline : {"", "   ", "tamberlin", "tamberlin   ", "tamberlin /?",
                                "\"C:\\Program Files\\t.exe\" /?", "tamberlin \"\" C:\\x\\*.* /multiselect",
                                "tamberlin \"\" /bogus", "tamberlin \"/?\" /bogus", "tamberlin\t/x \"\""}) {
        SCOPED_TRACE(cmdline);
        // Help needs no desktop.
        Outcome run = RunProgramWith(cmdline, "C:\\a\0"s, [] { Fake.Desktop = OsDesktopHidden; });
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, Help);
        EXPECT_EQ(run.status, 0);
        EXPECT_FALSE(run.request) << "help must not show the dialog";
        EXPECT_EQ(Fake.PathCalls, 0) << "help resolves no path";
    }
}

TEST(Program, HelpIsOnlyAnEmptyTextOrSlashQuestion)
{
    struct {
        const char16_t* text;
        bool help;
    } cases[] = {
        {nullptr, true}, {u"", true}, {u"/?", true}, {u"-?", false}, {u"/h", false},
        {u"/??", false}, {u"/? ", false}, {u" /?", false}, {u"?", false}, {u"\uFF0F?", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? Narrow1252(c.text) : "(absent)");
        EXPECT_EQ(IsHelpRequest(c.text), c.help);
    }
}

struct OutcomeCase {
    const char* label;
    std::string cmdline;
    std::optional<std::string> answer;
    std::string out;
    std::string err;
    int32_t status;
    void (*setup)() = nullptr;
    Dialogs dialogs = Both;
};

const OutcomeCase OutcomeCases[] = {
    // The output line.
    {"single", "t type C:\\docs\\*.*", "C:\\docs\\a.txt\0"s, "type \"C:\\docs\\a.txt\"\r\n", "", 0},
    {"/noquote", "t type C:\\docs\\*.* /noquote", "C:\\docs\\a.txt\0"s, "type C:\\docs\\a.txt\r\n", "", 0},
    {"/NoQuotes", "t type C:\\docs\\*.* /NoQuotes", "C:\\docs\\a.txt\0"s, "type C:\\docs\\a.txt\r\n", "", 0},
    {"/nocrlf", "t type C:\\docs\\*.* /nocrlf", "C:\\docs\\a.txt\0"s, "type \"C:\\docs\\a.txt\"", "", 0},
    {"both", "t type C:\\docs\\*.* /nocrlf /noquote", "C:\\docs\\a.txt\0"s, "type C:\\docs\\a.txt", "", 0},
    {"assignment", "t \"set f=\" C:\\docs\\*.*", "C:\\docs\\a.txt\0"s, "set f=\"C:\\docs\\a.txt\"\r\n", "", 0},
    {"trailing blank", "t \"echo \" *.*", "C:\\a\0"s, "echo  \"C:\\a\"\r\n", "", 0},
    {"near miss of help", "t /?? *.*", "C:\\a\0"s, "/?? \"C:\\a\"\r\n", "", 0},
    {"multiple", "t type C:\\docs\\*.* /multiselect", "C:\\docs\0a.txt\0b.txt\0\0"s,
     "type \"C:\\docs\\a.txt\" \"C:\\docs\\b.txt\"\r\n", "", 0},
    {"drive root", "t type C:\\*.* /multiselect", "C:\\\0a.txt\0b.txt\0\0"s, "type \"C:\\a.txt\" \"C:\\b.txt\"\r\n",
     "", 0},
    {"one under /multiselect", "t type *.* /multiselect", "C:\\docs\\a.txt\0\0"s, "type \"C:\\docs\\a.txt\"\r\n", "",
     0},
    {"single ignores the rest", "t type *.*", "C:\\docs\\a.txt\0b.txt\0\0"s, "type \"C:\\docs\\a.txt\"\r\n", "", 0},
    {"bare, no line end", "t x *.* /noquote /nocrlf", "C:\\a\0"s, "x C:\\a", "", 0},
    {"only a final = counts", "t x== *.* /noquote", "C:\\a\0"s, "x==C:\\a\r\n", "", 0},
    {"multiple, bare", "t \"set f=\" *.* /multiselect /noquotes", "C:\\docs\0a.txt\0b.txt\0c\0\0"s,
     "set f=C:\\docs\\a.txt C:\\docs\\b.txt C:\\docs\\c\r\n", "", 0},
    {"the dialog's order", "t t *.* /multiselect /noquote", "D:\\x\0z\0a\0\0"s, "t D:\\x\\z D:\\x\\a\r\n", "", 0},
    {"nothing inside a name is escaped", "t t *.*", "C:\\100%!\"\0"s, "t \"C:\\100%!\"\"\r\n", "", 0},
    {"a slash does not end a folder", "t t *.* /multiselect /noquote", "C:/x/\0a\0b\0\0"s,
     "t C:/x/\\a C:/x/\\b\r\n", "", 0},
    {"options repeated", "t t *.* /noquote /noQuotes /NoCrLf /noquote", "C:\\a\0"s, "t C:\\a", "", 0},
    {"high bytes", "t \"set f=\" *.* /multiselect", "C:\\\xe9\xe8\0\x80 \xff.txt\0z\0\0"s,
     "set f=\"C:\\\xe9\xe8\\\x80 \xff.txt\" \"C:\\\xe9\xe8\\z\"\r\n", "", 0},
    // One name a line: each line the command, its blank and one name.
    {"/lines, one name", "t type C:\\docs\\*.* /lines", "C:\\docs\\a.txt\0"s, "type \"C:\\docs\\a.txt\"\r\n", "", 0},
    {"/lines, several", "t echo C:\\work\\*.* T /multiselect /LINES", "C:\\work\0a.txt\0b c.txt\0\0"s,
     "echo \"C:\\work\\a.txt\"\r\necho \"C:\\work\\b c.txt\"\r\n", "", 0},
    {"/lines after a final =", "t \"set f=\" *.* /lines /multiselect", "C:\\\0a\0b\0\0"s,
     "set f=\"C:\\a\"\r\nset f=\"C:\\b\"\r\n", "", 0},
    {"/lines, only the last open", "t x *.* /multiselect /lines /noquote /nocrlf", "D:\\x\0z\0a\0b\0\0"s,
     "x D:\\x\\z\r\nx D:\\x\\a\r\nx D:\\x\\b", "", 0},
    {"/lines, /save", "t x *.txt /lines /save", "C:\\new.txt\0"s, "x \"C:\\new.txt\"\r\n", "", 0},
    {"/lines, /folder", "t x C:\\ /folder /lines /nocrlf", "C:\\pick\0"s, "x \"C:\\pick\"", "", 0, nullptr, Item},
    // The initial name's tail stands behind the dialog's NULs; it is no name.
    {"leftovers", "t type *.* T a-very-long-initial-name.txt", "C:\\a\0"s, "type \"C:\\a\"\r\n", "", 0},
    {"leftovers, multiple", "t type *.* T a-very-long-initial-name.txt /multiselect", "C:\\a\0\0"s,
     "type \"C:\\a\"\r\n", "", 0},
    // The save dialog's name and the folder picker's path make the same line.
    {"/save", "t type C:\\docs\\*.txt /save", "C:\\docs\\new.txt\0"s, "type \"C:\\docs\\new.txt\"\r\n", "", 0},
    {"/folder", "t \"set f=\" C:\\pick\\ /FOLDER", "C:\\pick\\alpha\0"s, "set f=\"C:\\pick\\alpha\"\r\n", "", 0, nullptr, Item},
    {"/folder, a root", "t \"set f=\" C:\\ /folder /noquote /nocrlf", "C:\\\0"s, "set f=C:\\", "", 0, nullptr, Item},
    {"/folder, a share", "t x C:\\ /folder", "\\\\srv\\share\0"s, "x \"\\\\srv\\share\"\r\n", "", 0, nullptr, Item},
    {"/folder cancelled", "t x C:\\ /folder", Cancel, "", "", 1, nullptr, Item},
    {"no folder picker", "t x C:\\ /folder", "C:\\a\0"s, "", NoFolderPicker, 1,
     [] { Fake.NoItemDialog = true; }},
    // A failure is no cancel: it is said, with the system's code.
    {"the picker fails", "t x C:\\ /folder", "C:\\a\0"s, "", "The dialog failed: error 0x80004005\n", 1,
     [] { Fake.DialogError = 0x80004005; }, Item},
    {"the open dialog fails", "t x *.* /multiselect", "C:\\a\0"s, "", "The dialog failed: error 0x0000FFFF\n", 1,
     [] { Fake.DialogError = 0xFFFF; }},
    {"the save dialog fails", "t x *.txt /save", "C:\\a\0"s, "", "The dialog failed: error 0x00000002\n", 1,
     [] { Fake.DialogError = 2; }},
    {"the picker's item is no folder of the file system", "t x C:\\ /folder", "This PC\\Phone\\DCIM\0"s, "",
     "Not a folder of the file system: This PC\\Phone\\DCIM\n", 1, [] { Fake.NoFileSystemPath = true; }, Item},
    // Without a visible window station nobody could answer a dialog: none
    // is shown. A bad call is still one; a window station that cannot be
    // told is taken for a visible one.
    {"no desktop", "t x *.*", "C:\\a\0"s, "", NoDesktop, 1, [] { Fake.Desktop = OsDesktopHidden; }},
    {"no desktop, /folder", "t x C:\\ /folder", "C:\\a\0"s, "", NoDesktop, 1, [] { Fake.Desktop = OsDesktopHidden; }},
    {"no desktop, a bad call", "t x *.* /bogus", "C:\\a\0"s, "", "Invalid option: /bogus\n", 255,
     [] { Fake.Desktop = OsDesktopHidden; }},
    {"window station unknown", "t x *.*", "C:\\a\0"s, "x \"C:\\a\"\r\n", "", 0, [] { Fake.Desktop = OsDesktopUnknown; }},
    {"/save /multiselect", "t x *.txt /save /multiselect", "C:\\a\0"s, "", OneKind, 255},
    {"/multiselect /folder", "t x C:\\ /MultiSelect /folder", "C:\\a\0"s, "", OneKind, 255},
    {"/folder /save", "t x C:\\ /folder /save", "C:\\a\0"s, "", OneKind, 255},
    {"/save twice", "t x *.txt /save /save", "C:\\a\0"s, "x \"C:\\a\"\r\n", "", 0},
    // Named filters: description and pattern texts pair up.
    {"odd count of texts", "t x \"C:\\d\\Text|*.txt|All\"", "C:\\a\0"s, "",
     "Invalid parameter: C:\\d\\Text|*.txt|All\n", 255},
    {"an empty pattern text", "t x \"C:\\d\\Text||All|*.*\"", "C:\\a\0"s, "",
     "Invalid parameter: C:\\d\\Text||All|*.*\n", 255},
    {"the last pattern text empty", "t x Text|*.txt|All| /folder", "C:\\a\0"s, "",
     "Invalid parameter: Text|*.txt|All|\n", 255},
    {"an empty description", "t x C:\\d\\|*.log", "C:\\a\0"s, "", "Invalid parameter: C:\\d\\|*.log\n", 255},
    {"a bar alone", "t x | /save", "C:\\a\0"s, "", "Invalid parameter: |\n", 255},
    // A folder goes before the first bar; after it, a separator would move
    // the folder silently.
    {"a folder in a pattern text", "t x \"C:\\w\\Texts|*.txt|All|sub\\*.*\"", "C:\\a\0"s, "",
     "Invalid parameter: C:\\w\\Texts|*.txt|All|sub\\*.*\n", 255},
    {"a slash in a later text", "t x \"C:\\w\\Texts|*.txt|All/any|*.*\"", "C:\\a\0"s, "",
     "Invalid parameter: C:\\w\\Texts|*.txt|All/any|*.*\n", 255},
    // The ANSI line would hold quotes for U+FF02, and split there: /noquote
    // would be read, and "&" run by cmd.
    {"a look-alike quote splits nothing", "", "C:\\w\\a&b.txt\0"s, "set f=\"C:\\w\\a&b.txt\"\r\n", "", 0,
     [] { Fake.WideCommandLine = u"t \"set f=\" \"C:\\w\\x\uFF02 /noquote \uFF02\\*.*\""; }},
    // The statuses.
    {"cancelled", "t x C:\\*.*", Cancel, "", "", 1},
    // Windows' dialog refuses a selection too long for its buffer.
    {"too long for the dialog", "t x *.* /multiselect", std::string(SelectionChars + 1, 'a'), "", TooLong, 1,
     nullptr, Classic},
    {"just fits the dialog", "t x *.* /noquote", std::string(SelectionChars - 1, 'a') + '\0',
     "x " + std::string(SelectionChars - 1, 'a') + "\r\n", "", 0, nullptr, Classic},
    // The item dialog has no buffer to fill.
    {"longer than the classic buffer", "t x *.* /noquote", std::string(SelectionChars + 1, 'a') + '\0',
     "x " + std::string(SelectionChars + 1, 'a') + "\r\n", "", 0, nullptr, Item},
    {"an item outside the file system", "t x *.* /multiselect", "This PC\\Phone\\a.jpg\0"s, "",
     "Not a file of the file system: This PC\\Phone\\a.jpg\n", 1, [] { Fake.NoFileSystemPath = true; }, Item},
    {"invalid option", "t cmd C:\\x\\*.* /multiselect /noquote /Unknown", "C:\\a\0"s, "",
     "Invalid option: /Unknown\n", 255},
    {"help after the path is an option", "t cmd C:\\x\\*.* /?", "C:\\a\0"s, "", "Invalid option: /?\n", 255},
    {"prefix of an option", "t cmd *.* /noquotesx", "C:\\a\0"s, "", "Invalid option: /noquotesx\n", 255},
    {"part of an option", "t cmd *.* /noquot", "C:\\a\0"s, "", "Invalid option: /noquot\n", 255},
    {"a slash alone", "t cmd *.* /", "C:\\a\0"s, "", "Invalid option: /\n", 255},
    {"a title cannot start with a slash", "t cmd *.* Title /title", "C:\\a\0"s, "", "Invalid option: /title\n", 255},
    {"name with a folder", "t cmd *.* Choose ok.txt sub/x.txt", "C:\\a\0"s, "", "Invalid parameter: sub/x.txt\n", 255},
    // An empty parameter ends the walk before anything after it is read.
    {"nothing read after an empty one", "t cmd *.* T \"\" /bogus", "C:\\a\0"s, "cmd \"C:\\a\"\r\n", "", 0},
    {"quoted option", "t cmd *.* \"/quoted option\"", "C:\\a\0"s, "", "Invalid option: /quoted option\n", 255},
    {"option echoed as given", "t cmd *.* /\xc9T\xe9", "C:\\a\0"s, "", "Invalid option: /\xc9T\xe9\n", 255},
    {"option lowered by the code page", "t cmd *.* /MULTIS\xc9LECT", "C:\\a\0"s, "",
     "Invalid option: /MULTIS\xc9LECT\n", 255},
    {"invalid name", "t cmd C:\\x\\*.* Choose C:\\report.txt", "C:\\a\0"s, "",
     "Invalid parameter: C:\\report.txt\n", 255},
    {"name with a tab", "t cmd *.* Choose ok.txt \"a\tb\"", "C:\\a\0"s, "", "Invalid parameter: a\tb\n", 255},
    {"first refusal wins", "t cmd *.* Choose /bad C:\\report.txt", "C:\\a\0"s, "", "Invalid option: /bad\n", 255},
};

TEST(Program, WritesTheLineOrTheMessageAndEndsWithItsStatus)
{
    // The answers are in code page 1252; where they and the command line
    // are ASCII, every ANSI code page must give the very same bytes.
    auto ascii = [](const std::string& text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return (unsigned char)c < 0x80; });
    };
    for (uint32_t ansi : {1252u, 932u, 65001u}) {
        for (const OutcomeCase& c : OutcomeCases) {
            for (Dialogs dialog : {Item, Classic}) {
                if ((ansi != 1252 && !(ascii(c.cmdline) && ascii(c.answer.value_or("")))) ||
                    (c.dialogs != Both && c.dialogs != dialog)) {
                    continue;
                }
                SCOPED_TRACE(testing::Message() << c.label << " under " << ansi << (dialog == Item ? ", item dialog" : ", classic dialog"));
                Outcome run = RunProgramWith(c.cmdline, c.answer, [&] {
                    Fake.AnsiCodePage = ansi;
                    UseDialog(dialog);
                    if (c.setup) {
                        c.setup();
                    }
                });
                EXPECT_TRUE(Same(run.out, c.out));
                EXPECT_EQ(run.err, c.err);
                EXPECT_EQ(run.status, c.status);
                EXPECT_EQ(run.request.has_value(), c.status != 255 && Fake.Desktop != OsDesktopHidden && c.err != NoFolderPicker)
                    << "a refused call shows no dialog, nor a run that nobody can see";
                if (run.request) {
                    EXPECT_EQ(run.request->Item, dialog == Item) << "the item dialog wherever it can be made";
                }
            }
        }
    }
}

TEST(Program, WritesAFullMultipleSelection)
{
    // Close to the 20480 characters the classic dialog is allowed; the item
    // dialog's 3000 names from three folders, as search results mix them,
    // are more than three times that.
    struct {
        Dialogs dialog;
        int count;
        std::vector<std::string> folders;
    } cases[] = {
        {Item, 1400, {"C:\\some folder\\with a longer name"}},
        {Classic, 1400, {"C:\\some folder\\with a longer name"}},
        {Item, 3000, {"C:\\photos\\2024", "C:\\photos\\2025", "C:\\camera"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " names in " << c.folders.size() << " folders");
        // One folder, as the classic dialog lays out its choice; else the
        // root, and names below it.
        bool one = c.folders.size() == 1;
        std::string answer = (one ? c.folders[0] : std::string("C:")) + '\0';
        std::string line = "for";
        for (int i = 0; i < c.count; i++) {
            const std::string& folder = c.folders[i % c.folders.size()];
            std::string name = "file " + std::to_string(10000 + i).substr(1) + ".dat";
            answer += (one ? name : folder.substr(3) + "\\" + name) + '\0';
            line += " \"" + folder + "\\" + name + "\"";
        }
        answer += '\0';
        Outcome run = RunProgramWith("t for *.* /multiselect", answer, [&] { UseDialog(c.dialog); });
        EXPECT_TRUE(Same(run.out, line + "\r\n"));
        EXPECT_EQ(run.status, 0);
    }
}

using Aliases = std::vector<std::pair<std::u16string, std::u16string>>;

struct NameCase {
    const char* label;
    uint32_t ansi;  // the ANSI code page; the console's is 850
    std::string params;
    std::u16string answer;
    Aliases aliases;
    std::string out;
    std::string err;
    int32_t status;
    uint32_t console = 850;  // 0: the process has no console
    bool wow64 = false;      // a 32-bit run on 64-bit Windows, with Windows64's files
    Dialogs dialogs = Both;
};

// 64-bit Windows as this 32-bit program and a 64-bit one see it: the same
// number is the same file. System32 shows this process SysWOW64, but for
// drivers\etc, which is exempt; same.txt is one file both ways (a link).
const std::vector<FakeOs::FakeFile> Windows64 = {
    {u"C:\\", 1, 1},
    {u"C:\\Windows", 2, 2},
    {u"C:\\Windows\\System32", 4, 3},
    {u"C:\\Windows\\System32\\notepad.exe", 6, 5},
    {u"C:\\Windows\\System32\\drivers\\etc\\hosts", 7, 7},
    {u"C:\\Windows\\System32\\same.txt", 8, 8},
    {u"C:\\Windows\\System32\\\u4E2D.dll", 9, 10},
    {u"C:\\Windows\\System32\\only64.dll", 0, 11},
    {u"C:\\Windows\\System32\\calc.exe", 12, 13},
    {u"C:\\Windows\\System32\\locked.dll", 0, 14},
    {u"C:\\Windows\\System32\\share.txt", 15, 16},
};
// Every file seen but calc.exe has a final path.
const std::vector<std::pair<int, std::u16string>> FinalPaths64 = {
    {4, u"\\\\?\\C:\\Windows\\SysWOW64"},
    {6, u"\\\\?\\C:\\Windows\\SysWOW64\\notepad.exe"},
    {9, u"\\\\?\\C:\\Windows\\SysWOW64\\\u4E2D.dll"},
    {15, u"\\\\?\\UNC\\srv\\s\\share.txt"},
};
const std::string CannotTell = "Cannot tell which file 64-bit programs open by this name: ";

// Code page 1252 holds "é" but not "Ł" (best fit: "L") nor "中" ("?", a
// wildcard to cmd); 932 holds "表" as 95 5C, whose second byte is a
// backslash; console code page 850 holds "é" as 82.
const std::string NoForm = "Name not in the ANSI code page and without a short name: ";
const std::string NoConsoleForm = "Name not in the console's code page and without a short name: ";

const NameCase NameCases[] = {
    {"held exactly", 1252, "*.*", u"C:\\d\\caf\u00E9.txt\0"s, {}, "set f=\"C:\\d\\caf\xE9.txt\"\r\n", "", 0},
    // An alias only replaces what the code page cannot hold.
    {"exact, alias ignored", 1252, "*.*", u"C:\\Long Folder\\a.txt\0"s, {{u"C:\\Long Folder\\", u"C:\\LONGFO~1\\"}},
     "set f=\"C:\\Long Folder\\a.txt\"\r\n", "", 0},
    {"alias", 1252, "*.*", u"C:\\d\\\u0141og.txt\0"s, {{u"C:\\d\\\u0141og.txt", u"C:\\d\\_OG~1.TXT"}},
     "set f=\"C:\\d\\_OG~1.TXT\"\r\n", "", 0},
    {"no alias", 1252, "*.*", u"C:\\d\\\u0141og.txt\0"s, {{u"C:\\d\\\u0141og.txt", u"C:\\d\\\u0141og.txt"}}, "",
     NoForm + "C:\\d\\?og.txt\n", 1},
    {"no such file", 1252, "*.*", u"C:\\d\\\u4E2D\u6587.txt\0"s, {}, "", NoForm + "C:\\d\\??.txt\n", 1},
    {"emoji", 1252, "*.*", u"C:\\d\\\U0001F600.txt\0"s, {{u"C:\\d\\\U0001F600.txt", u"C:\\d\\__~1.TXT"}},
     "set f=\"C:\\d\\__~1.TXT\"\r\n", "", 0},
    // Only the component that needs it changes; long ASCII ones stay.
    {"folder replaced, only it", 1252, "*.*", u"C:\\Program Files\\\u041F\u0440\u0438\\caf\u00E9 x.txt\0"s,
     {{u"C:\\Program Files\\\u041F\u0440\u0438\\", u"C:\\PROGRA~1\\9B12~1\\"}},
     "set f=\"C:\\Program Files\\9B12~1\\caf\xE9 x.txt\"\r\n", "", 0},
    {"alias that lines up with nothing", 1252, "*.*", u"C:\\d\\\u0141.txt\0"s, {{u"C:\\d\\\u0141.txt", u"C:\\_~1.TXT"}},
     "", NoForm + "C:\\d\\?.txt\n", 1},
    // A new name in a folder outside the code page: the folder's alias, the
    // name as typed.
    {"new name, aliased folder", 1252, "*.* /maynotexist", u"C:\\work\\\u76EE\u5F55\\new.txt\0"s,
     {{u"C:\\work\\\u76EE\u5F55\\", u"C:\\work\\9A3F~1\\"}}, "set f=\"C:\\work\\9A3F~1\\new.txt\"\r\n", "", 0},
    {"saved in an aliased folder", 1252, "*.* /save", u"C:\\work\\\u76EE\u5F55\\new.txt\0"s,
     {{u"C:\\work\\\u76EE\u5F55\\", u"C:\\work\\9A3F~1\\"}}, "set f=\"C:\\work\\9A3F~1\\new.txt\"\r\n", "", 0},
    {"folder by its alias", 1252, "C:\\ /folder", u"C:\\pick\\\u0141\u00F3d\u017A\0"s,
     {{u"C:\\pick\\\u0141\u00F3d\u017A", u"C:\\pick\\ODZ~1"}}, "set f=\"C:\\pick\\ODZ~1\"\r\n", "", 0, 850, false, Item},
    {"folder without an alias", 1252, "C:\\ /folder", u"C:\\\u4E2D\0"s, {}, "", NoForm + "C:\\?\n", 1, 850, false,
     Item},
    {"new name outside the code page", 1252, "*.* /maynotexist", u"C:\\d\\\u0141.txt\0"s, {}, "",
     NoForm + "C:\\d\\?.txt\n", 1},
    {"multiple, all held", 1252, "*.* /multiselect", u"C:\\d\0a\0caf\u00E9\0\0"s, {},
     "set f=\"C:\\d\\a\" \"C:\\d\\caf\xE9\"\r\n", "", 0},
    {"multiple, alias for one", 1252, "*.* /multiselect /noquote", u"C:\\d\0a\0\u4E2D.txt\0b\0\0"s,
     {{u"C:\\d\\\u4E2D.txt", u"C:\\d\\_~1.TXT"}}, "set f=C:\\d\\a C:\\d\\_~1.TXT C:\\d\\b\r\n", "", 0},
    {"multiple at a root", 1252, "*.* /multiselect", u"C:\\\0\u4E2D.txt\0\0"s, {{u"C:\\\u4E2D.txt", u"C:\\_~1.TXT"}},
     "set f=\"C:\\_~1.TXT\"\r\n", "", 0},
    {"multiple, folder alias", 1252, "*.* /multiselect", u"C:\\\u4E2D\0a\0b\0\0"s, {{u"C:\\\u4E2D", u"C:\\_~1"}},
     "set f=\"C:\\_~1\\a\" \"C:\\_~1\\b\"\r\n", "", 0},
    // One name without an exact form spoils the whole list: all or nothing.
    {"multiple, one bad name", 1252, "*.* /multiselect", u"C:\\d\0a\0\u4E2D.txt\0b\0\0"s, {}, "",
     NoForm + "C:\\d\\?.txt\n", 1},
    {"multiple, folder alias of fewer parts", 1252, "*.* /multiselect", u"C:\\d\\\u4E2D\0a\0b\0\0"s,
     {{u"C:\\d\\\u4E2D", u"C:\\_~1"}}, "", NoForm + "C:\\d\\?\n", 1},
    {"multiple, bad folder", 1252, "*.* /multiselect", u"C:\\\u4E2D\0a\0b\0\0"s, {}, "", NoForm + "C:\\?\n", 1},
    {"single under multiple", 1252, "*.* /multiselect", u"C:\\d\\\u4E2D\0\0"s, {{u"C:\\d\\\u4E2D", u"C:\\d\\_~1"}},
     "set f=\"C:\\d\\_~1\"\r\n", "", 0},
    {"cut list", 1252, "*.* /multiselect", u"C:\\d\0a\0"s + std::u16string(SelectionChars - 7, u'n'), {}, "",
     TooLong, 1, 850, false, Classic},
    // A backslash byte inside a character is never taken for a separator.
    {"932, trail byte", 932, "*.*", u"C:\\w\\\u4E00\u89A7\u8868\\a.txt\0"s, {},
     "set f=\"C:\\w\\\x88\xEA\x97\x97\x95\x5C\\a.txt\"\r\n", "", 0},
    {"932, trail byte, multiple", 932, "*.* /multiselect", u"C:\\w\\\u4E00\u89A7\u8868\0a.txt\0b.txt\0\0"s, {},
     "set f=\"C:\\w\\\x88\xEA\x97\x97\x95\x5C\\a.txt\" \"C:\\w\\\x88\xEA\x97\x97\x95\x5C\\b.txt\"\r\n", "", 0},
    {"932, alias beside a trail byte", 932, "*.* /multiselect", u"C:\\\u8868\0caf\u00E9.txt\0\u30BD\0\0"s,
     {{u"C:\\\u8868\\caf\u00E9.txt", u"C:\\\u8868\\CAF~1.TXT"}},
     "set f=\"C:\\\x95\x5C\\CAF~1.TXT\" \"C:\\\x95\x5C\\\x83\x5C\"\r\n", "", 0},
    {"932, no alias", 932, "*.*", u"C:\\\u8868\\caf\u00E9.txt\0"s, {}, "", NoForm + "C:\\\x95\x5C\\caf?.txt\n", 1},
    // UTF-8 as the ANSI code page holds every name, whatever best fit
    // would have made of it, also new ones.
    {"65001", 65001, "*.* /maynotexist", u"C:\\d\\\u0141og \u4E2D \U0001F600.txt\0"s, {},
     "set f=\"C:\\d\\\xC5\x81og \xE4\xB8\xAD \xF0\x9F\x98\x80.txt\"\r\n", "", 0},
    {"65001, lone surrogate", 65001, "*.*", u"C:\\d\\\xD800.txt\0"s, {{u"C:\\d\\\xD800.txt", u"C:\\d\\_~1.TXT"}},
     "set f=\"C:\\d\\_~1.TXT\"\r\n", "", 0},
    // The line in UTF-8 or the console's code page.
    {"/utf8, never an alias", 1252, "*.* /utf8", u"C:\\d\\\u0141og.txt\0"s, {{u"C:\\d\\\u0141og.txt", u"C:\\d\\_OG~1.TXT"}},
     "set f=\"C:\\d\\\xC5\x81og.txt\"\r\n", "", 0},
    {"/consolecp", 1252, "*.* /ConsoleCP", u"C:\\d\\caf\u00E9.txt\0"s, {}, "set f=\"C:\\d\\caf\x82.txt\"\r\n", "", 0},
    {"/consolecp, alias", 1252, "*.* /consolecp", u"C:\\d\\\u0141og.txt\0"s, {{u"C:\\d\\\u0141og.txt", u"C:\\d\\_OG~1.TXT"}},
     "set f=\"C:\\d\\_OG~1.TXT\"\r\n", "", 0},
    {"/consolecp, no alias", 1252, "*.* /consolecp", u"C:\\d\\\u0141og.txt\0"s, {}, "",
     NoConsoleForm + "C:\\d\\?og.txt\n", 1},
    {"the last of the two wins", 1252, "*.* /consolecp /utf8", u"C:\\d\\caf\u00E9.txt\0"s, {},
     "set f=\"C:\\d\\caf\xC3\xA9.txt\"\r\n", "", 0},
    {"the last of the two refuses", 1252, "*.* /utf8 /consolecp", u"C:\\d\\\u0141og.txt\0"s, {}, "",
     NoConsoleForm + "C:\\d\\?og.txt\n", 1},
    // The refusal names the code page used: without a console, the ANSI one.
    {"/consolecp, no console", 1252, "*.* /consolecp", u"C:\\d\\caf\u00E9.txt\0"s, {},
     "set f=\"C:\\d\\caf\xE9.txt\"\r\n", "", 0, 0},
    {"/consolecp, no console, no alias", 1252, "*.* /consolecp", u"C:\\d\\\u0141og.txt\0"s, {}, "",
     NoForm + "C:\\d\\?og.txt\n", 1, 0},
    {"/lines, /utf8", 1252, "*.* /multiselect /lines /utf8", u"C:\\d\0\u0141og\0caf\u00E9\0\0"s, {},
     "set f=\"C:\\d\\\xC5\x81og\"\r\nset f=\"C:\\d\\caf\xC3\xA9\"\r\n", "", 0},
    // In a 32-bit run on 64-bit Windows, the file that the dialog showed.
    {"WoW64: redirected", 1252, "*.*", u"C:\\Windows\\System32\\notepad.exe\0"s, {},
     "set f=\"C:\\Windows\\SysWOW64\\notepad.exe\"\r\n", "", 0, 850, true},
    {"not WoW64: as it came", 1252, "*.*", u"C:\\Windows\\System32\\notepad.exe\0"s, {},
     "set f=\"C:\\Windows\\System32\\notepad.exe\"\r\n", "", 0},
    {"WoW64: exempt folder", 1252, "*.*", u"C:\\Windows\\System32\\drivers\\etc\\hosts\0"s, {},
     "set f=\"C:\\Windows\\System32\\drivers\\etc\\hosts\"\r\n", "", 0, 850, true},
    {"WoW64: saved new", 1252, "*.* /save", u"C:\\Windows\\System32\\new.txt\0"s, {},
     "set f=\"C:\\Windows\\SysWOW64\\new.txt\"\r\n", "", 0, 850, true},
    {"WoW64: new in a new folder", 1252, "*.* /maynotexist", u"C:\\Windows\\System32\\n\\new.txt\0"s, {},
     "set f=\"C:\\Windows\\SysWOW64\\n\\new.txt\"\r\n", "", 0, 850, true},
    {"WoW64: only the 64-bit one", 1252, "*.* /maynotexist", u"C:\\Windows\\System32\\only64.dll\0"s, {},
     "set f=\"C:\\Windows\\SysWOW64\\only64.dll\"\r\n", "", 0, 850, true},
    {"WoW64: new outside", 1252, "*.* /save", u"C:\\d\\new.txt\0"s, {}, "set f=\"C:\\d\\new.txt\"\r\n", "", 0, 850,
     true},
    {"WoW64: folder", 1252, "C:\\ /folder", u"C:\\Windows\\System32\0"s, {},
     "set f=\"C:\\Windows\\SysWOW64\"\r\n", "", 0, 850, true, Item},
    {"WoW64: share", 1252, "*.*", u"C:\\Windows\\System32\\share.txt\0"s, {}, "set f=\"\\\\srv\\s\\share.txt\"\r\n",
     "", 0, 850, true},
    {"WoW64: no final path", 1252, "*.*", u"C:\\Windows\\System32\\calc.exe\0"s, {}, "",
     CannotTell + "C:\\Windows\\System32\\calc.exe\n", 1, 850, true},
    // What this process may not open is told by its folder.
    {"WoW64: unopenable", 1252, "*.*", u"C:\\Windows\\System32\\locked.dll\0"s, {},
     "set f=\"C:\\Windows\\SysWOW64\\locked.dll\"\r\n", "", 0, 850, true},
    {"WoW64: no such drive", 1252, "*.* /maynotexist", u"Q:\\new.txt\0"s, {}, "", CannotTell + "Q:\\new.txt\n", 1,
     850, true},
    // The alias is the real file's.
    {"WoW64: multiple, mixed", 1252, "*.* /multiselect",
     u"C:\\Windows\\System32\0notepad.exe\0same.txt\0\u4E2D.dll\0\0"s,
     {{u"C:\\Windows\\SysWOW64\\\u4E2D.dll", u"C:\\Windows\\SysWOW64\\_~1.DLL"}},
     "set f=\"C:\\Windows\\SysWOW64\\notepad.exe\" \"C:\\Windows\\System32\\same.txt\" "
     "\"C:\\Windows\\SysWOW64\\_~1.DLL\"\r\n",
     "", 0, 850, true},
    {"WoW64: multiple, one untold", 1252, "*.* /multiselect", u"C:\\Windows\\System32\0notepad.exe\0calc.exe\0\0"s,
     {}, "", CannotTell + "C:\\Windows\\System32\\calc.exe\n", 1, 850, true},
    // Nothing after an empty parameter is read, these options neither.
    {"after an empty one", 1252, "*.* \"\" /utf8", u"C:\\d\\caf\u00E9.txt\0"s, {}, "set f=\"C:\\d\\caf\xE9.txt\"\r\n", "",
     0},
};

TEST(Program, NeverWritesANameThatIsNotTheChosenFile)
{
    for (const NameCase& c : NameCases) {
        for (Dialogs dialog : {Item, Classic}) {
            if (c.dialogs != Both && c.dialogs != dialog) {
                continue;
            }
            SCOPED_TRACE(testing::Message() << c.label << (dialog == Item ? ", item dialog" : ", classic dialog"));
            Outcome run = RunProgramWith("t \"set f=\" " + c.params, Cancel, [&] {
                UseDialog(dialog);
                Fake.AnsiCodePage = c.ansi;
                Fake.WideAnswer = c.answer;
                Fake.ShortPaths = c.aliases;
                Fake.ConsoleCodePage = c.console;
                Fake.Wow64 = c.wow64;
                Fake.Files = Windows64;
                Fake.FinalPaths = FinalPaths64;
            });
            // Only a WoW64 process asks which file a name is.
            EXPECT_EQ(std::count(Fake.Calls.begin(), Fake.Calls.end(), "OsRealPath") > 0, c.wow64)
                << "which file a name is, asked only in WoW64";
            EXPECT_EQ(run.status, c.status);
            EXPECT_EQ(run.out, c.out);
            EXPECT_EQ(run.err, c.err);
            // The message goes out as the others do: text, then its LF.
            if (!c.err.empty()) {
                ASSERT_EQ(Fake.Writes.size(), 3u);
                EXPECT_EQ(Fake.Writes[2].Via, "file");
                EXPECT_EQ(Fake.Writes[2].Bytes, "\n");
            }
        }
    }
}

TEST(Program, TakesEveryParameterExactlyAsWritten)
{
    struct {
        const char* label;
        uint32_t console;
        std::u16string cmdline;
        std::string out;
        std::string err;
        int32_t status;
        // The texts as the dialog gets them after a choice: exactly.
        std::u16string dir = u"C:\\\u03A9\\";
        std::u16string filter = u"*.\u4E2D\0*.\u4E2D\0\0"s;
        std::u16string title = u"\u03A9 title";
        std::u16string file = u"\u0141.txt";
    } cases[] = {
        // Without an option, the line is in the ANSI code page; only the
        // command must fit that, never as a look-alike.
        {"no option", 850, u"t \"set \u00E9=\" \"C:\\\u03A9\\*.\u4E2D\" \"\u03A9 title\" \u0141.txt",
         "set \xE9=\"C:\\a\"\r\n", "", 0},
        {"no option, a command outside the ANSI code page", 850,
         u"t \"set \u0141=\" \"C:\\\u03A9\\*.\u4E2D\" \"\u03A9 title\" \u0141.txt", "", "Invalid parameter: set ?=\n", 255},
        // A look-alike of the slash is no option: here an initial name.
        {"a look-alike slash", 850, u"t \"set \u00E9=\" \"C:\\\u03A9\\*.\u4E2D\" \"\u03A9 title\" \u2215utf8",
         "set \xE9=\"C:\\a\"\r\n", "", 0, u"C:\\\u03A9\\", u"*.\u4E2D\0*.\u4E2D\0\0"s, u"\u03A9 title", u"\u2215utf8"},
        {"/utf8", 850, u"t \"set \u0141=\" \"C:\\\u03A9\\*.\u4E2D\" \"\u03A9 title\" \u0141.txt /utf8",
         "set \xC5\x81=\"C:\\a\"\r\n", "", 0},
        {"/consolecp", 65001, u"t \"set \u0141=\" \"C:\\\u03A9\\*.\u4E2D\" \"\u03A9 title\" \u0141.txt /consolecp",
         "set \xC5\x81=\"C:\\a\"\r\n", "", 0},
        // Without a console, the ANSI code page; it cannot hold the command.
        {"no console", 0, u"t \"set \u0141=\" \"C:\\\u03A9\\*.\u4E2D\" \"\u03A9 title\" \u0141.txt /consolecp", "",
         "Invalid parameter: set ?=\n", 255},
        {"no console, the ANSI code page", 0,
         u"t \"set \u00E9=\" \"C:\\\u03A9\\*.\u4E2D\" \"\u03A9 title\" \u0141.txt /consolecp",
         "set \xE9=\"C:\\a\"\r\n", "", 0},
        {"message in the line's code page", 850, u"t x *.* \u00E9 a\u00E9\u0141? /consolecp", "",
         "Invalid parameter: a\x82?\?\n", 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Outcome run = RunProgramWith("t x *.*", "C:\\a\0"s, [&] {
            Fake.WideCommandLine = c.cmdline;
            Fake.ConsoleCodePage = c.console;
        });
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.status, c.status);
        if (c.status == 0) {
            ASSERT_TRUE(run.request);
            EXPECT_EQ(run.request->WideInitialDir, c.dir);
            EXPECT_EQ(run.request->WideFilter, c.filter);
            EXPECT_EQ(run.request->WideTitle, c.title);
            EXPECT_EQ(run.request->WideFile, c.file);
        }
    }
}

TEST(Program, CommitsMemoryAsTheSelectionNeedsIt)
{
    // One file: the dialog's buffer and a little more.
    Outcome one = RunProgramWith("t x *.*", "C:\\a\0"s);
    EXPECT_EQ(one.status, 0);
    EXPECT_LT(Fake.Committed, 256 << 10);
    const ptrdiff_t oneCommitted = Fake.Committed;

    // The longest command line Windows starts a process with, 16000
    // parameters in 32766 units: each one read, and converted, once.
    for (std::string option : {"", " /utf8", " /consolecp"}) {
        std::string line = "t x *.*" + option;
        for (int params = option.empty() ? 2 : 3; params < 15999; params++) {
            line += " n";  // the title, then initial names
        }
        const std::string last(32766 - line.size() - 1, 'z');
        line += " " + last;
        Outcome many = RunProgramWith(line, "C:\\a\0"s);
        EXPECT_EQ(many.status, 0) << many.err;
        ASSERT_TRUE(many.request);
        EXPECT_EQ(many.request->File, last);
        EXPECT_LT(Fake.Committed, oneCommitted + (1 << 20));
    }

    // Every name of a full selection needs an alias: what each takes is
    // given back, so memory follows the line (some 50 KB here), not the
    // names times the folder (some 10 MB). The classic dialog's choice is
    // the folder once; the item dialog's repeats it in every path anyway.
    std::u16string folder = u"C:\\" + std::u16string(2000, u'\u0141');
    std::u16string answer = folder + u'\0';
    for (int i = 0; answer.size() < 20400; i++) {
        answer += u"\u4E2D" + FakeWiden(1252, std::to_string(10000 + i)) + u'\0';
    }
    answer += u'\0';
    Outcome all = RunProgramWith("t x *.* /multiselect", Cancel, [&] {
        UseDialog(Classic);
        Fake.WideAnswer = answer;
        // The folder's alias, and each name's: "N" and its number.
        Fake.ShortPathRule = [&](const std::u16string& path) {
            return path == folder ? u"C:\\L~1" : u"C:\\L~1\\N" + path.substr(folder.size() + 2) + u"~1";
        };
    });
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.out.substr(0, 20), "x \"C:\\L~1\\N10000~1\" ");
    EXPECT_LT(Fake.Committed, (ptrdiff_t)all.out.size() + (2 << 20));

    // The fullest selection: half the buffer a folder of characters that
    // take 3 bytes in UTF-8, the rest one-letter names that each repeat it.
    // The arena holds its line of some 157 MB.
    std::u16string deep = u"C:\\" + std::u16string(10237, u'\u4E2D');
    answer = deep + u'\0';
    size_t names = 0;
    for (; answer.size() + 3 <= 20480; names++) {
        answer += std::u16string(1, (char16_t)(u'a' + names % 26)) + u'\0';
    }
    answer += u'\0';
    Outcome fullest = RunProgramWith("t x *.* /multiselect /utf8", Cancel, [&] {
        UseDialog(Classic);
        Fake.WideAnswer = answer;
    });
    EXPECT_EQ(fullest.status, 0);
    EXPECT_EQ(fullest.out.size(), names * (3 + 3 * 10237 + 5) + 3);
    EXPECT_LT(Fake.Committed, (ptrdiff_t)fullest.out.size() + (1 << 20));
}

TEST(Program, RefusesWhatWinesDialogWritesPastTheBuffer)
{
    // Wine's wide dialog writes every name of a selection, past the buffer,
    // and reports a choice. 400 names of 64 characters are some 26000
    // units, 5500 past it; 33000 are 4.1 MiB, far into pages that the arena
    // has not committed. Only the dialog's writes are taken in: one of the
    // program's own after it crashes the run, as it would have anyway.
    struct {
        int count;
        bool strayWrite;
        int32_t status;
        std::string err;
    } cases[] = {
        {400, false, 1, TooLong},
        {33000, false, 1, TooLong},
        {1, true, (int32_t)0xC0000005, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << (c.strayWrite ? ", then a stray write" : ""));
        std::u16string answer = u"Z:\\tmp\\probe\\many"s + u'\0';
        for (int i = 0; i < c.count; i++) {
            answer += std::u16string(u"000 ") + std::u16string(56, u'x') + u".txt" + u'\0';
            answer[answer.size() - 62] = (char16_t)(u'0' + i % 10);
        }
        answer += u'\0';
        Outcome run = RunProgramWith("t \"set f=\" *.* \"Pick files\" /multiselect /noquote", Cancel, [&] {
            UseDialog(Classic);
            Fake.WideAnswer = answer;
            Fake.DialogOverruns = true;
            Fake.StrayWrite = c.strayWrite;
        });
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(Same(run.out, c.count > 1 ? "" : "set f=Z:\\tmp\\probe\\many\\0000" + std::string(56, 'x') + ".txt\r\n"));
        EXPECT_EQ(run.err, c.err);
        EXPECT_FALSE(Fake.RequestSpoiled) << "what the dialog wrote past the buffer landed on the request";
    }
}

struct RequestCase {
    const char* label;
    std::string params;
    std::optional<std::string> dir;
    std::string filter;
    std::optional<std::string> title;
    std::string file;
    uint32_t flags;    // the classic dialog's
    uint32_t options;  // the item dialog's
    std::string call = "open";
    std::optional<std::string> defExt = {};
};

const RequestCase RequestCases[] = {
    {"options", "C:\\docs\\*.txt;*.log /MultiSelect /NOCRLF", "C:\\docs\\", "*.txt;*.log\0*.txt;*.log\0\0"s, {},
     "", Hide | MustExist | Multi, FosOpen | FosMulti},
    {"folder only", "C:\\docs\\ /maynotexist /multiselect", "C:\\docs\\", "\0"s, {}, "", Hide | Multi, FosAny | FosMulti},
    {"title and names", "C:\\x\\*.* Choose a.txt b.txt", "C:\\x\\", "*.*\0*.*\0\0"s, "Choose", "b.txt",
     Hide | MustExist, FosOpen},
    {"quoted", "\"C:\\My Docs\\*.t x t\" \"Pick one\" \"my name.txt\"", "C:\\My Docs\\", "*.t x t\0*.t x t\0\0"s,
     "Pick one", "my name.txt", Hide | MustExist, FosOpen},
    {"share", "\\\\server\\share\\*.csv", "\\\\server\\share\\", "*.csv\0*.csv\0\0"s, {}, "", Hide | MustExist, FosOpen},
    {"empty ends the walk", "C:\\x\\*.* \"\" /multiselect Title", "C:\\x\\", "*.*\0*.*\0\0"s, {}, "",
     Hide | MustExist, FosOpen},
    {"empty path alone", "\"\"", "", "*.*\0*.*\0\0"s, {}, "", Hide | MustExist, FosOpen},
    {"title is not checked", "C:\\x\\*.* C:\\title?.txt", "C:\\x\\", "*.*\0*.*\0\0"s, "C:\\title?.txt", "", Hide | MustExist, FosOpen},
    {"empty path", "\"\" Title /multiselect", "", "*.*\0*.*\0\0"s, "Title", "", Hide | MustExist | Multi, FosOpen | FosMulti},
    {"no path", "", "", "*.*\0*.*\0\0"s, {}, "", Hide | MustExist, FosOpen},
    {"high bytes", "C:\\x\\*.* T \xe9t\xe9.txt", "C:\\x\\", "*.*\0*.*\0\0"s, "T", "\xe9t\xe9.txt",
     Hide | MustExist, FosOpen},
    {"slashed path", "/multiselect", "C:\\", "multiselect\0multiselect\0\0"s, {}, "", Hide | MustExist, FosOpen},
    // Resolved against the current directory C:\work.
    {"relative", "*.txt;*.doc", "C:\\work\\", "*.txt;*.doc\0*.txt;*.doc\0\0"s, {}, "", Hide | MustExist, FosOpen},
    {"relative folder", "sub/dir/../*.txt", "C:\\work\\sub\\", "*.txt\0*.txt\0\0"s, {}, "", Hide | MustExist, FosOpen},
    {"drive alone", "C:", "C:\\work\\", "\0"s, {}, "", Hide | MustExist, FosOpen},
    {"drive's current folder", "C:*.txt", "C:\\work\\", "*.txt\0*.txt\0\0"s, {}, "", Hide | MustExist, FosOpen},
    // Patterns are not path text: the system would drop a final dot.
    {"no extension", "sub\\*.", "C:\\work\\sub\\", "*.\0*.\0\0"s, {}, "", Hide | MustExist, FosOpen},
    // Named filters, the first one selected.
    {"named filters", "\"C:\\docs\\Text files (*.txt)|*.txt;*.text|All files|*.*\"", "C:\\docs\\",
     "Text files (*.txt)\0*.txt;*.text\0All files\0*.*\0\0"s, {}, "", Hide | MustExist, FosOpen},
    // The save dialog: the default extension is the first filter's first
    // pattern's, when that is a plain "*.ext".
    {"save", "C:\\docs\\*.txt;*.log T report /save", "C:\\docs\\", "*.txt;*.log\0*.txt;*.log\0\0"s, "T",
     "report", Hide | Save, FosSave, "save", "txt"},
    {"save, the whole extension", "C:\\d\\*.html T report /save", "C:\\d\\", "*.html\0*.html\0\0"s, "T", "report",
     Hide | Save, FosSave, "save", "html"},
    {"save, named", "\"C:\\d\\Logs|*.log;*.txt|All|*.*\" /save /maynotexist", "C:\\d\\",
     "Logs\0*.log;*.txt\0All\0*.*\0\0"s, {}, "", Hide | Save, FosSave, "save", "log"},
    {"save, first filter any", "\"C:\\d\\All|*.*|Text|*.txt\" /save", "C:\\d\\", "All\0*.*\0Text\0*.txt\0\0"s, {},
     "", Hide | Save, FosSave, "save"},
    {"save, wildcard", "C:\\d\\*.t?t /save", "C:\\d\\", "*.t?t\0*.t?t\0\0"s, {}, "", Hide | Save, FosSave, "save"},
    {"save, two dots", "C:\\d\\*.tar.gz /save", "C:\\d\\", "*.tar.gz\0*.tar.gz\0\0"s, {}, "", Hide | Save, FosSave, "save"},
    {"save, not a bare star", "C:\\d\\r*.txt /save", "C:\\d\\", "r*.txt\0r*.txt\0\0"s, {}, "", Hide | Save, FosSave,
     "save"},
    // The folder picker: no filter, options of its own.
    {"folder", "C:\\docs\\*.txt Pick start /folder /maynotexist", "C:\\docs\\", "\0"s, "Pick", "start", FolderOnly,
     FolderOnly, "folder"},
};

TEST(Program, AsksTheDialogForWhatTheParametersSay)
{
    for (const RequestCase& c : RequestCases) {
        for (Dialogs dialog : {Item, Classic}) {
            if (c.call == "folder" && dialog == Classic) {
                continue;  // the folder picker has no classic stand-in
            }
            SCOPED_TRACE(testing::Message() << c.label << (dialog == Item ? ", item dialog" : ", classic dialog"));
            Outcome run = RunProgramWith("t cmd " + c.params, Cancel, [&] { UseDialog(dialog); });
            ASSERT_TRUE(run.request);
            const SeenRequest& q = *run.request;
            bool item = dialog == Item;
            EXPECT_EQ(q.Item, item);
            EXPECT_EQ(q.StructSize, item ? 0u : 76u);
            // The first file type selected, where there are any.
            EXPECT_EQ(q.FilterIndex, item && c.filter.size() == 1 ? 0u : 1u);
            EXPECT_EQ(q.MaxFile, item ? 0u : SelectionChars);
            EXPECT_EQ(q.InitialDir, c.dir) << "an empty folder goes as a text, not as null";
            EXPECT_EQ(q.Filter, c.filter);
            EXPECT_EQ(q.Title, c.title);
            EXPECT_EQ(q.File, c.file);
            EXPECT_EQ(q.Flags, item ? c.options : c.flags);
            EXPECT_EQ(q.Call, c.call);
            EXPECT_EQ(q.DefExt, c.defExt);
            EXPECT_EQ(run.status, 1);
        }
    }
}

TEST(Program, HandsALongPatternListToTheDialogWhole)
{
    std::string patterns;
    for (int i = 0; i < 100; i++) {
        patterns += (i ? ";*.e" : "*.e") + std::to_string(1000 + i).substr(1);
    }
    ASSERT_GT(patterns.size(), 510u);
    // However long the patterns, only the folder is resolved.
    Outcome run = RunProgramWith("t cmd sub\\" + patterns, Cancel);
    ASSERT_TRUE(run.request);
    EXPECT_EQ(run.request->InitialDir, "C:\\work\\sub\\");
    EXPECT_EQ(run.request->Filter, patterns + '\0' + patterns + '\0' + '\0');
}

// The owner window: the process's own console window; without one, the
// first window whose title is the console's.
void* const ConsoleWindow = reinterpret_cast<void*>(0x10);
void* const OtherWindow = reinterpret_cast<void*>(0x20);
void* const OwnConsole = reinterpret_cast<void*>(0x30);

TEST(Program, OpensTheDialogOverTheConsoleWindow)
{
    struct {
        const char* label;
        void (*setup)();
        void* owner;
    } cases[] = {
        // Another console titled alike must not win over the process's own.
        {"own console window", [] { Fake.ConsoleWindow = OwnConsole; Fake.ConsoleTitle = "Batch";
                                    Fake.Windows = {{"Batch", ConsoleWindow}}; },
         OwnConsole},
        {"own console window, title empty", [] { Fake.ConsoleWindow = OwnConsole; Fake.ConsoleTitle = "";
                                                 Fake.Windows = {{"", OtherWindow}}; },
         OwnConsole},
        {"found", [] { Fake.ConsoleTitle = "Batch"; Fake.Windows = {{"Other", OtherWindow}, {"Batch", ConsoleWindow}}; },
         ConsoleWindow},
        {"first of two", [] { Fake.ConsoleTitle = "Batch"; Fake.Windows = {{"Batch", OtherWindow}, {"Batch", ConsoleWindow}}; },
         OtherWindow},
        {"no window has the title", [] { Fake.ConsoleTitle = "Batch"; Fake.Windows = {{"Other", OtherWindow}}; },
         nullptr},
        {"title unreadable", [] { Fake.ConsoleTitle.reset(); Fake.Windows = {{"", OtherWindow}}; }, nullptr},
        {"empty title", [] { Fake.ConsoleTitle = ""; Fake.Windows = {{"", OtherWindow}}; }, nullptr},
        // A title longer than the 300-byte buffer comes back cut, and the
        // cut text is what is looked for.
        {"long title", [] {
             Fake.ConsoleTitle = std::string(300, 'T') + "tail";
             Fake.Windows = {{std::string(300, 'T') + "tail", OtherWindow}, {std::string(300, 'T'), ConsoleWindow}};
         },
         ConsoleWindow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Outcome run = RunProgramWith("t x *.*", "C:\\a\0"s, c.setup);
        ASSERT_TRUE(run.request);
        EXPECT_EQ(run.request->Owner, c.owner);
        EXPECT_EQ(run.out, "x \"C:\\a\"\r\n") << "the run goes on without an owner";
    }
}

TEST(Program, ResolvesTheFolderWhole)
{
    const std::string deep = "C:\\work\\" + std::string(300, 'a') + "\\";
    struct {
        const char* label;
        std::string path;
        bool callFails;
        std::string dir;
        int calls;
    } cases[] = {
        // A full path longer than the first buffer: asked again with the
        // size the system gives, never cut, never left relative.
        {"longer than 260", std::string(300, 'a') + "\\*.txt", false, deep, 2},
        {"no folder", "*.txt", false, "C:\\work\\", 1},
        {"call fails", "sub\\*.txt", true, "sub\\", 1},
        {"call fails, no folder", "*.txt", true, "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Outcome run = RunProgramWith("t x " + c.path, Cancel, [&] { Fake.PathCallFails = c.callFails; });
        ASSERT_TRUE(run.request);
        EXPECT_EQ(Fake.PathCalls, c.calls);
        EXPECT_EQ(run.request->InitialDir, c.dir);
        EXPECT_EQ(run.request->Filter, "*.txt\0*.txt\0\0"s);
    }
}

TEST(Program, SaysSoWhenMemoryRunsOut)
{
    // Every name repeats its 200-character folder: the line needs far more
    // than the answer, so a run that could show the dialog cannot write it.
    std::string folder = "C:\\" + std::string(197, 'f');
    std::string answer = folder + '\0';
    for (int i = 0; i < 1500; i++) {
        answer += "n" + std::to_string(10000 + i) + '\0';
    }
    answer += '\0';
    struct {
        const char* label;
        ptrdiff_t limit;
        int32_t status;
        bool dialog;
    } cases[] = {
        {"no memory at all", 0, 255, false},
        {"not enough for the dialog's buffers", 16 << 10, 255, false},
        {"not enough for the line", 128 << 10, 1, true},
        // The item dialog hands back the folder in every path.
        {"enough", 4 << 20, 0, true},
    };
    const std::string line = RunProgramWith("t for *.* /multiselect", answer).out;
    ASSERT_GT(line.size(), 300000u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Outcome run = RunProgramWith("t for *.* /multiselect", answer, [&] { Fake.MemoryLimit = c.limit; });
        EXPECT_EQ(run.status, c.status) << "a choice that could not be written is no success";
        EXPECT_EQ(run.request.has_value(), c.dialog);
        EXPECT_TRUE(Same(run.out, c.status == 0 ? line : ""));
        EXPECT_EQ(run.err, c.status == 0 ? "" : "Not enough memory\n");
        EXPECT_TRUE(Fake.MemoryReleased);
    }
}

// How each write went: the function that carried it and whether it was
// taken.
std::string Trace()
{
    std::string trace;
    for (const FakeWrite& w : Fake.Writes) {
        trace += (w.To == OsStdOutput ? "out:" : w.To == OsStdError ? "err:" : "?:") + w.Via +
                 (w.Done ? "" : "(failed)") + "[" + std::to_string(w.Bytes.size()) + "] ";
    }
    return trace;
}

TEST(Program, WritesThroughTheConsoleFirstAndTheFileWhenRedirected)
{
    // The help in one write, without the LF that follows on its own.
    const std::string help = "[" + std::to_string(Help.size() - 1) + "]";
    struct {
        const char* label;
        std::string cmdline;
        Stream out;
        Stream err;
        std::string trace;
        int32_t status;
    } cases[] = {
        // The LF of a message is a write of its own, through the function
        // that took the text.
        {"message on a console", "t x *.* /bad", Stream::Redirected, Stream::Console,
         "err:console[20] err:console[1] ", 255},
        {"message redirected", "t x *.* /bad", Stream::Console, Stream::Redirected,
         "err:console(failed)[20] err:file[20] err:file[1] ", 255},
        {"message lost", "t x *.* /bad", Stream::Console, Stream::Missing,
         "?:console(failed)[20] ?:file(failed)[20] ?:file(failed)[1] ", 255},
        {"help on a console", "t", Stream::Console, Stream::Console, "err:console" + help + " err:console[1] ", 0},
        {"help to a made-up handle", "t", Stream::Console, Stream::Invalid,
         "?:console(failed)" + help + " ?:file(failed)" + help + " ?:file(failed)[1] ", 0},
        // The line goes out in one write.
        {"line on a console", "t x *.*", Stream::Console, Stream::Console, "out:console[14] ", 0},
        {"line redirected", "t x *.*", Stream::Redirected, Stream::Console,
         "out:console(failed)[14] out:file[14] ", 0},
        // A lost line still leaves the status of a choice.
        {"line lost", "t x *.*", Stream::Missing, Stream::Console, "?:console(failed)[14] ?:file(failed)[14] ", 0},
        {"line to a made-up handle", "t x *.*", Stream::Invalid, Stream::Console,
         "?:console(failed)[14] ?:file(failed)[14] ", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Outcome run = RunProgramWith(c.cmdline, "C:\\a.txt\0"s, [&] {
            Fake.Streams[1] = c.out;
            Fake.Streams[2] = c.err;
        });
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(Trace(), c.trace);
    }
}

TEST(Program, LeavesEveryControlEventToTheSystem)
{
    RunProgramWith("t x *.*", Cancel);
    ASSERT_NE(Fake.ControlHandler, nullptr) << "the handler is registered at start";
    // Ctrl+C, Ctrl+Break, close, logoff, shutdown, and one never defined.
    for (uint32_t event : {0u, 1u, 2u, 5u, 6u, 99u}) {
        EXPECT_FALSE(Fake.ControlHandler(event)) << event;
    }
}

}  // namespace
