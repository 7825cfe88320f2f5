// Without a C runtime, GCC still emits calls to these for block copies and
// for zeroing records. The attribute keeps it from turning the loops back
// into calls to the functions themselves.
#include <stddef.h>

extern "C" {

__attribute__((optimize("no-tree-loop-distribute-patterns")))
void* memset(void* to, int value, size_t count)
{
    unsigned char* bytes = (unsigned char*)to;
    for (size_t i = 0; i < count; i++) {
        bytes[i] = (unsigned char)value;
    }
    return to;
}

__attribute__((optimize("no-tree-loop-distribute-patterns")))
void* memcpy(void* to, const void* from, size_t count)
{
    unsigned char* dst = (unsigned char*)to;
    const unsigned char* src = (const unsigned char*)from;
    for (size_t i = 0; i < count; i++) {
        dst[i] = src[i];
    }
    return to;
}

}
