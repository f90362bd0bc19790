// The output pane and prompt display procedures: the pane scrolls, selects and copies, but
// typing, pasting and function keys go to the input line, which keeps the focus.
#include "input/input.h"
#include "input/edit_keys_text.h"
#include "input/keys.h"
#include "app/app.h"
#include "app/timing.h"
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

// ---- What each key does in the pane ----
// A handler returns whether it has taken the key. A character without one goes to the input line
// when it is text and nowhere when it is a control character (it would only edit the pane); a key
// without one goes to the control when the control may have it.

static bool pane_has_selection() { CHARRANGE range = pane_selection(); return range.cpMin != range.cpMax; }

static bool copy_or_interrupt(KeyPress) {
    if (key_down(VK_SHIFT)) {
        PostMessageW(Main, WM_COMMAND, CMD_CODE_PAGE, 0);
    } else if (pane_has_selection()) {
        SendMessageW(Text, WM_COPY, 0, 0);
        Sleep(COPY_SETTLE_MS);
    } else {
        confirm_interrupt();
    }
    return true;
}

// Ctrl+X copies, as nothing is cut from the pane; Ctrl+Shift+X moves the window.
static bool copy_or_toggle_monitor(KeyPress) {
    if (key_down(VK_SHIFT)) toggle_monitor();
    else if (!pane_has_selection()) MessageBeep(0);
    else PostMessageW(Text, WM_CHAR, CHAR_CTRL_C, 0);
    return true;
}

static bool to_the_input_line(KeyPress p) { to_input_line(WM_CHAR, p.key, p.lparam); return true; }
static bool ignored(KeyPress) { return true; }

static const KeyBinding pane_chars[] = {
    {CHAR_CTRL_C, copy_or_interrupt},   // Ctrl+Shift+C: the code page
    {CHAR_CTRL_A, [](KeyPress) { SendMessageW(Text, EM_SETSEL, 0, -1); return true; }},
    {CHAR_CTRL_E, [](KeyPress) { SendMessageW(Main, WM_COMMAND, CMD_SYNC_ENV, 0); return true; }},
    {CHAR_CTRL_S, [](KeyPress) { SendMessageW(Edit, WM_CHAR, CHAR_CTRL_S, 0); return true; }},
    {CHAR_CTRL_X, copy_or_toggle_monitor},
    // Ctrl+Y alone would redo in the control.
    {CHAR_CTRL_Y, [](KeyPress) { if (key_down(VK_SHIFT)) toggle_right_left(); return true; }},
    {CHAR_CTRL_O, [](KeyPress) { PostMessageW(Main, WM_COMMAND, CMD_OPEN_SELECTED, 0); return true; }},
    {CHAR_ESCAPE, [](KeyPress) { clear_input_line(); history_cursor_to_end(); SetFocus(Edit); return true; }},
    {CHAR_BACKSPACE, ignored},          // Backspace and Ctrl+Backspace: the pane is not edited
    {CHAR_DELETE, ignored},
    {CHAR_TAB, [](KeyPress) { SetFocus(Edit); return true; }},
    {CHAR_ENTER, to_the_input_line},
    {CHAR_CTRL_V, to_the_input_line},
    {CHAR_CTRL_D, to_the_input_line},
    {CHAR_CTRL_F, to_the_input_line},
    {CHAR_CTRL_R, to_the_input_line},
    {CHAR_CTRL_Q, to_the_input_line},
    {CHAR_CTRL_K, to_the_input_line},
};

static LRESULT pane_char(HWND window, WPARAM wparam, LPARAM lparam) {
    if (!dispatch_key(pane_chars, window, wparam, lparam) && wparam >= 32) to_input_line(WM_CHAR, wparam, lparam);
    return 0;
}

// Down and Page Down at the pane's end, and with Ctrl, take the typing back to the input line.
static bool down_or_back_to_typing(KeyPress p) {
    bool shift = key_down(VK_SHIFT);
    if (key_down(VK_CONTROL) && !shift) {
        SetFocus(Edit);
        return true;
    }
    CHARRANGE before = pane_selection();
    pane_default(p.window, WM_KEYDOWN, p.key, p.lparam);
    CHARRANGE after = pane_selection();
    // Nothing moved: the pane is at its end, so typing goes on below.
    if (before.cpMin == after.cpMin && before.cpMax == after.cpMax && !shift) SetFocus(Edit);
    return true;
}

static bool beep(KeyPress) { MessageBeep(0); return true; }
static bool input_line_key(KeyPress p) { to_input_line(WM_KEYDOWN, p.key, p.lparam); return true; }

static const KeyBinding pane_keys[] = {
    {VK_BACK, beep},
    {VK_DELETE, beep},
    {VK_TAB, [](KeyPress) { SetFocus(Edit); return true; }},
    {VK_RETURN, ignored},
    {VK_PAUSE, [](KeyPress) { SendMessageW(Edit, WM_CHAR, CHAR_CTRL_S, 0); return true; }},
    {VK_NEXT, down_or_back_to_typing},
    {VK_DOWN, down_or_back_to_typing},
    {VK_END, [](KeyPress p) {   // Ctrl+End: to the end, and back to typing
         if (key_down(VK_CONTROL) && !key_down(VK_SHIFT)) SetFocus(Edit);
         pane_default(p.window, WM_KEYDOWN, p.key, p.lparam);
         return true;
     }},
    {'R', [](KeyPress) { return key_down(VK_CONTROL); }},   // Ctrl+R, Ctrl+V: nothing
    {'V', [](KeyPress) { return key_down(VK_CONTROL); }},
    {'X', [](KeyPress p) {   // Ctrl+X copies
         if (!key_down(VK_CONTROL)) return false;
         pane_default(p.window, WM_KEYDOWN, 'C', p.lparam);
         return true;
     }},
    {VK_INSERT, [](KeyPress) {   // Shift+Insert pastes, as Ctrl+V does: into the input line
         if (!key_down(VK_SHIFT) || key_down(VK_CONTROL)) return false;
         to_input_line(WM_CHAR, CHAR_CTRL_V, 0);
         return true;
     }},
    {VK_APPS, [](KeyPress) { PostMessageW(Text, WM_RBUTTONUP, 0, MAKELPARAM(Width / 3, Height / 3)); return true; }},
    {VK_F1, input_line_key}, {VK_F2, input_line_key}, {VK_F3, input_line_key}, {VK_F4, input_line_key},
    {VK_F5, input_line_key}, {VK_F6, input_line_key}, {VK_F7, input_line_key}, {VK_F8, input_line_key},
    {VK_F9, input_line_key}, {VK_F11, input_line_key}, {VK_F12, input_line_key},
};

static LRESULT pane_key_down(HWND window, WPARAM key, LPARAM lparam) {
    if (dispatch_key(pane_keys, window, key, lparam)) return 0;
    if (!control_may_have(key, key_down(VK_CONTROL), key_down(VK_SHIFT)))
        return not_for_the_control(window, WM_KEYDOWN, key, lparam);
    return pane_default(window, WM_KEYDOWN, key, lparam);
}

LRESULT CALLBACK text_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CHAR: return pane_char(window, wparam, lparam);
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
    case WM_CUT: PostMessageW(Text, WM_CHAR, CHAR_CTRL_C, 0); return 0;
    case WM_PASTE: to_input_line(WM_CHAR, CHAR_CTRL_V, 0); return 0;
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
