#pragma once
#include "base/arena.h"
#include "base/settings.h"

// The output line for what the dialog left in `selection`, a buffer of
// `size` bytes: CommandString, a blank unless it ends in "=", the full names
// (quoted unless QuoteNames is clear) joined by blanks, and CR LF unless
// NoLineEnd is set. Nothing past the buffer is read, even where the dialog
// left no NUL.
char* BuildOutputLine(const char* selection, ptrdiff_t size, const DialogSettings& settings, Arena& arena);

// Writes the output line for `selection` (`size` bytes) to standard output,
// in one write.
void WriteSelection(const char* selection, ptrdiff_t size, const DialogSettings& settings, Arena& arena);
