// Window size and placement: the size dialog, the halves and moves, and the two toggles.
// The arithmetic lives in placement_math.cpp; this file reads and moves the real windows.
#include "app/placement.h"
#include "app/app.h"
#include "app/frame_text.h"
#include "app/grid.h"
#include "app/placement_math.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs.h"
#include "settings/settings.h"
#include "slave/reader.h"
#include <dwmapi.h>

static_assert(SIZE_LEFT_HALF == IDC_SETSIZE_LEFT_HALF && SIZE_RIGHT_HALF == IDC_SETSIZE_RIGHT_HALF &&
                  SIZE_MOVE_LEFT == IDC_SETSIZE_MOVE_LEFT && SIZE_MOVE_RIGHT == IDC_SETSIZE_MOVE_RIGHT,
              "the size dialog ends with its button ids");

void apply_startup_placement() {
    startup_placement(&Left, &Top, &Height, Width, screen.full_screen_width, GetSystemMetrics(SM_XVIRTUALSCREEN),
                      GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN),
                      screen.max_window_height);
}

static ScreenLayout current_screen_layout() {
    ScreenLayout s;
    s.primary_width = screen.screen_width;
    s.primary_height = screen.screen_height;
    s.full_screen_width = screen.full_screen_width;
    s.max_window_height = screen.max_window_height;
    s.caption_height = screen.caption_height;
    s.virtual_width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    s.virtual_height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    s.virtual_left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    s.virtual_top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return s;
}

// Main's invisible resize border: what lies between its window rectangle and the visible frame
// that DWM draws. None without DWM (Windows 7 without Aero) and for a minimised window.
static FrameMargins invisible_border() {
    RECT window, frame;
    if (IsIconic(Main) || !GetWindowRect(Main, &window) ||
        FAILED(DwmGetWindowAttribute(Main, DWMWA_EXTENDED_FRAME_BOUNDS, &frame, sizeof frame)))
        return FrameMargins{0, 0, 0, 0};
    return frame_margins(WindowRect{window.left, window.top, window.right - window.left, window.bottom - window.top},
                         WindowRect{frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top},
                         window_dpi);
}

static WindowRect stored_rect() { WindowRect r = {Left, Top, Width, Height}; return r; }

static void store_rect(const WindowRect& r) { Left = r.left; Top = r.top; Width = r.width; Height = r.height; }

// A maximised or minimised window keeps the stored rectangle: its real one is not the user's.
static void refresh_stored_rect() {
    RECT r;
    if (IsZoomed(Main) || IsIconic(Main) || !GetWindowRect(Main, &r)) return;
    Left = r.left;
    Top = r.top;
    Width = r.right - r.left;
    Height = r.bottom - r.top;
}

static void set_grid_title() {
    wchar_t title[300];
    _snwprintf(title, 299, L"%s  %d x %d", base_title, grid_columns, grid_lines + 1);
    title[299] = 0;
    set_title_with_logging_indicators(title, 300);
}

static INT_PTR CALLBACK set_size_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        current_dialog = dialog;
        wchar_t number[16];
        _snwprintf(number, 15, L"%d", grid_columns);
        number[15] = 0;
        SetDlgItemTextW(dialog, IDC_SETSIZE_COLUMNS, number);
        _snwprintf(number, 15, L"%d", grid_lines + 1);
        number[15] = 0;
        SetDlgItemTextW(dialog, IDC_SETSIZE_LINES, number);
        SetFocus(GetDlgItem(dialog, IDC_SETSIZE_COLUMNS));
        return FALSE;   // the focus is set
    }
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK: {
            wchar_t columns_text[GRID_ENTRY_MAX + 1], lines_text[GRID_ENTRY_MAX + 1];
            if (!GetDlgItemTextW(dialog, IDC_SETSIZE_COLUMNS, columns_text, GRID_ENTRY_MAX + 1)) columns_text[0] = 0;
            if (!GetDlgItemTextW(dialog, IDC_SETSIZE_LINES, lines_text, GRID_ENTRY_MAX + 1)) lines_text[0] = 0;
            int columns, lines;
            if (!read_grid_entry(columns_text, lines_text, &columns, &lines)) {
                MessageBeep(0);
                return TRUE;
            }
            grid_columns = columns;
            grid_lines = lines;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case SIZE_LEFT_HALF:
        case SIZE_RIGHT_HALF:
        case SIZE_MOVE_LEFT:
        case SIZE_MOVE_RIGHT:
            EndDialog(dialog, LOWORD(wparam));
            return TRUE;
        }
        return FALSE;
    default: return dialog_common_message(dialog, message, wparam, lparam);
    }
}

static void size_to_entered_grid() {
    RECT window, pane;
    if (!GetWindowRect(Main, &window) || !GetWindowRect(Text, &pane)) return;
    grid_window_size(grid_columns, grid_lines, cell_width, cell_height, screen.scroll_bar_width,
                     screen.frame_width, window.right - window.left, window.bottom - window.top,
                     pane.right - pane.left, pane.bottom - pane.top, &Width, &Height);
    SetWindowPos(Main, NULL, 0, 0, Width, Height, SWP_NOZORDER | SWP_NOMOVE);
    recompute_grid();
    set_grid_title();
}

void window_size_command() {
    if (grid_columns == 0) return;
    INT_PTR result = DialogBoxParamW(instance, L"TAVRO_SETSIZE", Main, set_size_proc, 0);
    if (result == 0 || result == -1) return;
    if (result == IDOK) {
        size_to_entered_grid();
    } else {
        FrameMargins border = invisible_border();
        WindowRect stored = visible_frame(stored_rect(), border), target;
        ScreenLayout layout = current_screen_layout();
        bool keep_size;
        if (!size_result_placement((int)result, &stored, &layout, &target, &keep_size)) return;
        store_rect(window_around(stored, border));
        target = window_around(target, border);
        SetWindowPos(Main, NULL, target.left, target.top, target.width, target.height,
                     SWP_NOZORDER | (keep_size ? SWP_NOSIZE : 0));
    }
    PostMessageW(Text, WM_VSCROLL, SB_BOTTOM, 0);
}

static void move_to_stored_rect() {
    SetWindowPos(Main, NULL, Left, Top, Width, Height, SWP_NOZORDER);
}

// The rules move the visible frame; the window rectangle around it is stored and moved.
static void apply_toggle(void (*rule)(WindowRect*, const ScreenLayout*)) {
    refresh_stored_rect();
    FrameMargins border = invisible_border();
    WindowRect r = visible_frame(stored_rect(), border);
    ScreenLayout layout = current_screen_layout();
    rule(&r, &layout);
    store_rect(window_around(r, border));
    move_to_stored_rect();
}

void toggle_monitor() { apply_toggle(toggle_monitor_rect); }
void toggle_right_left() { apply_toggle(toggle_right_left_rect); }
