#pragma once
#include "base/arena.h"
#include "base/settings.h"
#include "dialog/names.h"
#include "os/os.h"

// The classic dialog is told 20480 characters: in UTF-16, 40960 bytes. The
// item dialog hands back every name, however many.
constexpr uint32_t SelectionChars = 20480;
// The size the dialog is told: OPENFILENAMEW without its three trailing
// fields, which every version of the dialog accepts.
constexpr uint32_t RequestRecordSize = 76;

// The dialog's filter list, then the empty text that ends it. Patterns
// with "|" are description and pattern texts in turn, as Windows programs
// write filters; without, one filter whose display text and pattern text
// are both `patterns`. As long as the patterns need: nothing is ever cut.
char16_t* BuildFilter(const char16_t* patterns, Arena& arena);

// The extension that the save dialog adds to a name typed without one: that
// of the first filter's first pattern when it is a plain "*.ext" (no
// wildcard or dot after "*."), whole, else null.
const char16_t* DefaultExtension(const char16_t* filter, Arena& arena);

// The SelectionChars zeroed units that the dialog writes its selection
// into, starting with `initialName` (absent: empty) so that the name box
// shows it.
char16_t* BuildSelectionBuffer(const char16_t* initialName, Arena& arena);

// The file dialog's request for `settings`, with the selection buffer made
// last of all. Every field not set here is zero. A save dialog gets its
// default extension.
OsDialogRequest FillRequest(const DialogSettings& settings, Arena& arena);

// The item dialog's options for `settings`: FolderOptions for the folder
// picker; else those of DialogFlags that both dialogs share, a file that
// must exist needing its path to, plus no change of the current folder and
// file-system items only.
uint32_t ItemOptions(const DialogSettings& settings);

// The item dialog's file types: one for each pair of texts of `filter`, the
// list that BuildFilter makes; none for an empty list.
OsFileType* FileTypes(const char16_t* filter, uint32_t& count, Arena& arena);

// The item dialog's request for `settings`: the class, ItemOptions, the
// file types with the first one selected (none for the folder picker), a
// save dialog's default extension, the folder, the title and the initial
// name in the name box.
OsItemRequest FillItemRequest(const DialogSettings& settings, Arena& arena);

// Shows the dialog that `settings` asks for (open, save, or the folder
// picker, whose folder is the one name), modal over OwnerWindow: the common
// item dialog, or the classic one where the system has no item dialog (the
// folder picker has no such fallback). Brings back the names for the line,
// in CodePage. Sets ExitCode to 1 before, and to 0 only when a choice comes
// back that can be written. The result has no names but after such a
// choice; its Message is set for every other end but a cancel: a choice
// that cannot be written, one too long for the classic dialog's buffer
// (refused by the dialog or run past it), an item outside the file system,
// a failure of the dialog with the system's code, no folder picker on the
// system, and no visible window station to show a dialog on, which is
// looked at first.
LineNames ShowDialog(DialogSettings& settings, Arena& arena);
