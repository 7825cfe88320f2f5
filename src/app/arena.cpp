#include "app/arena.h"

void* Alloc(Arena& arena, ptrdiff_t size, ptrdiff_t align)
{
    ptrdiff_t pad = -(ptrdiff_t)(size_t)arena.Beg & (align - 1);
    if (size < 0 || size > arena.End - arena.Beg - pad) {
        OutOfMemory();
    }
    char* block = arena.Beg + pad;
    arena.Beg = block + size;
    for (ptrdiff_t i = 0; i < size; i++) {
        block[i] = 0;
    }
    return block;
}
