#pragma once
#include <stddef.h>
#include <stdint.h>
#include "base/arena.h"

// Between the program's UTF-16 texts and the bytes of a code page: the ANSI
// one, the console's, or UTF-8.

// The most bytes one UTF-16 unit can take in any code page (GB18030 takes
// four for some characters that UTF-16 holds in one unit).
constexpr ptrdiff_t MostBytesPerUnit = 4;

// `length` bytes (NULs included) in `codePage` as UTF-16, `*wideLength`
// units, with a zero unit after them.
char16_t* Widen(uint32_t codePage, const char* bytes, ptrdiff_t length, Arena& arena, ptrdiff_t* wideLength);

// `length` units in `codePage` (NUL-terminated, `*byteLength` bytes), or
// null when some character has no exact form there: nothing best-fitted,
// nothing replaced, and the bytes read back as the very same units.
char* NarrowExactly(uint32_t codePage, const char16_t* wide, ptrdiff_t length, Arena& arena, ptrdiff_t* byteLength);

// A whole text in `codePage`, for a message: what has no exact form becomes
// whatever the code page puts in its place.
char* NarrowForMessage(uint32_t codePage, const char16_t* text, Arena& arena);
