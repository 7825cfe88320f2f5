#pragma once
#include "base/arena.h"

// Between the program's ANSI texts and the dialog's UTF-16 ones. Every
// conversion goes through the system's ANSI code page, as the ANSI form of
// the dialog converts its own texts.

// `length` bytes of `text` (NULs included) as UTF-16, with one more zero
// unit after them; `*wideLength` (if given) gets the count of units.
char16_t* Widen(const char* text, ptrdiff_t length, Arena& arena, ptrdiff_t* wideLength = nullptr);

// `length` units as an ANSI text (NUL-terminated, `*ansiLength` bytes), or
// null when some character has no exact form in the code page: nothing
// best-fitted, nothing replaced, and the bytes read back as the same units.
char* NarrowExactly(const char16_t* wide, ptrdiff_t length, Arena& arena, ptrdiff_t* ansiLength);

// The same, for a message: a character without an exact form becomes the
// code page's default character.
char* NarrowForMessage(const char16_t* wide, ptrdiff_t length, Arena& arena);

// A full path as an ANSI text that names the same file: the path itself
// where the code page holds it; otherwise each component that it cannot
// hold is replaced by its short (8.3) alias. Null when some such component
// has no alias the code page holds, or the path does not exist.
char* AnsiPath(const char16_t* path, ptrdiff_t length, Arena& arena, ptrdiff_t* ansiLength);

// What the dialog's UTF-16 selection becomes: the same layout in ANSI bytes
// (a full path and its NUL; or a folder, NUL, the names, each with its NUL,
// and one more NUL) for the output line, or the one-line message that says
// why no line can be written.
struct AnsiSelection {
    const char* List;
    ptrdiff_t Size;
    const char* Message;
};

// Decodes the `chars` units that the dialog left in `buffer`. `multiple`:
// the request allowed several names.
AnsiSelection DecodeSelection(const char16_t* buffer, ptrdiff_t chars, bool multiple, Arena& arena);

extern const char SelectionTooLong[];
extern const char NameWithoutAnsiForm[];
