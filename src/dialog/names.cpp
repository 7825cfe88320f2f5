#include "dialog/names.h"
#include "base/text.h"
#include "os/os.h"

const char SelectionTooLong[] = "Selection too long: pick fewer files";
const char NameWithoutAnsiForm[] = "Name not in the ANSI code page and without a short name: ";

namespace {

bool IsSeparator(char16_t c)
{
    return c == u'\\' || c == u'/';
}

bool SameUnits(const char16_t* a, const char16_t* b, ptrdiff_t length)
{
    for (ptrdiff_t i = 0; i < length; i++) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

// `*ansiLength` is -1 when the call failed.
char* Narrow(const char16_t* wide, ptrdiff_t length, Arena& arena, ptrdiff_t* ansiLength)
{
    // A double-byte code page needs at most two bytes for one unit.
    char* bytes = New<char>(arena, 2 * length + 1);
    *ansiLength = length ? OsNarrow(wide, (uint32_t)length, bytes, (uint32_t)(2 * length)) : 0;
    if (length && !*ansiLength) {
        *ansiLength = -1;
    }
    return bytes;
}

// The path's components one by one, with the separator after each.
struct Component {
    const char16_t* At;
    ptrdiff_t Length;
    char16_t Separator;  // 0 after the last
};

Component NextComponent(const char16_t*& at, const char16_t* end)
{
    Component c = {at, 0, 0};
    while (at < end && !IsSeparator(*at)) {
        at++;
    }
    c.Length = at - c.At;
    if (at < end) {
        c.Separator = *at++;
    }
    return c;
}

// The alias form of `path`, or null when the system has none for it.
char16_t* ShortPath(const char16_t* path, ptrdiff_t length, Arena& arena, ptrdiff_t* shortLength)
{
    // An alias can be longer than its name ("a.b.c" may become "ABC~1.C"),
    // so the first guess may not do; the call then says what will.
    uint32_t capacity = (uint32_t)length + 64;
    for (int tries = 0; tries < 2; tries++) {
        char16_t* buffer = New<char16_t>(arena, capacity);
        uint32_t got = OsShortPath(path, buffer, capacity);
        if (got > 0 && got < capacity) {
            *shortLength = got;
            return buffer;
        }
        if (got == 0) {
            return nullptr;
        }
        capacity = got;
    }
    return nullptr;
}

// The answer for a path that has no exact ANSI form.
AnsiSelection NoAnsiForm(const char16_t* path, ptrdiff_t length, Arena& arena)
{
    return AnsiSelection{nullptr, 0, Concat(arena, NameWithoutAnsiForm, NarrowForMessage(path, length, arena))};
}

}  // namespace

char16_t* Widen(const char* text, ptrdiff_t length, Arena& arena, ptrdiff_t* wideLength)
{
    // One byte never makes more than one unit in an ANSI code page.
    char16_t* wide = New<char16_t>(arena, length + 1);
    ptrdiff_t got = length ? OsWiden(text, (uint32_t)length, wide, (uint32_t)length) : 0;
    if (wideLength) {
        *wideLength = got;
    }
    return wide;
}

char* NarrowExactly(const char16_t* wide, ptrdiff_t length, Arena& arena, ptrdiff_t* ansiLength)
{
    char* bytes = Narrow(wide, length, arena, ansiLength);
    if (*ansiLength < 0) {
        return nullptr;
    }
    // Exact means that the code page reads the bytes back as the very same
    // characters: a default character or a look-alike never passes.
    ptrdiff_t backLength;
    char16_t* back = Widen(bytes, *ansiLength, arena, &backLength);
    if (backLength != length || !SameUnits(back, wide, length)) {
        return nullptr;
    }
    return bytes;
}

char* NarrowForMessage(const char16_t* wide, ptrdiff_t length, Arena& arena)
{
    ptrdiff_t ansiLength;
    return Narrow(wide, length, arena, &ansiLength);
}

char* AnsiPath(const char16_t* path, ptrdiff_t length, Arena& arena, ptrdiff_t* ansiLength)
{
    if (char* exact = NarrowExactly(path, length, arena, ansiLength)) {
        return exact;
    }
    // The path is made zero-terminated for the system, which needs that.
    char16_t* whole = New<char16_t>(arena, length + 1);
    for (ptrdiff_t i = 0; i < length; i++) {
        whole[i] = path[i];
    }
    ptrdiff_t aliasLength;
    char16_t* alias = ShortPath(whole, length, arena, &aliasLength);
    if (!alias) {
        return nullptr;
    }

    // Component by component: the name where the code page holds it, so
    // that only what must change does; its alias where it does not. Either
    // takes at most two bytes a unit.
    char* result = New<char>(arena, 2 * (length + aliasLength) + 1);
    ptrdiff_t used = 0;
    const char16_t* longAt = path;
    const char16_t* shortAt = alias;
    const char16_t* longEnd = path + length;
    const char16_t* shortEnd = alias + aliasLength;
    for (;;) {
        Component name = NextComponent(longAt, longEnd);
        Component other = NextComponent(shortAt, shortEnd);
        if ((name.Separator == 0) != (other.Separator == 0)) {
            return nullptr;  // the two do not line up: no way to tell which is which
        }
        ptrdiff_t partLength;
        char* part = NarrowExactly(name.At, name.Length, arena, &partLength);
        if (!part) {
            part = NarrowExactly(other.At, other.Length, arena, &partLength);
        }
        if (!part) {
            return nullptr;
        }
        for (ptrdiff_t i = 0; i < partLength; i++) {
            result[used++] = part[i];
        }
        if (!name.Separator) {
            break;
        }
        result[used++] = name.Separator == u'/' ? '/' : '\\';
    }
    *ansiLength = used;
    return result;
}

AnsiSelection DecodeSelection(const char16_t* buffer, ptrdiff_t chars, bool multiple, Arena& arena)
{
    const char16_t* end = buffer + chars;
    const char16_t* first = buffer;
    ptrdiff_t firstLength = BoundedLength(first, end);
    if (firstLength == chars) {
        return AnsiSelection{nullptr, 0, SelectionTooLong};  // not even one whole text
    }
    const char16_t* next = first + firstLength + 1;

    // A single name: the full path alone.
    if (!multiple || next == end || !*next) {
        ptrdiff_t length;
        char* path = AnsiPath(first, firstLength, arena, &length);
        if (!path) {
            return NoAnsiForm(first, firstLength, arena);
        }
        return AnsiSelection{path, length + 1, nullptr};
    }

    // Several: the folder, then the names. A list that does not end in its
    // empty text within the buffer was cut, and is no choice.
    ptrdiff_t count = 0;
    const char16_t* at = next;
    while (at < end && *at) {
        ptrdiff_t length = BoundedLength(at, end);
        if (at + length == end) {
            return AnsiSelection{nullptr, 0, SelectionTooLong};
        }
        at += length + 1;
        count++;
    }
    if (at == end) {
        return AnsiSelection{nullptr, 0, SelectionTooLong};
    }

    ptrdiff_t dirLength;
    char* dir = AnsiPath(first, firstLength, arena, &dirLength);
    if (!dir) {
        return NoAnsiForm(first, firstLength, arena);
    }
    char** names = New<char*>(arena, count);
    ptrdiff_t* nameLengths = New<ptrdiff_t>(arena, count);
    bool addSeparator = firstLength == 0 || first[firstLength - 1] != u'\\';
    at = next;
    for (ptrdiff_t i = 0; i < count; i++) {
        ptrdiff_t length = BoundedLength(at, end);
        char* name = NarrowExactly(at, length, arena, &nameLengths[i]);
        if (!name) {
            // A name's alias is the last component of its full path's
            // ANSI form.
            ptrdiff_t fullLength = firstLength + addSeparator + length;
            char16_t* full = New<char16_t>(arena, fullLength + 1);
            for (ptrdiff_t k = 0; k < firstLength; k++) {
                full[k] = first[k];
            }
            if (addSeparator) {
                full[firstLength] = u'\\';
            }
            for (ptrdiff_t k = 0; k < length; k++) {
                full[firstLength + addSeparator + k] = at[k];
            }
            ptrdiff_t ansiLength;
            char* ansi = AnsiPath(full, fullLength, arena, &ansiLength);
            if (!ansi) {
                return NoAnsiForm(full, fullLength, arena);
            }
            ptrdiff_t start = ansiLength;
            while (start > 0 && ansi[start - 1] != '\\' && ansi[start - 1] != '/') {
                start--;
            }
            name = ansi + start;
            nameLengths[i] = ansiLength - start;
        }
        names[i] = name;
        at += length + 1;
    }

    TextBuilder list = StartText(arena);
    Append(list, dir, dirLength + 1);
    for (ptrdiff_t i = 0; i < count; i++) {
        Append(list, names[i], nameLengths[i] + 1);
    }
    Append(list, "", 1);
    ptrdiff_t size = list.Len;
    return AnsiSelection{Finish(list), size, nullptr};
}
