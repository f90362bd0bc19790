// Start-up text logic over plain data: the command line, the derived file names, the grid.
// No Windows headers here, so it can be tested (and fuzzed) anywhere.
#pragma once
#include <wchar.h>

enum {
    FRAME_INSTANCE_CAP = 16,      // 15 characters and the terminator
    FRAME_STARTUP_CAP = 1024,     // 1023 characters and the terminator
    FRAME_PATH_MAX = 260,
    FRAME_NAME_CAP = 292,         // a base path of 260 + instance + suffix fits
};

// Splits the arguments (argv[0], the program, is skipped) into the instance name of -i and
// the start-up command: the first argument that is not an option starts the command and
// every later argument joins it, each followed by one blank. -k makes the rest the command.
void parse_command_line(int argc, const wchar_t* const* argv,
                        wchar_t* instance_name, wchar_t* startup_command);

struct DerivedNames {
    wchar_t settings[FRAME_NAME_CAP];
    wchar_t command[FRAME_NAME_CAP];
    wchar_t output_log[FRAME_NAME_CAP];
    wchar_t error_log[FRAME_NAME_CAP];
    wchar_t previous_error_log[FRAME_NAME_CAP];
    wchar_t help_page[FRAME_NAME_CAP];
    wchar_t env_batch[FRAME_NAME_CAP];
    wchar_t env_data[FRAME_NAME_CAP];
};

// The names used when the executable's path is unknown (relative to the current directory).
void builtin_file_names(DerivedNames* names);
// Every file name from the executable's path cut at its last "." and the instance name.
void derive_file_names(const wchar_t* exe_path, const wchar_t* instance_name, DerivedNames* names);

// Columns and stored lines of a pane with the given client size. While the pane shows no
// vertical scroll bar its width is subtracted anyway, so the column count does not jump
// when the bar appears.
void grid_size(int client_width, int client_height, bool scroll_bar_shown, int scroll_bar_width,
               int cell_width, int cell_height, int* columns, int* lines);

// A length in pixels at 96 DPI for a window at dpi, rounded to the nearest pixel (a dpi below 1
// counts as 96); unscale_for_dpi is its inverse.
int scale_for_dpi(int value, int dpi);
int unscale_for_dpi(int value, int dpi);

struct ChildRect {
    int x, y, width, height;
};
// Where the pane, the prompt display and the input line go in Main's client area with the cell
// cw x ch: the pane above, the one-cell prompt display and the input line below it. The margins
// of 2, 4 and 5 pixels are those of 96 DPI and grow with dpi.
void child_layout(int client_width, int client_height, int cell_width, int cell_height, int dpi, ChildRect* text,
                  ChildRect* prom, ChildRect* edit);

// The pane's tab stops in twips, for a device of logpixels pixels per inch: one every tab_width
// cells of cell_width pixels, as many as fit into capacity (and into the 24 bits a stop's
// position has). Returns how many; none for a width or cell of 0.
int pane_tab_stops(int cell_width, int tab_width, int logpixels, long* stops, int capacity);

// Bounded copy and append: the result is always terminated and never longer than cap - 1.
void copy_text(wchar_t* dst, int cap, const wchar_t* src);
void append_text(wchar_t* dst, int cap, const wchar_t* src);

// A saved window rectangle brought back onto the present screens before Main is created: a Left
// beyond the right edge of every monitor moves one screen width left; a window wholly left of
// them, or with its top above them, comes back to their edge; a Height taller than the largest
// window is clipped, with Top 0. The virtual screen starts at virtual_left, virtual_top.
void startup_placement(int* left, int* top, int* height, int width, int full_screen_width, int virtual_left,
                       int virtual_top, int virtual_width, int max_window_height);
