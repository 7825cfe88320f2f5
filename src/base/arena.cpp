#include "base/arena.h"

#ifdef TAMBERLIN_ASAN
#include <sanitizer/asan_interface.h>
void ArenaPoison(const char* at, ptrdiff_t size) { ASAN_POISON_MEMORY_REGION(at, size); }
void ArenaUnpoison(const char* at, ptrdiff_t size) { ASAN_UNPOISON_MEMORY_REGION(at, size); }
#else
void ArenaPoison(const char*, ptrdiff_t) {}
void ArenaUnpoison(const char*, ptrdiff_t) {}
#endif

namespace {

// Committing in steps keeps the system calls few; a run that picks one file
// still commits only a step or two.
constexpr ptrdiff_t CommitStep = 64 << 10;

}  // namespace

[[noreturn]] void ArenaExhausted(Arena& arena)
{
    if (arena.Exhausted) {
        arena.Exhausted();
    }
    __builtin_trap();
}

void EnsureCommitted(Arena& arena, const char* end)
{
    if (end <= arena.Committed) {
        return;
    }
    if (end > arena.End || !arena.Commit) {
        ArenaExhausted(arena);
    }
    ptrdiff_t size = (end - arena.Committed + CommitStep - 1) / CommitStep * CommitStep;
    if (size > arena.End - arena.Committed) {
        size = arena.End - arena.Committed;
    }
    if (!arena.Commit(arena.Committed, size)) {
        ArenaExhausted(arena);
    }
    // Poisoned as it arrives: the free part stays poisoned as a whole.
    ArenaPoison(arena.Committed, size);
    arena.Committed += size;
}

void* Alloc(Arena& arena, ptrdiff_t size, ptrdiff_t align)
{
    ptrdiff_t pad = -(ptrdiff_t)(size_t)arena.Beg & (align - 1);
    if (size < 0 || size > arena.End - arena.Beg - pad - ArenaRedZone) {
        ArenaExhausted(arena);
    }
    char* block = arena.Beg + pad;
    EnsureCommitted(arena, block + size + ArenaRedZone);
    arena.Beg = block + size + ArenaRedZone;
    ArenaUnpoison(block, size);
    for (ptrdiff_t i = 0; i < size; i++) {
        block[i] = 0;
    }
    return block;
}
