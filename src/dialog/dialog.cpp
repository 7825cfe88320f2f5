#include "dialog/dialog.h"
#include "app/text.h"
#include "console/console.h"
#include "dialog/request.h"
#include "dialog/selection.h"

static_assert(__builtin_offsetof(OPENFILENAMEA, pvReserved) == RequestRecordSize);

void FillRequest(OPENFILENAMEA& request, const DialogSettings& settings, char* filterBlock,
                 char* selectionBuffer)
{
    request = OPENFILENAMEA{};
    request.lStructSize = RequestRecordSize;
    request.hwndOwner = (HWND)settings.OwnerWindow;
    request.lpstrFilter = filterBlock;
    request.nFilterIndex = 1;
    request.lpstrFile = selectionBuffer;
    request.nMaxFile = SelectionChars;
    // An empty directory goes as "", which the dialog reads as "the current
    // one"; a missing title goes as null, so the dialog shows its own.
    request.lpstrInitialDir = settings.InitialDir ? settings.InitialDir : "";
    request.lpstrTitle = settings.WindowTitle;
    request.Flags = settings.DialogFlags;
}

const char* ShowDialog(DialogSettings& settings, Arena& arena)
{
    OPENFILENAMEA request;
    FillRequest(request, settings, BuildFilterBlock(settings.Patterns, arena),
                BuildSelectionBuffer(settings.InitialName, arena));
    settings.ExitCode = StatusCancelled;
    if (!GetOpenFileNameA(&request)) {
        return nullptr;
    }
    settings.ExitCode = StatusChosen;
    return request.lpstrFile;
}

void WriteSelection(const char* selection, const DialogSettings& settings, Arena& arena)
{
    WriteOut(BuildOutputLine(selection, settings, arena));
}
