#include <windows.h>
#include "app/arena.h"
#include "app/help.h"
#include "app/platform.h"
#include "app/settings.h"
#include "cmdline/params.h"
#include "cmdline/scan.h"
#include "console/console.h"
#include "dialog/dialog.h"

namespace {

// Enough for the largest output line a 20480-character selection can make
// (every name repeats its directory), with room to spare; committed pages
// cost nothing until touched.
constexpr SIZE_T ArenaSize = 64 << 20;

DialogSettings Settings;
void* Memory;

[[noreturn]] void ExitWith(int32_t status)
{
    if (Memory) {
        VirtualFree(Memory, 0, MEM_RELEASE);
    }
    ExitProcess((UINT)status);
}

// The console window owns the dialog so that it stays in front of it. The
// first window with the console's title is taken: good enough, and a wrong
// owner does no harm beyond the dialog's placement.
HWND FindOwnerWindow()
{
    constexpr DWORD TitleSize = 300;
    // One byte past what the call may fill keeps the text terminated even if
    // a long title comes back cut without its NUL.
    char title[TitleSize + 1];
    for (DWORD i = 0; i < TitleSize; i++) {
        title[i] = ' ';
    }
    title[TitleSize] = 0;
    if (!GetConsoleTitleA(title, TitleSize)) {
        return nullptr;
    }
    return FindWindowA(nullptr, title);
}

}  // namespace

[[noreturn]] void OutOfMemory()
{
    // No message and no status of its own; but a choice that could not be
    // written must not look like success.
    ExitWith(Settings.ExitCode == StatusChosen ? StatusCancelled : Settings.ExitCode);
}

extern "C" [[noreturn]] void __stdcall Entry()
{
    Memory = VirtualAlloc(nullptr, ArenaSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    Arena arena = {(char*)Memory, Memory ? (char*)Memory + ArenaSize : nullptr};

    ParamReader reader;
    StartParamReader(reader, PlatformCommandLine);
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
    if (const char* selection = ShowDialog(Settings, arena)) {
        WriteSelection(selection, Settings, arena);
    }
    ExitWith(Settings.ExitCode);
}
