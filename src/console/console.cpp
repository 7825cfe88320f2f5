#include <windows.h>
#include "console/console.h"
#include "app/text.h"

namespace {

struct ConsoleStreams {
    HANDLE Input;   // taken for completeness; nothing reads standard input
    HANDLE Output;
    HANDLE Error;
};

ConsoleStreams Streams;

// Runs on a thread of the system's. Returning FALSE hands every event
// (Ctrl+C, Ctrl+Break, closing the window) to the default handling, which
// ends the process; nothing of the main thread's memory is touched here,
// since the dialog may still be using it.
BOOL WINAPI ControlHandler(DWORD)
{
    return FALSE;
}

}  // namespace

void StartConsoleStreams()
{
    Streams.Input = GetStdHandle(STD_INPUT_HANDLE);
    Streams.Output = GetStdHandle(STD_OUTPUT_HANDLE);
    Streams.Error = GetStdHandle(STD_ERROR_HANDLE);
    SetConsoleCtrlHandler(ControlHandler, TRUE);
}

// WriteConsoleA fails on anything that is not a console (a file, a pipe),
// and then WriteFile carries the same bytes. The choice is made on every
// call; the written counts are not looked at, since nothing can be done about
// a short write. The count pointer must not be null for WriteFile on Windows 7.

void WriteOut(const char* text)
{
    if (!text) {
        return;
    }
    DWORD length = (DWORD)Length(text);
    DWORD written;
    if (!WriteConsoleA(Streams.Output, text, length, &written, nullptr)) {
        WriteFile(Streams.Output, text, length, &written, nullptr);
    }
}

void WriteErrLine(const char* text)
{
    if (!text) {
        text = "";
    }
    DWORD length = (DWORD)Length(text);
    DWORD written;
    if (WriteConsoleA(Streams.Error, text, length, &written, nullptr)) {
        WriteConsoleA(Streams.Error, "\n", 1, &written, nullptr);
    } else {
        WriteFile(Streams.Error, text, length, &written, nullptr);
        WriteFile(Streams.Error, "\n", 1, &written, nullptr);
    }
}
