// The three children's procedures: the input line dispatches keys and characters, the pane and
// the prompt display hand typing and the focus to the input line.
#include "input/input.h"
#include "input/keys.h"
#include "app/app.h"
#include "app/commands.h"
#include "app/grid.h"
#include "slave/pager.h"
#include "slave/reader.h"
#include "slave/slave.h"

bool run_key_handler(const KeyBinding* table, size_t count, KeyPress press) {
    for (size_t i = 0; i < count; i++)
        if (table[i].key == press.key) return table[i].handle(press);
    return false;
}

void confirm_interrupt() {
    if (MessageBoxW(Main, L"Terminate command?", L"Tavro: Interrupt?", MB_YESNO | MB_ICONQUESTION) == IDYES)
        interrupt_slave();
}

namespace {

enum { PASTE_RETRIES = 10, PASTE_RETRY_MS = 100 };

int paste_retry_count;
// Ctrl+Backspace was handled as a key: the character it makes (127 on Windows, 8 under Wine) follows
// and is not typed.
bool ctrl_backspace_done;

bool key_down(int key) { return GetKeyState(key) < 0; }

LRESULT pass_on(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return CallWindowProcW(edit_previous_proc, window, message, wparam, lparam);
}

// The clipboard may be held by another program for a moment: retry through the message queue.
LRESULT paste_with_retry(HWND window, LPARAM lparam) {
    if (OpenClipboard(window)) {
        CloseClipboard();
        paste_retry_count = 0;
        return pass_on(window, WM_CHAR, CHAR_CTRL_V, lparam);
    }
    if (paste_retry_count < PASTE_RETRIES) {
        paste_retry_count++;
        PostMessageW(window, WM_CHAR, CHAR_CTRL_V, lparam);
        Sleep(PASTE_RETRY_MS);
        return 0;
    }
    paste_retry_count = 0;
    return pass_on(window, WM_CHAR, CHAR_CTRL_V, lparam);
}

// ---- What each key does in the input line ----
// A handler returns whether it has taken the key; one it leaves goes on to the control.

// The key acts with Ctrl (or Shift) held; without, the control has it.
bool with_modifier(int modifier, void (*act)()) {
    if (!key_down(modifier)) return false;
    act();
    return true;
}
bool with_ctrl(void (*act)()) { return with_modifier(VK_CONTROL, act); }
bool with_shift(void (*act)()) { return with_modifier(VK_SHIFT, act); }
void focus_pane() { SetFocus(Text); }
void ctrl_backspace() { delete_word_before_caret(); ctrl_backspace_done = true; }

void post_command(WPARAM id) { PostMessageW(Main, WM_COMMAND, id, 0); }

bool editing_key(KeyPress p) { return edit_key_down(p.key, key_down(VK_SHIFT)); }

const KeyBinding input_line_keys[] = {
    {VK_BACK, [](KeyPress) { return with_ctrl(ctrl_backspace); }},   // the word before the caret
    {VK_TAB, [](KeyPress) { return with_ctrl(focus_pane); }},
    {VK_PAUSE, [](KeyPress p) { SendMessageW(p.window, WM_CHAR, CHAR_CTRL_S, 0); return true; }},
    {VK_PRIOR, [](KeyPress p) { focus_pane(); SendMessageW(Text, WM_KEYDOWN, p.key, p.lparam); return true; }},
    {VK_NEXT, [](KeyPress p) { focus_pane(); SendMessageW(Text, WM_KEYDOWN, p.key, p.lparam); return true; }},
    {VK_UP, [](KeyPress) { if (!with_ctrl(focus_pane)) previous_history_entry(); return true; }},
    {VK_DOWN, [](KeyPress) { next_history_entry(); return true; }},
    {VK_F1, editing_key}, {VK_F2, editing_key}, {VK_F3, editing_key},
    {VK_F4, editing_key}, {VK_F5, editing_key}, {VK_F6, editing_key},
    // F7, F9, F11 and F12 act and still let the control have the key.
    {VK_F7, [](KeyPress) { post_command(CMD_PREVIOUS_COMMANDS); return false; }},
    {VK_F8, [](KeyPress) { history_prefix_search(key_down(VK_SHIFT) || key_down(VK_CONTROL)); return true; }},
    {VK_F9, [](KeyPress) { SetFocus(Edit); return false; }},
    {VK_F11, [](KeyPress) { ShowWindow(Main, IsZoomed(Main) ? SW_RESTORE : SW_MAXIMIZE); return false; }},
    {VK_F12, [](KeyPress) { post_command(CMD_PIPE_MORE); return false; }},
};

bool copy_or_interrupt(KeyPress p) {
    if (key_down(VK_SHIFT)) {
        post_command(CMD_CODE_PAGE);
        return true;
    }
    DWORD start = 0, end = 0;
    SendMessageW(p.window, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    if (start != end) return false;   // the control copies the selection
    confirm_interrupt();
    return true;
}

void toggle_pause() {
    output_paused = !output_paused;
    show_prompt_mark(output_paused ? PROMPT_MARK_PAUSED : PROMPT_MARK_READY);
}

bool editing_char(KeyPress p) { return edit_key_char((wchar_t)p.key); }

const KeyBinding input_line_chars[] = {
    {CHAR_CTRL_C, copy_or_interrupt},   // Ctrl+Shift+C: the code page
    {CHAR_CTRL_V, [](KeyPress p) { paste_with_retry(p.window, p.lparam); return true; }},
    // Ctrl+Backspace's character without its key: Windows' edit control would insert it (DEL), an
    // invisible character that makes the command fail.
    {CHAR_DELETE, [](KeyPress) { delete_word_before_caret(); return true; }},
    {CHAR_TAB, [](KeyPress p) { SendMessageW(p.window, EM_REPLACESEL, TRUE, (LPARAM)L"\t"); return true; }},
    {CHAR_ENTER, [](KeyPress) { submit_input_line(); return true; }},
    {CHAR_CTRL_A, [](KeyPress p) { SendMessageW(p.window, EM_SETSEL, 0, -1); return true; }},
    {CHAR_CTRL_E, [](KeyPress) { SendMessageW(Main, WM_COMMAND, CMD_SYNC_ENV, 0); return true; }},
    {CHAR_CTRL_S, [](KeyPress) { toggle_pause(); return true; }},
    {CHAR_CTRL_O, [](KeyPress) { post_command(CMD_OPEN_SELECTED); return true; }},
    {CHAR_CTRL_D, [](KeyPress) { name_completion(CHAR_CTRL_D); return true; }},
    {CHAR_CTRL_F, [](KeyPress) { name_completion(CHAR_CTRL_F); return true; }},
    {CHAR_CTRL_R, [](KeyPress) { program_completion(); return true; }},
    {CHAR_CTRL_X, [](KeyPress) { return with_shift([] { post_command(CMD_TOGGLE_MONITOR); }); }},
    {CHAR_CTRL_Y, [](KeyPress) { return with_shift([] { post_command(CMD_TOGGLE_RIGHT_LEFT); }); }},
    {CHAR_ESCAPE, editing_char},        // the line and the history cursor cleared
    {CHAR_CTRL_Q, editing_char},
    {CHAR_CTRL_K, editing_char},
    {CHAR_CTRL_BACKSLASH, editing_char},
};

LRESULT on_key_down(HWND window, WPARAM key, LPARAM lparam) {
    activation_flag = false;
    if (dispatch_key(input_line_keys, window, key, lparam)) return 0;
    return pass_on(window, WM_KEYDOWN, key, lparam);
}

LRESULT on_char(HWND window, WPARAM wparam, LPARAM lparam) {
    wchar_t c = (wchar_t)wparam;
    if (ctrl_backspace_done && (c == CHAR_DELETE || c == CHAR_BACKSPACE)) {
        ctrl_backspace_done = false;
        return 0;
    }
    activation_flag = false;
    reset_f8_caret_mark();
    if (pause_answer(output_paused, c) == PAUSE_RESUME_AND_CONSUME) {
        output_paused = false;
        show_prompt_mark(PROMPT_MARK_READY);
        return 0;
    }
    if (pager_answer_key(c)) return 0;
    if (dispatch_key(input_line_chars, window, wparam, lparam)) return 0;
    // A character typed after F2 or F4 names where they copy or delete to.
    if (c >= 32 && edit_key_char(c)) return 0;
    return pass_on(window, WM_CHAR, wparam, lparam);
}

}  // namespace

LRESULT CALLBACK edit_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_KEYDOWN) return on_key_down(window, wparam, lparam);
    if (message == WM_CHAR) return on_char(window, wparam, lparam);
    return pass_on(window, message, wparam, lparam);
}
