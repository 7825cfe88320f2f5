#pragma once
#include "base/arena.h"
#include "base/settings.h"
#include "dialog/names.h"

// The output line: `command` (CommandString in the line's code page), a
// blank when `separate` (CommandString does not end in "="), the full names (quoted unless QuoteNames is
// clear) joined by blanks, and CR LF unless NoLineEnd is set. With
// LinePerName, one such line for each name, all but the last ended by CR LF
// whatever NoLineEnd says. `names` holds at least one name. The names are
// taken as they are: nothing inside one is looked at.
char* BuildOutputLine(const char* command, ptrdiff_t commandLength, bool separate, const LineNames& names,
                      uint32_t outputFlags, Arena& arena);

// Writes the output line (or lines) for `names` to standard output, in one
// write, with CommandString in CodePage.
void WriteSelection(const LineNames& names, const DialogSettings& settings, Arena& arena);
