#include <gtest/gtest.h>
#include <string>
#include "cmdline/scan.h"
#include "support/fake_os.h"
#include "support/support.h"

namespace {

constexpr uint32_t DefaultDialog = OfnHideReadOnly | OfnFileMustExist;
constexpr uint32_t Multi = OfnAllowMultiSelect | OfnExplorer;

struct ScanRun {
    std::string message;  // "" when the scan completed
    DialogSettings settings;
    int cursor;
};

// Scans `params` as they would follow the program's name and CommandString.
ScanRun RunScan(const std::string& params, TestArena& arena)
{
    Fake.CommandLine = "prog cmd " + params;
    ParamReader reader;
    StartParamReader(reader);
    DialogSettings settings = {};
    settings.CommandString = NextParam(reader, arena);
    const char* message = Scan(settings, reader, arena);
    return ScanRun{message ? message : "", settings, reader.Cursor};
}

std::string Text(const char* text)
{
    return text ? text : "(absent)";
}

struct SettingsCase {
    const char* params;
    const char* dir;
    const char* patterns;
    const char* title;
    const char* name;
    uint32_t dialogFlags;
    uint32_t outputFlags;
};

const SettingsCase SettingsCases[] = {
    {"", "", "*.*", "(absent)", "(absent)", DefaultDialog, QuoteNames},
    {"\"\"", "", "*.*", "(absent)", "(absent)", DefaultDialog, QuoteNames},
    {"C:\\docs\\*.txt;*.log /MultiSelect /NOCRLF", "C:\\docs\\", "*.txt;*.log", "(absent)", "(absent)",
     DefaultDialog | Multi, QuoteNames | NoLineEnd},
    {"C:\\docs\\ /maynotexist /multiselect", "C:\\docs\\", "", "(absent)", "(absent)",
     OfnHideReadOnly | Multi, QuoteNames},
    {"C:\\x\\*.* Choose report.txt", "C:\\x\\", "*.*", "Choose", "report.txt", DefaultDialog, QuoteNames},
    {"C:\\x\\*.* Choose a.txt b.txt", "C:\\x\\", "*.*", "Choose", "b.txt", DefaultDialog, QuoteNames},
    // The first positional parameter is the title, whatever it holds.
    {"C:\\x\\*.* C:\\title?.txt", "C:\\x\\", "*.*", "C:\\title?.txt", "(absent)", DefaultDialog, QuoteNames},
    {"C:\\x\\*.* /noquote /noQuotes /NoCrLf /noquote", "C:\\x\\", "*.*", "(absent)", "(absent)",
     DefaultDialog, NoLineEnd},
    {"C:\\x\\*.* \"My title\" /noquotes \"my name.txt\"", "C:\\x\\", "*.*", "My title", "my name.txt",
     DefaultDialog, 0},
    // An empty quoted path is defaulted like a missing one; the walk goes on.
    {"\"\" Title /multiselect", "", "*.*", "Title", "(absent)", DefaultDialog | Multi, QuoteNames},
    // An empty parameter met by the walk ends it: nothing after it is read.
    {"C:\\x\\*.* \"\" /multiselect", "C:\\x\\", "*.*", "(absent)", "(absent)", DefaultDialog, QuoteNames},
    {"C:\\x\\*.* T \"\" /bogus", "C:\\x\\", "*.*", "T", "(absent)", DefaultDialog, QuoteNames},
};

TEST(Scan, FillsTheSettings)
{
    for (const SettingsCase& c : SettingsCases) {
        SCOPED_TRACE(testing::Message() << "parameters [" << c.params << "]");
        TestArena arena;
        ScanRun run = RunScan(c.params, arena);
        EXPECT_EQ(run.message, "");
        EXPECT_EQ(Text(run.settings.InitialDir), c.dir);
        EXPECT_EQ(Text(run.settings.Patterns), c.patterns);
        EXPECT_EQ(Text(run.settings.WindowTitle), c.title);
        EXPECT_EQ(Text(run.settings.InitialName), c.name);
        EXPECT_EQ(run.settings.DialogFlags, c.dialogFlags);
        EXPECT_EQ(run.settings.OutputFlags, c.outputFlags);
    }
}

TEST(Scan, TakesASlashedSecondParameterAsThePath)
{
    TestArena arena;
    ScanRun run = RunScan("/multiselect", arena);
    EXPECT_EQ(run.message, "");
    EXPECT_EQ(Text(run.settings.Patterns), "multiselect");
    EXPECT_EQ(run.settings.DialogFlags, DefaultDialog);
}

struct RefusalCase {
    const char* params;
    const char* message;
};

const RefusalCase RefusalCases[] = {
    {"C:\\x\\*.* /?", "Invalid option: /?"},
    {"C:\\x\\*.* /multiselect /NoSuch", "Invalid option: /NoSuch"},
    {"C:\\x\\*.* /noquotesx", "Invalid option: /noquotesx"},
    {"C:\\x\\*.* /noquot", "Invalid option: /noquot"},
    {"C:\\x\\*.* /", "Invalid option: /"},
    {"C:\\x\\*.* \"/Quoted Option\"", "Invalid option: /Quoted Option"},
    {"C:\\x\\*.* Title /title", "Invalid option: /title"},
    {"C:\\x\\*.* Choose C:\\report.txt", "Invalid parameter: C:\\report.txt"},
    {"C:\\x\\*.* Choose *.txt", "Invalid parameter: *.txt"},
    {"C:\\x\\*.* Choose ok.txt sub/x.txt", "Invalid parameter: sub/x.txt"},
    {"C:\\x\\*.* Choose \"a\tb\"", "Invalid parameter: a\tb"},
};

TEST(Scan, RefusesWhatItCannotTake)
{
    for (const RefusalCase& c : RefusalCases) {
        SCOPED_TRACE(testing::Message() << "parameters [" << c.params << "]");
        TestArena arena;
        EXPECT_EQ(RunScan(c.params, arena).message, c.message);
    }
}

TEST(Scan, StopsReadingAtTheFirstRefusal)
{
    TestArena arena;
    ScanRun run = RunScan("C:\\x\\*.* /bad /also-bad Title", arena);
    EXPECT_EQ(run.message, "Invalid option: /bad");
    EXPECT_EQ(run.cursor, 3);  // CommandString, the path, /bad
    EXPECT_EQ(run.settings.WindowTitle, nullptr);
}

}  // namespace
