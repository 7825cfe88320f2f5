#pragma once
#include <stddef.h>
#include "base/arena.h"

// The program's texts are NUL-terminated UTF-16, as the system keeps them:
// parameters, paths and names are never squeezed through a code page on
// their way to the dialog, and a decision such as "is this a separator" is
// made on whole characters, never on a byte that may be half of one. Only
// the output line and the messages are bytes, in the code page they are
// written in. A null pointer is an absent text and counts as empty.

// Number of units before the NUL; 0 for null.
template <typename Unit>
ptrdiff_t Length(const Unit* text)
{
    ptrdiff_t length = 0;
    if (text) {
        while (text[length]) {
            length++;
        }
    }
    return length;
}

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

// True for null and for an empty text.
bool IsEmpty(const char16_t* text);

// Equality with the ASCII text `ascii`, unit for byte; null equals "".
bool Equal(const char16_t* text, const char* ascii);

// Both separators of a path; the system takes either.
inline bool IsSeparator(char16_t c)
{
    return c == u'\\' || c == u'/';
}

// A new NUL-terminated text holding the `length` units at `units`.
char16_t* CopyText(Arena& arena, const char16_t* units, ptrdiff_t length);

// A new text: the ASCII text `ascii` followed by `text` (either may be
// null). The program's own words are ASCII and kept as bytes, which halves
// what they take in the executable.
char16_t* Concat(Arena& arena, const char* ascii, const char16_t* text);

// Builds one text at the free end of the arena, so a long result needs no
// guess at its size. Nothing else may take memory from the arena until
// Finish has been called.
template <typename Unit>
struct TextBuilder {
    Arena* Memory;
    Unit* Beg;
    ptrdiff_t Len;
};

template <typename Unit>
TextBuilder<Unit> StartText(Arena& arena)
{
    char* at = arena.Beg + (-(ptrdiff_t)(size_t)arena.Beg & (ptrdiff_t)(alignof(Unit) - 1));
    return TextBuilder<Unit>{&arena, reinterpret_cast<Unit*>(at), 0};
}

template <typename Unit>
void Append(TextBuilder<Unit>& builder, const Unit* units, ptrdiff_t length)
{
    // One unit is always kept back for the NUL that Finish writes.
    Arena& arena = *builder.Memory;
    ptrdiff_t room = (arena.End - reinterpret_cast<char*>(builder.Beg) - ArenaRedZone) / (ptrdiff_t)sizeof(Unit);
    if (length < 0 || length > room - builder.Len - 1) {
        ArenaExhausted(arena);
    }
    Unit* to = builder.Beg + builder.Len;
    EnsureCommitted(arena, reinterpret_cast<char*>(to + length + 1));
    ArenaUnpoison(reinterpret_cast<char*>(to), (length + 1) * (ptrdiff_t)sizeof(Unit));
    for (ptrdiff_t i = 0; i < length; i++) {
        to[i] = units[i];
    }
    builder.Len += length;
}

template <typename Unit>
void Append(TextBuilder<Unit>& builder, const Unit* text)
{
    Append(builder, text, Length(text));
}

// Ends the text with a NUL, hands the used units over for good and returns
// the text.
template <typename Unit>
Unit* Finish(TextBuilder<Unit>& builder)
{
    Append(builder, builder.Beg, 0);  // makes room for the NUL
    builder.Beg[builder.Len] = 0;
    builder.Memory->Beg = reinterpret_cast<char*>(builder.Beg + builder.Len + 1) + ArenaRedZone;
    return builder.Beg;
}
