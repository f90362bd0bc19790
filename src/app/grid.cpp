#include "app/grid.h"
#include "app/app.h"
#include "app/frame_text.h"

int cell_width = 8, cell_height = 8;
int grid_columns, grid_lines;

void measure_cell(HWND window) {
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm;
    if (GetTextMetricsW(dc, &tm)) {
        cell_width = tm.tmAveCharWidth;
        // The line pitch counts the internal leading twice: once inside tmHeight, once more.
        cell_height = tm.tmHeight + tm.tmInternalLeading + tm.tmExternalLeading;
    }
    SIZE extent;
    if (GetTextExtentPoint32W(dc, L"XXXX", 4, &extent)) cell_width = extent.cx / 4;
    if (window == Text) recompute_grid();
    SelectObject(dc, old);
    ReleaseDC(window, dc);
}

void recompute_grid() {
    RECT r;
    if (!Text || !GetClientRect(Text, &r)) return;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    // Wine answers GetScrollInfo while the bar is hidden, so the style says whether it shows.
    bool shown = (GetWindowLongW(Text, GWL_STYLE) & WS_VSCROLL) && GetScrollInfo(Text, SB_VERT, &si);
    grid_size(r.right, r.bottom, shown, screen.scroll_bar_width, cell_width, cell_height,
              &grid_columns, &grid_lines);
}
