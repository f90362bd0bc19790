#include "input/history_text.h"
#include "input/ascii_text.h"
#include "input/lookup_text.h"


void history_reset(History* h) { h->buffer[0] = 0; h->end = h->newest = h->cursor = 0; }

void history_cursor_to_end(History* h) { h->cursor = h->end; }
bool history_at_start(const History* h) { return h->cursor == 0; }
bool history_at_end(const History* h) { return h->cursor >= h->end; }
bool history_empty(const History* h) { return h->end == 0; }

static const wchar_t* empty_entry() { return L""; }

const wchar_t* history_at_cursor(const History* h) {
    return h->cursor >= h->end ? empty_entry() : h->buffer + h->cursor;
}

const wchar_t* history_newest(const History* h) {
    return h->end == 0 ? empty_entry() : h->buffer + h->newest;
}

static void drop_oldest(History* h) {
    int dropped = (int)wcslen(h->buffer) + 1;
    for (int i = dropped; i < h->end; i++) h->buffer[i - dropped] = h->buffer[i];
    h->end -= dropped;
    h->newest -= dropped;
    if (h->newest < 0) h->newest = 0;
}

void history_add(History* h, const wchar_t* line) {
    int len = 0;
    bool blank = true;
    for (; line[len]; len++) blank = blank && is_blank(line[len]);
    // Too long to ever fit (the terminator needs a place too): keep what we have.
    if (blank || len >= HISTORY_CHARS || (h->end && wcscmp(line, history_newest(h)) == 0)) {
        history_cursor_to_end(h);
        return;
    }
    while (h->end && h->end + len >= HISTORY_CHARS) drop_oldest(h);
    h->newest = h->end;
    for (int i = 0; i <= len; i++) h->buffer[h->end + i] = line[i];
    h->end += len + 1;
    history_cursor_to_end(h);
}

void history_back(History* h) {
    if (h->cursor == 0) return;
    int p = h->cursor - 1;   // onto the previous entry's terminator
    while (p > 0 && h->buffer[p - 1] != 0) p--;
    h->cursor = p;
}

void history_forward(History* h) {
    if (h->cursor >= h->end) return;
    h->cursor += (int)wcslen(h->buffer + h->cursor) + 1;
}

const wchar_t* history_previous_command(History* h) {
    if (history_empty(h)) return empty_entry();
    int kept = h->cursor;
    history_back(h);
    const wchar_t* entry = history_at_cursor(h);
    h->cursor = kept;
    return entry;
}

static bool same_prefix(const wchar_t* a, const wchar_t* b, int n) {
    for (int i = 0; i < n; i++) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
        if (!a[i]) return true;
    }
    return true;
}

const wchar_t* history_prefix_search(History* h, const wchar_t* line, int prefix_length, bool forwards) {
    for (;;) {
        if (forwards ? history_at_end(h) : history_at_start(h)) return nullptr;
        if (forwards) history_forward(h); else history_back(h);
        const wchar_t* entry = history_at_cursor(h);
        if (same_prefix(entry, line, prefix_length) && wcscmp(entry, line) != 0) return entry;
    }
}

static void popup_text(wchar_t* out, wchar_t letter, const wchar_t* entry) {
    int o = 0;
    out[o++] = L'&';
    out[o++] = letter;
    out[o++] = L'\t';
    int len = (int)wcslen(entry);
    if (len >= 80) {
        for (int i = 0; i < 38; i++) out[o++] = entry[i];
        for (int i = 0; i < 3; i++) out[o++] = L'.';
        for (int i = len - 38; i < len; i++) out[o++] = entry[i];
    } else {
        for (int i = 0; i < len; i++) out[o++] = entry[i];
    }
    out[o] = 0;
}

int history_popup_items(History* h, wchar_t items[][HISTORY_POPUP_TEXT + 8]) {
    history_cursor_to_end(h);
    if (history_empty(h)) return 0;
    int count = 0;
    for (wchar_t letter = L'A'; count < HISTORY_POPUP_MAX; letter++) {
        history_back(h);
        popup_text(items[count++], letter, history_at_cursor(h));
        if (history_at_start(h)) break;
    }
    h->cursor = 0;
    return count;
}

const wchar_t* history_recall(History* h, int k) {
    history_cursor_to_end(h);
    for (int i = 0; i < k; i++) history_back(h);
    return history_at_cursor(h);
}
