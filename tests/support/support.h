#pragma once
#include <stddef.h>
#include <string>
#include "app/arena.h"

// A fresh arena per test, filled with a marker so that tests can tell what
// was written from what was left alone.
class TestArena {
public:
    explicit TestArena(ptrdiff_t size = 1 << 20);
    ~TestArena();
    TestArena(const TestArena&) = delete;
    TestArena& operator=(const TestArena&) = delete;
    operator Arena&() { return arena; }
    Arena arena;

private:
    char* memory;
};

// The command line that a test's ParamReader sees.
extern std::string TestCommandLine;
const char* TestCommandLineText();

// Bytes as a std::string, NULs included, for exact comparisons.
inline std::string Bytes(const char* text, size_t length) { return std::string(text, length); }
