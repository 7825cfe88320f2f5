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

}  // namespace

char16_t* BuildFilter(const char16_t* patterns, Arena& arena)
{
    ptrdiff_t length = Length(patterns);
    char16_t* filter = New<char16_t>(arena, 2 * length + 3);
    // Zeroed, so the NULs after each copy are already there.
    for (ptrdiff_t i = 0; i < length; i++) {
        filter[i] = patterns[i];
        filter[length + 1 + i] = patterns[i];
    }
    return filter;
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
    request.Filter = BuildFilter(settings.Patterns, arena);
    request.FilterIndex = 1;
    request.MaxFile = SelectionChars;
    // An empty directory goes as "", which the dialog reads as "the current
    // one"; a missing title goes as null, so the dialog shows its own.
    request.InitialDir = settings.InitialDir ? settings.InitialDir : u"";
    request.Title = settings.WindowTitle;
    request.Flags = settings.DialogFlags;
    // Wine's wide dialog writes the whole list even past MaxFile: with the
    // buffer made last, what it writes beyond lands in the arena's free part,
    // not on the texts the dialog still holds, and nothing reads it there.
    request.File = BuildSelectionBuffer(settings.InitialName, arena);
    return request;
}

LineNames ShowDialog(DialogSettings& settings, Arena& arena)
{
    OsDialogRequest request = FillRequest(settings, arena);
    settings.ExitCode = StatusCancelled;
    // A failure, also Windows' for a choice too long for the buffer, is
    // taken as a cancel, with no word said.
    if (!OsOpenFileDialog(request)) {
        return LineNames{};
    }
    Selection selection = DecodeSelection(request.File, SelectionChars, settings.DialogFlags & OfnAllowMultiSelect, arena);
    LineNames names = NamesForLine(selection, settings.CodePage, LineCodePageName(settings.OutputFlags), arena);
    if (!names.Message) {
        settings.ExitCode = StatusChosen;
    }
    return names;
}
