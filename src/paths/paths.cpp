#include "paths/paths.h"
#include "os/os.h"
#include "base/text.h"

namespace {

// A path fits this for most folders; a longer one gets what the system asks.
constexpr uint32_t ResolveBufferSize = 260;

// Where DirPart begins: after a leading double quote.
ptrdiff_t FolderStart(const char16_t* text)
{
    return (text && text[0] == u'"') ? 1 : 0;
}

// Where DirPart ends and NamePart begins.
ptrdiff_t FolderEnd(const char16_t* text)
{
    ptrdiff_t start = FolderStart(text);
    ptrdiff_t end = start;
    for (ptrdiff_t i = 0; text && text[i] && text[i] != u'|'; i++) {
        if (IsSeparator(text[i])) {
            end = i + 1;
        }
    }
    // "C:*.txt": the current directory of drive C:. Only a letter names a
    // drive; "1:" or "|:" is text like any other.
    char16_t drive = text ? (char16_t)(text[start] | 0x20) : 0;
    if (end == start && drive >= u'a' && drive <= u'z' && text[start + 1] == u':') {
        end = start + 2;
    }
    return end;
}

}  // namespace

char16_t* ResolveFullPath(const char16_t* folder, Arena& arena)
{
    const char16_t* asked = IsEmpty(folder) ? u"." : folder;
    uint32_t size = ResolveBufferSize;
    for (int tries = 0; tries < 2; tries++) {
        // One unit more than the system is told, for a final separator.
        char16_t* buffer = New<char16_t>(arena, size + 1);
        uint32_t length = OsFullPathName(asked, size, buffer);
        if (length == 0) {
            break;
        }
        if (length < size) {
            // Nothing after the path's NUL is the system's promise: the
            // separator goes over it, and a NUL of its own after.
            if (!IsSeparator(buffer[length - 1])) {
                buffer[length++] = u'\\';
            }
            buffer[length] = 0;
            return buffer;
        }
        size = length;  // what it needs, the NUL included
    }
    return CopyText(arena, folder, Length(folder));
}

char16_t* DirPart(const char16_t* text, Arena& arena)
{
    ptrdiff_t start = FolderStart(text);
    return CopyText(arena, text + start, FolderEnd(text) - start);
}

char16_t* NamePart(const char16_t* text, Arena& arena)
{
    ptrdiff_t start = FolderEnd(text);
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
    bool separators = false;
    for (const char16_t* start = text; text; text++) {
        if (*text && *text != u'|') {
            separators |= IsSeparator(*text);
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
    return !bars || (texts % 2 == 0 && !separators);
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
