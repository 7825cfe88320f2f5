#pragma once
#include "base/arena.h"

// The absolute form of `text` as the system gives it, against the current
// directory. The system is asked at most once, never for an empty or absent
// text (which gives ""), and with a 260-byte buffer: a result that fails or
// would need 260 bytes or more leaves the text as it was.
char* ResolveFullPath(const char* text, Arena& arena);

// The text up to and including its last separator ("\" or "/"), looking no
// further than the first vertical bar. A leading double quote is skipped.
// "" when there is no separator.
char* DirPart(const char* text, Arena& arena);

// The text after its last separator, up to the next double quote. A leading
// double quote is skipped.
char* NamePart(const char* text, Arena& arena);

// True when `text` can stand as a bare file name: not empty, and no control
// character and none of " * / : < > ? \ |. Bytes above 127 pass.
bool IsValidFileName(const char* text);
