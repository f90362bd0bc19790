// Settings file (base + instance + ".ini") and command file (base + ".ing"):
// one module-wide variable per key, named by the key, with the reader, the writer and the macro store.
#pragma once
#include <windows.h>

#include "settings/settings_text.h"   // the key table, capacities: SETTINGS_LINE_MAX, CMD_LIST_BUFFER, ...

// The variable of each key of the table (settings_keys.h), by its form. A command list's buffer
// starts with a fixed "," that is not part of the value; the macro store is behind the functions below.
#define SETTING_VARIABLE_NUMBER(storage, name, high) storage int name;
#define SETTING_VARIABLE_COLOUR(storage, name, high) storage COLORREF name;
#define SETTING_VARIABLE_TEXT(storage, name, high) storage wchar_t name[(high) + 1];
#define SETTING_VARIABLE_LIST(storage, name, high) storage wchar_t name[CMD_LIST_BUFFER];
#define SETTING_VARIABLE_MACRO(storage, name, high)
#define DECLARE_SETTING(section, name, form, def, low, high, written) SETTING_VARIABLE_##form(extern, name, high)
SETTINGS_KEYS(DECLARE_SETTING)
#undef DECLARE_SETTING

extern bool first_run;        // no settings file at start
extern bool save_enabled;     // write_settings writes nothing while off
extern int slave_code_page;   // the number told to CHCP; 1252 until the settings have been read

// File names, set by start-up before read_settings (empty: the built-in names).
extern wchar_t settings_file_name[MAX_PATH + 32];
extern wchar_t command_file_name[MAX_PATH + 32];

// Every key back to its default, the two colours from the system, and the slave code page back
// to 1252. FileLog's default, from the base path, is start-up's to set afterwards.
void set_settings_defaults(COLORREF window_text, COLORREF window_background);
void read_settings();          // settings file, then the command file (not when the settings file is missing)
void read_command_file();
void write_settings();         // only while save_enabled
void write_command_file();
bool settings_file_writable();   // write_settings could write it (or make it) now
void derive_slave_code_page();   // from CodePage: 0 -> GetACP, 1 -> GetOEMCP, else itself
// Whether the conversions to and from the slave's bytes work with this CodePage value.
bool code_page_usable(int code_page);

// Command lists: normalise a value into a list buffer (leading "," kept fixed).
void set_command_list(wchar_t* list_buffer, const wchar_t* value);
const wchar_t* command_list_text(const wchar_t* list_buffer);   // the value without the fixed ","

// Macro store.
void add_macro_line(const wchar_t* line);   // the whole "%dMacro=name\texpansion" line
int macro_count();
const wchar_t* macro_name(int i);
const wchar_t* macro_expansion(int i);
void clear_macros();
void free_macros();
bool macro_store_exists();                  // macros have been read or edited: expansion is on
bool create_macro_store();                  // false when the pool can't be allocated
// One macro from the dialog; false when 16 are stored, it doesn't fit the pool, or it could not
// be read back from the command file as the same macro (tab in the name, line feed, overlong line).
bool add_macro(const wchar_t* name, const wchar_t* expansion);
