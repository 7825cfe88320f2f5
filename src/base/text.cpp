#include "base/text.h"

bool IsEmpty(const char16_t* text)
{
    return !text || !*text;
}

bool Equal(const char16_t* text, const char* ascii)
{
    text = text ? text : u"";
    ascii = ascii ? ascii : "";
    for (; *text == (unsigned char)*ascii; text++, ascii++) {
        if (!*text) {
            return true;
        }
    }
    return false;
}

char16_t* CopyText(Arena& arena, const char16_t* units, ptrdiff_t length)
{
    char16_t* copy = New<char16_t>(arena, length + 1);
    for (ptrdiff_t i = 0; i < length; i++) {
        copy[i] = units[i];
    }
    return copy;
}

char16_t* Concat(Arena& arena, const char* ascii, const char16_t* text)
{
    ptrdiff_t asciiLength = Length(ascii);
    ptrdiff_t textLength = Length(text);
    char16_t* joined = New<char16_t>(arena, asciiLength + textLength + 1);
    for (ptrdiff_t i = 0; i < asciiLength; i++) {
        joined[i] = (unsigned char)ascii[i];
    }
    for (ptrdiff_t i = 0; i < textLength; i++) {
        joined[asciiLength + i] = text[i];
    }
    return joined;
}
