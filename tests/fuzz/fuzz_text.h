// Turning fuzz bytes into the text the parsers see on Windows: every pair of bytes, low byte
// first, is one 16-bit code unit (lone surrogates, 0xFFFF and zero included), whatever the size
// of wchar_t on the machine doing the fuzzing. Strings live in heap blocks of exactly their size,
// so reading past a terminator is caught.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <vector>
#include <wchar.h>

struct FuzzInput {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

inline FuzzInput fuzz_input(const uint8_t* data, size_t size) { return FuzzInput{data, size, 0}; }
inline bool fuzz_more(const FuzzInput* in) { return in->pos < in->size; }
inline unsigned fuzz_byte(FuzzInput* in) { return in->pos < in->size ? in->data[in->pos++] : 0; }

inline wchar_t fuzz_unit(FuzzInput* in) {
    unsigned low = fuzz_byte(in);
    unsigned high = fuzz_byte(in);
    return (wchar_t)(low | high << 8);
}

// A number in [0, limit): one byte, or two when the limit needs them.
inline int fuzz_pick(FuzzInput* in, int limit) {
    if (limit <= 1) return 0;
    unsigned v = fuzz_byte(in);
    if (limit > 256) v |= fuzz_byte(in) << 8;
    return (int)(v % (unsigned)limit);
}

// A zero-terminated string of the units up to the next zero unit (or the input's end),
// at most max_units of them.
inline std::vector<wchar_t> fuzz_string(FuzzInput* in, size_t max_units = (size_t)-1) {
    std::vector<wchar_t> s;
    while (fuzz_more(in) && s.size() < max_units) {
        wchar_t c = fuzz_unit(in);
        if (!c) break;
        s.push_back(c);
    }
    s.push_back(0);
    s.shrink_to_fit();
    return s;
}

// All remaining units, zeros kept, with one terminator after them.
inline std::vector<wchar_t> fuzz_rest(FuzzInput* in) {
    std::vector<wchar_t> s;
    while (fuzz_more(in)) s.push_back(fuzz_unit(in));
    s.push_back(0);
    s.shrink_to_fit();
    return s;
}

// A fixed-capacity buffer holding a copy of text, cut to fit, for functions that work in place.
inline void fuzz_copy(wchar_t* buffer, size_t capacity, const wchar_t* text) {
    size_t n = 0;
    for (; n + 1 < capacity && text[n]; n++) buffer[n] = text[n];
    buffer[n] = 0;
}

// A failed property: abort, so libFuzzer records the input.
#define FUZZ_CHECK(condition) \
    do {                      \
        if (!(condition)) abort(); \
    } while (0)
