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

// A new completion cycle begins unless the caret is where the last one began and the line up to
// it is still the saved copy (ASCII case ignored).
bool continues_completion_cycle(size_t cycle_caret, const wchar_t* saved, const wchar_t* line, size_t caret);
// Directory and file completion offer an entry when it is not "." or ".." and, for directory
// completion, is a directory.
bool completion_entry_qualifies(const wchar_t* name, bool is_directory, bool directories_only);

// The names one search (a directory and a pattern) finds, in the file system's order.
struct NameLister {
    void* context;
    // Starts the listing of search; false when it finds nothing. The name stays valid until
    // the next call.
    bool (*first)(void* context, const wchar_t* search, const wchar_t** name);
    bool (*next)(void* context, const wchar_t** name);
    void (*close)(void* context);
};

// The next program after previous (a full path, or empty for the first) whose name matches
// pattern: in the pattern's own directory when it has a "\", else through the ";"-separated
// directories in order, taking up after previous's directory. True with the full path in found
// (CANDIDATE_CHARS); false when there is no further program.
bool find_next_program(const wchar_t* pattern, const wchar_t* previous, const wchar_t* directories,
                       const wchar_t* extensions, const NameLister& lister, wchar_t* found);
