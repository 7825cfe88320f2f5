#pragma once
#include <stdint.h>

// Takes the three standard handles and registers ControlHandler. Creates no
// console and sets no title. Cannot fail.
void StartConsoleStreams();

// Writes `text` to standard output, unchanged: through the console when it
// is one, else as a file write. Null writes nothing. Failures are dropped.
void WriteOut(const char* text);

// Writes `text` (null: "") and then one LF to standard error, as two writes
// through the same function. Failures are dropped.
void WriteErrLine(const char* text);

// The console control handler: false for every event, so that the system's
// default handling ends the process.
bool ControlHandler(uint32_t event);
