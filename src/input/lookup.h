// Program lookup: the lists built from this process's environment on first use, the image
// header check through a read-only mapping, the program search and the classification.
#pragma once
#include "input/lookup_text.h"

extern bool program_found;   // cleared only when a classification searched PATH and found nothing

// Built once per run on first use; shared with name completion.
const wchar_t* search_directory_list();
const wchar_t* executable_extension_list();
const wchar_t* script_extension_list();

// The subsystem field of the image, or -1 (cannot open), -2 (cannot map), -3 (no view),
// -4 (not an executable image).
int image_subsystem(const wchar_t* path);
bool path_exists(const wchar_t* path);
bool path_is_file(const wchar_t* path);
// The found path, valid until the next search; null when nothing was found.
const wchar_t* search_program(const wchar_t* name);
bool classify_command_word(const wchar_t* word);
// Whether the current command word is on the list (a list buffer with its fixed leading ",").
bool in_command_list(const wchar_t* list);
