// Entry point: start-up in its fixed order, the one message loop, and the shutdown.
#include "app/app.h"
#include "app/timing.h"
#include "app/commands.h"
#include "app/frame_text.h"
#include "app/grid.h"
#include "app/placement.h"
#include "app/texts.h"
#include "input/input.h"
#include "logs/logs.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include "slave/pager.h"
#include "slave/reader.h"
#include "slave/slave.h"
#include <richedit.h>
#include <shellapi.h>

static DWORD slave_exit_code;   // 0 until read

static int fail(const wchar_t* text, UINT icon) { MessageBoxW(NULL, text, L"Err! - Tavro", icon); return -1; }

static void capture_screen_metrics() {
    screen.scroll_bar_width = GetSystemMetrics(SM_CXVSCROLL);
    screen.frame_width = GetSystemMetrics(SM_CXFRAME);
    screen.screen_width = GetSystemMetrics(SM_CXSCREEN);
    screen.screen_height = GetSystemMetrics(SM_CYSCREEN);
    screen.full_screen_width = GetSystemMetrics(SM_CXFULLSCREEN);
    screen.caption_height = GetSystemMetrics(SM_CYCAPTION);
    screen.max_window_height = GetSystemMetrics(SM_CYFULLSCREEN) + screen.caption_height;
}

static void parse_arguments() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return;
    parse_command_line(argc, argv, instance_name, startup_command);
    LocalFree(argv);
    append_text(base_title, BASE_TITLE_MAX + 1, instance_name);
}

static void derive_names() {
    DerivedNames names;
    builtin_file_names(&names);
    wchar_t path[MAX_PATH + 1];
    DWORD len = GetModuleFileNameW(NULL, path, MAX_PATH + 1);
    if (len > 0 && len <= MAX_PATH) {
        wchar_t root[4] = {path[0], path[1], path[2], 0};
        DWORD serial;
        if (GetVolumeInformationW(root, NULL, 0, &serial, NULL, NULL, NULL, 0)) volume_serial = serial;
        derive_file_names(path, instance_name, &names);
    }
    copy_text(settings_file_name, FILE_NAME_CHARS, names.settings);
    copy_text(command_file_name, FILE_NAME_CHARS, names.command);
    copy_text(output_log_name, FILE_NAME_CHARS, names.output_log);
    copy_text(error_log_name, FILE_NAME_CHARS, names.error_log);
    copy_text(previous_error_log_name, FILE_NAME_CHARS, names.previous_error_log);
    copy_text(help_page_name, FILE_NAME_CHARS, names.help_page);
    copy_text(env_batch_name, FILE_NAME_CHARS, names.env_batch);
    copy_text(env_data_name, FILE_NAME_CHARS, names.env_data);
    copy_text(FileLog, PATH_VALUE_MAX + 1, names.output_log);
}

static HWND create_child(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h) {
    return CreateWindowExW(0, cls, text, style, x, y, w, h, Main, NULL, instance, NULL);
}

static void subclass(HWND window, WNDPROC proc, WNDPROC* previous) {
    *previous = (WNDPROC)SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)proc);
    SendMessageW(window, WM_SETFONT, (WPARAM)font, TRUE);
}

static void set_menu_marks() {
    CheckMenuItem(main_menu, CMD_SHOW_ERRORS_COLOR, MF_BYCOMMAND | (HighlightErrs ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(main_menu, CMD_AUTO_TRUNCATE, MF_BYCOMMAND | (OldErrorLog ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(main_menu, CMD_SHOW_CMD, MF_BYCOMMAND | (CmdShow ? MF_CHECKED : MF_UNCHECKED));
    UINT show_menu = MF_BYCOMMAND | (MenuShow ? MF_CHECKED : MF_UNCHECKED);
    CheckMenuItem(main_menu, CMD_SHOW_MENU, show_menu);
    CheckMenuItem(system_menu, CMD_SHOW_MENU, show_menu);
}

static void build_menus() {
    main_menu = GetMenu(Main);
    system_menu = GetSystemMenu(Main, FALSE);
    edit_submenu = GetSubMenu(main_menu, 1);
    int n = GetMenuItemCount(system_menu);
    InsertMenuW(system_menu, n - 2, MF_BYPOSITION | MF_SEPARATOR, 0, NULL);
    InsertMenuW(system_menu, n - 1, MF_BYPOSITION | MF_POPUP, (UINT_PTR)edit_submenu, L"Edit");
    InsertMenuW(system_menu, n, MF_BYPOSITION | MF_STRING, CMD_SHOW_MENU, L"Show Menu");
    set_menu_marks();
    if (!MenuShow) SetMenu(Main, NULL);
}

static int create_windows() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TAVRO));
    wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    background_brush = CreateSolidBrush(Background);
    wc.hbrBackground = background_brush;
    wc.lpszMenuName = L"Menu";
    wc.lpszClassName = L"Tavro";
    if (!RegisterClassW(&wc)) return fail(L"WinMain(): RegisterClass() failed", MB_ICONWARNING);

    apply_startup_placement();
    Main = CreateWindowExW(0, L"Tavro", base_title, WS_OVERLAPPEDWINDOW, Left, Top, Width, Height,
                           NULL, NULL, instance, NULL);
    if (!Main) return fail(L"WinMain(): CreateWindow(Main) failed", MB_ICONERROR);

    ZeroMemory(&logfont, sizeof logfont);
    logfont.lfWeight = Weight;
    logfont.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(logfont.lfFaceName, Name, LF_FACESIZE);
    window_dpi = dpi_for_window(Main);
    refresh_dpi_metrics();
    make_font();
    RECT client;
    GetClientRect(Main, &client);
    int W = client.right, H = client.bottom;
    ChildRect text, prom, edit;
    child_layout(W, H, cell_width, cell_height, window_dpi, &text, &prom, &edit);

    richedit_library = LoadLibraryW(L"Riched20.dll");
    if (!richedit_library) MessageBoxW(NULL, L"WinMain(): LoadLibrary(Riched20.dll) failed", L"Err! - Tavro", MB_ICONERROR);

    // No dragging of text into or out of the pane: a drop would edit it. (Not ES_READONLY: the
    // document model refuses its changes then, and the pane is trimmed through it.)
    const DWORD pane_style =
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOOLEDRAGDROP;
    Text = create_child(L"RichEdit20W", PANE_NOTICE, pane_style, text.x, text.y, text.width, text.height);
    if (!Text) {
        wchar_t message[64];
        _snwprintf(message, 63, L"WinMain(): CreateWindow(Text) failed: %lu", (unsigned long)GetLastError());
        message[63] = 0;
        return fail(message, MB_ICONERROR);
    }
    subclass(Text, text_window_proc, &text_previous_proc);
    measure_cell(Text);
    configure_pane();
    ShowWindow(Text, SW_SHOW);

    const DWORD line_style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | ES_AUTOHSCROLL;
    child_layout(W, H, cell_width, cell_height, window_dpi, &text, &prom, &edit);   // with the measured cell
    Prom = create_child(L"EDIT", L">", line_style, prom.x, prom.y, prom.width, prom.height);
    if (!Prom) return fail(L"WinMain(): CreateWindow(Prom) failed", MB_ICONERROR);
    subclass(Prom, prom_window_proc, &prom_previous_proc);
    ShowWindow(Prom, SW_SHOW);
    Edit = create_child(L"EDIT", L"", line_style, edit.x, edit.y, edit.width, edit.height);
    if (!Edit) return fail(L"WinMain(): CreateWindow(Edit) failed", MB_ICONERROR);
    subclass(Edit, edit_window_proc, &edit_previous_proc);
    ShowWindow(Edit, SW_SHOW);

    build_menus();
    SetClassLongPtrW(Text, GCLP_HBRBACKGROUND, (LONG_PTR)background_brush);
    SetClassLongPtrW(Prom, GCLP_HBRBACKGROUND, (LONG_PTR)background_brush);
    SetClassLongPtrW(Edit, GCLP_HBRBACKGROUND, (LONG_PTR)background_brush);
    return 0;
}

static void type_startup_command() {
    if (!startup_command[0]) return;
    SetWindowTextW(Edit, startup_command);
    static const wchar_t keys[] = {13, L'c', L'd', L' ', L'C', L':', 13};
    for (wchar_t k : keys) PostMessageW(Edit, WM_CHAR, k, 0);
}

// Whether Main or one of its windows has something waiting. Paints come out of the queue after
// input and posted messages, so a paint first means only paints wait. The pane's own repaint does
// not count: the print paints it on its own clock, together with any other window's, and a flood
// that stopped for it would repaint the whole pane after every read. The input line's does, so
// that what the user types shows at once.
static bool main_message_waiting() {
    MSG peek;
    if (!PeekMessageW(&peek, Main, 0, 0, PM_NOREMOVE)) return false;
    if (peek.message != WM_PAINT || peek.hwnd != Text) return true;
    return GetUpdateRect(Edit, NULL, FALSE) != 0;
}

// Drains the slave's pipes between messages; stops as soon as Main has a message waiting.
static void poll_slave() {
    DWORD last;
    do {
        // The pager waiting for a key reads nothing: its waiting bytes must not keep the loop
        // turning (it would spin, and for good once Main is gone).
        if (pager_waiting()) return;
        // Once Main is gone no message for it can stop the drain: a flood would keep the
        // program from reaching its WM_QUIT until the slave fell silent.
        if (!IsWindow(Main)) return;
        available_count = last = bytes_waiting(stdout_read);
        // Discarding goes on with nothing waiting too: its end comes with the slave's quiet.
        if (pager.discard_mode) discard_output();
        else if (last) read_slave_output(stdout_read);
        if (HighlightErrs) {
            last = bytes_waiting(stderr_read);
            if (last) read_slave_errors();
        }
    } while (last && !main_message_waiting());
}

static bool slave_has_ended() {
    if (slave_process.hProcess) GetExitCodeProcess(slave_process.hProcess, &slave_exit_code);
    else if (slave_start_error) return true;   // a start or a restart failed
    return slave_exit_code != STILL_ACTIVE;
}

// No slave, because it could not be started: a window that vanished would say nothing, and an exit
// code of 0 would tell whoever started Tavro that all went well.
static WPARAM report_slave_not_started() {
    wchar_t reason[SYSTEM_ERROR_CHARS];
    system_error_text(slave_start_error, reason, SYSTEM_ERROR_CHARS);
    wchar_t text[APP_MAX + SYSTEM_ERROR_CHARS + 64];
    _snwprintf(text, APP_MAX + SYSTEM_ERROR_CHARS + 63, L"Cannot start the command processor %s.\n\n%s", App, reason);
    text[APP_MAX + SYSTEM_ERROR_CHARS + 63] = 0;
    message_box_with_program_icon(Main, text, L"Tavro", MB_OK | MB_ICONERROR);
    return slave_start_error;
}

// Returns whether the loop ended with WM_QUIT (Main destroyed) rather than the slave ending.
static bool message_loop(WPARAM* result) {
    MSG msg = {};
    for (;;) {
        if (GetMessageW(&msg, NULL, 0, 0) <= 0) {
            *result = msg.wParam;
            return true;
        }
        if (slave_has_ended()) {
            *result = slave_process.hProcess ? 0 : report_slave_not_started();
            return false;
        }
        if (beep_count && (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP ||
                           (msg.message >= WM_LBUTTONDOWN && msg.message <= WM_RBUTTONUP)))
            beep_count = 0;
        if (!MenuShow && msg.message == WM_SYSKEYDOWN) {
            int position = msg.wParam == 'F' ? 0 : msg.wParam == 'E' ? 1 : msg.wParam == 'V' ? 2 : msg.wParam == 'H' ? 3 : -1;
            if (position >= 0) {
                show_menu_popup(position);
                continue;
            }
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (output_paused) continue;
        poll_slave();
        // F12 during a flood: start paging before the queued output is worked through.
        MSG key;
        if (main_message_waiting() && PeekMessageW(&key, Main, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) &&
            key.wParam == VK_F12)
            SendMessageW(Main, WM_COMMAND, CMD_PIPE_MORE, 0);
    }
}

static void shut_down(bool quit_message) {
    if (IsZoomed(Main)) ShowWindow(Main, SW_RESTORE);
    write_settings();
    if (quit_message && slave_process.hProcess) {
        GetExitCodeProcess(slave_process.hProcess, &slave_exit_code);
        if (slave_exit_code == STILL_ACTIVE) {
            stop_slave();
            Sleep(QUIT_STOP_MS);
        }
    }
    close_slave_link();
    close_logs_at_exit();
    close_completion_enumeration();
    free_macros();
    if (richedit_library) FreeLibrary(richedit_library);
}

int WINAPI wWinMain(HINSTANCE hinstance, HINSTANCE, PWSTR, int show_command) {
    instance = hinstance;
    set_settings_defaults(GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW));
    capture_screen_metrics();
    parse_arguments();
    derive_names();
    read_settings();
    if (OldErrorLog) rotate_error_log();
    Uses++;
    int failed = create_windows();
    if (failed) return failed;

    start_slave();
    ShowWindow(Main, show_command);
    recompute_grid();
    if (Logging) SendMessageW(Main, WM_COMMAND, CMD_OPEN_OUTPUT_LOG, (LPARAM)L"ab");
    if (first_run || (DWORD)VolSerialNbr != volume_serial)
        print_to_output_pane(L"\n%s\n\n", DISCLAIMER_TEXT);
    else
        save_enabled = true;
    print_to_output_pane(L"Connected to ");
    VolSerialNbr = (int)volume_serial;
    send_prompt_line();
    type_startup_command();
    if (HigherProirity) SetPriorityClass(GetCurrentProcess(), ABOVE_NORMAL_PRIORITY_CLASS);
    start_poll_timer();

    WPARAM result = 0;
    bool quit = message_loop(&result);
    shut_down(quit);
    return (int)result;
}
