#include "input/edit_keys_text.h"
#include "input/lookup_text.h"
#include "input/route_text.h"

static const wchar_t QUOTING_SET[] = L" &()[]{}^=;!'+,`~";


static void copy_bounded(wchar_t* out, size_t cap, const wchar_t* from, size_t count) {
    if (!cap) return;
    size_t i = 0;
    for (; i < count && i + 1 < cap && from[i]; i++) out[i] = from[i];
    out[i] = 0;
}

wchar_t f1_character(const wchar_t* previous, size_t line_length) {
    return line_length < wcslen(previous) ? previous[line_length] : 0;
}

const wchar_t* f3_text(const wchar_t* previous, size_t line_length) {
    size_t len = wcslen(previous);
    return previous + (line_length < len ? line_length : len);
}

void copy_up_to(const wchar_t* previous, size_t line_length, wchar_t k, wchar_t* out, size_t cap) {
    size_t len = wcslen(previous), pos = line_length, o = 0;
    if (cap) out[0] = 0;
    if (pos >= len || !cap) return;
    if (previous[pos] == k && o + 1 < cap) out[o++] = previous[pos++];
    const wchar_t* found = wcschr(previous + pos, k);
    if (found)
        for (; previous + pos < found && o + 1 < cap; pos++) out[o++] = previous[pos];
    out[o] = 0;
}

long delete_up_to(const wchar_t* line, size_t start, wchar_t k) {
    size_t len = wcslen(line);
    if (start > len) return -1;
    size_t from = (start < len && line[start] == k) ? start + 1 : start;
    const wchar_t* found = wcschr(line + from, k);
    return found && *found ? (long)(found - line) : -1;
}

void f5_text(const wchar_t* entry, bool second, wchar_t* out, size_t cap) {
    wchar_t word[EDIT_KEYS_TEXT_CHARS];
    size_t after = first_word(entry, word, EDIT_KEYS_TEXT_CHARS);
    if (second) first_word(entry + after, word, EDIT_KEYS_TEXT_CHARS);
    bool quote = wcspbrk(word, QUOTING_SET) != nullptr;
    size_t o = 0;
    if (cap < 4) { if (cap) out[0] = 0; return; }
    if (quote) out[o++] = L'"';
    for (size_t i = 0; word[i] && o + 3 < cap; i++) out[o++] = word[i];
    if (quote) out[o++] = L'"';
    out[o++] = L' ';
    out[o] = 0;
}

void f6_text(const wchar_t* entry, bool rest, wchar_t* out, size_t cap) {
    wchar_t word[EDIT_KEYS_TEXT_CHARS];
    if (rest) {
        const wchar_t* p = entry + first_word(entry, word, EDIT_KEYS_TEXT_CHARS);
        while (*p && is_blank(*p)) p++;
        copy_bounded(out, cap, p, wcslen(p));
        return;
    }
    size_t end = wcslen(entry);
    while (end > 0 && is_blank(entry[end - 1])) end--;
    size_t start = 0;
    if (end > 0 && entry[end - 1] == L'"') {
        // The quote that opens it; with none, the word starts after the last blank before it.
        size_t q = end - 1;
        while (q > 0 && entry[q - 1] != L'"') q--;
        if (q > 0) {
            start = q - 1;
        } else {
            start = end - 1;
            while (start > 0 && !is_blank(entry[start - 1])) start--;
        }
    } else {
        start = end;
        while (start > 0 && !is_blank(entry[start - 1])) start--;
    }
    copy_bounded(out, cap, entry + start, wcslen(entry + start));
}

void convert_slashes(wchar_t* line) {
    for (; *line; line++)
        if (*line == L'/') *line = L'\\';
}

size_t word_start_before(const wchar_t* line, size_t caret) {
    size_t at = wcslen(line);
    if (caret < at) at = caret;
    while (at > 0 && is_blank(line[at - 1])) at--;
    while (at > 0 && !is_blank(line[at - 1])) at--;
    return at;
}

static bool is_delimiter(wchar_t c, const wchar_t* delimiters) { return c && wcschr(delimiters, c) != nullptr; }
static bool is_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }

void select_word(const wchar_t* text, size_t length, const wchar_t* delimiters, long* pp, long* qp, bool join,
                 long previous_start, long previous_end) {
    long n = (long)length, p = *pp, q = *qp;
    if (p < 0) p = 0;
    if (p > n) p = n;
    if (q < p) q = p;
    if (q > n) q = n;
    if (p < n && is_blank(text[p])) {
        while (p > 0 && is_blank(text[p - 1])) p--;
        while (q < n && is_blank(text[q])) q++;
    } else {
        while (p > 0 && !is_blank(text[p - 1]) && !is_delimiter(text[p - 1], delimiters)) p--;
        while (p < n && is_delimiter(text[p], delimiters)) p++;
        // Clicked on delimiters: p has run past q; the selection must not come out reversed.
        if (q < p) q = p;
        while (q > p && (is_blank(text[q - 1]) || is_delimiter(text[q - 1], delimiters))) q--;
        while (q < n && !is_blank(text[q]) && !is_delimiter(text[q], delimiters)) q++;
        if (p < n && (is_digit(text[p]) || text[p] == L'-') && q > 0 && is_digit(text[q - 1])) {
            while (p >= 1) {
                if (is_digit(text[p - 1])) p -= 1;
                else if (p >= 2 && (text[p - 1] == L',' || text[p - 1] == L'.') && is_digit(text[p - 2])) p -= 2;
                else break;
            }
            while (q < n) {
                if (is_digit(text[q])) q += 1;
                else if ((text[q] == L',' || text[q] == L'.') && q + 1 < n && is_digit(text[q + 1])) q += 2;
                else break;
            }
        }
    }
    if (join) {
        if (previous_start < p) p = previous_start;
        if (previous_end > q) q = previous_end;
    }
    *pp = p;
    *qp = q;
}
