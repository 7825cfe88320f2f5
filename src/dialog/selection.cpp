#include "dialog/selection.h"
#include "app/text.h"

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

namespace {

void AppendName(TextBuilder& line, bool afterAnother, const char* dir, bool addSeparator,
                const char* name, bool quote)
{
    if (afterAnother) {
        Append(line, " ", 1);
    }
    if (quote) {
        Append(line, "\"", 1);
    }
    Append(line, dir);
    if (addSeparator) {
        Append(line, "\\", 1);
    }
    Append(line, name);
    if (quote) {
        Append(line, "\"", 1);
    }
}

}  // namespace

char* BuildOutputLine(const char* selection, const DialogSettings& settings, Arena& arena)
{
    bool quote = settings.OutputFlags & QuoteNames;
    const char* first = selection;
    const char* next = first + Length(first) + 1;

    TextBuilder line = StartText(arena);
    const char* command = settings.CommandString;
    ptrdiff_t commandLength = Length(command);
    Append(line, command, commandLength);
    // "set f=" must be followed directly by the name; anything else gets a blank.
    if (commandLength > 0 && command[commandLength - 1] != '=') {
        Append(line, " ", 1);
    }

    // Without multiple selection the buffer is never read past the first NUL.
    if ((settings.DialogFlags & OfnAllowMultiSelect) && *next) {
        ptrdiff_t dirLength = Length(first);
        bool addSeparator = dirLength == 0 || first[dirLength - 1] != '\\';
        for (bool afterAnother = false; *next; next += Length(next) + 1, afterAnother = true) {
            AppendName(line, afterAnother, first, addSeparator, next, quote);
        }
    } else {
        AppendName(line, false, "", false, first, quote);
    }
    if (!(settings.OutputFlags & NoLineEnd)) {
        Append(line, "\r\n", 2);
    }
    return Finish(line);
}
