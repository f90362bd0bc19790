// How the programs Tavro starts are named on their command lines, as functions over plain strings.
#pragma once

// The program a command line starts: its name (quotes removed) is [*name_start, *name_start +
// *name_length) of the line, and *rest points at what follows it (blanks included).
void split_program(const wchar_t* command_line, int* name_start, int* name_length, const wchar_t** rest);

// A name with a folder in it ("C:\x\a.exe", ".\a.exe", "a\b.exe") is used as given; a bare name
// would be searched for, the current folder first.
bool names_a_folder(const wchar_t* name, int length);

// A path from a drive's root ("C:\x") or a share ("\\server\x"), never read against the current
// folder.
bool is_absolute_path(const wchar_t* path);

// "cmd" or "cmd.exe" in any case: the command processor, which Tavro names by full path.
bool is_command_processor_name(const wchar_t* name, int length);

// program in double quotes, then rest; false (out empty) when it does not fit capacity.
bool join_command_line(const wchar_t* program, const wchar_t* rest, wchar_t* out, int capacity);

// The entries of a PATH value that name a folder from a drive or a share root; relative ones
// ("." or "bin") would be looked up in whatever the current folder is. Joined by ";" into out;
// an entry that does not fit is left out whole.
void keep_absolute_path_entries(const wchar_t* path, wchar_t* out, int capacity);

// A path inside system_dir (compared without case) moved to the same name inside other_dir.
// False when path is not directly in system_dir or the result does not fit.
bool move_to_folder(const wchar_t* path, const wchar_t* system_dir, const wchar_t* other_dir, wchar_t* out,
                    int capacity);

// Whether the slave's code page carries one character: a UTF-16 unit, or a surrogate pair (two).
typedef bool (*CarriesTest)(const wchar_t* character, int units, void* context);
// The first character of text (length units) that carries refuses: its index, with its code point
// and its units (a surrogate without its partner is a character of one unit); -1 when there is none.
int first_uncarried(const wchar_t* text, int length, CarriesTest carries, void* context, unsigned long* code_point,
                    int* units);
