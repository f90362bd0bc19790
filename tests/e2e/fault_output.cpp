// A console program that writes what the fault tests need to its standard output, raw:
//   fault_output sleep SECONDS          prints "sleeping", then sleeps
//   fault_output garbage MARKER         NUL bytes, binary garbage, two 100,000-character lines, MARKER
//   fault_output flood MEGABYTES MARKER numbered lines of text, then MARKER
//   fault_output late SECONDS KB MARKER sleeps without a word, then KB kilobytes of lines and MARKER
//   fault_output quiet SECONDS FILE     sleeps without a word, then creates FILE
//   fault_output utf16 MARKER           UTF-16LE as wmic writes it: a byte-order mark and two lines
//                                       on standard output, a line without the mark on standard error
// It stops as soon as a write fails (the reader has gone).
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static HANDLE out;

static bool put(const char* bytes, size_t n) {
    while (n) {
        DWORD chunk = n > 65536 ? 65536 : (DWORD)n, wrote = 0;
        if (!WriteFile(out, bytes, chunk, &wrote, NULL) || wrote == 0) return false;
        bytes += wrote;
        n -= wrote;
    }
    return true;
}

static bool put_text(const char* text) { return put(text, strlen(text)); }

static int garbage(const char* marker) {
    static char block[100000];
    if (!put("nul\0in\0the\0middle\r\n", 20)) return 1;
    // The same bytes every time: a small linear congruential generator.
    unsigned state = 12345;
    for (int round = 0; round < 4; round++) {
        for (size_t i = 0; i < sizeof block; i++) {
            state = state * 1103515245u + 12345u;
            block[i] = (char)(state >> 16);
        }
        if (!put(block, 16384)) return 1;
    }
    if (!put_text("\r\n")) return 1;
    // A line of 100,000 characters of NULs and blanks, then one of letters whose line end comes
    // only after all of it; the marker follows.
    for (size_t i = 0; i < sizeof block; i++) block[i] = i % 2 ? ' ' : 0;
    if (!put(block, sizeof block) || !put_text("\r\n")) return 1;
    for (size_t i = 0; i < sizeof block; i++) block[i] = (char)('a' + i % 26);
    if (!put(block, sizeof block)) return 1;
    return put_text("\r\n") && put_text(marker) && put_text("\r\n") ? 0 : 1;
}

static int flood_bytes(long long total, const char* marker) {
    long long done = 0;
    char line[128];
    for (unsigned long n = 1; done < total; n++) {
        int length = _snprintf(line, sizeof line - 1,
                               "flood line %08lu the quick brown fox jumps over the lazy dog 0123456789\r\n", n);
        if (length <= 0) return 1;
        if (!put(line, (size_t)length)) return 1;
        done += length;
    }
    return put_text(marker) && put_text("\r\n") ? 0 : 1;
}

static int quiet(DWORD seconds, const char* file) {
    Sleep(seconds * 1000);
    HANDLE f = CreateFileA(file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(f);
    return 0;
}

// Little-endian UTF-16 of an ASCII text with the two non-ASCII characters "\xE4" (ä) and "\x01"
// standing for U+4E2D (a character whose bytes hold no NUL).
static bool put_utf16(HANDLE to, const char* text, bool mark) {
    char bytes[512];
    int n = 0;
    if (mark) bytes[n++] = (char)0xFF, bytes[n++] = (char)0xFE;
    for (const char* p = text; *p && n < 508; p++) {
        unsigned c = *p == '\x01' ? 0x4E2D : (unsigned char)*p;
        bytes[n++] = (char)(c & 0xFF);
        bytes[n++] = (char)(c >> 8);
    }
    DWORD wrote = 0;
    return WriteFile(to, bytes, (DWORD)n, &wrote, NULL) && wrote == (DWORD)n;
}

static int utf16(const char* marker) {
    char line[256];
    _snprintf(line, sizeof line - 1, "Caption\r\nMicrosoft Windows \xE4\x01 %s\r\n", marker);
    line[sizeof line - 1] = 0;
    if (!put_utf16(out, line, true)) return 1;
    _snprintf(line, sizeof line - 1, "Fehler \xE4\x01 %s\r\n", marker);
    return put_utf16(GetStdHandle(STD_ERROR_HANDLE), line, false) ? 0 : 1;
}

int main(int argc, char** argv) {
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (argc >= 3 && strcmp(argv[1], "sleep") == 0) {
        put_text("sleeping\r\n");
        Sleep((DWORD)atol(argv[2]) * 1000);
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "garbage") == 0) return garbage(argv[2]);
    if (argc >= 4 && strcmp(argv[1], "flood") == 0) return flood_bytes((long long)atol(argv[2]) << 20, argv[3]);
    if (argc >= 5 && strcmp(argv[1], "late") == 0) {
        Sleep((DWORD)atol(argv[2]) * 1000);
        return flood_bytes((long long)atol(argv[3]) << 10, argv[4]);
    }
    if (argc >= 4 && strcmp(argv[1], "quiet") == 0) return quiet((DWORD)atol(argv[2]), argv[3]);
    if (argc >= 3 && strcmp(argv[1], "utf16") == 0) return utf16(argv[2]);
    fputs("usage: fault_output sleep SECONDS | garbage MARKER | flood MEGABYTES MARKER | late SECONDS KB MARKER"
          " | quiet SECONDS FILE | utf16 MARKER\n", stderr);
    return 2;
}
