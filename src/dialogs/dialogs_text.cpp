#include "dialogs/dialogs_text.h"

#include <wchar.h>

// Appends text, marking a cut with "..." so the reader sees the list is incomplete.
static void append_bounded(wchar_t* target, int capacity, const wchar_t* text, bool* cut) {
    if (*cut || capacity <= 0) return;
    int length = (int)wcslen(target);
    int n = (int)wcslen(text);
    if (length + n < capacity) {
        wmemcpy(target + length, text, n);
        target[length + n] = 0;
        return;
    }
    *cut = true;
    const wchar_t* more = L"...";
    int keep = capacity - 1 - 3;
    if (keep < 0) keep = 0;
    if (keep > length) keep = length;
    int k = 0;
    for (; k < 3 && keep + k < capacity - 1; k++) target[keep + k] = more[k];
    target[keep + k] = 0;
}

int store_macro_rows(const MacroRow* rows, int row_count, MacroAdder add, void* context, wchar_t* dropped,
                     int dropped_capacity) {
    if (dropped_capacity > 0) dropped[0] = 0;
    bool cut = false;
    int stored = 0;
    for (int r = 0; r < row_count; r++) {
        const wchar_t* name = rows[r].name;
        const wchar_t* expansion = rows[r].expansion;
        if (!name || !expansion || !name[0] || !expansion[0]) continue;
        if (add(context, name, expansion)) {
            stored++;
            continue;
        }
        if (dropped_capacity > 0 && dropped[0]) append_bounded(dropped, dropped_capacity, L", ", &cut);
        append_bounded(dropped, dropped_capacity, name, &cut);
    }
    return stored;
}

void grey_custom_colours(unsigned long colours[CUSTOM_COLOURS]) {
    for (int i = 0; i < CUSTOM_COLOURS; i++) colours[i] = 0xFFFFFFul - (unsigned long)i * 0x101010ul;
}
