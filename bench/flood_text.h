// The lines the benchmark producer writes, shared by the producer and the driver (which
// replays the output reader's read sizes over the same bytes).
#pragma once
#include <stddef.h>
#include <stdio.h>
#include <string.h>

enum { FLOOD_LINE_MAX = 128 };
static const char FLOOD_END[] = "FLOOD-END";

// Line number n: 70 to 99 bytes of text, CR LF included, so that line ends fall at every
// offset of a read.
static inline size_t flood_line(long n, char* out, size_t cap) {
    static const char fill[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    int width = 50 + (int)(n % 30);
    char text[FLOOD_LINE_MAX];
    int used = snprintf(text, sizeof text, "line %08ld ", n);
    for (int i = 0; i < width && used < (int)sizeof text - 3; i++) text[used++] = fill[(n + i) % 62];
    text[used++] = '\r';
    text[used++] = '\n';
    if ((size_t)used > cap) used = (int)cap;
    memcpy(out, text, (size_t)used);
    return (size_t)used;
}
