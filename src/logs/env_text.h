// Text side of environment sync: the command that makes the slave write its environment, and
// the reading of that listing. No system headers beyond the C library.
#pragma once
#include <stdio.h>
#include <wchar.h>

enum {
    ENV_LINE_MAX = 8089,        // characters of one listing line; a longer one continues
    ENV_VALUE_CHARS = 8090,     // room for the current value when comparing
};

// One line of the listing into line (ENV_LINE_MAX + 1 bytes), its line end kept. A line longer
// than ENV_LINE_MAX is read to its end and *too_long set: line then holds its start. False at the
// end of the file.
bool read_listing_line(FILE* listing, char* line, bool* too_long);

// The name of a "name=value" line (the part before the first "="), cut to fit capacity; empty
// when the line has no "=" or starts with one.
void listing_line_name(const wchar_t* line, wchar_t* name, int capacity);

// "batch" > "listing", with "\r\n" when asked. Both paths are quoted as names for the slave
// (append_quoted_name), so that a folder with a blank, "&" or "%" in its name still works.
// Returns the length, or -1 (out emptied) when it does not fit or a path cannot be quoted.
int build_sync_command(wchar_t* out, int capacity, const wchar_t* batch, const wchar_t* listing,
                       bool line_end);
// The line that adds the AddPath folders to the slave's PATH, with its line end: the assignment
// in double quotes, so that "&" or ")" in a folder name (or in the PATH it extends) is taken as
// it stands; "%" stays a variable, as the setting may name one. -1 (out emptied) when it does
// not fit.
int build_add_path_command(wchar_t* out, int capacity, const wchar_t* add_path);

enum ListingLineKind { LISTING_SKIP, LISTING_DRIVE, LISTING_VARIABLE };

// Cuts trailing blanks and splits "name=value" in place. A per-drive line "=X:=dir" gives the
// name "=X:". Lines without "=", other lines starting with "=", and empty lines are skipped.
ListingLineKind parse_listing_line(wchar_t* line, const wchar_t** name, const wchar_t** value);

// The environment as seen by the apply step.
struct EnvironmentAccess {
    void* context;
    // Copies the value into buffer (capacity characters) and returns its length; returns
    // capacity or more when it does not fit, and 0 when the variable is not set or empty.
    int (*get)(void* context, const wchar_t* name, wchar_t* buffer, int capacity);
    void (*set)(void* context, const wchar_t* name, const wchar_t* value);
};

// Applies one raw line: sets the variable unless it already holds that (non-empty) value; an
// empty value is always set, as an empty and a missing variable look alike. Returns true when
// it called set.
bool apply_listing_line(wchar_t* line, const EnvironmentAccess& env);
