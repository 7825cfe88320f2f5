#pragma once
#include <stddef.h>
#include <string>
#include "base/arena.h"

// A fresh arena per test, filled with a marker so that tests can tell what
// was written from what was left alone. Running out fails the test process
// at once: a unit test that needs more memory than it asked for is wrong.
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

// Bytes as a std::string, NULs included, for exact comparisons.
inline std::string Bytes(const char* text, size_t length) { return std::string(text, length); }
