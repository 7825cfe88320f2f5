#pragma once
#include "base/arena.h"
#include "base/settings.h"
#include "os/os.h"

constexpr ptrdiff_t FilterBlockSize = 1024;
constexpr ptrdiff_t SelectionBufferSize = 40960;
// The dialog is told half of what the buffer holds.
constexpr uint32_t SelectionChars = 20480;
// The size the dialog is told: OPENFILENAMEA without its three trailing
// fields, which every version of the dialog accepts.
constexpr uint32_t RequestRecordSize = 76;

// The dialog's filter list: one filter whose display text and pattern text
// are both `patterns`, then the empty text that ends the list. The block is
// 1024 zeroed bytes, made larger when a long pattern list would not fit, so
// nothing is ever cut or written past it.
char* BuildFilterBlock(const char* patterns, Arena& arena);

// The SelectionBufferSize zeroed bytes that the dialog writes its selection
// into, starting with `initialName` (absent: empty) so that the name box
// shows it.
char* BuildSelectionBuffer(const char* initialName, Arena& arena);

// The request for `settings`, with the filter list and selection buffer
// already built. Every field not set here is zero.
OsDialogRequest FillRequest(const DialogSettings& settings, const char* filterBlock, char* selectionBuffer);

// Shows the file-open dialog for `settings`, modal over OwnerWindow. Sets
// ExitCode to 1 before and to 0 when a choice comes back; returns the
// selection buffer (SelectionBufferSize bytes) then, null after a cancel or
// a failure of the dialog.
const char* ShowDialog(DialogSettings& settings, Arena& arena);
