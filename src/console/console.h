#pragma once

// Takes the three standard handles and registers the console control
// handler. Creates no console and sets no title. Cannot fail.
void StartConsoleStreams();

// Writes `text` to standard output, unchanged; null writes nothing.
// Failures are dropped.
void WriteOut(const char* text);

// Writes `text` (null: "") and then one LF to standard error, as two writes
// through the same function. Failures are dropped.
void WriteErrLine(const char* text);
