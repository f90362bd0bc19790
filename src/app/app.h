// Application frame: the window set, the derived file names and the small services every module calls.
#pragma once
#include <windows.h>

enum {
    INSTANCE_NAME_MAX = 15,
    BASE_TITLE_MAX = 20,
    STARTUP_COMMAND_MAX = 1023,
    FILE_NAME_CHARS = MAX_PATH + 32,
    POLL_TIMER_ID = 99,
    POLL_PERIOD_MS = 100,
};

extern HINSTANCE instance;
extern HWND Main, Text, Prom, Edit;
extern WNDPROC text_previous_proc, prom_previous_proc, edit_previous_proc;
extern HMENU main_menu, system_menu, edit_submenu;
extern HFONT font;
extern LOGFONTW logfont;
extern HBRUSH background_brush;
extern HMODULE richedit_library;

extern wchar_t instance_name[INSTANCE_NAME_MAX + 1];
extern wchar_t base_title[BASE_TITLE_MAX + 1];
extern wchar_t startup_command[STARTUP_COMMAND_MAX + 1];
extern DWORD volume_serial;

// Derived file names (the settings and command file names live with the settings).
extern wchar_t output_log_name[FILE_NAME_CHARS];
extern wchar_t error_log_name[FILE_NAME_CHARS];
extern wchar_t previous_error_log_name[FILE_NAME_CHARS];
extern wchar_t help_page_name[FILE_NAME_CHARS];
extern wchar_t env_batch_name[FILE_NAME_CHARS];
extern wchar_t env_data_name[FILE_NAME_CHARS];

// Screen metrics captured once at start.
struct ScreenMetrics {
    int scroll_bar_width, frame_width, screen_width, screen_height;
    int full_screen_width, caption_height, max_window_height;
};
extern ScreenMetrics screen;

// Main's dots per inch: 96 until Main exists, then its monitor's, following WM_DPICHANGED.
extern int window_dpi;
// The DPI a window is shown at: GetDpiForWindow where Windows has it (10 1607 on), else the
// screen's, which is then the one DPI every window has.
int dpi_for_window(HWND window);
// The scroll bar and frame widths and the caption height for window_dpi, where Windows can tell
// them per DPI.
void refresh_dpi_metrics();
// The program's font for window_dpi from Name, Size (a height at 96 DPI) and Weight, set on every
// window that exists; the previous font is deleted.
void make_font();
// The pane's background, text colour (its default too, for text that comes after it is emptied)
// and tab stops; at start-up and after Clear Screen.
void configure_pane();
// The tab stops of every paragraph of the pane, from TabWidth and the measured cell.
void set_pane_tab_stops();

extern bool activation_flag;       // set on activation, cleared by the next poll-timer tick
extern int focus_redirect;         // Open Selected Text sends the next two focus events to Text
extern bool output_paused;         // Ctrl+S: the loop stops polling

// The shell's default action on a file, a folder or an address (ShellExecuteW with no verb and
// no parameters, shown normally); the result is ShellExecuteW's. Tests put a recorder here.
extern HINSTANCE (*shell_open)(HWND owner, const wchar_t* file, const wchar_t* directory);

enum { SYSTEM_ERROR_CHARS = 512 };
void system_error_text(DWORD error, wchar_t* out, int capacity);   // the system's message, "" if none
void report_system_error(const wchar_t* prefix);
int message_box_with_program_icon(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);
void show_menu_popup(int position);
void start_poll_timer();
void stop_poll_timer();
// Main's title: appends the logging indicators ("  Logging output", "  Logging stderr") to
// title (capacity in characters) and sets it.
void set_title_with_logging_indicators(wchar_t* title, int capacity);
// The base title, two blanks and the slave's current directory, with the indicators.
void set_directory_title();
// The slave's prompt, imitated after the program printed a message of its own.
void print_prompt_imitation(bool blank_line_first);

// What the prompt display shows of the output's state.
#define PROMPT_MARK_READY L">"
#define PROMPT_MARK_PAGING L"\u00bb"
#define PROMPT_MARK_PAUSED L"\u00a7"
#define PROMPT_MARK_DISCARDING L"Q"   // alternates with its lower case while output is dropped
#define PROMPT_MARK_DISCARDING_TOO L"q"
void show_prompt_mark(const wchar_t* mark);   // set and painted at once

LRESULT CALLBACK main_window_proc(HWND, UINT, WPARAM, LPARAM);
