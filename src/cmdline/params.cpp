#include "cmdline/params.h"
#include "base/text.h"
#include "console/codepage.h"
#include "os/os.h"

namespace {

const char16_t* CommandLine(const ParamReader& reader, Arena& arena)
{
    if (reader.Wide) {
        const char16_t* line = OsWideCommandLine();
        return line ? line : u"";
    }
    // A blank or a double quote is never half of a double-byte character,
    // so the widened line splits where its bytes did, and no parameter is
    // cut inside a character.
    const char* bytes = OsCommandLine();
    ptrdiff_t length;
    return Widen(OsAnsiCodePage(), bytes ? bytes : "", Length(bytes), arena, &length);
}

}  // namespace

void StartParamReader(ParamReader& reader, bool wide)
{
    reader.Cursor = 0;
    reader.Wide = wide;
}

char16_t* NextParam(ParamReader& reader, Arena& arena)
{
    // The line is scanned from its start every time; nothing of an earlier
    // call is kept but the cursor.
    const char16_t* at = CommandLine(reader, arena);
    for (int number = -1;; number++) {
        while (*at == u' ') {
            at++;
        }
        if (!*at) {
            break;
        }
        const char16_t* begin;
        const char16_t* end;
        if (*at == u'"') {
            begin = ++at;
            while (*at && *at != u'"') {
                at++;
            }
            end = at;
            if (*at) {
                at++;  // the closing quote; a unit right after it starts the next token
            }
        } else {
            begin = at;
            while (*at && *at != u' ') {
                at++;
            }
            end = at;
            if (*at) {
                at++;
            }
        }
        if (number == reader.Cursor) {
            reader.Cursor++;
            return CopyText(arena, begin, end - begin);
        }
    }
    return CopyText(arena, u"", 0);
}
