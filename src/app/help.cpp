#include "app/help.h"
#include "base/text.h"

// The typo "returnd" and the blanks at the end of two lines are part of the
// text that callers have seen for years; keep them. The banner starts as it
// always has, then says which build this is: TAMBERLIN_VERSION comes from
// the file VERSION, through the build.
const char HelpText[] =
    "Quibo 1.5 - Tamberlin " TAMBERLIN_VERSION "\r\n\r\n"
    "Syntax:\r\n"
    "    Tamberlin \"CommandString\" \"PathAndFilters\" [\"WindowTitle\"] [Options]\r\n"
    "CommandString\r\n"
    "    will be prepended to the returnd file name(s)\r\n"
    "PathAndFilters \r\n"
    "    initial path with one or more file pattern(s), separated by semicolon.\r\n"
    "WindowTitle\r\n"
    "    whatever you want to show in the title bar \r\n"
    "Options\r\n"
    "    /maynotexist /multiselect /noCRLF /noQuote\r\n"
    "    /utf8 /consoleCP /save /folder /lines\r\n";

bool IsHelpRequest(const char16_t* commandString)
{
    return IsEmpty(commandString) || Equal(commandString, "/?");
}
