#include "cmdline/params.h"
#include "base/text.h"
#include "os/os.h"

namespace {

// Walks `line` token by token and returns how many there are, the program's
// name included. With `tokens`, it also ends each token's text in place (on
// its closing quote or the blank after it, which the walk has already
// passed) and notes where each begins.
int SplitTokens(char16_t* line, const char16_t** tokens)
{
    int count = 0;
    char16_t* at = line;
    for (;;) {
        while (*at == u' ') {
            at++;
        }
        if (!*at) {
            return count;
        }
        // A quote ends a quoted token and a blank a bare one; a unit right
        // after a closing quote starts the next token.
        char16_t end = u' ';
        if (*at == u'"') {
            end = u'"';
            at++;
        }
        char16_t* begin = at;
        while (*at && *at != end) {
            at++;
        }
        if (tokens) {
            tokens[count] = begin;
        }
        count++;
        if (*at) {
            if (tokens) {
                *at = 0;
            }
            at++;
        }
    }
}

}  // namespace

void StartParamReader(ParamReader& reader, Arena& arena)
{
    const char16_t* line = OsWideCommandLine();
    line = line ? line : u"";
    char16_t* copy = CopyText(arena, line, Length(line));
    int count = SplitTokens(copy, nullptr);
    const char16_t** tokens = New<const char16_t*>(arena, count + 1);
    SplitTokens(copy, tokens);
    reader.Params = tokens + 1;
    reader.Count = count > 0 ? count - 1 : 0;
    reader.Cursor = 0;
}

const char16_t* NextParam(ParamReader& reader)
{
    if (reader.Cursor >= reader.Count) {
        return u"";
    }
    return reader.Params[reader.Cursor++];
}
