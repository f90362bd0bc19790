// Text side of the dialogs: rebuilding the macro table from the dialog's rows and the
// colour chooser's custom colours. No Windows headers here, so it can be tested anywhere.
#pragma once
#include <wchar.h>

enum {
    MACRO_ROWS = 16,
    MACRO_BOX_CHARS = 2047,        // one box of the macro dialog: at most 2046 characters
    DROPPED_NAMES_CHARS = 512,     // the list of macros that could not be stored
    CUSTOM_COLOURS = 16,
};

struct MacroRow {
    const wchar_t* name;
    const wchar_t* expansion;
};

// Stores one macro; false when the store refused it (full, no room left in its pool, or a
// macro that would not read back from the command file as the same macro).
typedef bool (*MacroAdder)(void* context, const wchar_t* name, const wchar_t* expansion);

// Hands the filled rows to add in their order: a row whose name or expansion is empty is
// left out, so the macros close up. A macro the store refuses is skipped and the rows after
// it are still tried; the refused names are listed in dropped as "a, b, c" (cut with "..."
// when the list does not fit). Returns the number of macros stored.
int store_macro_rows(const MacroRow* rows, int row_count, MacroAdder add, void* context, wchar_t* dropped,
                     int dropped_capacity);

// The sixteen greys the colour chooser offers: white down to 0x0F0F0F in steps of 0x101010.
void grey_custom_colours(unsigned long colours[CUSTOM_COLOURS]);
