#include "input/completion_text.h"
#include "input/ascii_text.h"
#include "input/lookup_text.h"


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
    wchar_t a = ascii_lower(line[0]), b = ascii_lower(line[1]);
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
        while (k < n && ascii_lower(ext[k]) == ascii_lower(dot[k])) k++;
        if (k == n) return true;
    }
    return false;
}

const wchar_t* name_part(const wchar_t* path) {
    const wchar_t* slash = wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}

bool continues_completion_cycle(size_t cycle_caret, const wchar_t* saved, const wchar_t* line, size_t caret) {
    if (caret != cycle_caret || wcslen(line) < caret) return false;
    for (size_t i = 0; i < caret; i++) {
        if (ascii_lower(line[i]) != ascii_lower(saved[i])) return false;
        if (!line[i]) break;
    }
    return true;
}

bool completion_entry_qualifies(const wchar_t* name, bool is_directory, bool directories_only) {
    if (!wcscmp(name, L".") || !wcscmp(name, L"..")) return false;
    return !directories_only || is_directory;
}

namespace {

struct ProgramSearch {
    const wchar_t* extensions;
    const NameLister* lister;
    const wchar_t* previous_name;
    bool skipping;   // until previous_name has been seen
};

// The first program in directory (directory_length characters, ending in "\") matching
// name_pattern, after the previous name while skipping.
bool scan_directory(ProgramSearch* search, const wchar_t* directory, size_t directory_length,
                    const wchar_t* name_pattern, wchar_t* found) {
    wchar_t path[CANDIDATE_CHARS + COMPLETION_PATTERN_CHARS];
    if (directory_length >= CANDIDATE_CHARS) return false;
    wcsncpy(path, directory, directory_length);
    path[directory_length] = 0;
    wcsncat(path, name_pattern, COMPLETION_PATTERN_CHARS - 1);
    const wchar_t* name = nullptr;
    if (!search->lister->first(search->lister->context, path, &name)) return false;
    bool hit = false;
    do {
        if (search->skipping) {
            if (!wcscmp(name, search->previous_name)) search->skipping = false;
            continue;
        }
        if (is_executable_name(name, search->extensions) && directory_length + wcslen(name) < CANDIDATE_CHARS) {
            wcsncpy(found, directory, directory_length);
            found[directory_length] = 0;
            wcscat(found, name);
            hit = true;
        }
    } while (!hit && search->lister->next(search->lister->context, &name));
    search->lister->close(search->lister->context);
    return hit;
}

}  // namespace

bool find_next_program(const wchar_t* pattern, const wchar_t* previous, const wchar_t* directories,
                       const wchar_t* extensions, const NameLister& lister, wchar_t* found) {
    ProgramSearch search = {extensions, &lister, L"", previous[0] != 0};
    wchar_t previous_directory[CANDIDATE_CHARS] = L"";
    if (search.skipping) {
        search.previous_name = name_part(previous);
        size_t n = (size_t)(search.previous_name - previous);
        if (n >= CANDIDATE_CHARS) n = CANDIDATE_CHARS - 1;
        wcsncpy(previous_directory, previous, n);
        previous_directory[n] = 0;
    }
    if (wcschr(pattern, L'\\')) {
        const wchar_t* name = name_part(pattern);
        return scan_directory(&search, pattern, (size_t)(name - pattern), name, found);
    }
    size_t position = 0, length = 0;
    const wchar_t* directory = nullptr;
    while (next_list_entry(directories, &position, &directory, &length)) {
        wchar_t with_slash[CANDIDATE_CHARS];
        if (length + 2 > CANDIDATE_CHARS) continue;
        wcsncpy(with_slash, directory, length);
        with_slash[length] = 0;
        if (length && with_slash[length - 1] != L'\\') wcscat(with_slash, L"\\");
        if (previous_directory[0]) {
            if (!equal_ignoring_case(with_slash, previous_directory)) continue;
            previous_directory[0] = 0;
        }
        if (scan_directory(&search, with_slash, wcslen(with_slash), pattern, found)) return true;
        search.skipping = false;   // the next directory is taken from its first entry
    }
    return false;
}
