#pragma once
#include <stdint.h>

// OFN_* bits that the options can put into DialogFlags.
constexpr uint32_t OfnOverwritePrompt = 0x2;
constexpr uint32_t OfnHideReadOnly = 0x4;
constexpr uint32_t OfnAllowMultiSelect = 0x200;
constexpr uint32_t OfnPathMustExist = 0x800;
constexpr uint32_t OfnFileMustExist = 0x1000;
constexpr uint32_t OfnNoReadOnlyReturn = 0x8000;
constexpr uint32_t OfnExplorer = 0x80000;

// OutputFlags bits.
constexpr uint32_t QuoteNames = 1;
constexpr uint32_t NoLineEnd = 2;
// Each name on a line of its own after the command, so that no line grows
// with the selection past what cmd can read.
constexpr uint32_t LinePerName = 4;

// Which dialog a run shows; each option that asks for one sets its own.
enum DialogKind : uint32_t {
    OpenOne,       // the Open dialog, one file
    OpenSeveral,   // the Open dialog, one file or several
    SaveOne,       // the Save As dialog
    PickOneFolder  // the folder picker
};

// Whose code page the line and the messages are written in: the system's
// ANSI one, as the line has always been, the console's, or UTF-8.
enum LineEncoding : uint32_t { AnsiEncoding, ConsoleEncoding, Utf8Encoding };

// FOS_* bits of the item dialog that the program sets of its own. The
// dialog's bits for the options' flags have the classic flags' values
// (_FILEOPENDIALOGOPTIONS and OPENFILENAMEW), so those carry over as they
// are.
constexpr uint32_t FosNoChangeDir = 0x8;
constexpr uint32_t FosPickFolders = 0x20;
constexpr uint32_t FosForceFileSystem = 0x40;

// The folder picker's: the file dialog's defaults (no change of the current
// folder, path and name must exist), folders only, and only those with a
// path, since the line must name one.
constexpr uint32_t FolderOptions =
    FosNoChangeDir | FosPickFolders | FosForceFileSystem | OfnPathMustExist | OfnFileMustExist;

// Exit statuses.
constexpr int32_t StatusChosen = 0;
constexpr int32_t StatusCancelled = 1;
constexpr int32_t StatusBadCall = 255;

// Everything a run decides, filled stage by stage. Texts are absent (null)
// until a stage sets them.
struct DialogSettings {
    const char16_t* CommandString;
    const char16_t* InitialDir;
    const char16_t* Patterns;
    const char16_t* WindowTitle;
    const char16_t* InitialName;
    DialogKind Kind;
    uint32_t DialogFlags;
    uint32_t OutputFlags;
    LineEncoding Encoding;
    uint32_t CodePage;  // of the line and the messages, as Encoding says
    void* OwnerWindow;  // HWND, or null when the console window was not found
    int32_t ExitCode;
};
