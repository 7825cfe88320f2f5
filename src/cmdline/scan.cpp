#include "cmdline/scan.h"
#include "os/os.h"
#include "base/text.h"
#include "paths/paths.h"

namespace {

struct Option {
    const char* Name;  // lowercase: matched against a lowercased parameter
    uint32_t SetDialog;
    uint32_t ClearDialog;
    uint32_t SetOutput;
    uint32_t ClearOutput;
};

const Option Options[] = {
    {"/noquote", 0, 0, 0, QuoteNames},
    {"/noquotes", 0, 0, 0, QuoteNames},
    {"/nocrlf", 0, 0, NoLineEnd, 0},
    // Multiple names come back NUL-separated only in the explorer style.
    {"/multiselect", OfnAllowMultiSelect | OfnExplorer, 0, 0, 0},
    {"/maynotexist", 0, OfnFileMustExist, 0, 0},
};

const Option* FindOption(const char* lowered)
{
    for (const Option& option : Options) {
        if (Equal(option.Name, lowered)) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

const char* Scan(DialogSettings& settings, ParamReader& reader, Arena& arena)
{
    // The second parameter is always the path, even when it starts with a
    // slash.
    const char* resolved = ResolveFullPath(NextParam(reader, arena), arena);
    if (IsEmpty(resolved)) {
        resolved = "*.*";
    }
    settings.Patterns = NamePart(resolved, arena);
    settings.InitialDir = DirPart(resolved, arena);
    settings.DialogFlags = OfnHideReadOnly | OfnFileMustExist;
    settings.OutputFlags = QuoteNames;

    // An empty parameter ends the walk, also an empty quoted one in the
    // middle: what follows it is never read.
    for (char* param; !IsEmpty(param = NextParam(reader, arena));) {
        if (param[0] == '/') {
            char* lowered = CopyText(arena, param, Length(param));
            OsLower(lowered);
            const Option* option = FindOption(lowered);
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
    return nullptr;
}
