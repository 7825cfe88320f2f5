#include "console/console.h"
#include "base/text.h"
#include "os/os.h"

namespace {

struct ConsoleStreams {
    void* Input;  // taken for completeness; nothing reads standard input
    void* Output;
    void* Error;
};

ConsoleStreams Streams;

}  // namespace

bool ControlHandler(uint32_t)
{
    // Runs on a thread of the system's. Handing every event (Ctrl+C,
    // Ctrl+Break, closing the window) on to the default handling ends the
    // process; nothing of the main thread's memory is touched here, since
    // the dialog may still be using it.
    return false;
}

void StartConsoleStreams()
{
    Streams.Input = OsStdHandle(OsStdInput);
    Streams.Output = OsStdHandle(OsStdOutput);
    Streams.Error = OsStdHandle(OsStdError);
    OsSetControlHandler(ControlHandler);
}

// A console write fails on anything that is not a console (a file, a pipe),
// and then a file write carries the same bytes. The choice is made on every
// call; nothing can be done about a short or failed write, so neither is
// looked at.

void WriteOut(const char* text)
{
    if (!text) {
        return;
    }
    uint32_t length = (uint32_t)Length(text);
    if (!OsWriteConsole(Streams.Output, text, length)) {
        OsWriteFile(Streams.Output, text, length);
    }
}

void WriteErrLine(const char* text)
{
    if (!text) {
        text = "";
    }
    uint32_t length = (uint32_t)Length(text);
    // The LF goes through whichever function took the text, as its own write.
    if (OsWriteConsole(Streams.Error, text, length)) {
        OsWriteConsole(Streams.Error, "\n", 1);
    } else {
        OsWriteFile(Streams.Error, text, length);
        OsWriteFile(Streams.Error, "\n", 1);
    }
}
