#include "cmdline/scan.h"
#include "base/text.h"
#include "console/codepage.h"
#include "os/os.h"
#include "paths/paths.h"

namespace {

// Each field no wider than its bits need: the table is in every copy of
// the program.
struct Option {
    const char* Name;  // lowercase: matched against a lowercased parameter
    uint32_t SetDialog;
    uint16_t ClearDialog;
    uint8_t SetOutput;
    uint8_t ClearOutput;
};

const Option Options[] = {
    {"/noquote", 0, 0, 0, QuoteNames},
    {"/noquotes", 0, 0, 0, QuoteNames},
    {"/nocrlf", 0, 0, NoLineEnd, 0},
    // Multiple names come back NUL-separated only in the explorer style.
    {"/multiselect", OfnAllowMultiSelect | OfnExplorer, 0, 0, 0},
    {"/maynotexist", 0, OfnFileMustExist, 0, 0},
    {"/utf8", 0, 0, Utf8Line, ConsoleLine},
    {"/consolecp", 0, 0, ConsoleLine, Utf8Line},
    // The save dialog takes a name that does not exist yet, and asks before
    // one that does is chosen.
    {"/save", OfnOverwritePrompt, OfnFileMustExist, 0, 0},
    {"/folder", 0, 0, PickFolder, 0},
    {"/lines", 0, 0, LinePerName, 0},
};

// Each of these asks for a dialog of its own; the two others cannot take
// several names.
const char OneDialog[] = "Only one of /multiselect, /save, /folder";

// The option that `param` names in any letter case, or null.
const Option* FindOption(const char16_t* param, Arena arena)
{
    char16_t* lowered = CopyText(arena, param, Length(param));
    OsLower(lowered);
    for (const Option& option : Options) {
        if (Equal(lowered, option.Name)) {
            return &option;
        }
    }
    return nullptr;
}

// The parameters after PathAndFilters, up to the first empty one; null
// after the last.
char16_t* NextWalked(ParamReader& reader, Arena& arena)
{
    char16_t* param = NextParam(reader, arena);
    return IsEmpty(param) ? nullptr : param;
}

}  // namespace

uint32_t FindLineOption(ParamReader& reader, Arena& arena)
{
    uint32_t line = 0;
    NextParam(reader, arena);  // CommandString
    NextParam(reader, arena);  // PathAndFilters, even when it starts with a slash
    while (char16_t* param = NextWalked(reader, arena)) {
        const Option* option = param[0] == u'/' ? FindOption(param, arena) : nullptr;
        if (option && (option->SetOutput & (Utf8Line | ConsoleLine))) {
            line = option->SetOutput;
        }
    }
    return line;
}

const char16_t* Scan(DialogSettings& settings, ParamReader& reader, Arena& arena)
{
    ptrdiff_t length;
    if (!NarrowExactly(settings.CodePage, settings.CommandString, Length(settings.CommandString), arena, &length)) {
        return Concat(arena, "Invalid parameter: ", settings.CommandString);
    }

    // The second parameter is always the path, even when it starts with a
    // slash.
    const char16_t* path = NextParam(reader, arena);
    const char16_t* resolved = ResolveFullPath(path, arena);
    if (IsEmpty(resolved)) {
        resolved = u"*.*";
    }
    settings.Patterns = NamePart(resolved, arena);
    settings.InitialDir = DirPart(resolved, arena);
    if (!IsValidPatternList(settings.Patterns)) {
        return Concat(arena, "Invalid parameter: ", path);
    }
    settings.DialogFlags = OfnHideReadOnly | OfnFileMustExist;
    settings.OutputFlags = QuoteNames;

    // An empty parameter ends the walk, also an empty quoted one in the
    // middle: what follows it is never read.
    while (char16_t* param = NextWalked(reader, arena)) {
        if (param[0] == u'/') {
            const Option* option = FindOption(param, arena);
            if (!option) {
                return Concat(arena, "Invalid option: ", param);
            }
            settings.DialogFlags = (settings.DialogFlags & ~option->ClearDialog) | option->SetDialog;
            settings.OutputFlags = (settings.OutputFlags & ~option->ClearOutput) | option->SetOutput;
        } else if (IsEmpty(settings.WindowTitle)) {
            settings.WindowTitle = param;
        } else if (IsValidFileName(param)) {
            settings.InitialName = param;
        } else {
            return Concat(arena, "Invalid parameter: ", param);
        }
    }
    // One bit for each, and none of them shared.
    uint32_t kinds = (settings.DialogFlags & (OfnAllowMultiSelect | OfnOverwritePrompt)) |
                     (settings.OutputFlags & PickFolder);
    if (kinds & (kinds - 1)) {
        return Concat(arena, OneDialog, nullptr);
    }
    return nullptr;
}
