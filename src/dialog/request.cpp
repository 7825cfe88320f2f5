#include "dialog/request.h"
#include "base/text.h"

char* BuildFilterBlock(const char* patterns, Arena& arena)
{
    ptrdiff_t length = Length(patterns);
    ptrdiff_t size = 2 * length + 3;
    char* block = New<char>(arena, size > FilterBlockSize ? size : FilterBlockSize);
    // The block is zeroed, so the NULs after each copy are already there.
    for (ptrdiff_t i = 0; i < length; i++) {
        block[i] = patterns[i];
        block[length + 1 + i] = patterns[i];
    }
    return block;
}

char16_t* BuildSelectionBuffer(const char* initialName, Arena& arena)
{
    char16_t* buffer = New<char16_t>(arena, SelectionChars);
    ptrdiff_t length = Length(initialName);
    if (length > (ptrdiff_t)SelectionChars - 1) {
        length = SelectionChars - 1;  // longer than any command line can carry
    }
    if (length) {
        OsWiden(initialName, (uint32_t)length, buffer, SelectionChars - 1);
    }
    return buffer;
}

OsDialogRequest FillRequest(const DialogSettings& settings, const char* filterBlock, Arena& arena)
{
    OsDialogRequest request = {};
    request.StructSize = RequestRecordSize;
    request.Owner = settings.OwnerWindow;
    // The list ends at its first empty text; its NULs convert with it.
    ptrdiff_t filterLength = 0;
    while (filterBlock[filterLength]) {
        filterLength += Length(filterBlock + filterLength) + 1;
    }
    request.Filter = Widen(filterBlock, filterLength + 1, arena);
    request.FilterIndex = 1;
    request.MaxFile = SelectionChars;
    // An empty directory goes as "", which the dialog reads as "the current
    // one"; a missing title goes as null, so the dialog shows its own.
    request.InitialDir = Widen(settings.InitialDir, Length(settings.InitialDir), arena);
    request.Title = settings.WindowTitle ? Widen(settings.WindowTitle, Length(settings.WindowTitle), arena) : nullptr;
    request.Flags = settings.DialogFlags;
    // Wine's wide dialog writes the whole list even past MaxFile: with the
    // buffer made last, what it writes beyond lands in the arena's free part,
    // not on the texts the dialog still holds, and nothing reads it there.
    request.File = BuildSelectionBuffer(settings.InitialName, arena);
    return request;
}

AnsiSelection ShowDialog(DialogSettings& settings, Arena& arena)
{
    OsDialogRequest request = FillRequest(settings, BuildFilterBlock(settings.Patterns, arena), arena);
    settings.ExitCode = StatusCancelled;
    // A failure, also Windows' for a choice too long for the buffer, is
    // taken as a cancel, with no word said.
    if (!OsOpenFileDialog(request)) {
        return AnsiSelection{};
    }
    AnsiSelection selection = DecodeSelection(request.File, SelectionChars, settings.DialogFlags & OfnAllowMultiSelect, arena);
    if (selection.List) {
        settings.ExitCode = StatusChosen;
    }
    return selection;
}
