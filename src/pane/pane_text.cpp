#include "pane/pane_text.h"
#include <wchar.h>

int count_character(const wchar_t* text, wchar_t c) {
    int n = 0;
    for (const wchar_t* p = wcschr(text, c); p; p = wcschr(p + 1, c)) n++;
    return n;
}

bool bell_should_sound(const wchar_t* text, int* beep_count, int beeps_max) {
    if (!wcschr(text, 7)) return false;
    int before = (*beep_count)++;
    return before < beeps_max;
}

int remove_backspaces(wchar_t* text) {
    int length = (int)wcslen(text);
    int i = 1;
    while (i < length) {
        if (text[i] != 8) { i++; continue; }
        // The pair goes; look again from where it was, but never at the first character.
        wmemmove(text + i - 1, text + i + 1, length - i);   // terminator included
        length -= 2;
        i = i - 1 > 1 ? i - 1 : 1;
    }
    return length;
}

double next_paint_gap(double paint_ms, double min_ms, double share, double max_ms) {
    double gap = paint_ms * share;
    if (!(gap > min_ms)) gap = min_ms;   // also a clock that went backwards
    return gap < max_ms ? gap : max_ms;
}

int added_size(const wchar_t* text, int length) {
    int n = length;
    for (int i = 0; i < length; i++) n += text[i] == 10;
    return n;
}

int trim_count(const wchar_t* pane, int pane_length, int added, int bound) {
    int start = 0;
    while (start < pane_length && pane_length - start + added >= bound) {
        const wchar_t* cr = wmemchr(pane + start, 13, pane_length - start);
        if (cr) {
            start = (int)(cr - pane) + 1;
        } else {
            int step = added + 16;
            start = pane_length - start > step ? start + step : pane_length;
        }
    }
    return start;
}

int trim_count_in_window(const wchar_t* window, int window_start, int window_length, int pane_length, int added,
                         int bound) {
    int must_go = pane_length + added - bound + 1;
    if (must_go <= 0) return 0;
    if (window_start == 0 && window_length >= pane_length) return trim_count(window, pane_length, added, bound);
    int from = must_go - 1 - window_start;
    if (from < 0) return -1;
    for (int i = from; i < window_length; i++)
        if (window[i] == 13) return window_start + i + 1;
    return -1;
}

const wchar_t START_MARKER[] = L"" START_MARKER_BYTES;
const wchar_t START_MARKER_QUOTED[] = L"" START_MARKER_QUOTED_BYTES;

int start_marker_at(const wchar_t* text, int length, int i) {
    static const wchar_t* const markers[] = {START_MARKER_QUOTED, START_MARKER};
    for (const wchar_t* marker : markers) {
        int n = (int)wcslen(marker);
        if (i + n <= length && wmemcmp(text + i, marker, n) == 0) return n;
    }
    return 0;
}

int remove_start_markers(wchar_t* text, int length, int* pending) {
    int i = 0;
    while (*pending > 0 && i < length) {
        int n = start_marker_at(text, length, i);
        if (!n) {
            i++;
        } else if (i == 0 || (i >= 2 && text[i - 2] == '>' && text[i - 1] == ' ')) {
            wmemmove(text + i, text + i + n, length - i - n + 1);
            length -= n;
            --*pending;
        } else {
            i += n;
        }
    }
    return length;
}

int find_marker_after_prompt(const wchar_t* text, int* marker_length) {
    int length = (int)wcslen(text);
    for (int i = 2; i < length; i++) {
        if (text[i - 2] != '>' || text[i - 1] != ' ') continue;
        int n = start_marker_at(text, length, i);
        if (n) {
            *marker_length = n;
            return i;
        }
    }
    return -1;
}

int collapse_cr_runs(wchar_t* text, int length) {
    int out = 0;
    for (int i = 0; i < length;) {
        if (text[i] == 13) {
            int run_end = i;
            while (run_end < length && text[run_end] == 13) run_end++;
            if (run_end < length && text[run_end] == 10) {
                text[out++] = 13;
                i = run_end;
                continue;
            }
            while (i < run_end) text[out++] = text[i++];
            continue;
        }
        text[out++] = text[i++];
    }
    text[out] = 0;
    return out;
}

bool has_bare_cr(const wchar_t* text) {
    for (const wchar_t* p = wcschr(text, 13); p; p = wcschr(p, 13)) {
        const wchar_t* run_end = p;
        while (*run_end == 13) run_end++;
        if (*run_end == 10) { p = run_end; continue; }
        if (*run_end == 0 && run_end - p == 1) return false;
        return true;
    }
    return false;
}

void model_append(PaneModel* model, const wchar_t* text, int length) {
    int room = model->capacity - 1 - model->length;
    if (length > room) length = room > 0 ? room : 0;
    wmemcpy(model->text + model->length, text, length);
    model->length += length;
    model->text[model->length] = 0;
}

// One character at the write position: over an old one, or at the end to extend the text.
static void put_char(PaneModel* model, wchar_t c) {
    if (model->write_pos < model->length) {
        model->text[model->write_pos++] = c;
    } else if (model->length < model->capacity - 1) {
        model->text[model->length++] = c;
        model->text[model->length] = 0;
        model->write_pos = model->length;
    }
}

static int last_line_start(const PaneModel* model) {
    for (int i = model->length; i > 0; i--) {
        if (model->text[i - 1] == 13 || model->text[i - 1] == 10) return i;
    }
    return 0;
}

bool overwrite_step(PaneModel* model, const wchar_t** rest) {
    const wchar_t* text = *rest;
    for (const wchar_t* cr = wcschr(text, 13); cr; cr = wcschr(cr + 1, 13)) {
        if (cr[1] == 10 || cr[1] == 0) {
            model->overwrite = false;
            continue;
        }
        model_append(model, text, (int)(cr - text));
        model->write_pos = last_line_start(model);
        const wchar_t* p = cr + 1;
        for (; *p && *p != 13 && *p != 10; p++) put_char(model, *p);
        model->overwrite = true;
        *rest = p;
        return true;
    }
    return false;
}

void overwrite_finish(PaneModel* model, const wchar_t* rest) {
    for (; *rest; rest++) put_char(model, *rest);
}

const wchar_t* apply_carriage_returns(PaneModel* model, const wchar_t* text,
                                      void (*show)(const PaneModel* model, void* context), void* context) {
    model->overwrite = false;
    model->write_pos = model->length;
    const wchar_t* rest = text;
    while (overwrite_step(model, &rest)) {
        if (show) show(model, context);
    }
    if (!model->overwrite) return rest;
    overwrite_finish(model, rest);
    return 0;
}

int pane_line_ends(const wchar_t* text, int length, wchar_t* out, int capacity) {
    int n = 0;
    for (int i = 0; i < length && n < capacity - 1; i++) {
        if (text[i] == 10 && i > 0 && text[i - 1] == 13) continue;   // the "\r" before it stands for both
        out[n++] = text[i] == 10 ? 13 : text[i];
    }
    if (capacity > 0) out[n] = 0;
    return n;
}

void text_difference(const wchar_t* old_text, int old_length, const wchar_t* new_text, int new_length, int* from,
                     int* old_end, int* new_end) {
    int start = 0;
    while (start < old_length && start < new_length && old_text[start] == new_text[start]) start++;
    int a = old_length, b = new_length;
    while (a > start && b > start && old_text[a - 1] == new_text[b - 1]) a--, b--;
    *from = start;
    *old_end = a;
    *new_end = b;
}

static void terminate_at(wchar_t* text, int capacity, int length) {
    if (capacity <= 0) return;
    text[length < capacity ? length : capacity - 1] = 0;
}

void build_ruler(int columns, wchar_t* tens, int tens_capacity, wchar_t* units, int units_capacity) {
    if (columns > 1023) columns = 1023;
    if (columns < 0) columns = 0;
    int t = 0;
    for (int k = 1; k <= columns / 10; k++) {
        for (int b = 0; b < 9 && t < tens_capacity - 1; b++) tens[t++] = ' ';
        if (t < tens_capacity - 1) tens[t++] = (wchar_t)('0' + k % 10);
    }
    terminate_at(tens, tens_capacity, t);
    int u = 0;
    for (int c = 1; c <= columns && u < units_capacity - 1; c++) units[u++] = (wchar_t)('0' + c % 10);
    terminate_at(units, units_capacity, u);
}

int log_slice_length(const wchar_t* text, int length, int max_units) {
    if (length <= max_units) return length;
    int n = max_units;
    // A high surrogate last would split its pair between two conversions.
    if (n > 1 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) n--;
    return n;
}
