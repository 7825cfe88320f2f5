#include "paths/paths.h"
#include "os/os.h"
#include "base/text.h"

namespace {

constexpr uint32_t ResolveBufferSize = 260;  // MAX_PATH, the NUL included

}  // namespace

char16_t* ResolveFullPath(const char16_t* text, Arena& arena)
{
    if (IsEmpty(text)) {
        return CopyText(arena, u"", 0);
    }
    char16_t* buffer = New<char16_t>(arena, ResolveBufferSize);
    uint32_t length = OsFullPathName(text, ResolveBufferSize, buffer);
    // A path that does not fit is reported with the size it needs, or (by
    // some versions of Wine) as a failure: both leave the text as given.
    if (length >= 1 && length < ResolveBufferSize) {
        return buffer;
    }
    return CopyText(arena, text, Length(text));
}

char16_t* DirPart(const char16_t* text, Arena& arena)
{
    ptrdiff_t start = (text && text[0] == u'"') ? 1 : 0;
    ptrdiff_t end = start;
    for (ptrdiff_t i = 0; text && text[i] && text[i] != u'|'; i++) {
        if (IsSeparator(text[i])) {
            end = i + 1;
        }
    }
    return CopyText(arena, text + start, end - start);
}

char16_t* NamePart(const char16_t* text, Arena& arena)
{
    ptrdiff_t start = (text && text[0] == u'"') ? 1 : 0;
    for (ptrdiff_t i = 0; text && text[i]; i++) {
        if (IsSeparator(text[i])) {
            start = i + 1;
        }
    }
    ptrdiff_t end = start;
    while (text && text[end] && text[end] != u'"') {
        end++;
    }
    return CopyText(arena, text + start, end - start);
}

bool IsValidPatternList(const char16_t* text)
{
    // The dialog takes an empty text for the end of the list, so an empty
    // description would hide every filter from it on: none may be empty.
    ptrdiff_t texts = 0;
    bool bars = false;
    for (const char16_t* start = text; text; text++) {
        if (*text && *text != u'|') {
            continue;
        }
        texts++;
        if (text == start && (bars || *text)) {
            return false;
        }
        if (!*text) {
            break;
        }
        bars = true;
        start = text + 1;
    }
    return !bars || texts % 2 == 0;
}

bool IsValidFileName(const char16_t* text)
{
    if (IsEmpty(text)) {
        return false;
    }
    for (const char16_t* at = text; *at; at++) {
        switch (*at) {
        case u'"': case u'*': case u'/': case u':': case u'<':
        case u'>': case u'?': case u'\\': case u'|':
            return false;
        default:
            if (*at < 32) {
                return false;
            }
        }
    }
    return true;
}
