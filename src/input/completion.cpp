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

bool continues_cycle(const Cycle& cycle, const wchar_t* line, DWORD caret) {
    return continues_completion_cycle(cycle.caret, cycle.saved, line, caret);
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
    return completion_entry_qualifies(found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                                      directories_only);
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

// The file system's listing for the program search.
struct FindListing {
    HANDLE handle;
    WIN32_FIND_DATAW data;
};

bool find_first(void* context, const wchar_t* search, const wchar_t** name) {
    FindListing* listing = (FindListing*)context;
    listing->handle = FindFirstFileW(search, &listing->data);
    *name = listing->data.cFileName;
    return listing->handle != INVALID_HANDLE_VALUE;
}

bool find_next(void* context, const wchar_t** name) {
    FindListing* listing = (FindListing*)context;
    bool more = FindNextFileW(listing->handle, &listing->data) != 0;
    *name = listing->data.cFileName;
    return more;
}

void find_close(void* context) {
    FindListing* listing = (FindListing*)context;
    if (listing->handle != INVALID_HANDLE_VALUE) FindClose(listing->handle);
    listing->handle = INVALID_HANDLE_VALUE;
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
    FindListing listing = {INVALID_HANDLE_VALUE, {}};
    NameLister lister = {&listing, find_first, find_next, find_close};
    if (find_next_program(word.pattern, previous_program, search_directory_list(), executable_extension_list(),
                          lister, found)) {
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
void end_of_submission_reset() { close_enumeration(); names.saved[0] = 0; }
