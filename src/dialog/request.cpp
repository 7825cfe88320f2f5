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
const char NoFileSystemPath[] = "Not a folder of the file system: ";

// What is said when a dialog ends without a choice, by how it ended; a
// cancel says nothing.
const char* const EndMessage[] = {nullptr, nullptr, SelectionTooLong, DialogFailed, NoFolderPicker, NoFileSystemPath};
static_assert(OsCancelled == 1 && OsTooLong == 2 && OsFailed == 3 && OsNoPicker == 4 && OsNoPath == 5);

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

OsFolderRequest FillFolderRequest(const DialogSettings& settings, Arena& arena)
{
    OsFolderRequest request = {};
    request.Owner = settings.OwnerWindow;
    request.InitialDir = settings.InitialDir ? settings.InitialDir : u"";
    request.Title = settings.WindowTitle;
    request.Name = settings.InitialName ? settings.InitialName : u"";
    request.Options = FolderOptions;
    request.Folder = New<char16_t>(arena, SelectionChars);
    request.MaxFolder = SelectionChars;
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
    OsDialogResult result;
    const char16_t* answer;
    if (settings.Kind == PickOneFolder) {
        OsFolderRequest request = FillFolderRequest(settings, arena);
        settings.ExitCode = StatusCancelled;
        result = OsPickFolder(request);
        answer = request.Folder;
    } else {
        OsDialogRequest request = FillRequest(settings, arena);
        // Past the part of the arena committed so far, Wine's overrun would
        // fault: the pages up to the reservation's end commit as it writes.
        OsCommitOnTouch((char*)(request.File + SelectionChars), arena.End);
        settings.ExitCode = StatusCancelled;
        result = (settings.Kind == SaveOne ? OsSaveFileDialog : OsOpenFileDialog)(request);
        // Only the dialog's writes are taken in: past this, a touch out of
        // bounds is the program's own fault, and must end the run as one.
        OsEndCommitOnTouch();
        answer = request.File;
    }
    // Every end but a choice and a cancel is said: a failure with the code
    // that the system gave for it, an item outside the file system by the
    // name that the picker left (terminated or not).
    if (result.End != OsChosen) {
        const char16_t* detail = nullptr;
        if (result.End == OsFailed) {
            detail = HexCode(result.Error, arena);
        } else if (result.End == OsNoPath) {
            detail = CopyText(arena, answer, BoundedLength(answer, answer + SelectionChars));
        }
        if (const char* message = EndMessage[result.End]) {
            none.Message = Concat(arena, message, detail);
        }
        return none;
    }
    // The real names first, so that the alias and the code page are those
    // of the names written.
    Selection selection = RealNames(DecodeSelection(answer, SelectionChars, settings.Kind == OpenSeveral, arena), arena);
    LineNames names = NamesForLine(selection, settings.CodePage, NoShortName[settings.Encoding], arena);
    if (!names.Message) {
        settings.ExitCode = StatusChosen;
    }
    return names;
}
