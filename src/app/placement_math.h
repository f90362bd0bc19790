// Window size and placement arithmetic over plain rectangles and screen metrics.
// No Windows headers here, so the rules can be tested anywhere.
#pragma once
#include <wchar.h>

struct WindowRect {
    int left, top, width, height;
};

// The parts of the screen the toggles consult; the virtual values are read afresh on every toggle.
struct ScreenLayout {
    int primary_width, primary_height;   // SM_CXSCREEN, SM_CYSCREEN
    int full_screen_width;               // SM_CXFULLSCREEN
    int max_window_height;               // SM_CYFULLSCREEN + SM_CYCAPTION
    int caption_height;                  // SM_CYCAPTION
    int virtual_width, virtual_height;   // SM_CXVIRTUALSCREEN, SM_CYVIRTUALSCREEN
    // The virtual screen's origin, SM_XVIRTUALSCREEN and SM_YVIRTUALSCREEN: negative when a
    // monitor lies left of or above the primary one, whose top left corner is 0, 0.
    int virtual_left, virtual_top;
};

enum {
    GRID_MIN_COLUMNS = 10,
    GRID_MIN_LINES = 2,
    GRID_ENTRY_MAX = 14,   // characters read from each box of the size dialog
    // No window is wider or taller than this many pixels, nor has more cells: entries and sizes
    // are held to it, so that no product of them overflows.
    WINDOW_EXTENT_MAX = 32767,
};

// The size dialog's entries read as decimal numbers (no digits read as 0), at most
// WINDOW_EXTENT_MAX. False when they give fewer than 10 columns or 2 lines: the dialog then
// beeps and stays open.
bool read_grid_entry(const wchar_t* columns_text, const wchar_t* lines_text, int* columns, int* lines);

// Outer window size that shows columns x lines cells: the pane's text area plus the scroll bar,
// the frames, and whatever the window adds around the pane (window size minus pane size); each
// held between 0 and WINDOW_EXTENT_MAX.
void grid_window_size(int columns, int lines, int cell_width, int cell_height, int scroll_bar_width,
                      int frame_width, int window_width, int window_height, int pane_width, int pane_height,
                      int* width, int* height);

// Results of the size dialog besides OK and Cancel.
enum {
    SIZE_LEFT_HALF = 191,
    SIZE_RIGHT_HALF = 192,
    SIZE_MOVE_LEFT = 193,
    SIZE_MOVE_RIGHT = 194,
};
// Where the window goes for a half or move result. The halves give a new rectangle and leave
// the stored one alone; the moves change the stored Left and keep the window's size.
// False for any other result.
bool size_result_placement(int result, WindowRect* stored, const ScreenLayout* screen, WindowRect* target,
                           bool* keep_size);

// The invisible resize border that Windows 10 and 11 draw around a window's visible frame, inside
// its window rectangle (about 7 pixels left, right and below at 96 DPI). The rules place the
// visible frame; the settings keep the window rectangle.
struct FrameMargins {
    int left, top, right, bottom;
};
enum { FRAME_MARGIN_MAX = 32 };   // pixels at 96 DPI: anything wider is no resize border
// The border between a window rectangle and its visible frame; none when the frame does not lie
// within the rectangle by at most FRAME_MARGIN_MAX on each side (at dpi), as when they are
// measured at different DPIs.
FrameMargins frame_margins(const WindowRect& window, const WindowRect& frame, int dpi);
WindowRect visible_frame(const WindowRect& window, const FrameMargins& border);
WindowRect window_around(const WindowRect& frame, const FrameMargins& border);

// Toggle Monitor: from a monitor beside the primary one back onto it; from the primary onto the
// monitor right of it if there is one, else the one left of it, else above or below.
void toggle_monitor_rect(WindowRect* rect, const ScreenLayout* screen);
// Toggle Right/Left: flush with the right edge of the virtual screen, or back to its left edge.
void toggle_right_left_rect(WindowRect* rect, const ScreenLayout* screen);
