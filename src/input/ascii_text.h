// Letters compared as cmd.exe compares command words, names and answers: ASCII case only, no
// locale, so that a word means the same on every system.
#pragma once
#include <wchar.h>

inline wchar_t ascii_lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? (wchar_t)(c + 32) : c; }
inline wchar_t ascii_upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? (wchar_t)(c - 32) : c; }
inline bool equal_ignoring_case(const wchar_t* a, const wchar_t* b) {
    for (; *a && *b; a++, b++)
        if (ascii_lower(*a) != ascii_lower(*b)) return false;
    return *a == *b;
}
