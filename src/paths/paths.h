#pragma once
#include "base/arena.h"

// The absolute form of the folder `folder` (DirPart of PathAndFilters), as
// the system gives it against the current directory, ending in a separator;
// for "" the current directory itself. Only the folder is resolved, so that
// the system's folding of a path (trailing dots dropped, say) never touches
// a pattern. As long as the system says it is: never cut. When the system
// cannot resolve it, the folder as given.
char16_t* ResolveFullPath(const char16_t* folder, Arena& arena);

// The folder that begins PathAndFilters: the text up to and including its
// last separator ("\" or "/") before the first vertical bar, or the drive
// (an ASCII letter and a colon, "C:", which the system takes as that
// drive's current directory) when there is none. A leading double quote is
// skipped. "" when there is neither.
char16_t* DirPart(const char16_t* text, Arena& arena);

// The pattern list of PathAndFilters: what follows DirPart, up to the next
// double quote.
char16_t* NamePart(const char16_t* text, Arena& arena);

// True for a pattern list without "|", which is one filter named after its
// patterns; with "|", for texts between the bars that pair up as a
// filter's description and its patterns, none of them empty and none
// holding a separator: a folder goes before the first bar.
bool IsValidPatternList(const char16_t* text);

// True when `text` can stand as a bare file name: not empty, and no control
// character and none of " * / : < > ? \ |. Every other character passes.
bool IsValidFileName(const char16_t* text);
