#include "base/arena.h"

#ifdef TAMBERLIN_ASAN
#include <sanitizer/asan_interface.h>
void ArenaPoison(const char* at, ptrdiff_t size) { ASAN_POISON_MEMORY_REGION(at, size); }
void ArenaUnpoison(const char* at, ptrdiff_t size) { ASAN_UNPOISON_MEMORY_REGION(at, size); }
#else
void ArenaPoison(const char*, ptrdiff_t) {}
void ArenaUnpoison(const char*, ptrdiff_t) {}
#endif

[[noreturn]] void ArenaExhausted(Arena& arena)
{
    if (arena.Exhausted) {
        arena.Exhausted();
    }
    __builtin_trap();
}

void* Alloc(Arena& arena, ptrdiff_t size, ptrdiff_t align)
{
    ptrdiff_t pad = -(ptrdiff_t)(size_t)arena.Beg & (align - 1);
    if (size < 0 || size > arena.End - arena.Beg - pad - ArenaRedZone) {
        ArenaExhausted(arena);
    }
    char* block = arena.Beg + pad;
    arena.Beg = block + size + ArenaRedZone;
    ArenaUnpoison(block, size);
    for (ptrdiff_t i = 0; i < size; i++) {
        block[i] = 0;
    }
    return block;
}
