#pragma once
// A fake Windows behind the seam, for host tests: it behaves as Windows
// documents each call (not as Wine happens to), records what the program
// asks of it, and ends a run without ending the test process.
#include <stddef.h>
#include <stdint.h>
#include <functional>
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

// The dialog request as the fake saw it, with every text copied out: in
// code page 1252 for tables that need no other, and as the dialog got it.
// The item dialog's in the same terms: Flags are its FOS_* options, Filter
// its file types as the classic list, FilterIndex the type index, File its
// name box, InitialDir its folder, and StructSize and MaxFile zero.
struct SeenRequest {
    std::string Call;  // "open", "save" or "folder" (the item dialog with FOS_PICKFOLDERS)
    bool Item;         // the common item dialog's, not the classic one's
    std::optional<std::string> DefExt;  // nullopt: null
    uint32_t StructSize;
    void* Owner;
    std::string Filter;  // the whole list, up to and with its closing empty text
    uint32_t FilterIndex;
    std::string File;    // the buffer's text on entry
    std::u16string WideTitle;  // the title exactly as the dialog got it
    std::u16string WideFilter;
    std::u16string WideFile;
    std::u16string WideInitialDir;
    uint32_t MaxFile;
    std::optional<std::string> InitialDir;  // nullopt: null
    std::optional<std::string> Title;       // nullopt: null
    uint32_t Flags;
};

struct FakeOs {
    // The process as started: the line as the system keeps it (UTF-16). A
    // test may give it as bytes instead, read in the ANSI code page.
    std::string CommandLine;
    std::optional<std::u16string> WideCommandLine;
    std::string CurrentDir = "C:\\work";  // of drive C:, the current drive
    bool PathCallFails = false;           // GetFullPathNameW answers 0
    int PathCalls = 0;

    // Code pages: the ANSI one, and the console's output code page (0: the
    // process has no console). The fake knows 1252, 932, 65001 and, for
    // consoles, 437 and 850; of the double-byte and OEM ones, only the
    // characters that the tests use.
    uint32_t AnsiCodePage = 1252;
    uint32_t ConsoleCodePage = 850;

    // The console: its window (null: GetConsoleWindow finds none), its title
    // (nullopt: GetConsoleTitleA returns 0) and the top-level windows by title.
    void* ConsoleWindow = nullptr;
    std::optional<std::string> ConsoleTitle = std::string("C:\\Windows\\system32\\cmd.exe");
    std::vector<std::pair<std::string, void*>> Windows;

    Stream Streams[3] = {Stream::Console, Stream::Redirected, Stream::Redirected};  // in, out, err
    std::vector<FakeWrite> Writes;
    bool (*ControlHandler)(uint32_t) = nullptr;

    // The dialog: nullopt cancels; otherwise these bytes are what the user
    // chose, as the classic dialog lays them out, in code page 1252
    // (WideAnswer, in UTF-16, wins over Answer). The classic dialog fails a
    // choice longer than the request's MaxFile as Windows' does
    // (FNERR_BUFFERTOOSMALL), and so a record of a size that no version of
    // it takes (CDERR_STRUCTSIZE). The item dialog hands back the same
    // choice as full paths (each name after the folder, or the one text),
    // but only the first unless the options allow several.
    std::optional<std::string> Answer;
    std::optional<std::u16string> WideAnswer;
    // Non-zero: the dialog fails with this code whatever the user would do
    // (CommDlgExtendedError's, or the folder picker's HRESULT).
    uint32_t DialogError = 0;
    // The system has no common item dialog (before Vista, Server Core): its
    // class cannot be made, so Open and Save fall back on the classic
    // dialog, and there is no folder picker.
    bool NoItemDialog = false;
    // The item dialog's choice is nowhere in the file system (a phone, a
    // library): Answer's text up to its NUL is its name as the shell shows it.
    bool NoFileSystemPath = false;
    // The process's window station: WinSta0 of a logged-on user, or the
    // invisible one of a service; or the calls that tell fail.
    OsDesktop Desktop = OsDesktopVisible;
    // As Wine's wide dialog does: a choice longer than MaxFile is written
    // whole, past the buffer's end, and reported as a choice. The fake then
    // looks whether that spoiled any text of the request. A page written
    // there that is neither committed nor made to commit on touch crashes
    // the run.
    bool DialogOverruns = false;
    bool RequestSpoiled = false;
    std::vector<SeenRequest> Requests;

    // The file system's 8.3 aliases: each existing path with the short path
    // that GetShortPathNameW gives for it (the path itself where no
    // component has an alias). Any other path does not exist.
    std::vector<std::pair<std::u16string, std::u16string>> ShortPaths;
    // For paths not in the table: the short path, or nothing when the path
    // does not exist (the fuzzer's file system, too large for a table).
    std::function<std::optional<std::u16string>(const std::u16string&)> ShortPathRule;

    // 64-bit Windows under this 32-bit process (IsWow64Process says so),
    // and its file system: each path that exists with the file it opens as
    // this process sees it (redirected) and as a 64-bit program does, as
    // numbers: the same number is the same file, 0 none that the process
    // may open. A path not in the table opens nothing either way.
    bool Wow64 = false;
    struct FakeFile {
        std::u16string Path;
        int Seen;
        int Native;
    };
    std::vector<FakeFile> Files;
    // GetFinalPathNameByHandleW for each file seen, as the system gives it
    // ("\\?\C:\..."); a file without one makes the call fail.
    std::vector<std::pair<int, std::u16string>> FinalPaths;

    // Memory: the most address space one reservation gets (negative: any),
    // how much may be committed at most (negative: no limit), and how much
    // was.
    ptrdiff_t AddressSpace = -1;
    ptrdiff_t MemoryLimit = -1;
    ptrdiff_t Committed = 0;
    // Where pages commit themselves when touched (OsCommitOnTouch), until
    // OsEndCommitOnTouch.
    char* TouchFrom = nullptr;
    char* TouchTo = nullptr;
    // After a file dialog, the program writes once past what is committed,
    // as a fault of its own would, on its way out (OsReleaseMemory).
    bool StrayWrite = false;
    bool MemoryTaken = false;
    bool MemoryReleased = false;

    // Every call into the seam, by name, in order.
    std::vector<std::string> Calls;

    // What the run ended with: OsExit's status, or the code of the fault
    // that crashed it (STATUS_ACCESS_VIOLATION), as Windows gives it.
    std::optional<int32_t> ExitStatus;
};

// The one fake; reset by RunFake and by ResetFake.
extern FakeOs Fake;
void ResetFake();

// The handle value that the fake gives for a stream.
void* FakeHandle(OsStdStream which);

// What reached a stream: the bytes of its successful writes, in order.
std::string Written(OsStdStream which);

// A code page both ways, as the fake's conversions do it; a character that
// the code page lacks becomes "?" (U+FFFD's bytes in UTF-8).
std::u16string FakeWiden(uint32_t codePage, const std::string& bytes);
std::string FakeNarrow(uint32_t codePage, const std::u16string& wide);
inline std::u16string Widen1252(const std::string& bytes) { return FakeWiden(1252, bytes); }
inline std::string Narrow1252(const std::u16string& wide) { return FakeNarrow(1252, wide); }

// Runs the whole program against Fake (set up by the caller after
// ResetFake) until it exits, and returns its status.
int32_t RunFake();
