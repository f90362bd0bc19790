// The three children's procedures: the input line dispatches keys and characters, the pane and
// the prompt display hand typing and the focus to the input line.
#include "input/input.h"
#include "app/app.h"
#include "app/commands.h"
#include "app/grid.h"
#include "slave/reader.h"
#include "slave/slave.h"

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

void show_prompt_mark(const wchar_t* mark) {
    SetWindowTextW(Prom, mark);
    UpdateWindow(Prom);
}

LRESULT pass_on(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return CallWindowProcW(edit_previous_proc, window, message, wparam, lparam);
}

// The clipboard may be held by another program for a moment: retry through the message queue.
LRESULT paste_with_retry(HWND window, LPARAM lparam) {
    if (OpenClipboard(window)) {
        CloseClipboard();
        paste_retry_count = 0;
        return pass_on(window, WM_CHAR, 22, lparam);
    }
    if (paste_retry_count < PASTE_RETRIES) {
        paste_retry_count++;
        PostMessageW(window, WM_CHAR, 22, lparam);
        Sleep(PASTE_RETRY_MS);
        return 0;
    }
    paste_retry_count = 0;
    return pass_on(window, WM_CHAR, 22, lparam);
}

// Answers the pager that stopped after a full page; false when it is not waiting.
bool answer_waiting_pager(wchar_t c) {
    PagerAnswer answer = pager_answer(paging_mode, lines_left, grid_lines, c);
    if (!answer.waiting) return false;
    if (answer.quit) {
        Sleep(100);
        DWORD pending = 0;
        if (PeekNamedPipe(stdout_read, nullptr, 0, nullptr, &pending, nullptr) && pending) discard_mode = true;
        return true;
    }
    if (answer.end_paging) {
        paging_mode = false;
        show_prompt_mark(L">");
    }
    lines_left = answer.lines_left;
    read_slave_output(stdout_read);
    return true;
}

LRESULT on_key_down(HWND window, WPARAM key, LPARAM lparam) {
    activation_flag = false;
    switch (key) {
    case VK_BACK:
        if (key_down(VK_CONTROL)) {
            delete_word_before_caret();
            ctrl_backspace_done = true;
            return 0;
        }
        break;
    case VK_TAB:
        if (key_down(VK_CONTROL)) {
            SetFocus(Text);
            return 0;
        }
        break;
    case VK_PAUSE:
        SendMessageW(window, WM_CHAR, 19, 0);
        return 0;
    case VK_PRIOR:
    case VK_NEXT:
        SetFocus(Text);
        SendMessageW(Text, WM_KEYDOWN, key, lparam);
        return 0;
    case VK_UP:
        if (key_down(VK_CONTROL)) SetFocus(Text);
        else previous_history_entry();
        return 0;
    case VK_DOWN:
        next_history_entry();
        return 0;
    case VK_F8:
        history_prefix_search(key_down(VK_SHIFT) || key_down(VK_CONTROL));
        return 0;
    case VK_F7: PostMessageW(Main, WM_COMMAND, CMD_PREVIOUS_COMMANDS, 0); break;
    case VK_F9: SetFocus(Edit); break;
    case VK_F11: ShowWindow(Main, IsZoomed(Main) ? SW_RESTORE : SW_MAXIMIZE); break;
    case VK_F12: PostMessageW(Main, WM_COMMAND, CMD_PIPE_MORE, 0); break;
    default:
        if (edit_key_down(key, key_down(VK_SHIFT))) return 0;
    }
    return pass_on(window, WM_KEYDOWN, key, lparam);
}

LRESULT on_char(HWND window, WPARAM wparam, LPARAM lparam) {
    wchar_t c = (wchar_t)wparam;
    if (ctrl_backspace_done && (c == 127 || c == 8)) {
        ctrl_backspace_done = false;
        return 0;
    }
    activation_flag = false;
    reset_f8_caret_mark();
    if (pause_answer(output_paused, c) == PAUSE_RESUME_AND_CONSUME) {
        output_paused = false;
        show_prompt_mark(L">");
        return 0;
    }
    if (answer_waiting_pager(c)) return 0;
    switch (c) {
    case 3: {
        if (key_down(VK_SHIFT)) {
            PostMessageW(Main, WM_COMMAND, CMD_CODE_PAGE, 0);
            return 0;
        }
        DWORD start = 0, end = 0;
        SendMessageW(window, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
        if (start != end) break;   // the control copies the selection
        confirm_interrupt();
        return 0;
    }
    case 22: return paste_with_retry(window, lparam);
    // Ctrl+Backspace's character without its key: Windows' edit control would insert it (DEL), an
    // invisible character that makes the command fail.
    case 127: delete_word_before_caret(); return 0;
    case 9: SendMessageW(window, EM_REPLACESEL, TRUE, (LPARAM)L"\t"); return 0;
    case 13: submit_input_line(); return 0;
    case 1: SendMessageW(window, EM_SETSEL, 0, -1); return 0;
    case 5: SendMessageW(Main, WM_COMMAND, CMD_SYNC_ENV, 0); return 0;
    case 19:
        output_paused = !output_paused;
        show_prompt_mark(output_paused ? L"\u00a7" : L">");
        return 0;
    case 15: PostMessageW(Main, WM_COMMAND, CMD_OPEN_SELECTED, lparam); return 0;
    case 4:
    case 6: name_completion(c); return 0;
    case 18: program_completion(); return 0;
    case 24:
        if (key_down(VK_SHIFT)) {
            PostMessageW(Main, WM_COMMAND, CMD_TOGGLE_MONITOR, 0);
            return 0;
        }
        break;
    case 25:
        if (key_down(VK_SHIFT)) {
            PostMessageW(Main, WM_COMMAND, CMD_TOGGLE_RIGHT_LEFT, 0);
            return 0;
        }
        break;
    }
    if (edit_key_char(c)) return 0;
    return pass_on(window, WM_CHAR, wparam, lparam);
}

}  // namespace

LRESULT CALLBACK edit_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_KEYDOWN) return on_key_down(window, wparam, lparam);
    if (message == WM_CHAR) return on_char(window, wparam, lparam);
    return pass_on(window, message, wparam, lparam);
}
