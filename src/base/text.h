#pragma once
#include <stddef.h>
#include "base/arena.h"

// Texts are NUL-terminated 8-bit strings in the ANSI code page, compared
// byte for byte. A null pointer is an absent text and counts as empty.

// Number of bytes before the NUL; 0 for null.
ptrdiff_t Length(const char* text);

// Number of units before the NUL at `at`, or before `end` when none comes
// first: for buffers that a system call filled and may have left without.
template <typename Unit>
ptrdiff_t BoundedLength(const Unit* at, const Unit* end)
{
    ptrdiff_t length = 0;
    while (at + length < end && at[length]) {
        length++;
    }
    return length;
}

// True for null and for "".
bool IsEmpty(const char* text);

// Byte-exact equality; null equals "".
bool Equal(const char* a, const char* b);

// A new NUL-terminated text holding the `length` bytes at `bytes`.
char* CopyText(Arena& arena, const char* bytes, ptrdiff_t length);

// A new text: `a` followed by `b` (either may be null).
char* Concat(Arena& arena, const char* a, const char* b);

// Builds one text at the free end of the arena, so a long result needs no
// guess at its size. Nothing else may take memory from the arena until
// Finish has been called.
struct TextBuilder {
    Arena* Memory;
    char* Beg;
    ptrdiff_t Len;
};

TextBuilder StartText(Arena& arena);
void Append(TextBuilder& builder, const char* bytes, ptrdiff_t length);
void Append(TextBuilder& builder, const char* text);
// Ends the text with a NUL, hands the used bytes over for good and returns
// the text.
char* Finish(TextBuilder& builder);
