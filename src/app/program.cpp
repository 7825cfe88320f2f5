#include "app/program.h"
#include "app/help.h"
#include "base/arena.h"
#include "base/settings.h"
#include "cmdline/params.h"
#include "cmdline/scan.h"
#include "console/console.h"
#include "dialog/output.h"
#include "dialog/request.h"
#include "os/os.h"

namespace {

// Enough for the largest output line a 20480-character selection can make
// (every name repeats its directory), with room to spare; committed pages
// cost nothing until touched.
constexpr ptrdiff_t ArenaSize = 64 << 20;

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
    // No message and no status of its own; but a choice that could not be
    // written must not look like success.
    ExitWith(Settings.ExitCode == StatusChosen ? StatusCancelled : Settings.ExitCode);
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

}  // namespace

void RunProgram()
{
    Settings = DialogSettings{};
    Memory = OsTakeMemory(ArenaSize);
    Arena arena = {Memory.Base, Memory.Base + Memory.Size, OutOfMemory};
    ArenaPoison(arena.Beg, arena.End - arena.Beg);

    ParamReader reader;
    StartParamReader(reader);
    StartConsoleStreams();
    Settings.ExitCode = StatusBadCall;
    Settings.OwnerWindow = FindOwnerWindow();

    Settings.CommandString = NextParam(reader, arena);
    if (IsHelpRequest(Settings.CommandString)) {
        WriteErrLine(HelpText);
        ExitWith(0);
    }
    if (const char* message = Scan(Settings, reader, arena)) {
        WriteErrLine(message);
        ExitWith(StatusBadCall);
    }
    AnsiSelection selection = ShowDialog(Settings, arena);
    if (selection.Message) {
        WriteErrLine(selection.Message);
    } else if (selection.List) {
        WriteSelection(selection.List, selection.Size, Settings, arena);
    }
    ExitWith(Settings.ExitCode);
}
