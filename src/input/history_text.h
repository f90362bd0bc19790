// The command history: one 1,016-character buffer of zero-terminated entries, oldest first,
// with a cursor that Up, Down, F8 and the copy keys work from. Plain data, no window.
#pragma once
#include <wchar.h>

enum {
    HISTORY_CHARS = 1016,
    HISTORY_POPUP_MAX = 26,
    HISTORY_POPUP_TEXT = 80,     // 38 + "..." + 38 and the terminator fit
};

struct History {
    wchar_t buffer[HISTORY_CHARS];
    int end;        // just after the newest entry's terminator
    int newest;     // start of the newest entry
    int cursor;     // the entry Up, Down and F8 work from; == end means "at the end"
};

void history_reset(History* h);
// Stores a line as typed: blank lines and repeats of the newest are not stored; the oldest
// entries make room. A line that can never fit leaves the history as it was.
void history_add(History* h, const wchar_t* line);
void history_back(History* h);
void history_forward(History* h);
void history_cursor_to_end(History* h);
bool history_at_start(const History* h);
bool history_at_end(const History* h);
bool history_empty(const History* h);
const wchar_t* history_at_cursor(const History* h);   // at the end: the empty entry
const wchar_t* history_newest(const History* h);
// The entry just before the cursor (the oldest itself at the start); the cursor stays.
const wchar_t* history_previous_command(History* h);

// F8: the next entry (backwards, or forwards) whose first `prefix_length` characters equal
// the line's, ASCII case ignored, and that is not identical to the line; null when none.
const wchar_t* history_prefix_search(History* h, const wchar_t* line, int prefix_length, bool forwards);

// F7: up to 26 newest entries as menu texts ("&A\t..." newest), shortened when 80 or more
// characters long. items[0] is the newest. Leaves the cursor at the oldest entry. Returns the count.
int history_popup_items(History* h, wchar_t items[][HISTORY_POPUP_TEXT + 8]);
// Recall by popup id: k entries back from the end (stops at the oldest); the cursor stays there.
const wchar_t* history_recall(History* h, int k);
