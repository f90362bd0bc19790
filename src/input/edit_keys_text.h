// What the input line's editing keys insert or delete, and the pane's word selection,
// over plain text. The window side delivers the results as typed characters.
#pragma once
#include <stddef.h>
#include <wchar.h>

enum { EDIT_KEYS_TEXT_CHARS = 2048 };

// F1: the previous command's character at the line's length, or 0 when it is not that long.
wchar_t f1_character(const wchar_t* previous, size_t line_length);
// F3: the previous command from the line's length on (empty when the line is as long).
const wchar_t* f3_text(const wchar_t* previous, size_t line_length);
// F2 then k: what copy-up-to inserts, into out.
void copy_up_to(const wchar_t* previous, size_t line_length, wchar_t k, wchar_t* out, size_t cap);
// F4 then k: the end of the range [start, end) to delete, or -1 when k is not found.
long delete_up_to(const wchar_t* line, size_t start, wchar_t k);
// F5 / Shift+F5: the first / second word of the entry, quoted when it holds a quoting
// character, followed by one blank.
void f5_text(const wchar_t* entry, bool second, wchar_t* out, size_t cap);
// F6: the last word (a quoted last word with its quotes); Shift+F6: all after the first word.
void f6_text(const wchar_t* entry, bool rest, wchar_t* out, size_t cap);
// Ctrl+\: every "/" becomes "\".
void convert_slashes(wchar_t* line);
// Ctrl+Backspace: where the word before the caret starts, the stop Ctrl+Left makes in a console
// line: back over the blanks before the caret, then over the characters that are not blanks. A
// caret beyond the line's end counts from its end.
size_t word_start_before(const wchar_t* line, size_t caret);

// Double-click word selection over the pane's text: fits [*p, *q) to the word, a run of
// blanks, or a number with "," and "." groups; with join, takes in the previous selection.
void select_word(const wchar_t* text, size_t length, const wchar_t* delimiters, long* p, long* q,
                 bool join, long previous_start, long previous_end);
