#pragma once
#include <stddef.h>
#include <stdint.h>
#include "base/arena.h"

// Every call that the program makes into the system, and nothing else. The
// executable binds these to Win32 (src/win32); the host tests bind them to a
// fake Windows. Handles and windows are opaque pointers here, texts are
// UTF-16 or bytes of a code page that the call names, and no Windows type
// leaks past this header.

// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), where the system
// has it (Windows 8 and later; Vista and 7 with KB2533623): from here on, a
// library loaded by its bare name, by this program or by a dialog on its
// behalf, comes from the system folder only, never from the program's
// folder or the current one. Elsewhere the search stays as it was. What
// the system loaded before, as it started the program, it found as always.
void OsRestrictLibrarySearch();

// GetCommandLineW: the raw command line of the process, the program's name
// first, exactly as the process was started, in UTF-16 as the system keeps
// it. (The ANSI one is made from it, with look-alikes for what the code page
// lacks; the program never reads that one.)
const char16_t* OsWideCommandLine();

// GetFullPathNameW: writes the full path of `text` into `buffer` of `size`
// units. Returns the path's length without the NUL when it fits, the size
// that it would need (NUL included, so more than `size`) when it does not,
// and 0 when the call fails.
uint32_t OsFullPathName(const char16_t* text, uint32_t size, char16_t* buffer);

// CharLowerW on a whole text, in place.
void OsLower(char16_t* text);

// GetConsoleTitleA: copies the console's title into `buffer` of `size`
// bytes. Returns 0 when there is no title to read; otherwise non-zero.
uint32_t OsConsoleTitle(char* buffer, uint32_t size);

// FindWindowA with no class: the first top-level window with this title,
// or null.
void* OsFindWindow(const char* title);

// GetConsoleWindow: the window of the console that this process is attached
// to, or null when it has none.
void* OsConsoleWindow();

// GetStdHandle for STD_INPUT_HANDLE, STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
// May be null or invalid when the parent gave no such stream.
enum OsStdStream : int32_t { OsStdInput = -10, OsStdOutput = -11, OsStdError = -12 };
void* OsStdHandle(OsStdStream which);

// WriteConsoleA: false when `handle` is not a console (or not a handle).
bool OsWriteConsole(void* handle, const char* bytes, uint32_t length);

// WriteFile, without overlapped I/O: false when the write fails.
bool OsWriteFile(void* handle, const char* bytes, uint32_t length);

// SetConsoleCtrlHandler(handler, TRUE). The system calls `handler` on a
// thread of its own with the event's number; false hands the event on to
// the default handling.
void OsSetControlHandler(bool (*handler)(uint32_t event));

// GetACP: the ANSI code page, the one the ANSI command line is in.
uint32_t OsAnsiCodePage();

// GetConsoleOutputCP: the code page that the console, and programs reading
// this one's output (cmd's for /f, PowerShell), decode it with; 0 when the
// process has no console.
uint32_t OsConsoleCodePage();

// Code pages the program names itself.
constexpr uint32_t CodePageUtf8 = 65001;

// MultiByteToWideChar from `codePage`, without flags: converts `length`
// bytes (NULs included, as any other byte) into at most `capacity` UTF-16
// units. Returns the count written; 0 when it fails or does not fit.
uint32_t OsWiden(uint32_t codePage, const char* bytes, uint32_t length, char16_t* wide, uint32_t capacity);

// WideCharToMultiByte to `codePage`, with no best fit where the code page
// allows that to be asked: converts `length` units into at most `capacity`
// bytes. What has no exact form may become the default character or a
// replacement, never silently right; callers that need exactness read the
// bytes back. Returns the count written; 0 when it fails or does not fit.
uint32_t OsNarrow(uint32_t codePage, const char16_t* wide, uint32_t length, char* bytes, uint32_t capacity);

// GetShortPathNameW: `path` with each component that has an 8.3 alias
// replaced by it (a component without one stays as it is). Returns its
// length without the NUL; the size it needs when it does not fit; 0 when
// the path does not exist or the call fails.
uint32_t OsShortPath(const char16_t* path, char16_t* buffer, uint32_t capacity);

// IsWow64Process, where the system has it (XP SP2 and later): whether this
// 32-bit program runs on 64-bit Windows, x64 or ARM64, whose file system
// redirector shows it another system folder than 64-bit programs see
// under the same name. False on 32-bit Windows and where the call is
// missing or fails.
bool OsIsWow64();

// The most units a path takes, its NUL included: the buffer OsRealPath
// writes into.
constexpr uint32_t OsLongestPath = 32768;

// What a name is to a 64-bit program, next to what it is to this one.
enum OsRedirection : uint32_t {
    OsSameFile,    // the very file or folder that this process opens by it
    OsOtherFile,   // another one, or none: the buffer holds the full path of this process's
    OsNoSuchFile,  // this process opens nothing by that name: there is none, or none it may open
    OsCannotTell,  // a call failed, or the system has none of the calls
};

// Only in a WoW64 process: opens `path`, a file or a folder, once as this
// process sees it and once with the redirector off (on this thread only,
// on again at once), as a 64-bit program would, and tells whether the two
// are one file (same volume and file index). For OsOtherFile `buffer`, of
// OsLongestPath units, holds the final path of what this process opened,
// in the drive-letter form, terminated, as the system gives it: after
// "\\?\", or "\\?\UNC\" for a share.
OsRedirection OsRealPath(const char16_t* path, char16_t* buffer);

// The classic file dialog's request: the fields of OPENFILENAMEW that the
// program sets. Every other field of the system's record is zero.
struct OsDialogRequest {
    uint32_t StructSize;          // lStructSize
    void* Owner;                  // hwndOwner
    const char16_t* Filter;       // lpstrFilter: pairs of texts, then an empty one
    uint32_t FilterIndex;         // nFilterIndex
    char16_t* File;               // lpstrFile: the initial name in, the selection out
    uint32_t MaxFile;             // nMaxFile, in characters
    const char16_t* InitialDir;   // lpstrInitialDir
    const char16_t* Title;        // lpstrTitle: null for the dialog's own
    uint32_t Flags;               // Flags: OFN_* bits
    const char16_t* DefExt;       // lpstrDefExt: null for none
};

// How a dialog ended.
enum OsDialogEnd : uint32_t {
    OsChosen,        // the user confirmed a choice, which the dialog has handed back
    OsCancelled,     // cancelled or closed: the dialog reports no error
    OsTooLong,       // the classic dialog only: the choice does not fit the buffer (FNERR_BUFFERTOOSMALL)
    OsFailed,        // the dialog failed: Error says how
    OsNoItemDialog,  // the system has no common item dialog, or none that takes the request's options
    OsNoPath,        // the item dialog only: an item chosen is nowhere in the file system; its
                     // name as the shell shows it is the one path handed back
};
struct OsDialogResult {
    OsDialogEnd End;
    uint32_t Error;  // OsFailed: CommDlgExtendedError's code, or the item dialog's HRESULT; else 0
};

// FNERR_BUFFERTOOSMALL, the code of the file dialogs' refusal of a choice
// longer than MaxFile.
constexpr uint32_t OsBufferTooSmall = 0x3003;

// GetOpenFileNameW: shows the classic dialog modally. OsChosen once the
// user has confirmed a choice, which the dialog has then left in `File`;
// after a FALSE, CommDlgExtendedError tells a cancel or a close (0) from
// Windows' refusal of a choice that does not fit `File` (OsTooLong, with the
// size it needs in File's first unit) and from any other failure (OsFailed).
OsDialogResult OsOpenFileDialog(const OsDialogRequest& request);

// GetSaveFileNameW: the same for the "Save As" dialog, whose choice need
// not exist.
OsDialogResult OsSaveFileDialog(const OsDialogRequest& request);

// The common item dialog's classes: FileOpenDialog (which is the folder
// picker too, with FOS_PICKFOLDERS) and FileSaveDialog.
enum OsItemClass : uint32_t { OsItemOpen, OsItemSave };

// One file type of the item dialog, as COMDLG_FILTERSPEC lays it out.
struct OsFileType {
    const char16_t* Name;      // what the list shows
    const char16_t* Patterns;  // such as "*.txt;*.log"
};

// The item dialog's request: what the program sets of IFileDialog.
struct OsItemRequest {
    OsItemClass Class;
    void* Owner;                       // Show's owner window
    uint32_t Options;                  // SetOptions: the whole set of FOS_* bits
    const OsFileType* Types;           // SetFileTypes, then SetFileTypeIndex(TypeIndex),
    uint32_t TypeCount;                //   when TypeCount is not 0
    uint32_t TypeIndex;                // one-based
    const char16_t* DefaultExtension;  // SetDefaultExtension, without a dot; null: not called
    const char16_t* Folder;            // SetFolder; empty: where the dialog likes
    const char16_t* Title;             // SetTitle; null: its own
    const char16_t* Name;              // SetFileName: the name box
};

// What the item dialog handed back: each item's full path, terminated, in
// the order it gave them.
struct OsItems {
    const char16_t** Paths;
    uint32_t Count;
};

// The common item dialog (IFileOpenDialog, IFileSaveDialog), modal over
// `Owner`. COM and its libraries are loaded on this call only, from the
// system folder. OsNoItemDialog when the class cannot be made or takes not
// the options (before Vista, Server Core); OsCancelled when Show reports
// HRESULT_FROM_WIN32(ERROR_CANCELLED); OsFailed, with the HRESULT, when any
// other call from SetFileTypes to the last path's fails. OsChosen fills
// `chosen` from `arena` with every item's file-system path, however many;
// OsNoPath, with the HRESULT, holds the name of the first item that has
// none. A folder that cannot be found leaves the dialog where it likes.
OsDialogResult OsItemDialog(const OsItemRequest& request, Arena& arena, OsItems& chosen);

// Whether the process's window station is the visible one (WSF_VISIBLE),
// where a dialog can be seen and answered. A service, a scheduled task that
// runs whether or not the user is logged on, or an SSH session has an
// invisible one: a dialog there waits for an answer nobody can give.
enum OsDesktop : uint32_t {
    OsDesktopVisible,
    OsDesktopHidden,
    OsDesktopUnknown,  // GetProcessWindowStation or GetUserObjectInformationW failed
};
OsDesktop OsWindowStation();

// Memory for the whole run: reserves `most` bytes of address space, none of
// it usable until committed. The system may grant less, or nothing (a null
// `Base` and `Size` 0).
struct OsMemory {
    char* Base;
    ptrdiff_t Size;
};
OsMemory OsReserveMemory(ptrdiff_t most);

// Commits `size` bytes at `at`, inside a reservation: zero-filled on first
// commit, left as they are when already committed. False when the system
// cannot back them.
bool OsCommitMemory(char* at, ptrdiff_t size);

// Makes each page from `from` up to `to`, inside a reservation, commit
// itself, zero-filled, when the process first touches it, until
// OsEndCommitOnTouch: room for writes that the program does not make
// itself, such as a dialog's past its buffer. A page that the system cannot
// back still faults. Called at most once a run.
void OsCommitOnTouch(char* from, char* to);

// Ends OsCommitOnTouch: from here on a touch of a page that is not
// committed faults again, as any stray write of the program's own must.
// Only after OsCommitOnTouch.
void OsEndCommitOnTouch();

// Gives back a whole reservation; nothing for a null `Base`.
void OsReleaseMemory(OsMemory memory);

// ExitProcess: ends the process with `status`.
[[noreturn]] void OsExit(int32_t status);
