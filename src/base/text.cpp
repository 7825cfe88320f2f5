#include "base/text.h"

ptrdiff_t Length(const char* text)
{
    ptrdiff_t length = 0;
    if (text) {
        while (text[length]) {
            length++;
        }
    }
    return length;
}

bool IsEmpty(const char* text)
{
    return !text || !*text;
}

bool Equal(const char* a, const char* b)
{
    a = a ? a : "";
    b = b ? b : "";
    for (; *a == *b; a++, b++) {
        if (!*a) {
            return true;
        }
    }
    return false;
}

char* CopyText(Arena& arena, const char* bytes, ptrdiff_t length)
{
    char* copy = New<char>(arena, length + 1);
    for (ptrdiff_t i = 0; i < length; i++) {
        copy[i] = bytes[i];
    }
    return copy;
}

char* Concat(Arena& arena, const char* a, const char* b)
{
    TextBuilder builder = StartText(arena);
    Append(builder, a);
    Append(builder, b);
    return Finish(builder);
}

TextBuilder StartText(Arena& arena)
{
    return TextBuilder{&arena, arena.Beg, 0};
}

void Append(TextBuilder& builder, const char* bytes, ptrdiff_t length)
{
    // One byte is always kept back for the NUL that Finish writes.
    if (length < 0 || length > builder.Memory->End - builder.Beg - builder.Len - 1 - ArenaRedZone) {
        ArenaExhausted(*builder.Memory);
    }
    char* to = builder.Beg + builder.Len;
    ArenaUnpoison(to, length + 1);
    for (ptrdiff_t i = 0; i < length; i++) {
        to[i] = bytes[i];
    }
    builder.Len += length;
}

void Append(TextBuilder& builder, const char* text)
{
    Append(builder, text, Length(text));
}

char* Finish(TextBuilder& builder)
{
    if (builder.Memory->End - builder.Beg - builder.Len - 1 - ArenaRedZone < 0) {
        ArenaExhausted(*builder.Memory);
    }
    ArenaUnpoison(builder.Beg + builder.Len, 1);
    builder.Beg[builder.Len] = 0;
    builder.Memory->Beg = builder.Beg + builder.Len + 1 + ArenaRedZone;
    return builder.Beg;
}
