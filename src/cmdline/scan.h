#pragma once
#include <stdint.h>
#include "base/arena.h"
#include "base/settings.h"
#include "cmdline/params.h"

// Which code page the line is asked for: Utf8Encoding or ConsoleEncoding
// when an option asks for one (the last one given wins), else AnsiEncoding.
// It walks the parameters after PathAndFilters by the same rules as Scan
// (any letter case; nothing after an empty parameter), before anything else
// is read, since the answer decides how the parameters are read; then it
// puts the cursor back on the first.
LineEncoding FindLineOption(ParamReader& reader, Arena& arena);

// Reads every parameter after CommandString into `settings`: the path and
// patterns, the default flags, the kind of dialog, the options, the title
// and the initial name.
// CodePage must be set: a CommandString that it cannot hold exactly is
// refused, since the line would not be the caller's command. Returns null
// when the settings are complete, or the one-line message that the run must
// end with (status 255) when a parameter cannot be taken.
const char16_t* Scan(DialogSettings& settings, ParamReader& reader, Arena& arena);
