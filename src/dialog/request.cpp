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

char* BuildSelectionBuffer(const char* initialName, Arena& arena)
{
    char* buffer = New<char>(arena, SelectionBufferSize);
    ptrdiff_t length = Length(initialName);
    if (length > SelectionBufferSize - 1) {
        length = SelectionBufferSize - 1;  // longer than any command line can carry
    }
    for (ptrdiff_t i = 0; i < length; i++) {
        buffer[i] = initialName[i];
    }
    return buffer;
}

OsDialogRequest FillRequest(const DialogSettings& settings, const char* filterBlock, char* selectionBuffer)
{
    OsDialogRequest request = {};
    request.StructSize = RequestRecordSize;
    request.Owner = settings.OwnerWindow;
    request.Filter = filterBlock;
    request.FilterIndex = 1;
    request.File = selectionBuffer;
    request.MaxFile = SelectionChars;
    // An empty directory goes as "", which the dialog reads as "the current
    // one"; a missing title goes as null, so the dialog shows its own.
    request.InitialDir = settings.InitialDir ? settings.InitialDir : "";
    request.Title = settings.WindowTitle;
    request.Flags = settings.DialogFlags;
    return request;
}

const char* ShowDialog(DialogSettings& settings, Arena& arena)
{
    OsDialogRequest request = FillRequest(settings, BuildFilterBlock(settings.Patterns, arena),
                                          BuildSelectionBuffer(settings.InitialName, arena));
    settings.ExitCode = StatusCancelled;
    if (!OsOpenFileDialog(request)) {
        return nullptr;
    }
    settings.ExitCode = StatusChosen;
    return request.File;
}
