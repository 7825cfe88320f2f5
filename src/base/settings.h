#pragma once
#include <stdint.h>

// OFN_* bits that the options can put into DialogFlags.
constexpr uint32_t OfnHideReadOnly = 0x4;
constexpr uint32_t OfnAllowMultiSelect = 0x200;
constexpr uint32_t OfnFileMustExist = 0x1000;
constexpr uint32_t OfnExplorer = 0x80000;

// OutputFlags bits.
constexpr uint32_t QuoteNames = 1;
constexpr uint32_t NoLineEnd = 2;
// The code page of the line: UTF-8, or the console's. Without either, the
// ANSI code page, as the line has always been.
constexpr uint32_t Utf8Line = 4;
constexpr uint32_t ConsoleLine = 8;

// Exit statuses.
constexpr int32_t StatusChosen = 0;
constexpr int32_t StatusCancelled = 1;
constexpr int32_t StatusBadCall = 255;

// Everything a run decides, filled stage by stage. Texts are absent (null)
// until a stage sets them.
struct DialogSettings {
    const char16_t* CommandString;
    const char16_t* InitialDir;
    const char16_t* Patterns;
    const char16_t* WindowTitle;
    const char16_t* InitialName;
    uint32_t DialogFlags;
    uint32_t OutputFlags;
    uint32_t CodePage;  // of the line and the messages
    void* OwnerWindow;  // HWND, or null when the console window was not found
    int32_t ExitCode;
};
