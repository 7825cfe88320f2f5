#include "dialog/request.h"
#include "base/text.h"

namespace {

// Which code page could not hold a name, for the refusal.
const char* LineCodePageName(uint32_t outputFlags)
{
    if (outputFlags & Utf8Line) {
        return "UTF-8";
    }
    if (outputFlags & ConsoleLine) {
        return "the console's code page";
    }
    return "the ANSI code page";
}

const char NoFolderPicker[] = "No folder picker on this system";

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
    if (settings.OutputFlags & PickFolder) {
        request.Flags = FolderOptions;
    } else {
        request.Filter = BuildFilter(settings.Patterns, arena);
        if (settings.DialogFlags & OfnOverwritePrompt) {
            request.DefExt = DefaultExtension(request.Filter, arena);
        }
    }
    // Wine's wide dialog writes the whole list even past MaxFile: with the
    // buffer made last, what it writes beyond lands in the arena's free part
    // (ShowDialog makes its pages usable), not on the texts the dialog still
    // holds, and nothing reads it there.
    request.File = BuildSelectionBuffer(settings.InitialName, arena);
    return request;
}

LineNames ShowDialog(DialogSettings& settings, Arena& arena)
{
    OsDialogRequest request = FillRequest(settings, arena);
    // Past the part of the arena committed so far, Wine's overrun would
    // fault: the pages up to the reservation's end commit as it writes.
    OsCommitOnTouch((char*)(request.File + SelectionChars), arena.End);
    settings.ExitCode = StatusCancelled;
    // A failure, also Windows' for a choice too long for the buffer, is
    // taken as a cancel, with no word said.
    bool chosen;
    if (settings.OutputFlags & PickFolder) {
        OsPickResult picked = OsPickFolder(request);
        if (picked == OsNoPicker) {
            LineNames none = {};
            none.Message = Concat(arena, NoFolderPicker, nullptr);
            return none;
        }
        chosen = picked == OsPicked;
    } else {
        chosen = (settings.DialogFlags & OfnOverwritePrompt ? OsSaveFileDialog : OsOpenFileDialog)(request);
    }
    if (!chosen) {
        return LineNames{};
    }
    Selection selection = DecodeSelection(request.File, SelectionChars, settings.DialogFlags & OfnAllowMultiSelect, arena);
    LineNames names = NamesForLine(selection, settings.CodePage, LineCodePageName(settings.OutputFlags), arena);
    if (!names.Message) {
        settings.ExitCode = StatusChosen;
    }
    return names;
}
