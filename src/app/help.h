#pragma once

// The banner and usage block, written as one text to standard error.
extern const char HelpText[];

// True when the first parameter asks for help: "/?" exactly, or nothing.
bool IsHelpRequest(const char16_t* commandString);
