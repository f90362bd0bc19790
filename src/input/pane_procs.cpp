// The output pane and prompt display procedures: the pane scrolls, selects and copies, but
// typing, pasting and function keys go to the input line, which keeps the focus.
#include "input/input.h"
#include "input/edit_keys_text.h"
#include "app/app.h"
#include "app/commands.h"
#include "app/frame_text.h"
#include "app/placement.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include <richedit.h>

static bool double_click_mark;
static CHARRANGE before_double_click;

static bool key_down(int key) { return GetKeyState(key) < 0; }

static LRESULT pane_default(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return CallWindowProcW(text_previous_proc, window, message, wparam, lparam);
}

// What the control must not see gets the default processing of any window instead: Alt and F10
// still open the menus, and nothing edits or reformats the pane.
static LRESULT not_for_the_control(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcW(window, message, wparam, lparam);
}

// The keys the rich-edit control may have: moving and selecting with Shift and Ctrl, Ctrl+C and
// Ctrl+Insert to copy, Ctrl+A to select all. Windows' control has more shortcuts than Wine's
// (Ctrl+E centres a paragraph, Ctrl+2 double-spaces, Ctrl+Shift+A turns text to capitals,
// Shift+Insert pastes, Insert starts overwriting), and each of them would change the pane.
static bool control_may_have(WPARAM key, bool ctrl, bool shift) {
    switch (key) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
    case VK_PRIOR: case VK_NEXT: case VK_HOME: case VK_END: return true;
    case 'A': case 'C': case VK_INSERT: return ctrl && !shift;
    }
    return false;
}

static CHARRANGE pane_selection() {
    CHARRANGE range = {0, 0};
    SendMessageW(Text, EM_EXGETSEL, 0, (LPARAM)&range);
    return range;
}

static void to_input_line(UINT message, WPARAM wparam, LPARAM lparam) {
    SetFocus(Edit);
    SendMessageW(Edit, message, wparam, lparam);
}

static void show_right_click_menu(LPARAM lparam) {
    HMENU loaded = LoadMenuW(instance, L"MenuRightClick");
    if (!loaded) return;
    HMENU popup = GetSubMenu(loaded, 0);
    CHARRANGE range = pane_selection();
    if (range.cpMin == range.cpMax) {
        EnableMenuItem(popup, CMD_OPEN_SELECTED, MF_BYCOMMAND | MF_GRAYED);
        EnableMenuItem(popup, CMD_COPY, MF_BYCOMMAND | MF_GRAYED);
    }
    const int offset = scale_for_dpi(4, window_dpi);
    POINT at = {(short)LOWORD(lparam) - offset, (short)HIWORD(lparam) - offset};
    ClientToScreen(Text, &at);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, Main, nullptr);
    DestroyMenu(loaded);
    activation_flag = false;
}

// The text around the clicked word is read, not the pane from its start: a pane may hold more
// than one read takes, and the word clicked near its end must still be the one selected.
enum { WORD_WINDOW_CHARS = PANE_COPY_CHARS };

static void select_word_at_double_click() {
    double_click_mark = false;
    if (key_down(VK_MENU)) return;   // Alt keeps the control's own word
    static wchar_t text[WORD_WINDOW_CHARS];
    CHARRANGE range = pane_selection();
    long from = range.cpMin - WORD_WINDOW_CHARS / 2;
    if (from < 0) from = 0;
    TEXTRANGEW window;
    window.chrg.cpMin = from;
    window.chrg.cpMax = from + WORD_WINDOW_CHARS - 1;
    window.lpstrText = text;
    LRESULT length = SendMessageW(Text, EM_GETTEXTRANGE, 0, (LPARAM)&window);
    if (length < 0) length = 0;
    if (length > WORD_WINDOW_CHARS - 1) length = WORD_WINDOW_CHARS - 1;
    text[length] = 0;
    long p = range.cpMin - from, q = range.cpMax - from;
    select_word(text, (size_t)length, WordDelims, &p, &q, key_down(VK_SHIFT), before_double_click.cpMin - from,
                before_double_click.cpMax - from);
    CHARRANGE chosen = {p + from, q + from};
    SendMessageW(Text, EM_EXSETSEL, 0, (LPARAM)&chosen);
}

static LRESULT pane_char(WPARAM wparam, LPARAM lparam) {
    wchar_t c = (wchar_t)wparam;
    switch (c) {
    case 3: {
        if (key_down(VK_SHIFT)) {
            PostMessageW(Main, WM_COMMAND, CMD_CODE_PAGE, 0);
            return 0;
        }
        CHARRANGE range = pane_selection();
        if (range.cpMin != range.cpMax) {
            SendMessageW(Text, WM_COPY, 0, 0);
            Sleep(25);
        } else {
            confirm_interrupt();
        }
        return 0;
    }
    case 1: SendMessageW(Text, EM_SETSEL, 0, -1); return 0;
    case 5: SendMessageW(Main, WM_COMMAND, CMD_SYNC_ENV, 0); return 0;
    case 19: SendMessageW(Edit, WM_CHAR, 19, 0); return 0;
    case 24: {
        if (key_down(VK_SHIFT)) {
            toggle_monitor();
            return 0;
        }
        CHARRANGE range = pane_selection();
        if (range.cpMin == range.cpMax) MessageBeep(0);
        else PostMessageW(Text, WM_CHAR, 3, 0);
        return 0;
    }
    case 25:
        if (key_down(VK_SHIFT)) {
            toggle_right_left();
            return 0;
        }
        return 0;   // Ctrl+Y alone would redo in the control
    case 15: PostMessageW(Main, WM_COMMAND, CMD_OPEN_SELECTED, lparam); return 0;
    case 27:
        clear_input_line();
        history_cursor_to_end();
        SetFocus(Edit);
        return 0;
    case 8:
    case 127: return 0;   // Backspace and Ctrl+Backspace: the pane is not edited
    case 9: SetFocus(Edit); return 0;
    case 13: case 22: case 4: case 6: case 18: case 17: case 11:
        to_input_line(WM_CHAR, wparam, lparam);
        return 0;
    }
    if (c >= 32) {
        to_input_line(WM_CHAR, wparam, lparam);
        return 0;
    }
    return 0;   // the other control characters would only edit the pane
}

static LRESULT pane_key_down(HWND window, WPARAM key, LPARAM lparam) {
    bool ctrl = key_down(VK_CONTROL), shift = key_down(VK_SHIFT);
    switch (key) {
    case VK_BACK:
    case VK_DELETE: MessageBeep(0); return 0;
    case VK_TAB: SetFocus(Edit); return 0;
    case VK_RETURN: return 0;
    case VK_PAUSE: SendMessageW(Edit, WM_CHAR, 19, 0); return 0;
    case VK_NEXT:
    case VK_DOWN: {
        if (ctrl && !shift) {
            SetFocus(Edit);
            return 0;
        }
        CHARRANGE before = pane_selection();
        LRESULT result = pane_default(window, WM_KEYDOWN, key, lparam);
        CHARRANGE after = pane_selection();
        // Nothing moved: the pane is at its end, so typing goes on below.
        if (before.cpMin == after.cpMin && before.cpMax == after.cpMax && !shift) SetFocus(Edit);
        return result;
    }
    case VK_END:
        if (ctrl && !shift) SetFocus(Edit);
        return pane_default(window, WM_KEYDOWN, key, lparam);
    case 'R':
    case 'V':
        if (ctrl) return 0;
        break;
    case 'X':
        if (ctrl) return pane_default(window, WM_KEYDOWN, 'C', lparam);
        break;
    case VK_INSERT:
        // Shift+Insert pastes, as Ctrl+V does: into the input line.
        if (shift && !ctrl) {
            to_input_line(WM_CHAR, 22, 0);
            return 0;
        }
        break;
    case VK_APPS:
        PostMessageW(Text, WM_RBUTTONUP, 0, MAKELPARAM(Width / 3, Height / 3));
        return 0;
    case VK_F1: case VK_F2: case VK_F3: case VK_F4: case VK_F5: case VK_F6:
    case VK_F7: case VK_F8: case VK_F9: case VK_F11: case VK_F12:
        to_input_line(WM_KEYDOWN, key, lparam);
        return 0;
    }
    if (!control_may_have(key, ctrl, shift)) return not_for_the_control(window, WM_KEYDOWN, key, lparam);
    return pane_default(window, WM_KEYDOWN, key, lparam);
}

LRESULT CALLBACK text_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CHAR: return pane_char(wparam, lparam);
    case WM_KEYDOWN: return pane_key_down(window, wparam, lparam);
    case WM_KEYUP:
        if (control_may_have(wparam, key_down(VK_CONTROL), key_down(VK_SHIFT))) break;
        return not_for_the_control(window, message, wparam, lparam);
    // Alt+X turns the hexadecimal digits before the caret into a character, Alt+Backspace undoes;
    // Alt keys and their characters reach the menus only.
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_SYSDEADCHAR:
    case WM_DEADCHAR:
    case WM_UNICHAR:
    // An input method's text comes as characters from the default processing, and characters
    // go to the input line.
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_CHAR:
        return not_for_the_control(window, message, wparam, lparam);
    case WM_SETFOCUS: {
        LRESULT result = pane_default(window, message, wparam, lparam);
        if (activation_flag) {
            activation_flag = false;
            SetFocus(Edit);
        }
        return result;
    }
    case WM_RBUTTONUP: show_right_click_menu(lparam); return 0;
    case WM_LBUTTONUP: {
        activation_flag = false;
        LRESULT result = pane_default(window, message, wparam, lparam);
        if (double_click_mark) select_word_at_double_click();
        return result;
    }
    case WM_LBUTTONDBLCLK: {
        before_double_click = pane_selection();
        LRESULT result = pane_default(window, message, wparam, lparam);
        double_click_mark = true;
        return result;
    }
    case WM_CUT: PostMessageW(Text, WM_CHAR, 3, 0); return 0;
    case WM_PASTE: to_input_line(WM_CHAR, 22, 0); return 0;
    }
    return pane_default(window, message, wparam, lparam);
}

LRESULT CALLBACK prom_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_SETFOCUS || message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) {
        SetFocus(Edit);
        return 0;
    }
    return CallWindowProcW(prom_previous_proc, window, message, wparam, lparam);
}
