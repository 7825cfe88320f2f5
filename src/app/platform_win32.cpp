#include <windows.h>
#include "app/platform.h"

unsigned long PlatformFullPathName(const char* text, unsigned long size, char* buffer)
{
    char* filePart;  // required by the call, never read
    return GetFullPathNameA(text, size, buffer, &filePart);
}

void PlatformLower(char* text)
{
    // CharLowerA takes a pointer whose high word is zero as one character;
    // texts live in the arena, far above the first 64 KiB.
    CharLowerA(text);
}

const char* PlatformCommandLine()
{
    return GetCommandLineA();
}
