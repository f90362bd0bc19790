// The producer of the benchmarks: writes a given number of bytes of numbered text lines to
// standard output, or, with "mixed", every other line to standard error, then an end line.
// The lines are a pure function of their number, so a reader can predict every byte.
//
//   flood BYTES [mixed]
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include "flood_text.h"

static void write_all(HANDLE h, const char* data, size_t n) {
    while (n > 0) {
        DWORD done = 0;
        if (!WriteFile(h, data, (DWORD)n, &done, NULL) || done == 0) return;
        data += done;
        n -= done;
    }
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: flood BYTES [mixed]\n");
        return 2;
    }
    long long total = atoll(argv[1]);
    bool mixed = argc > 2 && argv[2][0] == 'm';
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
    // Lines are gathered per stream and written in blocks, as a program with buffered output
    // would; a block never splits a line.
    static char block[2][8192];
    size_t used[2] = {0, 0};
    char line[FLOOD_LINE_MAX];
    long long written = 0;
    for (long number = 0; written < total; number++) {
        size_t n = flood_line(number, line, sizeof line);
        int stream = mixed ? (int)(number & 1) : 0;
        if (used[stream] + n > sizeof block[stream]) {
            write_all(stream ? err : out, block[stream], used[stream]);
            used[stream] = 0;
        }
        memcpy(block[stream] + used[stream], line, n);
        used[stream] += n;
        written += (long long)n;
    }
    write_all(out, block[0], used[0]);
    write_all(err, block[1], used[1]);
    char end[64];
    int n = snprintf(end, sizeof end, "%s %lld\r\n", FLOOD_END, written);
    write_all(out, end, (size_t)n);
    return 0;
}
