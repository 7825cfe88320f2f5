#pragma once
#include "base/arena.h"

// Hands out the command line's parameters from left to right. The blank is
// the only separator, a double quote groups, nothing escapes, and the first
// token (the program's name) is skipped. The line is asked of the system
// afresh on every call: the UTF-16 one, or the ANSI one read in the ANSI
// code page, which is what the program has always split.
struct ParamReader {
    int Cursor;  // number of the next parameter to hand out
    bool Wide;   // read the UTF-16 line rather than the ANSI one
};

// Sets the cursor to the first parameter of the chosen line.
void StartParamReader(ParamReader& reader, bool wide);

// The parameter at the cursor as a new text, without its enclosing quotes,
// and moves the cursor on. Past the last parameter it returns "" and leaves
// the cursor alone, so an empty quoted parameter is the only empty text that
// moves it.
char16_t* NextParam(ParamReader& reader, Arena& arena);
