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

// Exit statuses.
constexpr int32_t StatusChosen = 0;
constexpr int32_t StatusCancelled = 1;
constexpr int32_t StatusBadCall = 255;

// Everything a run decides, filled stage by stage. Texts are absent (null)
// until a stage sets them.
struct DialogSettings {
    const char* CommandString;
    const char* InitialDir;
    const char* Patterns;
    const char* WindowTitle;
    const char* InitialName;
    uint32_t DialogFlags;
    uint32_t OutputFlags;
    void* OwnerWindow;  // HWND, or null when the console window was not found
    int32_t ExitCode;
};
