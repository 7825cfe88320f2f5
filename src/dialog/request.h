#pragma once
#include "base/arena.h"
#include "base/settings.h"
#include "dialog/names.h"
#include "os/os.h"

// The dialog is told 20480 characters: in UTF-16, 40960 bytes.
constexpr uint32_t SelectionChars = 20480;
// The size the dialog is told: OPENFILENAMEW without its three trailing
// fields, which every version of the dialog accepts.
constexpr uint32_t RequestRecordSize = 76;

// The dialog's filter list: one filter whose display text and pattern text
// are both `patterns`, then the empty text that ends the list. As long as
// the patterns need: nothing is ever cut.
char16_t* BuildFilter(const char16_t* patterns, Arena& arena);

// The SelectionChars zeroed units that the dialog writes its selection
// into, starting with `initialName` (absent: empty) so that the name box
// shows it.
char16_t* BuildSelectionBuffer(const char16_t* initialName, Arena& arena);

// The request for `settings`, with the selection buffer made last of all.
// Every field not set here is zero.
OsDialogRequest FillRequest(const DialogSettings& settings, Arena& arena);

// Shows the file-open dialog for `settings`, modal over OwnerWindow, and
// brings back the names for the line, in CodePage. Sets ExitCode to 1
// before, and to 0 only when a choice comes back that can be written. The
// result has no names after a cancel or a failure of the dialog; its
// Message is set when the dialog gave a choice that cannot be written, or
// one that ran past its buffer.
LineNames ShowDialog(DialogSettings& settings, Arena& arena);
