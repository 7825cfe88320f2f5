#include "support/support.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>

TestArena::TestArena(ptrdiff_t size) : memory(static_cast<char*>(std::malloc(size)))
{
    std::memset(memory, 0xA5, size);
    arena = Arena{memory, memory + size};
}

TestArena::~TestArena()
{
    std::free(memory);
}

std::string TestCommandLine;

const char* TestCommandLineText()
{
    return TestCommandLine.c_str();
}

[[noreturn]] void OutOfMemory()
{
    std::fputs("arena exhausted\n", stderr);
    std::abort();
}
