#include "input/completion_text.h"
#include "input/lookup_text.h"

static wchar_t fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? (wchar_t)(c + 32) : c; }

static void finish_word(const wchar_t* line, size_t start, CompletionWord* word) {
    size_t len = wcslen(line), o = 0;
    word->start = start > len ? len : start;
    word->insert = word->start;
    for (size_t i = word->start; i < len; i++) {
        if (line[i] == L'\\' || line[i] == L':') word->insert = i + 1;
        if (o + 2 < COMPLETION_PATTERN_CHARS) word->pattern[o++] = line[i];
    }
    word->pattern[o++] = L'*';
    word->pattern[o] = 0;
}

void find_completion_word(const wchar_t* line, CompletionWord* word) {
    size_t start = 0;
    bool quoted = false;
    for (size_t i = 0; line[i]; i++) {
        if (line[i] == L'"') {
            quoted = !quoted;
            if (quoted) start = i + 1;
        } else if (!quoted && is_blank(line[i])) {
            start = i + 1;
        }
    }
    finish_word(line, start, word);
}

bool find_change_directory_word(const wchar_t* line, CompletionWord* word) {
    if (wcslen(line) < 3 || line[2] != L' ') return false;
    wchar_t a = fold(line[0]), b = fold(line[1]);
    if (!((a == L'c' || a == L'r') && b == L'd')) return false;
    size_t i = 3;
    while (line[i] == L'/') {
        while (line[i] && !is_blank(line[i])) i++;
        while (line[i] && is_blank(line[i])) i++;
    }
    if (line[i] == L'"') i++;
    finish_word(line, i, word);
    return true;
}

bool is_executable_name(const wchar_t* name, const wchar_t* extensions) {
    const wchar_t* dot = wcsrchr(name, L'.');
    if (!dot) return false;
    size_t ext_len = wcslen(dot), position = 0, n = 0;
    const wchar_t* ext = nullptr;
    while (next_list_entry(extensions, &position, &ext, &n)) {
        if (n != ext_len) continue;
        size_t k = 0;
        while (k < n && fold(ext[k]) == fold(dot[k])) k++;
        if (k == n) return true;
    }
    return false;
}

const wchar_t* name_part(const wchar_t* path) {
    const wchar_t* slash = wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}
