#pragma once
#include "base/arena.h"

// Hands out the command line's parameters from left to right. The blank is
// the only separator, a double quote groups, nothing escapes, and the first
// token (the program's name) is skipped. The line is the UTF-16 one, split
// once: a look-alike that the ANSI line would turn into a quote or a blank
// can never move a split.
struct ParamReader {
    const char16_t** Params;  // every parameter after the program's name
    int Count;
    int Cursor;  // number of the next parameter to hand out
};

// Splits the process's UTF-16 command line into its parameters, once, in
// time and memory in proportion to the line, and sets the cursor to the
// first.
void StartParamReader(ParamReader& reader, Arena& arena);

// The parameter at the cursor, without its enclosing quotes, and moves the
// cursor on. Past the last parameter it returns "" and leaves the cursor
// alone, so an empty quoted parameter is the only empty text that moves it.
const char16_t* NextParam(ParamReader& reader);
