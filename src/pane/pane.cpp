// The output pane's print operation on the rich-edit control Text, its colours, reading window
// text and the ruler. The text rules themselves live in pane_text.cpp.
#include "pane/pane.h"
#include "pane/pane_log.h"
#include "pane/pane_text.h"
#include "app/app.h"
#include "app/timing.h"
#include "app/grid.h"
#include "logs/logs.h"
#include "settings/settings.h"
#include <richedit.h>
#include <richole.h>
#include <tom.h>
#include <stdarg.h>
#include <wchar.h>

int start_markers_pending;
int beep_count;
UINT_PTR poll_timer;

// The colour the next append takes, once a colour operation has asked for it.
static CHARFORMATW pending_colour;
static bool colour_set;

enum { LOG_SLICE_UNITS = 1023 };   // at most 4 bytes per UTF-16 unit in any code page: fits 4,095 bytes

void write_text_to_log(const wchar_t* text, int length, UINT code_page, LogSink sink) {
    char bytes[PANE_LOG_BYTES];
    int at = 0;
    while (at < length) {
        int units = log_slice_length(text + at, length - at, LOG_SLICE_UNITS);
        int n = 0;
        while (units > 0) {
            n = WideCharToMultiByte(code_page, 0, text + at, units, bytes, PANE_LOG_BYTES - 1, NULL, NULL);
            if (n > 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
            units = log_slice_length(text + at, units, units / 2);
        }
        if (n <= 0) return;   // a code page that cannot convert: nothing sensible to log
        sink(bytes, n);
        at += units;
    }
}

static void fill_colour(COLORREF colour) {
    ZeroMemory(&pending_colour, sizeof pending_colour);
    pending_colour.cbSize = sizeof pending_colour;
    pending_colour.dwMask = CFM_COLOR;
    pending_colour.dwEffects = 0;
    pending_colour.crTextColor = colour;
}

void set_output_colour(HWND window, int scope, COLORREF colour) {
    fill_colour(colour);
    if (scope == SCF_SELECTION) {
        colour_set = true;   // applied by the next append
        return;
    }
    SendMessageW(window, EM_SETCHARFORMAT, (WPARAM)scope, (LPARAM)&pending_colour);
    // The whole pane's colour is also the one of text that the control formats itself: after the
    // pane was emptied, or a whole text was set.
    if (scope == SCF_ALL) SendMessageW(window, EM_SETCHARFORMAT, SCF_DEFAULT, (LPARAM)&pending_colour);
}

void restore_normal_colour(HWND window, int scope) {
    fill_colour(ColorText);
    SendMessageW(window, EM_SETSEL, (WPARAM)-1, -1);
    SendMessageW(window, EM_SETCHARFORMAT, (WPARAM)scope, (LPARAM)&pending_colour);
    colour_set = true;
}

int read_window_text(HWND window, wchar_t* buffer, int capacity) {
    if (capacity <= 0) return 0;
    buffer[0] = 0;
    if (window && window == Text) {
        GETTEXTEX how;
        ZeroMemory(&how, sizeof how);
        how.cb = (DWORD)capacity * sizeof(wchar_t);
        how.flags = GT_DEFAULT;   // line ends as lone "\r", one character each, as selections count them
        how.codepage = 1200;
        LRESULT n = SendMessageW(window, EM_GETTEXTEX, (WPARAM)&how, (LPARAM)buffer);
        if (n < 0) n = 0;
        if (n > capacity - 1) n = capacity - 1;
        buffer[n] = 0;
        return (int)n;
    }
    return GetWindowTextW(window, buffer, capacity);
}

// The pane's length without fetching its text, counted as read_window_text counts it.
static int pane_length() {
    GETTEXTLENGTHEX how;
    how.flags = GTL_NUMCHARS | GTL_PRECISE;
    how.codepage = 1200;
    LRESULT n = SendMessageW(Text, EM_GETTEXTLENGTHEX, (WPARAM)&how, 0);
    return n > 0 ? (int)n : 0;
}

static void scroll_to_bottom() { SendMessageW(Text, WM_VSCROLL, SB_BOTTOM, 0); }

// The rich-edit control repaints its whole page on every change once it is full (the scroll of
// an append, then the trim): a print's changes are made with redraw off and painted at most ten
// times a second while output streams. Where a paint is slow (a software display, a remote
// session) the pane is painted less often still, so that painting keeps to about a twentieth of
// the time a flood takes.
enum { PAINT_INTERVAL_MS = 100, PAINT_SHARE = 20, PAINT_GAP_MAX_MS = 500 };
static double last_paint_ms = -1e9, paint_gap_ms = PAINT_INTERVAL_MS;

static void hold_paint() { SendMessageW(Text, WM_SETREDRAW, FALSE, 0); }

static void release_paint(bool now) {
    SendMessageW(Text, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Text, NULL, FALSE);
    double start = now_ms();
    if (now || start - last_paint_ms >= paint_gap_ms) {
        // The other windows' paints wait behind the pane's while output streams: they go too.
        RedrawWindow(Main ? Main : Text, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
        last_paint_ms = now_ms();
        paint_gap_ms = next_paint_gap(last_paint_ms - start, PAINT_INTERVAL_MS, PAINT_SHARE, PAINT_GAP_MAX_MS);
    }
}

// While a print rewrites the pane, what the pane holds, line ends as the control keeps them.
static wchar_t shown[PANE_COPY_CHARS], wanted[PANE_COPY_CHARS];
static int shown_length;

static void begin_rewrite(const wchar_t* pane_text, int length) {
    wmemcpy(shown, pane_text, length);
    shown[length] = 0;
    shown_length = length;
}

// Makes the pane hold text by replacing only the part that differs from what it shows: the rest
// keeps its colours (error and bypass lines above a progress meter), and the written part takes
// the colour of this print. Setting the whole text would leave every character in the control's
// own default colour, black on a black background.
static void rewrite_pane(const wchar_t* text, int length) {
    int n = pane_line_ends(text, length, wanted, PANE_COPY_CHARS);
    int from, old_end, new_end;
    text_difference(shown, shown_length, wanted, n, &from, &old_end, &new_end);
    if (from < old_end || from < new_end) {
        wchar_t kept = wanted[new_end];
        wanted[new_end] = 0;
        SendMessageW(Text, EM_SETSEL, from, old_end);
        SendMessageW(Text, EM_REPLACESEL, FALSE, (LPARAM)(wanted + from));
        wanted[new_end] = kept;
        if (new_end > from) {
            CHARFORMATW format = pending_colour;
            if (!colour_set) {
                ZeroMemory(&format, sizeof format);
                format.cbSize = sizeof format;
                format.dwMask = CFM_COLOR;
                format.crTextColor = ColorText;
            }
            SendMessageW(Text, EM_SETSEL, from, new_end);
            SendMessageW(Text, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
        }
        SendMessageW(Text, EM_SETSEL, (WPARAM)-1, -1);
    }
    wmemcpy(shown, wanted, n + 1);
    shown_length = n;
    // Should the control have taken some character otherwise, the next step starts from the truth.
    if (pane_length() != shown_length) shown_length = read_window_text(Text, shown, PANE_COPY_CHARS);
}

// Each state of a line rewritten by bare carriage returns is shown.
static void show_model(const PaneModel* model, void*) {
    rewrite_pane(model->text, model->length);
    scroll_to_bottom();
    release_paint(true);
    Sleep(REWRITE_STEP_MS);
    hold_paint();
}

// The pane's text is only fetched when a print needs it: to trim, to find a split start marker
// or to overwrite a line. A plain append costs one length query.
struct PaneCopy {
    wchar_t text[PANE_COPY_CHARS];
    int length;
    bool fetched;
};

static void fetch(PaneCopy* copy) {
    if (copy->fetched) return;
    copy->length = read_window_text(Text, copy->text, PANE_COPY_CHARS);
    copy->fetched = true;
}

// The pane's characters from..to (at most capacity - 1 of them); returns how many were read.
static int read_pane_range(int from, int to, wchar_t* buffer, int capacity) {
    if (to - from > capacity - 1) to = from + capacity - 1;
    if (to <= from) {
        buffer[0] = 0;
        return 0;
    }
    TEXTRANGEW range;
    range.chrg.cpMin = from;
    range.chrg.cpMax = to;
    range.lpstrText = buffer;
    LRESULT n = SendMessageW(Text, EM_GETTEXTRANGE, 0, (LPARAM)&range);
    if (n < 0) n = 0;
    if (n > capacity - 1) n = capacity - 1;
    buffer[n] = 0;
    return (int)n;
}

static const IID IID_TEXT_DOCUMENT = {0x8CC497C0, 0xA1DF, 0x11CE, {0x80, 0x98, 0x00, 0xAA, 0x00, 0x47, 0xBE, 0x5D}};

// Removes the pane's first count characters; what stays keeps its colours. A range of the
// control's document is removed without touching the selection: removing through the selection
// makes the control scroll to the top and back on every print, which on a slow display costs more
// than the append. The selection is the way when the document cannot be had.
static void remove_pane_head(int count) {
    bool removed = false;
    IRichEditOle* ole = NULL;
    if (SendMessageW(Text, EM_GETOLEINTERFACE, 0, (LPARAM)&ole) && ole) {
        ITextDocument* document = NULL;
        if (SUCCEEDED(ole->QueryInterface(IID_TEXT_DOCUMENT, (void**)&document)) && document) {
            ITextRange* range = NULL;
            if (SUCCEEDED(document->Range(0, count, &range)) && range) {
                removed = SUCCEEDED(range->SetText(NULL));
                range->Release();
            }
            document->Release();
        }
        ole->Release();
    }
    if (removed) return;
    SendMessageW(Text, EM_SETSEL, 0, count);
    SendMessageW(Text, EM_REPLACESEL, FALSE, (LPARAM)L"");
}

// Drops the oldest lines so that the pane and the text to come stay below the bound. Where the
// cut falls is read from a small window of the pane around the first character that must go; the
// whole pane is fetched only when that window cannot tell.
enum { TRIM_WINDOW_CHARS = 2048 };

static void trim_pane(PaneCopy* copy, int added) {
    int length = pane_length();
    if (length + added < PANE_SIZE_BOUND) return;
    wchar_t window[TRIM_WINDOW_CHARS];
    int start = length + added - PANE_SIZE_BOUND;   // the first character that must go
    int n = read_pane_range(start, length, window, TRIM_WINDOW_CHARS);
    int d = trim_count_in_window(window, start, n, length, added, PANE_SIZE_BOUND);
    if (d < 0) {
        fetch(copy);
        d = trim_count(copy->text, copy->length, added, PANE_SIZE_BOUND);
    }
    if (d <= 0) return;
    remove_pane_head(d);
    if (copy->fetched) {
        wmemmove(copy->text, copy->text + d, copy->length - d + 1);
        copy->length -= d;
    }
}

// The marker split between the pane's end and this text: found in the two joined, the pane is
// rewritten without it and nothing is left to append.
static int remove_split_marker(PaneCopy* copy, wchar_t* text, int length) {
    fetch(copy);
    if (copy->length + length >= PANE_COPY_CHARS) return length;
    begin_rewrite(copy->text, copy->length);
    wmemcpy(copy->text + copy->length, text, length + 1);
    int marker_length = 0;
    int at = find_marker_after_prompt(copy->text, &marker_length);
    if (at < 0) {
        copy->text[copy->length] = 0;
        return length;
    }
    int joined = copy->length + length;
    wmemmove(copy->text + at, copy->text + at + marker_length, joined - at - marker_length + 1);
    copy->length = joined - marker_length;
    start_markers_pending--;
    rewrite_pane(copy->text, copy->length);
    text[0] = 0;
    return 0;
}

static void append_coloured(const wchar_t* text) {
    SendMessageW(Text, EM_SETSEL, (WPARAM)-1, -1);
    if (colour_set) SendMessageW(Text, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&pending_colour);
    SendMessageW(Text, EM_REPLACESEL, FALSE, (LPARAM)text);
}

static void update_pane(wchar_t* text, int length) {
    hold_paint();
    PaneCopy copy;
    copy.fetched = false;
    copy.length = 0;
    copy.text[0] = 0;

    trim_pane(&copy, added_size(text, length));
    if (start_markers_pending > 0) {
        int before = start_markers_pending;
        length = remove_start_markers(text, length, &start_markers_pending);
        // The split marker is looked for when this text held none: it may have begun in the pane.
        if (start_markers_pending == before) length = remove_split_marker(&copy, text, length);
    }
    length = collapse_cr_runs(text, length);
    if (has_bare_cr(text)) {
        fetch(&copy);
        begin_rewrite(copy.text, copy.length);
    }

    PaneModel model = {copy.text, copy.length, PANE_COPY_CHARS, copy.length, false};
    const wchar_t* rest = apply_carriage_returns(&model, text, show_model, NULL);
    if (rest) append_coloured(rest);
    else rewrite_pane(model.text, model.length);
    scroll_to_bottom();
    release_paint(false);
}

static void print_formatted(const wchar_t* format, va_list args) {
    if (Main) KillTimer(Main, poll_timer);

    wchar_t text[PANE_NEW_TEXT_CHARS];
    _vsnwprintf(text, PANE_NEW_TEXT_CHARS - 1, format, args);
    text[PANE_NEW_TEXT_CHARS - 1] = 0;

    if (bell_should_sound(text, &beep_count, BeepsMax)) MessageBeep(0);
    int length = remove_backspaces(text);
    if (Logging && output_log_open) write_text_to_log(text, length, (UINT)CodePage, write_output_log);

    if (Text) update_pane(text, length);

    if (Main) poll_timer = SetTimer(Main, POLL_TIMER_ID, POLL_PERIOD_MS, NULL);
    Sleep(PRINT_YIELD_MS);
}

void print_to_output_pane(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    print_formatted(format, args);
    va_end(args);
}

void print_error_text(const wchar_t* format, ...) {
    set_output_colour(Text, SCF_SELECTION, ErrorText);
    va_list args;
    va_start(args, format);
    print_formatted(format, args);
    va_end(args);
    restore_normal_colour(Text, SCF_SELECTION);
}

void print_ruler() {
    wchar_t tens[1100], units[1100];
    build_ruler(grid_columns, tens, 1100, units, 1100);
    print_to_output_pane(L"\r\n");
    if (tens[0]) print_to_output_pane(L"%s", tens);
    print_to_output_pane(L"\r\n%s", units);
}
