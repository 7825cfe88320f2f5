#pragma once
#include "base/arena.h"
#include "base/settings.h"
#include "dialog/names.h"
#include "os/os.h"

constexpr ptrdiff_t FilterBlockSize = 1024;
// The dialog is told 20480 characters: in UTF-16, the whole buffer.
constexpr uint32_t SelectionChars = 20480;
// The size the dialog is told: OPENFILENAMEW without its three trailing
// fields, which every version of the dialog accepts.
constexpr uint32_t RequestRecordSize = 76;

// The dialog's filter list: one filter whose display text and pattern text
// are both `patterns`, then the empty text that ends the list. The block is
// 1024 zeroed bytes, made larger when a long pattern list would not fit, so
// nothing is ever cut or written past it.
char* BuildFilterBlock(const char* patterns, Arena& arena);

// The SelectionChars zeroed UTF-16 units (40960 bytes) that the dialog
// writes its selection into, starting with `initialName`
// (absent: empty) so that the name box shows it.
char16_t* BuildSelectionBuffer(const char* initialName, Arena& arena);

// The request for `settings`, with the filter list already built: every
// text in UTF-16, converted from the ANSI code page, and the selection
// buffer made last of all. Every field not set here is zero.
OsDialogRequest FillRequest(const DialogSettings& settings, const char* filterBlock, Arena& arena);

// Shows the file-open dialog for `settings`, modal over OwnerWindow, and
// decodes what comes back. Sets ExitCode to 1 before, and to 0 only when a
// choice comes back that can be written. The result's List is null after a
// cancel or a failure of the dialog; its Message is set when the dialog gave
// a choice that cannot be written, or one that ran past its buffer.
AnsiSelection ShowDialog(DialogSettings& settings, Arena& arena);
