// Name completion: Ctrl+D and Ctrl+F offer directory and file names, Ctrl+R program names.
// Each press offers the next match to the right of the caret; pressing again without moving
// the caret or typing replaces it with the next one.
#include "input/input.h"
#include "input/completion_text.h"
#include "input/lookup.h"
#include "app/app.h"

namespace {

struct Cycle {
    DWORD caret;
    wchar_t saved[COMPLETION_LINE_CHARS];   // the line up to the caret when the cycle began
    size_t insert;
    int offered;
};

HANDLE enumeration = INVALID_HANDLE_VALUE;
WIN32_FIND_DATAW entry;
bool entry_pending;   // the first entry of a new enumeration has not been looked at yet
Cycle names;

Cycle programs;
wchar_t previous_program[CANDIDATE_CHARS];   // full path of the last program offered

wchar_t fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? (wchar_t)(c + 32) : c; }

bool same_start(const wchar_t* line, const wchar_t* saved, DWORD count) {
    for (DWORD i = 0; i < count; i++) {
        if (fold(line[i]) != fold(saved[i])) return false;
        if (!line[i]) break;
    }
    return true;
}

bool continues_cycle(const Cycle& cycle, const wchar_t* line, DWORD caret) {
    return caret == cycle.caret && wcslen(line) >= caret && same_start(line, cycle.saved, caret);
}

void begin_cycle(Cycle* cycle, wchar_t* line, DWORD caret) {
    cycle->offered = 0;
    cycle->caret = caret;
    if (wcslen(line) > caret) line[caret] = 0;
    wcsncpy(cycle->saved, line, COMPLETION_LINE_CHARS - 1);
    cycle->saved[COMPLETION_LINE_CHARS - 1] = 0;
}

// The saved line up to the insert position, then the name (and a blank for programs).
void show_completion(const Cycle& cycle, const wchar_t* name, const wchar_t* tail, DWORD start, DWORD end) {
    wchar_t line[COMPLETION_LINE_CHARS + CANDIDATE_CHARS + 2];
    size_t n = cycle.insert < COMPLETION_LINE_CHARS ? cycle.insert : COMPLETION_LINE_CHARS - 1;
    wcsncpy(line, cycle.saved, n);
    line[n] = 0;
    wcsncat(line, name, CANDIDATE_CHARS);
    wcscat(line, tail);
    SetWindowTextW(Edit, line);
    SendMessageW(Edit, EM_SETSEL, start, end);
}

bool qualifies(const WIN32_FIND_DATAW& found, bool directories_only) {
    if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L"..")) return false;
    return !directories_only || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

void close_enumeration() {
    if (enumeration != INVALID_HANDLE_VALUE) FindClose(enumeration);
    enumeration = INVALID_HANDLE_VALUE;
    entry_pending = false;
}

// One press; false when the enumeration ran out after offering something (start over).
bool complete_name_once(wchar_t mode) {
    wchar_t line[COMPLETION_LINE_CHARS];
    GetWindowTextW(Edit, line, COMPLETION_LINE_CHARS);
    DWORD start = 0, end = 0;
    SendMessageW(Edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    CompletionWord word;
    wchar_t cut[COMPLETION_LINE_CHARS];
    wcscpy(cut, line);
    if (wcslen(cut) > end) cut[end] = 0;
    bool change_directory = find_change_directory_word(cut, &word);
    bool directories_only = change_directory || mode == 4;
    if (!change_directory) find_completion_word(cut, &word);

    if (enumeration == INVALID_HANDLE_VALUE || !continues_cycle(names, line, end)) {
        begin_cycle(&names, line, end);
        names.insert = word.insert;
        close_enumeration();
        enumeration = FindFirstFileW(word.pattern, &entry);
        if (enumeration == INVALID_HANDLE_VALUE) {
            MessageBeep(0);
            return true;
        }
        entry_pending = true;
    }
    for (;;) {
        if (!entry_pending && !FindNextFileW(enumeration, &entry)) break;
        entry_pending = false;
        if (!qualifies(entry, directories_only)) continue;
        show_completion(names, entry.cFileName, L"", start, end);
        names.offered++;
        return true;
    }
    close_enumeration();
    if (names.offered) return false;
    MessageBeep(0);
    return true;
}

// The next program after `previous` that matches the pattern: in the pattern's own directory
// when it has one, else in "." and then every PATH directory.
bool find_next_program(const wchar_t* pattern, const wchar_t* previous, wchar_t* found) {
    const wchar_t* extensions = executable_extension_list();
    wchar_t previous_directory[CANDIDATE_CHARS] = L"";
    const wchar_t* previous_name = L"";
    bool skipping = previous[0] != 0;
    if (skipping) {
        previous_name = name_part(previous);
        size_t n = (size_t)(previous_name - previous);
        wcsncpy(previous_directory, previous, n);
        previous_directory[n] = 0;
    }

    auto scan = [&](const wchar_t* directory, size_t directory_length, const wchar_t* name_pattern) -> bool {
        wchar_t search[CANDIDATE_CHARS + COMPLETION_PATTERN_CHARS];
        wcsncpy(search, directory, directory_length);
        search[directory_length] = 0;
        wcsncat(search, name_pattern, COMPLETION_PATTERN_CHARS);
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW(search, &data);
        if (h == INVALID_HANDLE_VALUE) return false;
        bool hit = false;
        do {
            if (skipping) {
                if (!wcscmp(data.cFileName, previous_name)) skipping = false;
                continue;
            }
            if (is_executable_name(data.cFileName, extensions) &&
                directory_length + wcslen(data.cFileName) < CANDIDATE_CHARS) {
                wcsncpy(found, directory, directory_length);
                found[directory_length] = 0;
                wcscat(found, data.cFileName);
                hit = true;
            }
        } while (!hit && FindNextFileW(h, &data));
        FindClose(h);
        return hit;
    };

    if (wcschr(pattern, L'\\')) {
        const wchar_t* name = name_part(pattern);
        return scan(pattern, (size_t)(name - pattern), name);
    }
    const wchar_t* list = search_directory_list();
    size_t position = 0, length = 0;
    const wchar_t* directory = nullptr;
    while (next_list_entry(list, &position, &directory, &length)) {
        wchar_t with_slash[CANDIDATE_CHARS];
        if (length + 2 > CANDIDATE_CHARS) continue;
        wcsncpy(with_slash, directory, length);
        with_slash[length] = 0;
        if (length && with_slash[length - 1] != L'\\') wcscat(with_slash, L"\\");
        if (previous_directory[0]) {
            if (_wcsicmp(with_slash, previous_directory) != 0) continue;
            previous_directory[0] = 0;
        }
        if (scan(with_slash, wcslen(with_slash), pattern)) return true;
        skipping = false;   // the next directory is taken from its first entry
    }
    return false;
}

}  // namespace

void name_completion(wchar_t mode) {
    if (!complete_name_once(mode)) complete_name_once(mode);
}

void program_completion() {
    wchar_t line[COMPLETION_LINE_CHARS];
    GetWindowTextW(Edit, line, COMPLETION_LINE_CHARS);
    DWORD start = 0, end = 0;
    SendMessageW(Edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    static CompletionWord word;
    if (!previous_program[0] || !continues_cycle(programs, line, end)) {
        previous_program[0] = 0;
        begin_cycle(&programs, line, end);
        find_completion_word(programs.saved, &word);
        programs.insert = word.insert;
    }
    wchar_t found[CANDIDATE_CHARS];
    if (find_next_program(word.pattern, previous_program, found)) {
        wcscpy(previous_program, found);
        show_completion(programs, name_part(found), L" ", start, end);
        programs.offered++;
        return;
    }
    // Past the last match: back to what was typed; the next press starts over.
    previous_program[0] = 0;
    SetWindowTextW(Edit, programs.saved);
    SendMessageW(Edit, EM_SETSEL, start, end);
    programs.offered = 0;
}

void close_completion_enumeration() { close_enumeration(); }
void forget_program_completion_match() { previous_program[0] = 0; }
void end_of_submission_reset() {
    close_enumeration();
    names.saved[0] = 0;
}
