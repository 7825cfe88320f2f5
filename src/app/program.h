#pragma once

// The whole run, from the command line to the exit status: start-up, the
// help decision, the argument scan, the dialog and the output line, in that
// order. Every call into the system goes through the seam, and every run
// ends in OsExit.
[[noreturn]] void RunProgram();
