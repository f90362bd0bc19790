// Finding the word that name completion works on, over plain text.
#pragma once
#include <stddef.h>
#include <wchar.h>

enum { COMPLETION_LINE_CHARS = 2048, COMPLETION_PATTERN_CHARS = 2050 };

struct CompletionWord {
    size_t start;          // where the word begins in the line
    size_t insert;         // where matched names are written: after the last "\" or ":" of the word
    wchar_t pattern[COMPLETION_PATTERN_CHARS];   // the word and "*"
};

// The word at the end of line (already cut at the caret): after the last blank outside quotes
// or after an opening quote.
void find_completion_word(const wchar_t* line, CompletionWord* word);
// "cd " and "rd " lines complete directories only, with switches and one opening quote skipped.
// True when the line is such a command; then word holds its word.
bool find_change_directory_word(const wchar_t* line, CompletionWord* word);
// A name whose text from its last "." equals an entry of the ";"-separated extension list,
// ASCII case ignored.
bool is_executable_name(const wchar_t* name, const wchar_t* extensions);
// The name part of a path: after its last "\", or the whole path.
const wchar_t* name_part(const wchar_t* path);
