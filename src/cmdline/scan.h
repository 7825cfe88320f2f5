#pragma once
#include "base/arena.h"
#include "base/settings.h"
#include "cmdline/params.h"

// Reads every parameter after CommandString into `settings`: the path and
// patterns, the default flags, the options, the title and the initial name.
// Returns null when the settings are complete, or the one-line message that
// the run must end with (status 255) when a parameter cannot be taken.
const char* Scan(DialogSettings& settings, ParamReader& reader, Arena& arena);
