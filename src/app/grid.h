// The character cell of the pane's font and the grid of columns and lines it gives.
#pragma once
#include <windows.h>

extern int cell_width, cell_height;   // 8 and 8 until measured
extern int grid_columns;              // 0 until first computed; commands needing the grid wait for it
extern int grid_lines;                // stored line count; users are shown grid_lines + 1

void measure_cell(HWND window);       // also recomputes the grid when window is Text
void recompute_grid();
