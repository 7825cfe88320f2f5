#pragma once
#include <stddef.h>

// All memory of a run comes from one block and goes back with it at exit:
// nothing is freed piecemeal, so no stage has to track ownership. The block
// is reserved whole but committed only as far as it is used, since Windows
// charges committed pages whether or not they are ever touched.
struct Arena {
    char* Beg;
    char* End;        // end of the reservation
    char* Committed;  // usable up to here; grown through Commit
    // Makes `size` bytes at `at` usable, zero-filled; false when the system
    // cannot. Null: the whole block is usable already.
    bool (*Commit)(char* at, ptrdiff_t size);
    // Called when a request does not fit; it must not return. The owner of
    // the run decides what running out means for the exit status.
    void (*Exhausted)();
};

// Returns `size` zeroed bytes aligned to `align` (a power of two). Never
// returns null: running out calls `Exhausted`.
void* Alloc(Arena& arena, ptrdiff_t size, ptrdiff_t align);

// Makes the bytes up to `end` usable, committing more when needed; running
// out calls `Exhausted`.
void EnsureCommitted(Arena& arena, const char* end);

template <typename T>
T* New(Arena& arena, ptrdiff_t count = 1)
{
    if (count > (ptrdiff_t)(0x7fffffff / sizeof(T))) {
        count = -1;  // let Alloc see an impossible size and give up
    }
    return static_cast<T*>(Alloc(arena, (ptrdiff_t)sizeof(T) * count, alignof(T)));
}

// Calls `Exhausted` and never returns, even if it does.
[[noreturn]] void ArenaExhausted(Arena& arena);

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAMBERLIN_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TAMBERLIN_ASAN 1
#endif

// Room left after every block: poisoned under AddressSanitizer, so that a
// read just past one is caught; none in the program itself.
#ifdef TAMBERLIN_ASAN
constexpr ptrdiff_t ArenaRedZone = 16;
#else
constexpr ptrdiff_t ArenaRedZone = 0;
#endif

// Under AddressSanitizer the free part of the arena is poisoned and each
// block keeps a poisoned gap after it, so a read or write past any block is
// caught; elsewhere these do nothing.
void ArenaPoison(const char* at, ptrdiff_t size);
void ArenaUnpoison(const char* at, ptrdiff_t size);
