#include "app/placement_math.h"
#include "app/frame_text.h"

#include <algorithm>
#include <initializer_list>
#include <wchar.h>

// Leading blanks, an optional sign, then digits up to the first other character.
static int read_decimal(const wchar_t* text) {
    int i = 0;
    while (text[i] == L' ' || text[i] == L'\t') i++;
    bool negative = false;
    if (text[i] == L'+' || text[i] == L'-') negative = text[i++] == L'-';
    long long value = 0;
    for (int n = 0; text[i] >= L'0' && text[i] <= L'9' && n < GRID_ENTRY_MAX; i++, n++) {
        value = value * 10 + (text[i] - L'0');
    }
    value = std::min(value, (long long)WINDOW_EXTENT_MAX);
    return (int)(negative ? -value : value);
}

static long long bounded_extent(long long n) { return std::clamp(n, 0LL, (long long)WINDOW_EXTENT_MAX); }

bool read_grid_entry(const wchar_t* columns_text, const wchar_t* lines_text, int* columns, int* lines) {
    int c = read_decimal(columns_text), l = read_decimal(lines_text);
    if (c < GRID_MIN_COLUMNS || l < GRID_MIN_LINES) return false;
    *columns = c;
    *lines = l;
    return true;
}

void grid_window_size(int columns, int lines, int cell_width, int cell_height, int scroll_bar_width,
                      int frame_width, int window_width, int window_height, int pane_width, int pane_height,
                      int* width, int* height) {
    long long w = (long long)columns * cell_width + scroll_bar_width + 2LL * frame_width +
                  ((long long)window_width - pane_width);
    long long h = (long long)lines * cell_height + ((long long)window_height - pane_height);
    *width = (int)bounded_extent(w);
    *height = (int)bounded_extent(h);
}

bool size_result_placement(int result, WindowRect* stored, const ScreenLayout* screen, WindowRect* target,
                           bool* keep_size) {
    int half = screen->full_screen_width / 2;
    switch (result) {
    case SIZE_LEFT_HALF:
    case SIZE_RIGHT_HALF:
        target->left = result == SIZE_LEFT_HALF ? 0 : half;
        target->top = 0;
        target->width = half;
        target->height = screen->max_window_height;
        *keep_size = false;
        return true;
    case SIZE_MOVE_LEFT:
    case SIZE_MOVE_RIGHT:
        stored->left = result == SIZE_MOVE_LEFT ? 0 : screen->full_screen_width - stored->width;
        *target = *stored;
        *keep_size = true;
        return true;
    default:
        return false;
    }
}

void toggle_monitor_rect(WindowRect* rect, const ScreenLayout* screen) {
    const int vx = screen->virtual_left, vy = screen->virtual_top;
    const int right = vx + screen->virtual_width, bottom = vy + screen->virtual_height, vh = screen->virtual_height;
    const int pw = screen->primary_width, ph = screen->primary_height;
    rect->height = std::min(rect->height, screen->max_window_height);
    if (rect->top >= bottom) {
        rect->top = std::max(bottom - rect->height - screen->caption_height, vy);
    }
    if (rect->left < vx) {
        rect->left = vx;
    } else if (rect->left + rect->width > right) {
        rect->left = right - rect->width;
    } else if (rect->left > pw - 10) {
        // On a monitor right of the primary one: back onto the primary.
        rect->left = std::max(rect->left - pw, 0);
    } else if (rect->left < -10) {
        // On a monitor left of the primary one (the 10 pixels are a frame hanging over the
        // primary's edge): back onto the primary, as far from its left edge.
        rect->left = std::max(std::min(rect->left - vx, pw - rect->width), 0);
    } else if (right > pw && rect->left + pw + 1 < right) {
        // A monitor to the right.
        rect->left = std::min(rect->left + pw + 1, right - rect->width);
    } else if (vx < 0) {
        // A monitor to the left: as far from its left edge as from the primary's.
        rect->left = std::max(std::min(rect->left + vx, -rect->width), vx);
    } else if (vy >= 0 && rect->top > ph) {
        rect->top -= ph;
    } else if (vy < 0 && rect->top < 0) {
        rect->top = 0;
    } else if (vy >= 0 && rect->top + ph + 1 < vh) {
        rect->top += ph + 1;
    } else {
        rect->top = vy;
    }
}

void toggle_right_left_rect(WindowRect* rect, const ScreenLayout* screen) {
    const int left = screen->virtual_left, right = left + screen->virtual_width - rect->width;
    if (rect->left < left || rect->left == right) {
        rect->left = left;
    } else {
        rect->left = right;
    }
}

FrameMargins frame_margins(const WindowRect& window, const WindowRect& frame, int dpi) {
    FrameMargins m = {frame.left - window.left, frame.top - window.top,
                      window.left + window.width - frame.left - frame.width,
                      window.top + window.height - frame.top - frame.height};
    const int most = scale_for_dpi(FRAME_MARGIN_MAX, dpi);
    for (int side : {m.left, m.top, m.right, m.bottom})
        if (side < 0 || side > most) return FrameMargins{0, 0, 0, 0};
    return m;
}

WindowRect visible_frame(const WindowRect& window, const FrameMargins& border) {
    return WindowRect{window.left + border.left, window.top + border.top, window.width - border.left - border.right,
                      window.height - border.top - border.bottom};
}

WindowRect window_around(const WindowRect& frame, const FrameMargins& border) {
    return WindowRect{frame.left - border.left, frame.top - border.top, frame.width + border.left + border.right,
                      frame.height + border.top + border.bottom};
}
