#pragma once
#include "base/arena.h"

// The absolute form of `text` as the system gives it, against the current
// directory. The system is asked at most once, never for an empty or absent
// text (which gives ""), and with a 260-character buffer: a result that
// fails or would need 260 characters or more leaves the text as it was.
char16_t* ResolveFullPath(const char16_t* text, Arena& arena);

// The text up to and including its last separator ("\" or "/"), looking no
// further than the first vertical bar. A leading double quote is skipped.
// "" when there is no separator.
char16_t* DirPart(const char16_t* text, Arena& arena);

// The text after its last separator, up to the next double quote. A leading
// double quote is skipped.
char16_t* NamePart(const char16_t* text, Arena& arena);

// True for a pattern list without "|", which is one filter named after its
// patterns; with "|", for texts between the bars that pair up as a
// filter's description and its patterns, none of them empty.
bool IsValidPatternList(const char16_t* text);

// True when `text` can stand as a bare file name: not empty, and no control
// character and none of " * / : < > ? \ |. Every other character passes.
bool IsValidFileName(const char16_t* text);
