#pragma once

// The few system services that the pure stages need. The program binds them
// to Win32; the native unit tests bind them to small fakes.

// GetFullPathNameA: writes the full path of `text` into `buffer` of `size`
// bytes and returns its length without the NUL, 0 on failure, or the size it
// would need when it does not fit.
unsigned long PlatformFullPathName(const char* text, unsigned long size, char* buffer);

// CharLowerA on a whole text, in place: the system's 8-bit lowercase mapping.
void PlatformLower(char* text);

// GetCommandLineA: the raw command line of the process.
const char* PlatformCommandLine();
