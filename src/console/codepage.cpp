#include "console/codepage.h"
#include "base/text.h"
#include "os/os.h"

namespace {

// The bytes of `length` units, or -1 in `*byteLength` when the call fails.
// Room is made for the longest form and the unused tail handed back.
char* Narrow(uint32_t codePage, const char16_t* wide, ptrdiff_t length, Arena& arena, ptrdiff_t* byteLength)
{
    ptrdiff_t capacity = MostBytesPerUnit * length;
    char* bytes = New<char>(arena, capacity + 1);
    ptrdiff_t got = length ? OsNarrow(codePage, wide, (uint32_t)length, bytes, (uint32_t)capacity) : 0;
    *byteLength = length && !got ? -1 : got;
    bytes[got] = 0;  // the call writes the count and promises nothing after it
    // The block was the last one taken, so its tail can go back.
    char* end = bytes + (got + 1) + ArenaRedZone;
    ArenaPoison(end, arena.Beg - end);
    arena.Beg = end;
    return bytes;
}

}  // namespace

char16_t* Widen(uint32_t codePage, const char* bytes, ptrdiff_t length, Arena& arena, ptrdiff_t* wideLength)
{
    // A byte never makes more than one unit: a sequence of several bytes
    // makes one or two, and a byte that fits nothing makes one.
    char16_t* wide = New<char16_t>(arena, length + 1);
    *wideLength = length ? OsWiden(codePage, bytes, (uint32_t)length, wide, (uint32_t)length) : 0;
    wide[*wideLength] = 0;
    return wide;
}

char* NarrowExactly(uint32_t codePage, const char16_t* wide, ptrdiff_t length, Arena& arena, ptrdiff_t* byteLength)
{
    char* bytes = Narrow(codePage, wide, length, arena, byteLength);
    if (*byteLength < 0) {
        return nullptr;
    }
    // Exact means that the code page reads the bytes back as the very same
    // units: a default character, a replacement or a look-alike never
    // passes, whatever flags the code page allowed the conversion.
    Arena scratch = arena;
    ptrdiff_t backLength;
    char16_t* back = Widen(codePage, bytes, *byteLength, scratch, &backLength);
    if (backLength != length) {
        return nullptr;
    }
    for (ptrdiff_t i = 0; i < length; i++) {
        if (back[i] != wide[i]) {
            return nullptr;
        }
    }
    return bytes;
}

char* NarrowForMessage(uint32_t codePage, const char16_t* text, Arena& arena)
{
    // A failed call leaves the text empty.
    ptrdiff_t byteLength;
    return Narrow(codePage, text, Length(text), arena, &byteLength);
}
