#include "app/program.h"

// The process starts here, with no C runtime before it: the program flow
// takes over at once and ends the process itself.
extern "C" [[noreturn]] void __stdcall Entry()
{
    RunProgram();
}
