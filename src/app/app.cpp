// The window set's state and the small services every module calls.
#include "app/app.h"
#include "app/commands.h"
#include "app/frame_text.h"
#include "logs/logs.h"
#include "slave/reader_text.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include "slave/reader.h"
#include <initializer_list>

HINSTANCE instance;
HWND Main, Text, Prom, Edit;
WNDPROC text_previous_proc, prom_previous_proc, edit_previous_proc;
HMENU main_menu, system_menu, edit_submenu;
HFONT font;
LOGFONTW logfont;
HBRUSH background_brush;
HMODULE richedit_library;

wchar_t instance_name[INSTANCE_NAME_MAX + 1];
wchar_t base_title[BASE_TITLE_MAX + 1] = L"Tavro";
wchar_t startup_command[STARTUP_COMMAND_MAX + 1];
DWORD volume_serial = 0x00BADBAD;

wchar_t output_log_name[FILE_NAME_CHARS] = L"tavro.log";
wchar_t error_log_name[FILE_NAME_CHARS] = L"tavro.err";
wchar_t previous_error_log_name[FILE_NAME_CHARS] = L"tavro.ero";
wchar_t help_page_name[FILE_NAME_CHARS] = L"tavro.html";
wchar_t env_batch_name[FILE_NAME_CHARS] = L"tavroenv.bat";
wchar_t env_data_name[FILE_NAME_CHARS] = L"tavroenv.dat";

ScreenMetrics screen;
int window_dpi = 96;
bool activation_flag;
int focus_redirect;
bool output_paused;

// Loaded by name: Windows before 10 1607 has neither function, and a program that imported them
// would not start there.
template <typename F>
static F user32_function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? (F)(void*)GetProcAddress(user32, name) : NULL;
}

int dpi_for_window(HWND window) {
    typedef UINT(WINAPI * DpiForWindow)(HWND);
    static DpiForWindow get = user32_function<DpiForWindow>("GetDpiForWindow");
    int dpi = get && window ? (int)get(window) : 0;
    if (dpi <= 0) {
        HDC screen_dc = GetDC(NULL);
        dpi = GetDeviceCaps(screen_dc, LOGPIXELSY);
        ReleaseDC(NULL, screen_dc);
    }
    return dpi > 0 ? dpi : 96;
}

void refresh_dpi_metrics() {
    typedef int(WINAPI * MetricsForDpi)(int, UINT);
    static MetricsForDpi get = user32_function<MetricsForDpi>("GetSystemMetricsForDpi");
    if (!get) return;
    screen.scroll_bar_width = get(SM_CXVSCROLL, (UINT)window_dpi);
    screen.frame_width = get(SM_CXFRAME, (UINT)window_dpi);
    screen.caption_height = get(SM_CYCAPTION, (UINT)window_dpi);
}

void make_font() {
    logfont.lfHeight = scale_for_dpi(Size, window_dpi);
    HFONT previous = font;
    font = CreateFontIndirectW(&logfont);
    for (HWND window : {Main, Text, Prom, Edit})
        if (window) SendMessageW(window, WM_SETFONT, (WPARAM)font, TRUE);
    if (previous) DeleteObject(previous);
}

void system_error_text(DWORD error, wchar_t* out, int capacity) {
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), out, (DWORD)capacity, NULL);
    if (!n) out[0] = 0;
}

void report_system_error(const wchar_t* prefix) {
    wchar_t message[SYSTEM_ERROR_CHARS];
    system_error_text(GetLastError(), message, SYSTEM_ERROR_CHARS);
    print_to_output_pane(L"%s: %s\n", prefix, message);
}

int message_box_with_program_icon(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
    MSGBOXPARAMSW p = {};
    p.cbSize = sizeof p;
    p.hwndOwner = owner;
    p.hInstance = instance;
    p.lpszText = text;
    p.lpszCaption = caption;
    p.dwStyle = style | MB_USERICON;
    p.lpszIcon = MAKEINTRESOURCEW(IDI_TAVRO);
    return MessageBoxIndirectW(&p);
}

void show_menu_popup(int position) {
    HMENU loaded = LoadMenuW(instance, L"Menu");
    if (!loaded) return;
    HMENU popup = GetSubMenu(loaded, position);
    if (position == 2) CheckMenuItem(popup, CMD_SHOW_CMD, MF_BYCOMMAND | (CmdShow ? MF_CHECKED : MF_UNCHECKED));
    POINT pt = {scale_for_dpi(30 * position, window_dpi), 0};
    ClientToScreen(Main, &pt);
    // The popup's own menu loop takes these, so its first item starts highlighted.
    PostMessageW(Main, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(Main, WM_KEYUP, VK_DOWN, 0);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, pt.x, pt.y, 0, Main, NULL);
    DestroyMenu(loaded);
}

void start_poll_timer() { poll_timer = SetTimer(Main, POLL_TIMER_ID, POLL_PERIOD_MS, NULL); }
void stop_poll_timer() { KillTimer(Main, poll_timer); }

void print_prompt_imitation(bool blank_line_first) {
    print_to_output_pane(blank_line_first ? L"\n\n==> %s> " : L"\n==> %s> ", tracked_directory);
}

void show_prompt_mark(const wchar_t* mark) {
    SetWindowTextW(Prom, mark);
    InvalidateRect(Prom, NULL, TRUE);
    UpdateWindow(Prom);
}

void set_title_with_logging_indicators(wchar_t* title, int capacity) {
    append_logging_indicators(title, capacity, output_log_open, error_log_open);
    SetWindowTextW(Main, title);
}

void set_directory_title() {
    wchar_t title[300];
    _snwprintf(title, 299, L"%s  %s", base_title, tracked_directory);
    title[299] = 0;
    set_title_with_logging_indicators(title, 300);
}
