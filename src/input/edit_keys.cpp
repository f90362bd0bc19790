// Console-style editing keys of the input line: F1 to F6, Esc, Ctrl+Q, Ctrl+K, Ctrl+\.
#include "input/input.h"
#include "input/edit_keys_text.h"
#include "input/keys.h"
#include "app/app.h"

static bool f2_pending, f4_pending;

// The characters go to the control itself, not through the input line's own procedure: they are
// the program's, so they must not answer a pending F2 or F4, the paused output or the waiting
// pager the way a key the user types does.
void insert_as_typed(const wchar_t* text) {
    if (!*text) return;
    activation_flag = false;
    reset_f8_caret_mark();
    for (; *text; text++) {
        // A control character from an old entry goes in as text: typed, it would be a key.
        if ((unsigned)*text < 32) {
            wchar_t one[2] = {*text, 0};
            SendMessageW(Edit, EM_REPLACESEL, TRUE, (LPARAM)one);
        } else if (edit_previous_proc) {
            CallWindowProcW(edit_previous_proc, Edit, WM_CHAR, *text, 0);
        } else {
            SendMessageW(Edit, WM_CHAR, *text, 0);
        }
    }
}

void clear_input_line() {
    SetWindowTextW(Edit, L"");
    UpdateWindow(Edit);
    forget_program_completion_match();
}

static size_t line_length() { return (size_t)GetWindowTextLengthW(Edit); }

void delete_word_before_caret() {
    DWORD start = 0, end = 0;
    SendMessageW(Edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    if (start == end) {
        wchar_t line[EDIT_KEYS_TEXT_CHARS];
        int length = GetWindowTextW(Edit, line, EDIT_KEYS_TEXT_CHARS);
        if (length < 0 || end > (DWORD)length) return;   // beyond what was read: nothing is guessed
        start = (DWORD)word_start_before(line, end);
    }
    SendMessageW(Edit, EM_SETSEL, start, end);
    SendMessageW(Edit, EM_REPLACESEL, TRUE, (LPARAM)L"");
}

static void insert_f1() {
    wchar_t c[2] = {f1_character(previous_command(), line_length()), 0};
    if (c[0]) insert_as_typed(c);
}

static void insert_f3() {
    wchar_t rest[EDIT_KEYS_TEXT_CHARS];
    wcsncpy(rest, f3_text(previous_command(), line_length()), EDIT_KEYS_TEXT_CHARS - 1);
    rest[EDIT_KEYS_TEXT_CHARS - 1] = 0;   // the entry may move under the typing: copy it first
    insert_as_typed(rest);
}

static void insert_word(bool f6, bool shift) {
    const wchar_t* entry = newest_history_entry();
    if (!entry[0]) return;
    wchar_t text[EDIT_KEYS_TEXT_CHARS];
    if (f6) f6_text(entry, shift, text, EDIT_KEYS_TEXT_CHARS);
    else f5_text(entry, shift, text, EDIT_KEYS_TEXT_CHARS);
    insert_as_typed(text);
}

static void insert_prefix(const wchar_t* prefix) {
    SendMessageW(Edit, EM_SETSEL, 0, 0);
    SendMessageW(Edit, EM_REPLACESEL, TRUE, (LPARAM)prefix);
    DWORD caret = (DWORD)wcslen(prefix);
    SendMessageW(Edit, EM_SETSEL, caret, caret);
}

static void convert_line_slashes() {
    DWORD start = 0, end = 0;
    SendMessageW(Edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    wchar_t line[EDIT_KEYS_TEXT_CHARS];
    GetWindowTextW(Edit, line, EDIT_KEYS_TEXT_CHARS);
    convert_slashes(line);
    SetWindowTextW(Edit, line);
    SendMessageW(Edit, EM_SETSEL, start, end);
}

static void copy_up_to_key(wchar_t k) {
    f2_pending = false;
    wchar_t text[EDIT_KEYS_TEXT_CHARS];
    copy_up_to(previous_command(), line_length(), k, text, EDIT_KEYS_TEXT_CHARS);
    insert_as_typed(text);
}

static void delete_up_to_key(wchar_t k) {
    f4_pending = false;
    wchar_t line[EDIT_KEYS_TEXT_CHARS];
    GetWindowTextW(Edit, line, EDIT_KEYS_TEXT_CHARS);
    DWORD start = 0, end = 0;
    SendMessageW(Edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    long found = delete_up_to(line, start, k);
    if (found < 0) return;
    SendMessageW(Edit, EM_SETSEL, start, (LPARAM)found);
    SendMessageW(Edit, EM_REPLACESEL, TRUE, (LPARAM)L"");
}

bool edit_key_down(WPARAM key, bool shift) {
    switch (key) {
    case VK_F1: insert_f1(); return true;
    case VK_F2: f2_pending = true; return true;
    case VK_F3: insert_f3(); return true;
    case VK_F4: f4_pending = true; return true;
    case VK_F5: insert_word(false, shift); return true;
    case VK_F6: insert_word(true, shift); return true;
    }
    return false;
}

bool edit_key_char(wchar_t c) {
    switch (c) {
    case CHAR_ESCAPE:
        clear_input_line();
        history_cursor_to_end();
        return true;
    case CHAR_CTRL_Q: insert_prefix(L"start cmd /c "); return true;
    case CHAR_CTRL_K: insert_prefix(L"start cmd /f:on /k "); return true;
    case CHAR_CTRL_BACKSLASH: convert_line_slashes(); return true;
    }
    if (c < 32) return false;
    if (f2_pending) {
        copy_up_to_key(c);
        return true;
    }
    if (f4_pending) {
        delete_up_to_key(c);
        return true;
    }
    return false;
}
