// Main's window procedure: layout, focus, the poll timer and the menu commands.
#include "app/app.h"
#include "app/timing.h"
#include "app/commands.h"
#include "app/frame_text.h"
#include "app/grid.h"
#include "app/placement.h"
#include "dialogs/dialogs.h"
#include "input/input.h"
#include "input/keys.h"
#include "logs/logs.h"
#include "app/texts.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include "slave/pager.h"
#include "slave/reader.h"
#include "slave/slave.h"
#include <richedit.h>
#include <commdlg.h>
#include <shellapi.h>
#include <stdio.h>

static HINSTANCE shell_execute(HWND owner, const wchar_t* file, const wchar_t* directory) {
    return ShellExecuteW(owner, NULL, file, NULL, directory, SW_SHOWNORMAL);
}
HINSTANCE (*shell_open)(HWND owner, const wchar_t* file, const wchar_t* directory) = shell_execute;

static void layout() {
    RECT r;
    GetClientRect(Main, &r);
    ChildRect text, prom, edit;
    child_layout(r.right, r.bottom, cell_width, cell_height, window_dpi, &text, &prom, &edit);
    const UINT flags = SWP_NOZORDER | SWP_SHOWWINDOW;
    SetWindowPos(Text, NULL, text.x, text.y, text.width, text.height, flags);
    SetWindowPos(Prom, NULL, prom.x, prom.y, prom.width, prom.height, flags);
    SetWindowPos(Edit, NULL, edit.x, edit.y, edit.width, edit.height, flags);
    recompute_grid();
    if (grid_columns) {
        wchar_t title[300];
        _snwprintf(title, 299, L"%s  %d x %d", base_title, grid_columns, grid_lines + 1);
        title[299] = 0;
        set_title_with_logging_indicators(title, 300);
        SendMessageW(Text, WM_VSCROLL, SB_BOTTOM, 0);
    }
}

static void apply_focus_rule() {
    if (focus_redirect == 0) {
        SetFocus(Edit);
        return;
    }
    int v = focus_redirect;
    focus_redirect = v >= 2 ? 0 : v + 1;
    SetFocus(Text);
}

static void on_poll_timer(WPARAM id) {
    if (id == poll_timer) {
        KillTimer(Main, poll_timer);
        start_poll_timer();
        activation_flag = false;
    }
    release_fine_timer_if_idle();
    if (slave_console) return;
    slave_console = find_slave_console_window();
    if (slave_console && !CmdShow) {
        Sleep(CONSOLE_SETTLE_MS);
        PostMessageW(Main, WM_COMMAND, CMD_APPLY_CMD_SHOW, 0);
        hide_at_first_prompt = true;
    }
}

// Toggles take the new value from the old check mark, so mark and setting cannot drift.
static int toggle_mark(HMENU menu, int id) {
    bool was_checked = (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    CheckMenuItem(menu, id, MF_BYCOMMAND | (was_checked ? MF_UNCHECKED : MF_CHECKED));
    return was_checked ? 0 : 1;
}

// A paragraph of the program's own, then the prompt again.
static void print_notice(const wchar_t* text) {
    print_to_output_pane(L"\n\n%s", text);
    print_prompt_imitation(true);
}

static void show_menu_command() {
    MenuShow = toggle_mark(main_menu, CMD_SHOW_MENU);
    CheckMenuItem(system_menu, CMD_SHOW_MENU, MF_BYCOMMAND | (MenuShow ? MF_CHECKED : MF_UNCHECKED));
    SetMenu(Main, MenuShow ? main_menu : NULL);
    recompute_grid();
    SendMessageW(Text, EM_SETSEL, (WPARAM)-1, -1);
    SendMessageW(Text, EM_SCROLLCARET, 0, 0);
    SendMessageW(Text, WM_VSCROLL, SB_TOP, 0);
    PostMessageW(Text, WM_VSCROLL, SB_BOTTOM, 0);
    SendMessageW(Text, EM_SCROLLCARET, 0, 0);
    SetFocus(Edit);
    if (!MenuShow) print_notice(L"You can always access the menus via Alt+F, Alt+E, Alt+V and Alt+H.");
}

static void apply_cmd_show() {
    if (slave_console) {
        ShowWindow(slave_console, CmdShow ? SW_SHOWMINNOACTIVE : SW_HIDE);   // minimised, the focus kept here
        return;
    }
    // Not found yet: a fresh slave searches for its console again.
    stop_slave();
    Sleep(RESTART_GAP_MS);
    start_slave();
    Sleep(RESTART_GAP_MS);
    send_prompt_line();
}

static void open_selected_text() {
    DWORD start = 0, end = 0;
    SendMessageW(Text, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    if (end <= start || end - start >= 256) {
        MessageBoxW(Main, L"Selected text must be of length > 0 and < 256", L"Invalid Selection", MB_ICONERROR);
        return;
    }
    wchar_t selected[260] = {};
    SendMessageW(Text, EM_GETSELTEXT, 0, (LPARAM)selected);
    selected[259] = 0;
    int n = lstrlenW(selected);
    while (n > 0 && (unsigned)selected[n - 1] <= 32) selected[--n] = 0;
    DWORD attributes = GetFileAttributesW(selected);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // Quoted: a folder named "a&b" must not run "b", nor "x^y" lose its caret.
        wchar_t line[3 * 260 + 16];
        if (build_cd_line(line, sizeof line / sizeof line[0], selected) > 0) send_text_to_slave(line);
        return;
    }
    HINSTANCE result = shell_open(Main, selected, tracked_directory[0] ? tracked_directory : NULL);
    if ((INT_PTR)result >= 32) {
        focus_redirect = 1;
        SetFocus(Text);
    } else {
        report_system_error(L"\nError");
    }
}

static void properties() {
    wchar_t page[16];
    if (CodePage == 0) lstrcpyW(page, L"ANSI");
    else if (CodePage == 1) lstrcpyW(page, L"OEM");
    else if (CodePage == 65001) lstrcpyW(page, L"UTF8");
    else _snwprintf(page, 15, L"%d", CodePage), page[15] = 0;
    wchar_t text[400];
    _snwprintf(text, 399, L"%s font\nCode Page = %s\n%d characters by %d lines\nTab Width = %d\nCMD's pid = %d",
               Name, page, grid_columns, grid_lines + 1, TabWidth, (int)slave_process.dwProcessId);
    text[399] = 0;
    message_box_with_program_icon(Main, text, L"Tavro Properties", MB_OK);
}

static void show_errors_in_color() {
    const wchar_t* notice = L"You must restart the slave CMD process for this change to take effect.";
    print_error_text(L"\n\n%s", notice);
    print_prompt_imitation(true);
    if (MessageBoxW(Main, notice, L"Restart the slave CMD process?", MB_ICONQUESTION | MB_YESNO) != IDYES) return;
    HighlightErrs = toggle_mark(main_menu, CMD_SHOW_ERRORS_COLOR);
    interrupt_slave();
}

static void help() {
    // Local page beside the program first, then the project's page online.
    if (GetFileAttributesW(help_page_name) != INVALID_FILE_ATTRIBUTES &&
        (INT_PTR)shell_open(Main, help_page_name, NULL) >= 32)
        return;
    if ((INT_PTR)shell_open(Main, HELP_PAGE_ONLINE, NULL) >= 32) return;
    MessageBoxW(Main, L"Cannot find tavro.html help file", L"Tavro Help", MB_ICONERROR);
}

static void about() {
    char built[64];
    snprintf(built, sizeof built, "%s at %s", __DATE__, __TIME__);
    wchar_t built_wide[64];
    int n = MultiByteToWideChar(CP_ACP, 0, built, -1, built_wide, 64);
    if (n <= 0) built_wide[0] = 0;
    wchar_t text[600];
    _snwprintf(text, 599,
               L"Tavro Version %s - Built %s\n\nBetter Command Shell (CMD) with support for ^C and ^V.\n\n%s",
               TAVRO_VERSION_WIDE, built_wide, ABOUT_CLOSING);
    text[599] = 0;
    message_box_with_program_icon(Main, text, L"About Tavro", MB_OK);
}

static void pid_for_cmd() {
    char line[80];
    snprintf(line, sizeof line, "tasklist /NH /FI \"PID eq %d\"\r\n", (int)slave_process.dwProcessId);
    send_to_slave(line);
}

// Set as paragraph formats, in twips from the measured cell: a rich-edit control reckons the
// dialog units of EM_SETTABSTOPS from its own font (Wine's ignores them). The whole pane is
// selected for it, so that every paragraph has them, the last one too, whose format new text takes.
void set_pane_tab_stops() {
    PARAFORMAT format = {};
    format.cbSize = sizeof format;
    format.dwMask = PFM_TABSTOPS;
    HDC dc = GetDC(Text);
    int logpixels = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(Text, dc);
    format.cTabCount = (SHORT)pane_tab_stops(cell_width, TabWidth, logpixels, format.rgxTabs, MAX_TAB_STOPS);
    CHARRANGE kept = {0, 0};
    SendMessageW(Text, EM_EXGETSEL, 0, (LPARAM)&kept);
    SendMessageW(Text, EM_SETSEL, 0, -1);
    SendMessageW(Text, EM_SETPARAFORMAT, 0, (LPARAM)&format);
    SendMessageW(Text, EM_EXSETSEL, 0, (LPARAM)&kept);
}

void configure_pane() {
    SendMessageW(Text, EM_SETBKGNDCOLOR, 0, (LPARAM)Background);
    set_output_colour(Text, SCF_ALL, ColorText);
    set_pane_tab_stops();
}

static void apply_tab_stops() {
    TabWidth = bounded_tab_width(TabWidth);   // also a width given with "/#"
    set_pane_tab_stops();
    InvalidateRect(Text, NULL, TRUE);
}

// Leading digits of an entry; text without digits reads as 0.
static int entry_number() {
    return (int)wcstol(shared_edit_buffer, NULL, 10);
}

static void tab_width_command() {
    _snwprintf(shared_edit_buffer, EDIT_BUFFER_CHARS - 1, L"%d", TabWidth);
    if (!data_entry_dialog(L"&Enter Tab Width:")) return;
    TabWidth = entry_number();
    apply_tab_stops();   // holds the width to what the tab stops can take
}

static void code_page_command() {
    _snwprintf(shared_edit_buffer, EDIT_BUFFER_CHARS - 1, L"%d", CodePage);
    if (!data_entry_dialog(L"Code Page (0=ANSI,1=OEM,8=UTF8)")) return;
    int entered = entry_number();
    if (entered == 8) entered = 65001;
    if (!code_page_usable(entered)) {
        // Taken, it would turn every command and every line of output into nothing.
        wchar_t message[120];
        _snwprintf(message, 119, L"Code page %d cannot be used on this system; the code page stays %d.", entered,
                   CodePage);
        message[119] = 0;
        MessageBoxW(Main, message, L"Tavro: Code Page", MB_ICONERROR);
        return;
    }
    CodePage = entered;
    derive_slave_code_page();
    send_code_page_line();
}

// The font dialog reckons heights in the screen's DPI, the one its point sizes are read in; Size
// is kept as at 96 DPI and the font is made for the window's own DPI.
static int screen_dpi() { return dpi_for_window(NULL); }

static void font_command() {
    LOGFONTW chosen = logfont;
    chosen.lfHeight = scale_for_dpi(Size, screen_dpi());
    CHOOSEFONTW cf = {};
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = Main;
    cf.lpLogFont = &chosen;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_FIXEDPITCHONLY | CF_FORCEFONTEXIST;
    if (!ChooseFontW(&cf)) return;
    logfont = chosen;
    lstrcpynW(Name, logfont.lfFaceName, FONT_NAME_MAX + 1);
    Size = unscale_for_dpi(logfont.lfHeight, screen_dpi());
    Weight = logfont.lfWeight;
    make_font();
    measure_cell(Text);
    apply_tab_stops();
    set_output_colour(Text, SCF_ALL, ColorText);
    RECT r;
    GetClientRect(Main, &r);
    PostMessageW(Main, WM_SIZE, SIZE_RESTORED, MAKELPARAM(r.right, r.bottom));
    PostMessageW(Text, WM_VSCROLL, SB_BOTTOM, 0);
}

static void colour_command(int id) {
    COLORREF* target = id == CMD_TEXT_COLOR ? &ColorText : id == CMD_BACK_COLOR ? &Background
                     : id == CMD_ERROR_COLOR ? &ErrorText : &DoItText;
    COLORREF chosen = choose_colour(Main, *target);
    if (chosen == (COLORREF)-1) return;
    *target = chosen;
    if (id == CMD_TEXT_COLOR) {
        set_output_colour(Text, SCF_ALL, ColorText);
        InvalidateRect(Text, NULL, TRUE);
        InvalidateRect(Prom, NULL, TRUE);
        InvalidateRect(Edit, NULL, TRUE);
    } else if (id == CMD_BACK_COLOR) {
        DeleteObject(background_brush);
        background_brush = CreateSolidBrush(Background);
        SetClassLongPtrW(Main, GCLP_HBRBACKGROUND, (LONG_PTR)background_brush);
        SetClassLongPtrW(Text, GCLP_HBRBACKGROUND, (LONG_PTR)background_brush);
        SetClassLongPtrW(Prom, GCLP_HBRBACKGROUND, (LONG_PTR)background_brush);
        SetClassLongPtrW(Edit, GCLP_HBRBACKGROUND, (LONG_PTR)background_brush);
        SendMessageW(Text, EM_SETBKGNDCOLOR, 0, (LPARAM)Background);
        InvalidateRect(Main, NULL, TRUE);
        InvalidateRect(Text, NULL, TRUE);
        InvalidateRect(Prom, NULL, TRUE);
        InvalidateRect(Edit, NULL, TRUE);
    }
    // Error and bypass colours apply to text printed from now on.
}

static void command(int id, LPARAM lparam) {
    switch (id) {
    case CMD_EXIT: PostMessageW(Main, WM_CLOSE, 0, 0); break;
    case CMD_LOG_ERRORS: log_errors_command(); break;
    case CMD_VIEW_ERRORS: view_errors(); break;
    case CMD_CLEAR_ERRORS: clear_errors(); break;
    case CMD_BEGIN_ERROR_LOG: begin_error_log(); break;
    case CMD_START_LOGGING: start_logging_command(); break;
    case CMD_STOP_LOGGING: stop_logging(); break;
    case CMD_OPEN_OUTPUT_LOG: open_output_log(lparam ? (const wchar_t*)lparam : L"ab"); break;
    case CMD_AUTO_TRUNCATE: auto_truncate_command(); break;
    case CMD_OPEN_SELECTED: open_selected_text(); break;
    case CMD_EDIT_CMD_C:
    case CMD_EDIT_CMD_K:
    case CMD_EDIT_BYPASS: edit_command_list(id); break;
    case CMD_SYNC_ENV: sync_environments(true); break;
    case CMD_EDIT_MACROS: edit_macros(); break;
    case CMD_FONT: font_command(); break;
    case CMD_TAB_WIDTH: tab_width_command(); break;
    case CMD_APPLY_TABS: apply_tab_stops(); break;
    case CMD_TEXT_COLOR:
    case CMD_BACK_COLOR:
    case CMD_ERROR_COLOR:
    case CMD_BYPASS_COLOR: colour_command(id); break;
    case CMD_CODE_PAGE: code_page_command(); break;
    case CMD_WINDOW_SIZE: window_size_command(); break;
    case CMD_TOGGLE_MONITOR: toggle_monitor(); break;
    case CMD_TOGGLE_RIGHT_LEFT: toggle_right_left(); break;
    case CMD_COPY: SendMessageW(GetFocus(), WM_CHAR, CHAR_CTRL_C, 0); break;
    case CMD_PASTE: SendMessageW(Edit, WM_CHAR, CHAR_CTRL_V, 0); break;
    case CMD_SELECT_ALL: SendMessageW(GetFocus(), EM_SETSEL, 0, -1); break;
    case CMD_CLEAR_SCREEN:
        send_to_slave("\n");
        SetWindowTextW(Text, L"");
        // Emptied, the control goes back to its default formats: what comes next must not show
        // in the system's colour (black on a dark background) or lose its tab stops.
        configure_pane();
        SetFocus(Edit);
        break;
    case CMD_INSERT_START_C: SendMessageW(Edit, WM_CHAR, CHAR_CTRL_Q, 0); break;
    case CMD_INSERT_START_K: SendMessageW(Edit, WM_CHAR, CHAR_CTRL_K, 0); break;
    case CMD_DIR_COMPLETION: SendMessageW(Edit, WM_CHAR, CHAR_CTRL_D, 0); break;
    case CMD_FILE_COMPLETION: SendMessageW(Edit, WM_CHAR, CHAR_CTRL_F, 0); break;
    case CMD_PROG_COMPLETION: SendMessageW(Edit, WM_CHAR, CHAR_CTRL_R, 0); break;
    case CMD_CONVERT_SLASH: SendMessageW(Edit, WM_CHAR, CHAR_CTRL_BACKSLASH, 0); break;
    case CMD_PIPE_MORE: pager_start_on_waiting_output(); break;
    case CMD_PROPERTIES: properties(); break;
    case CMD_PID: pid_for_cmd(); break;
    case CMD_SHOW_MENU: show_menu_command(); break;
    case CMD_SHOW_CMD:
        CmdShow = toggle_mark(main_menu, CMD_SHOW_CMD);
        apply_cmd_show();
        break;
    case CMD_APPLY_CMD_SHOW: apply_cmd_show(); break;
    case CMD_RULER: print_ruler(); break;
    case CMD_SHOW_ERRORS_COLOR: show_errors_in_color(); break;
    case CMD_HELP: help(); break;
    case CMD_FUNCTION_KEYS: print_notice(FUNCTION_KEYS_TEXT); break;
    case CMD_DISCLAIMER: print_notice(DISCLAIMER_TEXT); break;
    case CMD_ABOUT: about(); break;
    case CMD_PREVIOUS_COMMANDS: previous_commands_popup(); break;
    default:
        if (id >= CMD_HISTORY_FIRST && id <= CMD_HISTORY_LAST) recall_history_entry(id);
        break;   // 11 only wakes the loop; 23 and unknown ids do nothing
    }
}

static void shut_down_window() {
    if (!slave_console) slave_console = find_slave_console_window();
    PostQuitMessage(0);
    write_settings();
    send_to_slave("exit\r\n");
    if (slave_console) PostMessageW(slave_console, WM_CLOSE, 0, 0);
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wparam), lparam);
        return 0;
    case WM_SYSCOMMAND:
        if ((wparam >= CMD_COPY && wparam <= CMD_CLEAR_SCREEN) || wparam == CMD_SHOW_MENU) {
            SendMessageW(Main, WM_COMMAND, wparam, 0);
            return 0;
        }
        break;
    case WM_TIMER:
        on_poll_timer(wparam);
        return 0;
    case WM_CTLCOLOREDIT: {
        HWND control = (HWND)lparam;
        if (control != Text && control != Edit && control != Prom) return 0;
        SetBkColor((HDC)wparam, Background);
        SetTextColor((HDC)wparam, ColorText);
        return (LRESULT)background_brush;
    }
    case WM_SIZE:
        if (Text && Prom && Edit) layout();
        return 0;
    case WM_DPICHANGED: {
        // Moved to a monitor of another scaling, or the scaling changed: the font, the cell, the
        // tab stops and the margins follow, and the window takes the size Windows suggests.
        window_dpi = HIWORD(wparam);
        refresh_dpi_metrics();
        make_font();
        if (Text) {
            measure_cell(Text);
            apply_tab_stops();
        }
        const RECT* r = (const RECT*)lparam;
        SetWindowPos(window, NULL, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (Text && Prom && Edit) layout();
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_SETFOCUS:
        if (Edit) apply_focus_rule();
        return 0;
    case WM_ACTIVATEAPP:
        if (wparam) {
            activation_flag = true;
            KillTimer(Main, poll_timer);
            start_poll_timer();
            if (Edit) apply_focus_rule();
        }
        return 0;
    case WM_SETCURSOR:
        if (((HWND)wparam == Text || (HWND)wparam == Prom) && LOWORD(lparam) == HTCLIENT) {
            SetCursor(LoadCursorW(NULL, (LPCWSTR)IDC_ARROW));
            return TRUE;
        }
        break;
    case WM_DESTROY:
        shut_down_window();
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}
