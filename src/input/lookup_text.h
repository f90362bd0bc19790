// Text side of program lookup: the built-in command list, the search directory and extension
// lists, the executable header check, the program search and the word classification, with the
// file system reached only through callbacks. No system headers beyond the C library.
#pragma once
#include <stddef.h>
#include <wchar.h>

enum {
    SEARCH_DIRECTORIES_CHARS = 2048,   // "." + ";" + PATH (room for 2,044 characters) + terminator
    PATH_VALUE_ROOM = 2044,
    EXTENSION_LIST_CHARS = 261,        // PATHEXT (room for 258 characters) + ";" or two + terminator
    PATHEXT_VALUE_ROOM = 258,
    CANDIDATE_CHARS = 262,             // a candidate path that does not fit is not tried
    IMAGE_SUBSYSTEM_GUI = 2,
    IMAGE_SUBSYSTEM_CONSOLE = 3,
    IMAGE_NOT_EXECUTABLE = -4,
};

extern const wchar_t BUILTIN_COMMANDS[];   // ",cd,dir,...,wmic,": 86 words, each between commas

// A character is blank when its code, as an unsigned 16-bit value, is 32 or less.
inline bool is_blank(wchar_t c) { return (unsigned)(c & 0xFFFF) <= 32; }

// Whether "," + word + "," occurs in list (case-sensitive). An empty word is in no list.
bool in_list(const wchar_t* list, const wchar_t* word);

// Whether the line's output goes to "more".
bool pipes_into_more(const wchar_t* line);

// The lists, built from the environment values (null: the variable is unset or did not fit).
void build_search_directories(wchar_t* out /* SEARCH_DIRECTORIES_CHARS */, const wchar_t* path_value);
void build_executable_extensions(wchar_t* out /* EXTENSION_LIST_CHARS */, const wchar_t* pathext_value);
void build_script_extensions(wchar_t* out /* EXTENSION_LIST_CHARS */, const wchar_t* pathext_value);

// The next entry of a ";"-separated list (runs of ";" and empty entries skipped): its start and
// length; false at the end. *position starts at 0.
bool next_list_entry(const wchar_t* list, size_t* position, const wchar_t** entry, size_t* length);

// directory (length characters) + "\" unless it already ends in one + name + extension.
// False when the result would not fit in CANDIDATE_CHARS.
bool build_candidate(wchar_t* out, const wchar_t* directory, size_t length, const wchar_t* name,
                     const wchar_t* extension, size_t extension_length);

// The subsystem field of an executable image held in bytes, or IMAGE_NOT_EXECUTABLE.
// Nothing outside bytes[0..size) is read.
int image_subsystem_of_bytes(const unsigned char* bytes, size_t size);

// What the search and the classification need from the file system and the environment.
struct LookupProbe {
    bool (*exists)(void* context, const wchar_t* path);    // any file or directory
    bool (*is_file)(void* context, const wchar_t* path);   // exists and is not a directory
    int (*subsystem)(void* context, const wchar_t* path);  // image subsystem, negative on failure
    const wchar_t* (*directories)(void* context);          // built on first use by the caller
    const wchar_t* (*executable_extensions)(void* context);
    const wchar_t* (*script_extensions)(void* context);
    void* context;
};

// Searches name in the directories with the executable extensions. A name with "\" is returned
// unchanged. Found: true and found holds the path (CANDIDATE_CHARS).
bool search_program_with(const LookupProbe* probe, const wchar_t* name, wchar_t* found);

// Whether word names a window program. *program_found is set, and cleared only when the word
// was searched for and not found.
bool classify_word_with(const LookupProbe* probe, const wchar_t* word, bool* program_found);
