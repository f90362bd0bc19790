// The output pane Text: the one print operation with console-like behaviour, its colours,
// reading window text and the column ruler.
#pragma once
#include <windows.h>

enum {
    PANE_SIZE_BOUND = 15992,     // characters in the pane after a print stay below this
    PANE_NEW_TEXT_CHARS = 4096,  // formatted text of one print, terminator included
    PANE_COPY_CHARS = 16000,
    PANE_LOG_BYTES = 4096,
};

// Start markers sent ahead of commands whose echo has not come back yet: routing counts them up,
// the print counts them off as it removes them from the echo.
extern int start_markers_pending;
extern int beep_count;                 // prints with BEL since the last key or mouse button
extern UINT_PTR poll_timer;            // timer 99 on Main, restarted by every print

// Formats with the Windows meaning of "%s" (a wide string) and prints. Text that is not a
// format (slave output, file lines, user input) goes in as the argument of "%s".
void print_to_output_pane(const wchar_t* format, ...);
void print_error_text(const wchar_t* format, ...);   // the same in the error colour
void set_output_colour(HWND window, int scope, COLORREF colour);
void restore_normal_colour(HWND window, int scope);
int read_window_text(HWND window, wchar_t* buffer, int capacity);
int count_character(const wchar_t* text, wchar_t c);
void print_ruler();
