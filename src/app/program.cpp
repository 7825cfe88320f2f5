#include "app/program.h"
#include "app/help.h"
#include "base/arena.h"
#include "base/settings.h"
#include "cmdline/params.h"
#include "cmdline/scan.h"
#include "console/codepage.h"
#include "console/console.h"
#include "dialog/output.h"
#include "dialog/request.h"
#include "os/os.h"

namespace {

// Address space for the worst line that the classic dialog can give: a
// selection that fills its 20480 units with a folder of about half of them
// and one-character names makes some 5000 names that each repeat the
// folder, up to 4 bytes a unit in the line's code page: about 210 MB. The
// item dialog's selection has no such bound, but tens of thousands of
// ordinary paths take a few MB. A larger one, or with /lines a long command
// string repeated on every line, ends as out of memory. Only what is used
// is committed.
constexpr ptrdiff_t ArenaReserve = 256 << 20;
// Less address space will do for every ordinary run, should the system not
// have that much in one piece; not so little that a dialog writing past its
// buffer (ShowDialog) has less than 4 MiB there: the run takes well under
// 1 MiB before the dialog.
constexpr ptrdiff_t ArenaLeast = 8 << 20;

// The run's one record and its memory: plain data, reached from the exit
// path when memory runs out deep inside a stage.
DialogSettings Settings;
OsMemory Memory;

[[noreturn]] void ExitWith(int32_t status)
{
    OsReleaseMemory(Memory);
    Memory = OsMemory{};
    OsExit(status);
}

void OutOfMemory()
{
    // No status of its own: before the dialog the run ends as a bad call,
    // after it as a cancel, since a choice that could not be written must
    // not look like success. The words are ASCII, the same in every code
    // page that the line may use, and take no memory.
    WriteErrLine("Not enough memory");
    ExitWith(Settings.ExitCode == StatusChosen ? StatusCancelled : Settings.ExitCode);
}

OsMemory ReserveMemory()
{
    OsMemory memory = {};
    for (ptrdiff_t size = ArenaReserve; !memory.Base && size >= ArenaLeast; size /= 2) {
        memory = OsReserveMemory(size);
    }
    return memory;
}

// The console window owns the dialog so that it opens in front of the window
// the user is typing in. Only a process that has none falls back on the
// first window with the console's title, which, with several consoles
// titled alike, may be another console.
void* FindOwnerWindow()
{
    if (void* window = OsConsoleWindow()) {
        return window;
    }
    constexpr uint32_t TitleSize = 300;
    // One byte past what the call may fill keeps the text terminated even if
    // a long title comes back cut without its NUL.
    char title[TitleSize + 1];
    for (uint32_t i = 0; i < TitleSize; i++) {
        title[i] = ' ';
    }
    title[TitleSize] = 0;
    if (!OsConsoleTitle(title, TitleSize)) {
        return nullptr;
    }
    return OsFindWindow(title);
}

// The code page that the line and the messages are written in, for the
// encoding asked for; without a console, there is nobody's code page to
// follow but the system's, and `encoding` says so.
uint32_t LineCodePage(LineEncoding& encoding)
{
    if (encoding == Utf8Encoding) {
        return CodePageUtf8;
    }
    if (encoding == ConsoleEncoding) {
        if (uint32_t console = OsConsoleCodePage()) {
            return console;
        }
        encoding = AnsiEncoding;
    }
    return OsAnsiCodePage();
}

// A message in the line's code page; what it cannot hold is the code page's
// business, since a message is read, not run.
void WriteMessage(const char16_t* message, Arena& arena)
{
    WriteErrLine(NarrowForMessage(Settings.CodePage, message, arena));
}

}  // namespace

void RunProgram()
{
    // The program may sit in a folder that others can write to, such as
    // Downloads; no library of theirs may load in place of the system's.
    OsRestrictLibrarySearch();
    Settings = DialogSettings{};
    Memory = ReserveMemory();
    Arena arena = {Memory.Base, Memory.Base + Memory.Size, Memory.Base, OsCommitMemory, OutOfMemory};

    StartConsoleStreams();
    Settings.ExitCode = StatusBadCall;
    Settings.OwnerWindow = FindOwnerWindow();

    // The UTF-16 line is split once, and every parameter is taken exactly as
    // the caller wrote it, whatever the line's code page: only the command
    // string must fit that, since it is written.
    ParamReader reader;
    StartParamReader(reader, arena);
    Settings.Encoding = FindLineOption(reader, arena);
    Settings.CodePage = LineCodePage(Settings.Encoding);

    Settings.CommandString = NextParam(reader);
    if (IsHelpRequest(Settings.CommandString)) {
        WriteErrLine(HelpText);
        ExitWith(0);
    }
    if (const char16_t* message = Scan(Settings, reader, arena)) {
        WriteMessage(message, arena);
        ExitWith(StatusBadCall);
    }
    LineNames names = ShowDialog(Settings, arena);
    if (names.Message) {
        WriteMessage(names.Message, arena);
    } else if (names.Count) {
        WriteSelection(names, Settings, arena);
    }
    ExitWith(Settings.ExitCode);
}
