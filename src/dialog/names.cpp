#include "dialog/names.h"
#include "base/text.h"
#include "console/codepage.h"
#include "os/os.h"

const char SelectionTooLong[] = "Selection too long: pick fewer files";

namespace {

Selection TooLong(Arena& arena)
{
    Selection selection = {};
    selection.Message = Concat(arena, SelectionTooLong, nullptr);
    return selection;
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

ptrdiff_t CountSeparators(const char16_t* at, ptrdiff_t length)
{
    ptrdiff_t count = 0;
    for (ptrdiff_t i = 0; i < length; i++) {
        count += IsSeparator(at[i]);
    }
    return count;
}

// Asks the system for the alias form of the zero-terminated `path`, into a
// buffer that is kept and grown across calls, so that a long list of names
// costs no more memory than its longest alias. Null when the path does not
// exist or has no alias form.
struct AliasBuffer {
    char16_t* At;
    uint32_t Capacity;
};

const char16_t* ShortPath(const char16_t* path, AliasBuffer& buffer, Arena& arena, ptrdiff_t* length)
{
    // An alias can be longer than its name ("a.b.c" may become "ABC~1.C"),
    // so the buffer may not do; the call then says what will.
    for (int tries = 0; tries < 2; tries++) {
        uint32_t got = OsShortPath(path, buffer.At, buffer.Capacity);
        if (got > 0 && got < buffer.Capacity) {
            *length = got;
            return buffer.At;
        }
        if (got == 0) {
            return nullptr;
        }
        buffer = AliasBuffer{New<char16_t>(arena, got), got};
    }
    return nullptr;
}

// `path` in the code page, component by component: the name where the code
// page holds it, so that only what must change does; its alias (the
// matching component of `alias`) where it does not. Null when the two do
// not line up, or some component has neither.
char* ByComponents(const char16_t* path, ptrdiff_t length, const char16_t* alias, ptrdiff_t aliasLength,
                   uint32_t codePage, Arena& arena, ptrdiff_t* byteLength)
{
    ptrdiff_t count = CountSeparators(path, length) + 1;
    if (count != CountSeparators(alias, aliasLength) + 1) {
        return nullptr;  // no way to tell which is which
    }
    // Each part is converted into its own block; they are joined after.
    const char** part = New<const char*>(arena, count);
    ptrdiff_t* partLength = New<ptrdiff_t>(arena, count);
    char16_t* separators = New<char16_t>(arena, count);
    const char16_t* longAt = path;
    const char16_t* shortAt = alias;
    for (ptrdiff_t i = 0; i < count; i++) {
        Component name = NextComponent(longAt, path + length);
        Component other = NextComponent(shortAt, alias + aliasLength);
        part[i] = NarrowExactly(codePage, name.At, name.Length, arena, &partLength[i]);
        if (!part[i]) {
            part[i] = NarrowExactly(codePage, other.At, other.Length, arena, &partLength[i]);
        }
        if (!part[i]) {
            return nullptr;
        }
        separators[i] = name.Separator;
    }
    TextBuilder<char> joined = StartText<char>(arena);
    for (ptrdiff_t i = 0; i < count; i++) {
        Append(joined, part[i], partLength[i]);
        if (separators[i]) {
            Append(joined, separators[i] == u'/' ? "/" : "\\", 1);
        }
    }
    *byteLength = joined.Len;
    return Finish(joined);
}

// The folder in the code page: exactly, or by components with its alias.
char* FolderForLine(const char16_t* folder, ptrdiff_t length, uint32_t codePage, AliasBuffer& aliases, Arena& arena,
                    ptrdiff_t* byteLength)
{
    if (char* exact = NarrowExactly(codePage, folder, length, arena, byteLength)) {
        return exact;
    }
    const char16_t* whole = CopyText(arena, folder, length);  // the system wants it terminated
    ptrdiff_t aliasLength;
    const char16_t* alias = ShortPath(whole, aliases, arena, &aliasLength);
    return alias ? ByComponents(folder, length, alias, aliasLength, codePage, arena, byteLength) : nullptr;
}

}  // namespace

Selection DecodeSelection(const char16_t* buffer, ptrdiff_t chars, bool multiple, Arena& arena)
{
    const char16_t* end = buffer + chars;
    ptrdiff_t firstLength = BoundedLength(buffer, end);
    if (firstLength == chars) {
        return TooLong(arena);  // not even one whole text
    }
    const char16_t* next = buffer + firstLength + 1;

    Selection selection = {};
    selection.Folder = buffer;
    if (!multiple || next == end || !*next) {
        // A single name: the full path alone, split at its last separator.
        ptrdiff_t cut = firstLength;
        while (cut > 0 && !IsSeparator(buffer[cut - 1])) {
            cut--;
        }
        selection.FolderLength = cut;
        selection.Count = 1;
        selection.Names = New<const char16_t*>(arena, 1);
        selection.NameLengths = New<ptrdiff_t>(arena, 1);
        selection.Names[0] = buffer + cut;
        selection.NameLengths[0] = firstLength - cut;
        return selection;
    }

    // Several: the folder, then the names, then an empty text.
    ptrdiff_t count = 0;
    const char16_t* at = next;
    while (at < end && *at) {
        ptrdiff_t length = BoundedLength(at, end);
        if (at + length == end) {
            return TooLong(arena);
        }
        at += length + 1;
        count++;
    }
    if (at == end) {
        return TooLong(arena);
    }
    selection.FolderLength = firstLength;
    // The decision is made on the folder's last character, never on a byte
    // of its form in some code page, where a backslash can be half of
    // another character.
    selection.AddSeparator = firstLength == 0 || buffer[firstLength - 1] != u'\\';
    selection.Count = count;
    selection.Names = New<const char16_t*>(arena, count);
    selection.NameLengths = New<ptrdiff_t>(arena, count);
    at = next;
    for (ptrdiff_t i = 0; i < count; i++) {
        selection.Names[i] = at;
        selection.NameLengths[i] = BoundedLength(at, end);
        at += selection.NameLengths[i] + 1;
    }
    return selection;
}

Selection ItemSelection(const OsItems& items, Arena& arena)
{
    Selection selection = {};
    selection.Count = items.Count;
    selection.Names = New<const char16_t*>(arena, items.Count);
    selection.NameLengths = New<ptrdiff_t>(arena, items.Count);
    // With the folder apart, a name whose folder the code page lacks can
    // still be written by the folder's alias, even a name that does not
    // exist yet, which has none of its own.
    const char16_t* first = items.Paths[0];
    ptrdiff_t cut = Length(first);
    while (cut > 0 && !IsSeparator(first[cut - 1])) {
        cut--;
    }
    bool shared = true;
    for (uint32_t i = 0; i < items.Count && shared; i++) {
        const char16_t* path = items.Paths[i];
        ptrdiff_t length = Length(path);
        shared = length >= cut;
        for (ptrdiff_t k = 0; k < cut && shared; k++) {
            shared = path[k] == first[k];
        }
    }
    // Laid out as the classic dialog lays out its choice: one name's folder
    // with its separator; several names' without, but for a root's.
    ptrdiff_t skip = shared ? cut : 0;
    selection.Folder = shared ? first : u"";
    selection.FolderLength = skip;
    if (shared && items.Count > 1 && cut > 1 && first[cut - 2] != u':') {
        selection.FolderLength = cut - 1;
        selection.AddSeparator = true;
    }
    for (uint32_t i = 0; i < items.Count; i++) {
        selection.Names[i] = items.Paths[i] + skip;
        selection.NameLengths[i] = Length(selection.Names[i]);
    }
    return selection;
}

LineNames NamesForLine(const Selection& selection, uint32_t codePage, const char* refusal, Arena& arena)
{
    LineNames line = {};
    if (selection.Message) {
        line.Message = selection.Message;
        return line;
    }
    const char16_t* folder = selection.Folder;
    ptrdiff_t folderLength = selection.FolderLength;

    // One buffer for each full name that needs asking about, reused for all.
    ptrdiff_t longest = 0;
    for (ptrdiff_t i = 0; i < selection.Count; i++) {
        longest = selection.NameLengths[i] > longest ? selection.NameLengths[i] : longest;
    }
    char16_t* full = New<char16_t>(arena, folderLength + 1 + longest + 1);
    for (ptrdiff_t k = 0; k < folderLength; k++) {
        full[k] = folder[k];
    }
    ptrdiff_t nameAt = folderLength;
    if (selection.AddSeparator) {
        full[nameAt++] = u'\\';
    }
    AliasBuffer aliases = {New<char16_t>(arena, nameAt + longest + 64), (uint32_t)(nameAt + longest + 64)};

    // The message names the full name that cannot be written.
    auto refuse = [&](ptrdiff_t nameLength) {
        full[nameAt + nameLength] = 0;
        LineNames refused = {};
        refused.Message = Concat(arena, refusal, full);
        return refused;
    };

    line.AddSeparator = selection.AddSeparator;
    line.Count = selection.Count;
    line.Names = New<const char*>(arena, selection.Count);
    line.NameLengths = New<ptrdiff_t>(arena, selection.Count);
    line.Folder = FolderForLine(folder, folderLength, codePage, aliases, arena, &line.FolderLength);
    if (!line.Folder) {
        nameAt = folderLength;  // the folder alone is what cannot be written
        return refuse(0);
    }
    for (ptrdiff_t i = 0; i < selection.Count; i++) {
        const char16_t* name = selection.Names[i];
        ptrdiff_t length = selection.NameLengths[i];
        line.Names[i] = NarrowExactly(codePage, name, length, arena, &line.NameLengths[i]);
        for (ptrdiff_t k = 0; k < length; k++) {
            full[nameAt + k] = name[k];
        }
        if (line.Names[i]) {
            continue;
        }
        // The name's own alias: as many of the last components of its full
        // path's as the name has (a dialog's name has one). A name that does
        // not exist has none, and is refused.
        full[nameAt + length] = 0;
        ptrdiff_t aliasLength;
        const char16_t* alias = ShortPath(full, aliases, arena, &aliasLength);
        if (!alias) {
            return refuse(length);
        }
        ptrdiff_t start = aliasLength;
        for (ptrdiff_t separators = CountSeparators(name, length);; separators--) {
            while (start > 0 && !IsSeparator(alias[start - 1])) {
                start--;
            }
            if (separators == 0 || start == 0) {
                break;
            }
            start--;
        }
        line.Names[i] = ByComponents(name, length, alias + start, aliasLength - start, codePage, arena,
                                     &line.NameLengths[i]);
        if (!line.Names[i] || CountSeparators(alias, aliasLength) != CountSeparators(full, nameAt + length)) {
            return refuse(length);
        }
    }
    return line;
}

namespace {

const char CannotTell[] = "Cannot tell which file 64-bit programs open by this name: ";

// The final path as a name that cmd and every program take: "\\?\" goes,
// and a share's "\\?\UNC\" becomes "\\".
const char16_t* DriveForm(char16_t* path)
{
    if (path[0] != u'\\' || path[1] != u'\\' || path[2] != u'?' || path[3] != u'\\') {
        return path;
    }
    if (path[4] == u'U' && path[5] == u'N' && path[6] == u'C' && path[7] == u'\\') {
        path[6] = u'\\';
        return path + 6;
    }
    return path + 4;
}

// The name of the file that this process sees by `full` (`length` units,
// writable), such that a 64-bit program opens that file by it too; null
// when that cannot be told. `buffer` has OsLongestPath units.
const char16_t* RealName(char16_t* full, ptrdiff_t length, char16_t* buffer, Arena& arena)
{
    // What does not exist yet is created in its folder, where this process
    // sees it: the nearest folder that exists tells, and the rest stays.
    for (ptrdiff_t cut = length;;) {
        char16_t kept = full[cut];
        full[cut] = 0;
        OsRedirection answer = OsRealPath(full, buffer);
        full[cut] = kept;
        if (answer == OsSameFile) {
            return full;
        }
        if (answer == OsOtherFile) {
            TextBuilder<char16_t> real = StartText<char16_t>(arena);
            Append(real, DriveForm(buffer));
            Append(real, full + cut, length - cut);
            return Finish(real);
        }
        ptrdiff_t at = cut;
        while (at > 0 && !IsSeparator(full[at - 1])) {
            at--;
        }
        // A root keeps its separator: "C:\", not "C:", which is a folder
        // of its own (the drive's current one).
        ptrdiff_t folder = at > 1 && full[at - 2] != u':' && !IsSeparator(full[at - 2]) ? at - 1 : at;
        if (answer == OsCannotTell || folder == 0 || folder >= cut) {
            return nullptr;
        }
        cut = folder;
    }
}

}  // namespace

Selection RealNames(const Selection& selection, Arena& arena)
{
    if (selection.Message || !OsIsWow64()) {
        return selection;
    }
    char16_t* buffer = New<char16_t>(arena, OsLongestPath);
    // Once one name changes, the names no longer share their folder: each
    // is taken whole.
    Selection real = {};
    real.Folder = u"";
    real.Count = selection.Count;
    real.Names = New<const char16_t*>(arena, selection.Count);
    real.NameLengths = New<ptrdiff_t>(arena, selection.Count);
    bool changed = false;
    for (ptrdiff_t i = 0; i < selection.Count; i++) {
        TextBuilder<char16_t> name = StartText<char16_t>(arena);
        Append(name, selection.Folder, selection.FolderLength);
        if (selection.AddSeparator) {
            Append(name, u"\\", 1);
        }
        Append(name, selection.Names[i], selection.NameLengths[i]);
        ptrdiff_t length = name.Len;
        char16_t* full = Finish(name);
        const char16_t* found = RealName(full, length, buffer, arena);
        if (!found) {
            Selection refused = {};
            refused.Message = Concat(arena, CannotTell, full);
            return refused;
        }
        changed |= found != full;
        real.Names[i] = found;
        real.NameLengths[i] = Length(found);
    }
    return changed ? real : selection;
}
