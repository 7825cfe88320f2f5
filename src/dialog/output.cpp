#include "dialog/output.h"
#include "base/text.h"
#include "console/console.h"

namespace {

void AppendName(TextBuilder& line, bool afterAnother, const char* dir, ptrdiff_t dirLength, bool addSeparator,
                const char* name, ptrdiff_t nameLength, bool quote)
{
    if (afterAnother) {
        Append(line, " ", 1);
    }
    if (quote) {
        Append(line, "\"", 1);
    }
    Append(line, dir, dirLength);
    if (addSeparator) {
        Append(line, "\\", 1);
    }
    Append(line, name, nameLength);
    if (quote) {
        Append(line, "\"", 1);
    }
}

}  // namespace

char* BuildOutputLine(const char* selection, ptrdiff_t size, const DialogSettings& settings, Arena& arena)
{
    bool quote = settings.OutputFlags & QuoteNames;
    const char* end = selection + size;
    const char* first = selection;
    ptrdiff_t firstLength = BoundedLength(first, end);
    const char* next = firstLength < size ? first + firstLength + 1 : end;

    TextBuilder line = StartText(arena);
    const char* command = settings.CommandString;
    ptrdiff_t commandLength = Length(command);
    Append(line, command, commandLength);
    // "set f=" must be followed directly by the name; anything else gets a blank.
    if (commandLength > 0 && command[commandLength - 1] != '=') {
        Append(line, " ", 1);
    }

    // Without multiple selection the buffer is never read past the first NUL.
    if ((settings.DialogFlags & OfnAllowMultiSelect) && next < end && *next) {
        bool addSeparator = firstLength == 0 || first[firstLength - 1] != '\\';
        for (bool afterAnother = false; next < end && *next; afterAnother = true) {
            ptrdiff_t nameLength = BoundedLength(next, end);
            AppendName(line, afterAnother, first, firstLength, addSeparator, next, nameLength, quote);
            next = next + nameLength < end ? next + nameLength + 1 : end;
        }
    } else {
        AppendName(line, false, "", 0, false, first, firstLength, quote);
    }
    if (!(settings.OutputFlags & NoLineEnd)) {
        Append(line, "\r\n", 2);
    }
    return Finish(line);
}

void WriteSelection(const char* selection, ptrdiff_t size, const DialogSettings& settings, Arena& arena)
{
    WriteOut(BuildOutputLine(selection, size, settings, arena));
}
