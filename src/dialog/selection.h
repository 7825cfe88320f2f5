#pragma once
#include "app/arena.h"
#include "app/settings.h"

constexpr ptrdiff_t FilterBlockSize = 1024;
constexpr ptrdiff_t SelectionBufferSize = 40960;
// The dialog is told half of what the buffer holds.
constexpr unsigned long SelectionChars = 20480;

// The dialog's filter list: one filter whose display text and pattern text
// are both `patterns`, then the empty text that ends the list. The block is
// 1024 zeroed bytes, made larger when a long pattern list would not fit, so
// nothing is ever cut or written past it.
char* BuildFilterBlock(const char* patterns, Arena& arena);

// The 40960-byte zeroed buffer that the dialog writes its selection into,
// starting with `initialName` (absent: empty) so that the name box shows it.
char* BuildSelectionBuffer(const char* initialName, Arena& arena);

// The output line for what the dialog left in `selection`: CommandString,
// a blank unless it ends in "=", the full names (quoted unless QuoteNames is
// clear) joined by blanks, and CR LF unless NoLineEnd is set.
char* BuildOutputLine(const char* selection, const DialogSettings& settings, Arena& arena);
