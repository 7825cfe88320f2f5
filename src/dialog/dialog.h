#pragma once
#include "app/arena.h"
#include "app/settings.h"

// Shows the file-open dialog for `settings`, modal over OwnerWindow. Sets
// ExitCode to 1 before and to 0 when a choice comes back; returns the
// selection buffer then, null after a cancel or a failure of the dialog.
const char* ShowDialog(DialogSettings& settings, Arena& arena);

// Writes the output line for `selection` to standard output, in one write.
void WriteSelection(const char* selection, const DialogSettings& settings, Arena& arena);
