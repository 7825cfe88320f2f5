/* A text that grows as the test stand-ins write their records. Running out
 * of memory ends the process: a half-written record would mislead. */
#pragma once
#include <windows.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
    char *p;
    size_t len, cap;
} Text;

/* Appends the n bytes at s, keeping room for a NUL after them. */
static void put(Text *t, const char *s, size_t n)
{
    if (t->len + n + 1 > t->cap) {
        size_t cap = t->cap ? t->cap : 256;
        while (t->len + n + 1 > cap)
            cap *= 2;
        char *p = realloc(t->p, cap);
        if (!p)
            ExitProcess(251);
        t->p = p;
        t->cap = cap;
    }
    memcpy(t->p + t->len, s, n);
    t->len += n;
}
