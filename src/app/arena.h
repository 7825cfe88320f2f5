#pragma once
#include <stddef.h>

// All memory of a run comes from one block and goes back with it at exit:
// nothing is freed piecemeal, so no stage has to track ownership.
struct Arena {
    char* Beg;
    char* End;
};

// Returns `size` zeroed bytes aligned to `align` (a power of two). Never
// returns null: running out ends the process through OutOfMemory.
void* Alloc(Arena& arena, ptrdiff_t size, ptrdiff_t align);

template <typename T>
T* New(Arena& arena, ptrdiff_t count = 1)
{
    if (count > (ptrdiff_t)(0x7fffffff / sizeof(T))) {
        count = -1;  // let Alloc see an impossible size and give up
    }
    return static_cast<T*>(Alloc(arena, (ptrdiff_t)sizeof(T) * count, alignof(T)));
}

// Supplied by whoever owns the process (the program's entry, or a test
// harness): it must not return.
[[noreturn]] void OutOfMemory();
