// Native stand-ins for the system calls: just enough of their behaviour for
// the pure stages, with the current directory fixed at C:\work.
#include <cstring>
#include <string>
#include "app/platform.h"

unsigned long PlatformFullPathName(const char* text, unsigned long size, char* buffer)
{
    std::string full = text;
    bool rooted = full.size() >= 3 && full[1] == ':' && (full[2] == '\\' || full[2] == '/');
    bool unc = full.rfind("\\\\", 0) == 0;
    if (!rooted && !unc) {
        full = "C:\\work\\" + full;
    }
    if (full.size() + 1 > size) {
        return 0;  // as Wine does for a path that does not fit
    }
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    return (unsigned long)full.size();
}

void PlatformLower(char* text)
{
    for (; *text; text++) {
        if (*text >= 'A' && *text <= 'Z') {
            *text = (char)(*text + 32);
        }
    }
}

const char* PlatformCommandLine()
{
    return "";
}
