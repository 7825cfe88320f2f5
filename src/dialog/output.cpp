#include "dialog/output.h"
#include "base/text.h"
#include "console/codepage.h"
#include "console/console.h"

char* BuildOutputLine(const char* command, ptrdiff_t commandLength, bool separate, const LineNames& names,
                      uint32_t outputFlags, Arena& arena)
{
    bool quote = outputFlags & QuoteNames;
    bool perName = outputFlags & LinePerName;
    TextBuilder<char> line = StartText<char>(arena);
    for (ptrdiff_t i = 0; i < names.Count; i++) {
        // Only the last line is left for NoLineEnd to close or not.
        if (i > 0) {
            Append(line, perName ? "\r\n" : " ", 1 + perName);
        }
        if (i == 0 || perName) {
            Append(line, command, commandLength);
            if (separate) {
                Append(line, " ", 1);
            }
        }
        if (quote) {
            Append(line, "\"", 1);
        }
        Append(line, names.Folder, names.FolderLength);
        if (names.AddSeparator) {
            Append(line, "\\", 1);
        }
        Append(line, names.Names[i], names.NameLengths[i]);
        if (quote) {
            Append(line, "\"", 1);
        }
    }
    if (!(outputFlags & NoLineEnd)) {
        Append(line, "\r\n", 2);
    }
    return Finish(line);
}

void WriteSelection(const LineNames& names, const DialogSettings& settings, Arena& arena)
{
    // The scan made sure that the code page holds the command exactly.
    const char16_t* command = settings.CommandString;
    ptrdiff_t units = Length(command);
    ptrdiff_t length;
    const char* bytes = NarrowExactly(settings.CodePage, command, units, arena, &length);
    // "set f=" must be followed directly by the name; anything else gets a
    // blank. Decided on the character, not on a byte of its code page form.
    bool separate = units > 0 && command[units - 1] != u'=';
    WriteOut(BuildOutputLine(bytes, length, separate, names, settings.OutputFlags, arena));
}
