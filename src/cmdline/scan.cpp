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
    uint8_t Kind;      // the dialog it asks for; OpenOne: none
    uint8_t Encoding;  // the line's code page it asks for; AnsiEncoding: none
};

const Option Options[] = {
    {"/noquote", 0, 0, 0, QuoteNames, OpenOne, AnsiEncoding},
    {"/noquotes", 0, 0, 0, QuoteNames, OpenOne, AnsiEncoding},
    {"/nocrlf", 0, 0, NoLineEnd, 0, OpenOne, AnsiEncoding},
    // Multiple names come back NUL-separated only in the explorer style.
    {"/multiselect", OfnAllowMultiSelect | OfnExplorer, 0, 0, 0, OpenSeveral, AnsiEncoding},
    {"/maynotexist", 0, OfnFileMustExist, 0, 0, OpenOne, AnsiEncoding},
    // Read before everything else, by FindLineOption.
    {"/utf8", 0, 0, 0, 0, OpenOne, Utf8Encoding},
    {"/consolecp", 0, 0, 0, 0, OpenOne, ConsoleEncoding},
    // The save dialog takes a name that does not exist yet, and asks before
    // one that does is chosen; but its folder must exist, and a read-only
    // file is no place to write: the dialog says so itself, and the script
    // never gets such a name.
    {"/save", OfnOverwritePrompt | OfnPathMustExist | OfnNoReadOnlyReturn, OfnFileMustExist, 0, 0, SaveOne, AnsiEncoding},
    {"/folder", 0, 0, 0, 0, PickOneFolder, AnsiEncoding},
    {"/lines", 0, 0, LinePerName, 0, OpenOne, AnsiEncoding},
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
const char16_t* NextWalked(ParamReader& reader)
{
    const char16_t* param = NextParam(reader);
    return IsEmpty(param) ? nullptr : param;
}

}  // namespace

LineEncoding FindLineOption(ParamReader& reader, Arena& arena)
{
    LineEncoding line = AnsiEncoding;
    NextParam(reader);  // CommandString
    NextParam(reader);  // PathAndFilters, even when it starts with a slash
    while (const char16_t* param = NextWalked(reader)) {
        const Option* option = param[0] == u'/' ? FindOption(param, arena) : nullptr;
        if (option && option->Encoding) {
            line = (LineEncoding)option->Encoding;
        }
    }
    reader.Cursor = 0;
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
    const char16_t* path = NextParam(reader);
    if (IsEmpty(path)) {
        // Every file, in the folder that the dialog likes.
        settings.Patterns = u"*.*";
        settings.InitialDir = u"";
    } else {
        settings.Patterns = NamePart(path, arena);
        settings.InitialDir = ResolveFullPath(DirPart(path, arena), arena);
    }
    if (!IsValidPatternList(settings.Patterns)) {
        return Concat(arena, "Invalid parameter: ", path);
    }
    settings.DialogFlags = OfnHideReadOnly | OfnFileMustExist;
    settings.OutputFlags = QuoteNames;

    // An empty parameter ends the walk, also an empty quoted one in the
    // middle: what follows it is never read.
    bool mixed = false;
    while (const char16_t* param = NextWalked(reader)) {
        if (param[0] == u'/') {
            const Option* option = FindOption(param, arena);
            if (!option) {
                return Concat(arena, "Invalid option: ", param);
            }
            settings.DialogFlags = (settings.DialogFlags & ~option->ClearDialog) | option->SetDialog;
            settings.OutputFlags = (settings.OutputFlags & ~option->ClearOutput) | option->SetOutput;
            if (option->Kind) {
                mixed |= settings.Kind != OpenOne && settings.Kind != option->Kind;
                settings.Kind = (DialogKind)option->Kind;
            }
        } else if (IsEmpty(settings.WindowTitle)) {
            settings.WindowTitle = param;
        } else if (IsValidFileName(param)) {
            settings.InitialName = param;
        } else {
            return Concat(arena, "Invalid parameter: ", param);
        }
    }
    if (mixed) {
        return Concat(arena, OneDialog, nullptr);
    }
    return nullptr;
}
