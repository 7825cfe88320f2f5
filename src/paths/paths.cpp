#include "paths/paths.h"
#include "os/os.h"
#include "base/text.h"

namespace {

constexpr uint32_t ResolveBufferSize = 260;  // MAX_PATH, the NUL included

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

}  // namespace

char* ResolveFullPath(const char* text, Arena& arena)
{
    if (IsEmpty(text)) {
        return CopyText(arena, "", 0);
    }
    char* buffer = New<char>(arena, ResolveBufferSize);
    uint32_t length = OsFullPathName(text, ResolveBufferSize, buffer);
    // Windows reports a path that does not fit with the size it needs, Wine
    // with 0: both leave the text as given.
    if (length >= 1 && length < ResolveBufferSize) {
        return buffer;
    }
    return CopyText(arena, text, Length(text));
}

char* DirPart(const char* text, Arena& arena)
{
    ptrdiff_t start = (text && text[0] == '"') ? 1 : 0;
    ptrdiff_t end = start;
    for (ptrdiff_t i = 0; text && text[i] && text[i] != '|'; i++) {
        if (IsSeparator(text[i])) {
            end = i + 1;
        }
    }
    return CopyText(arena, text + start, end - start);
}

char* NamePart(const char* text, Arena& arena)
{
    ptrdiff_t start = (text && text[0] == '"') ? 1 : 0;
    for (ptrdiff_t i = 0; text && text[i]; i++) {
        if (IsSeparator(text[i])) {
            start = i + 1;
        }
    }
    ptrdiff_t end = start;
    while (text && text[end] && text[end] != '"') {
        end++;
    }
    return CopyText(arena, text + start, end - start);
}

bool IsValidFileName(const char* text)
{
    if (IsEmpty(text)) {
        return false;
    }
    for (const unsigned char* at = (const unsigned char*)text; *at; at++) {
        switch (*at) {
        case '"': case '*': case '/': case ':': case '<':
        case '>': case '?': case '\\': case '|':
            return false;
        default:
            if (*at < 32) {
                return false;
            }
        }
    }
    return true;
}
