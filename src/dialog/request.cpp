#include "dialog/request.h"
#include "base/text.h"

namespace {

// Why a name cannot be written, whole, for each code page of the line.
const char* const NoShortName[] = {
    "Name not in the ANSI code page and without a short name: ",
    "Name not in the console's code page and without a short name: ",
    "Name not in UTF-8 and without a short name: ",
};

const char NoFolderPicker[] = "No folder picker on this system";
const char DialogFailed[] = "The dialog failed: error 0x";
const char NoDesktop[] = "No desktop to show the dialog on";
const char NoFolderPath[] = "Not a folder of the file system: ";
const char NoFilePath[] = "Not a file of the file system: ";

// What is said when a dialog ends without a choice, by how it ended; a
// cancel says nothing. An item outside the file system is a folder to the
// folder picker, a file to the others.
const char* const EndMessage[] = {nullptr, nullptr, SelectionTooLong, DialogFailed, NoFolderPicker, NoFilePath};
static_assert(OsCancelled == 1 && OsTooLong == 2 && OsFailed == 3 && OsNoItemDialog == 4 && OsNoPath == 5);

// The system's code as eight hexadecimal digits, as Windows' documentation
// writes HRESULTs.
char16_t* HexCode(uint32_t code, Arena& arena)
{
    char16_t* digits = New<char16_t>(arena, 9);
    for (int i = 7; i >= 0; i--, code >>= 4) {
        digits[i] = u"0123456789ABCDEF"[code & 15];
    }
    return digits;
}

}  // namespace

char16_t* BuildFilter(const char16_t* patterns, Arena& arena)
{
    ptrdiff_t length = Length(patterns);
    char16_t* filter = New<char16_t>(arena, 2 * length + 3);
    // Zeroed, so the NULs after each text are already there. The patterns
    // go in twice, as the second text of the one filter; named filters end
    // before that copy, with the empty text that starts it.
    bool named = false;
    for (ptrdiff_t i = 0; i < length; i++) {
        char16_t c = patterns[i];
        named |= c == u'|';
        filter[i] = c == u'|' ? 0 : c;
        filter[length + 1 + i] = c;
    }
    if (named) {
        filter[length + 1] = 0;
    }
    return filter;
}

const char16_t* DefaultExtension(const char16_t* filter, Arena& arena)
{
    const char16_t* pattern = filter + Length(filter) + 1;
    if (pattern[0] != u'*' || pattern[1] != u'.') {
        return nullptr;
    }
    ptrdiff_t length = 0;
    for (char16_t c; (c = pattern[2 + length]) && c != u';'; length++) {
        if (c == u'*' || c == u'?' || c == u'.') {
            return nullptr;
        }
    }
    return length ? CopyText(arena, pattern + 2, length) : nullptr;
}

char16_t* BuildSelectionBuffer(const char16_t* initialName, Arena& arena)
{
    char16_t* buffer = New<char16_t>(arena, SelectionChars);
    ptrdiff_t length = Length(initialName);
    if (length > (ptrdiff_t)SelectionChars - 1) {
        length = SelectionChars - 1;  // longer than any command line can carry
    }
    for (ptrdiff_t i = 0; i < length; i++) {
        buffer[i] = initialName[i];
    }
    return buffer;
}

OsDialogRequest FillRequest(const DialogSettings& settings, Arena& arena)
{
    OsDialogRequest request = {};
    request.StructSize = RequestRecordSize;
    request.Owner = settings.OwnerWindow;
    request.FilterIndex = 1;
    request.MaxFile = SelectionChars;
    // An empty directory goes as "", which the dialog reads as "the current
    // one"; a missing title goes as null, so the dialog shows its own.
    request.InitialDir = settings.InitialDir ? settings.InitialDir : u"";
    request.Title = settings.WindowTitle;
    request.Flags = settings.DialogFlags;
    request.Filter = BuildFilter(settings.Patterns, arena);
    if (settings.Kind == SaveOne) {
        request.DefExt = DefaultExtension(request.Filter, arena);
    }
    // Wine's wide dialog writes the whole list even past MaxFile: with the
    // buffer made last, what it writes beyond lands in the arena's free part
    // (ShowDialog makes its pages usable), not on the texts the dialog still
    // holds, and nothing reads it there.
    request.File = BuildSelectionBuffer(settings.InitialName, arena);
    return request;
}

uint32_t ItemOptions(const DialogSettings& settings)
{
    if (settings.Kind == PickOneFolder) {
        return FolderOptions;
    }
    // OFN_HIDEREADONLY and OFN_EXPLORER are the classic dialog's own; the
    // item dialog's bits of those values mean other things.
    uint32_t options = settings.DialogFlags & (OfnOverwritePrompt | OfnAllowMultiSelect | OfnPathMustExist |
                                               OfnFileMustExist | OfnNoReadOnlyReturn);
    // The classic flag implies its path's; the item dialog's does not say so.
    if (options & OfnFileMustExist) {
        options |= OfnPathMustExist;
    }
    return options | FosNoChangeDir | FosForceFileSystem;
}

OsFileType* FileTypes(const char16_t* filter, uint32_t& count, Arena& arena)
{
    count = 0;
    for (const char16_t* at = filter; *at; at += Length(at) + 1) {
        at += Length(at) + 1;
        count++;
    }
    OsFileType* types = New<OsFileType>(arena, count);
    const char16_t* at = filter;
    for (uint32_t i = 0; i < count; i++) {
        types[i].Name = at;
        at += Length(at) + 1;
        types[i].Patterns = at;
        at += Length(at) + 1;
    }
    return types;
}

OsItemRequest FillItemRequest(const DialogSettings& settings, Arena& arena)
{
    OsItemRequest request = {};
    request.Class = settings.Kind == SaveOne ? OsItemSave : OsItemOpen;
    request.Owner = settings.OwnerWindow;
    request.Options = ItemOptions(settings);
    if (settings.Kind != PickOneFolder) {
        const char16_t* filter = BuildFilter(settings.Patterns, arena);
        request.Types = FileTypes(filter, request.TypeCount, arena);
        request.TypeIndex = 1;
        if (settings.Kind == SaveOne) {
            request.DefaultExtension = DefaultExtension(filter, arena);
        }
    }
    request.Folder = settings.InitialDir ? settings.InitialDir : u"";
    request.Title = settings.WindowTitle;
    request.Name = settings.InitialName ? settings.InitialName : u"";
    return request;
}

LineNames ShowDialog(DialogSettings& settings, Arena& arena)
{
    LineNames none = {};
    // Without a visible window station (a service, a task run whether the
    // user is logged on or not, an SSH session) no one can see the dialog,
    // let alone close it: it would wait for good. Where the system cannot
    // tell, the dialog is tried.
    if (OsWindowStation() == OsDesktopHidden) {
        settings.ExitCode = StatusCancelled;
        none.Message = Concat(arena, NoDesktop, nullptr);
        return none;
    }
    OsItemRequest request = FillItemRequest(settings, arena);
    settings.ExitCode = StatusCancelled;
    OsItems chosen = {};
    OsDialogResult result = OsItemDialog(request, arena, chosen);
    const char16_t* buffer = nullptr;
    if (result.End == OsNoItemDialog && settings.Kind != PickOneFolder) {
        OsDialogRequest classic = FillRequest(settings, arena);
        // Past the part of the arena committed so far, Wine's overrun would
        // fault: the pages up to the reservation's end commit as it writes.
        OsCommitOnTouch((char*)(classic.File + SelectionChars), arena.End);
        result = (settings.Kind == SaveOne ? OsSaveFileDialog : OsOpenFileDialog)(classic);
        // Only the dialog's writes are taken in: past this, a touch out of
        // bounds is the program's own fault, and must end the run as one.
        OsEndCommitOnTouch();
        buffer = classic.File;
    }
    // Every end but a choice and a cancel is said: a failure with the code
    // that the system gave for it, an item outside the file system by its
    // name.
    if (result.End != OsChosen) {
        const char* message = EndMessage[result.End];
        const char16_t* detail = nullptr;
        if (result.End == OsFailed) {
            detail = HexCode(result.Error, arena);
        } else if (result.End == OsNoPath) {
            message = settings.Kind == PickOneFolder ? NoFolderPath : message;
            detail = chosen.Paths[0];
        }
        if (message) {
            none.Message = Concat(arena, message, detail);
        }
        return none;
    }
    Selection selection = buffer ? DecodeSelection(buffer, SelectionChars, settings.Kind == OpenSeveral, arena)
                                 : ItemSelection(chosen, arena);
    // The real names first, so that the alias and the code page are those
    // of the names written.
    selection = RealNames(selection, arena);
    LineNames names = NamesForLine(selection, settings.CodePage, NoShortName[settings.Encoding], arena);
    if (!names.Message) {
        settings.ExitCode = StatusChosen;
    }
    return names;
}
