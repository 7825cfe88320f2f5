#include "cmdline/params.h"
#include "base/text.h"
#include "os/os.h"

void StartParamReader(ParamReader& reader)
{
    reader.Cursor = 0;
}

char* NextParam(ParamReader& reader, Arena& arena)
{
    // The line is scanned from its start every time; nothing of an earlier
    // call is kept but the cursor.
    const char* at = OsCommandLine();
    if (!at) {
        at = "";
    }
    for (int number = -1;; number++) {
        while (*at == ' ') {
            at++;
        }
        if (!*at) {
            break;
        }
        const char* begin;
        const char* end;
        if (*at == '"') {
            begin = ++at;
            while (*at && *at != '"') {
                at++;
            }
            end = at;
            if (*at) {
                at++;  // the closing quote; a byte right after it starts the next token
            }
        } else {
            begin = at;
            while (*at && *at != ' ') {
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
    return CopyText(arena, "", 0);
}
