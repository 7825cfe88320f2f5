#pragma once
// A fake Windows behind the seam, for host tests: it behaves as Windows
// documents each call (not as Wine happens to), records what the program
// asks of it, and ends a run without ending the test process.
#include <stddef.h>
#include <stdint.h>
#include <optional>
#include <string>
#include <vector>
#include "os/os.h"

// What a standard handle is connected to.
enum class Stream {
    Console,     // a console: console writes succeed
    Redirected,  // a file or pipe: console writes fail, file writes succeed
    Missing,     // no handle at all (null): every write fails
    Invalid,     // a value that is no handle: every write fails
};

// One write call, whether it succeeded or not.
struct FakeWrite {
    std::optional<OsStdStream> To;  // whose handle it was; none for a null or made-up one
    std::string Via;   // "console" or "file"
    std::string Bytes;
    bool Done;         // whether the call succeeded
};

// The dialog request as the fake saw it, with every text copied out.
struct SeenRequest {
    uint32_t StructSize;
    void* Owner;
    std::string Filter;  // the whole list, up to and with its closing empty text
    uint32_t FilterIndex;
    std::string File;    // the buffer's text on entry
    std::u16string WideTitle;  // the title exactly as the dialog got it
    uint32_t MaxFile;
    std::optional<std::string> InitialDir;  // nullopt: null
    std::optional<std::string> Title;       // nullopt: null
    uint32_t Flags;
};

struct FakeOs {
    // The process as started.
    std::string CommandLine;
    std::string CurrentDir = "C:\\work";  // of drive C:, the current drive
    bool PathCallFails = false;           // GetFullPathNameA answers 0
    int PathCalls = 0;

    // The console: its window (null: GetConsoleWindow finds none), its title
    // (nullopt: GetConsoleTitleA returns 0) and the top-level windows by title.
    void* ConsoleWindow = nullptr;
    std::optional<std::string> ConsoleTitle = std::string("C:\\Windows\\system32\\cmd.exe");
    std::vector<std::pair<std::string, void*>> Windows;

    Stream Streams[3] = {Stream::Console, Stream::Redirected, Stream::Redirected};  // in, out, err
    std::vector<FakeWrite> Writes;
    bool (*ControlHandler)(uint32_t) = nullptr;

    // The dialog: nullopt cancels; otherwise these bytes are what the user
    // chose, as the dialog lays them out, in code page 1252 (WideAnswer, in
    // UTF-16, wins over Answer). A choice longer than the request's MaxFile
    // fails as Windows' dialog does (FNERR_BUFFERTOOSMALL).
    std::optional<std::string> Answer;
    std::optional<std::u16string> WideAnswer;
    // As Wine's wide dialog does: a choice longer than MaxFile is written
    // whole, past the buffer's end, and reported as a choice. The fake then
    // looks whether that spoiled any text of the request.
    bool DialogOverruns = false;
    bool RequestSpoiled = false;
    std::vector<SeenRequest> Requests;

    // The file system's 8.3 aliases: each existing path with the short path
    // that GetShortPathNameW gives for it (the path itself where no
    // component has an alias). Any other path does not exist.
    std::vector<std::pair<std::u16string, std::u16string>> ShortPaths;

    // Memory: how much OsTakeMemory grants at most (negative: all asked).
    ptrdiff_t MemoryLimit = -1;
    bool MemoryTaken = false;
    bool MemoryReleased = false;

    std::optional<int32_t> ExitStatus;
};

// The one fake; reset by RunFake and by ResetFake.
extern FakeOs Fake;
void ResetFake();

// The handle value that the fake gives for a stream.
void* FakeHandle(OsStdStream which);

// What reached a stream: the bytes of its successful writes, in order.
std::string Written(OsStdStream which);

// Code page 1252 both ways, as the fake's conversions do it.
std::u16string Widen1252(const std::string& bytes);
std::string Narrow1252(const std::u16string& wide);

// Runs the whole program against Fake (set up by the caller after
// ResetFake) until it exits, and returns its status.
int32_t RunFake();
