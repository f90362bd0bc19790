// The command history behind Up, Down, F8, the F7 popup and the copy keys.
#include "input/input.h"
#include "input/history_text.h"
#include "app/app.h"
#include "app/commands.h"

static_assert(CMD_HISTORY_FIRST + HISTORY_POPUP_MAX - 1 <= CMD_HISTORY_LAST, "a command id for every popup entry");

static History history;   // zero-initialised: an empty history at the buffer's start
static DWORD f8_caret_mark = (DWORD)-1;   // none

void add_to_history(const wchar_t* line) { history_add(&history, line); }
void reset_f8_caret_mark() { f8_caret_mark = (DWORD)-1; }
void history_cursor_to_end() { history_cursor_to_end(&history); }
const wchar_t* previous_command() { return history_previous_command(&history); }
const wchar_t* newest_history_entry() { return history_newest(&history); }

static void show_entry(const wchar_t* entry) { clear_input_line(); insert_as_typed(entry); }

void previous_history_entry() {
    if (history_at_start(&history)) return;
    history_back(&history);
    show_entry(history_at_cursor(&history));
}

void next_history_entry() {
    if (history_at_end(&history)) return;
    history_forward(&history);
    show_entry(history_at_cursor(&history));
}

void history_prefix_search(bool forwards) {
    DWORD start = 0, end = 0;
    SendMessageW(Edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    if (end != f8_caret_mark) history_cursor_to_end(&history);
    f8_caret_mark = end;
    wchar_t line[HISTORY_CHARS + 1];
    GetWindowTextW(Edit, line, HISTORY_CHARS + 1);
    const wchar_t* found = history_prefix_search(&history, line, (int)start, forwards);
    if (!found) return;
    SetWindowTextW(Edit, found);
    SendMessageW(Edit, EM_SETSEL, start, start);
}

void previous_commands_popup() {
    static wchar_t items[HISTORY_POPUP_MAX][HISTORY_POPUP_TEXT + 8];
    int count = history_popup_items(&history, items);
    if (!count) {
        history_cursor_to_end(&history);
        MessageBeep(0);
        return;
    }
    HMENU menu = CreatePopupMenu();
    for (int i = 0; i < count; i++) InsertMenuW(menu, 0, MF_BYPOSITION | MF_STRING, CMD_HISTORY_FIRST + i, items[i]);
    POINT corner = {0, 0};
    ClientToScreen(Edit, &corner);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, corner.x, corner.y, 0, Main, nullptr);
    DestroyMenu(menu);
    history.cursor = 0;
}

void recall_history_entry(int command_id) {
    int k = command_id - CMD_HISTORY_FIRST + 1;   // the first id is the newest entry
    SendMessageW(Edit, EM_REPLACESEL, TRUE, (LPARAM)history_recall(&history, k));
}
