// Every key of the settings file and of the command file, declared once, in the order the files
// are written. The variables, the defaults, the key lookup, the reading, the holding of numbers
// and the writing are all made from these rows (settings.h, settings.cpp, settings_text.*).
//
//   SETTING(section, name, form, default, low, high, written)
//   section  written as "[section]"; the reader knows a section by its first character only
//   name     the key, and the module-wide variable that holds it; the reader knows a key by its
//            first character within its section (case counts)
//   form     NUMBER  an int, held to low..high when read
//            COLOUR  a COLORREF, written as the int of its 32 bits and read back through it
//            TEXT    at most high characters
//            LIST    a command list (its variable starts with a fixed ",")
//            MACRO   the macro store's "%dMacro=" lines, read by a digit first; the store is the
//                    settings module's own and keeps its macros over set_settings_defaults
//   default  what set_settings_defaults gives it; window_text and window_background are the
//            system's colours given to it at start-up
//   written  ALWAYS, IF_SET (only when not 0, not empty, or the macro store exists),
//            NOT_READ (written, but never read back), AS_DEFAULT (read, but written as its
//            default: the version of the program that writes the file)
//
// Adding a setting is one row here; its variable is then there to use. The capacities named here
// are settings_text.h's; only what a native build has is used.
#pragma once
#include "app/version.h"
#include <limits.h>

#define SETTINGS_FILE_KEYS(SETTING) \
    SETTING(L"Window", Version, TEXT, TAVRO_VERSION_WIDE, 0, VERSION_MAX, AS_DEFAULT) \
    SETTING(L"Window", Uses, NUMBER, 0, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Window", Top, NUMBER, 0, -WINDOW_EXTENT_MAX, WINDOW_EXTENT_MAX, ALWAYS) \
    SETTING(L"Window", Height, NUMBER, 850, 0, WINDOW_EXTENT_MAX, ALWAYS) \
    SETTING(L"Window", Left, NUMBER, 400, -WINDOW_EXTENT_MAX, WINDOW_EXTENT_MAX, ALWAYS) \
    SETTING(L"Window", Width, NUMBER, 1000, 0, WINDOW_EXTENT_MAX, ALWAYS) \
    SETTING(L"Window", CodePage, NUMBER, 0, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Fonts", Name, TEXT, L"Lucida Console", 0, FONT_NAME_MAX, ALWAYS) \
    SETTING(L"Fonts", Size, NUMBER, -16, -FONT_SIZE_MAX, FONT_SIZE_MAX, ALWAYS) \
    SETTING(L"Fonts", Weight, NUMBER, 400, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Fonts", Background, COLOUR, window_background, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Fonts", ColorText, COLOUR, window_text, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Fonts", DoItText, COLOUR, 65280, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Fonts", ErrorText, COLOUR, 255, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Fonts", HighlightErrs, NUMBER, 0, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Fonts", TabWidth, NUMBER, TAB_WIDTH_DEFAULT, 0, TAB_WIDTH_MAX, ALWAYS) \
    SETTING(L"Misc", App, TEXT, L"cmd.exe", 0, APP_MAX, ALWAYS) \
    SETTING(L"Misc", MenuShow, NUMBER, 1, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Misc", CmdShow, NUMBER, 0, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Misc", PIDlastCMD, NUMBER, 0, INT_MIN, INT_MAX, NOT_READ) \
    SETTING(L"Misc", VolSerialNbr, NUMBER, 0, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Misc", WordDelims, TEXT, L">|<,;!()&[]", 0, WORD_DELIMS_MAX, ALWAYS) \
    SETTING(L"Misc", BeepsMax, NUMBER, 5, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Misc", ErrorLog, NUMBER, 0, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Misc", OldErrorLog, NUMBER, 1, INT_MIN, INT_MAX, ALWAYS) \
    SETTING(L"Misc", TruncDateErr, TEXT, L"00/00/00", 0, TRUNC_DATE_LEN, ALWAYS) \
    SETTING(L"Misc", Logging, NUMBER, 0, INT_MIN, INT_MAX, ALWAYS) \
    /* Start-up sets the real default, base + instance + ".log", once the names are derived. */ \
    SETTING(L"Misc", FileLog, TEXT, L"", 0, PATH_VALUE_MAX, ALWAYS) \
    SETTING(L"Misc", HigherProirity, NUMBER, 0, INT_MIN, INT_MAX, IF_SET)

// The settings file may hold "[Cmd Commands]" too: it is read there, and the command file, read
// after it, has the last word.
#define COMMAND_FILE_KEYS(SETTING) \
    SETTING(L"Cmd Commands", CmdAndQuit, LIST, L"", 0, CMD_LIST_TEXT_MAX, ALWAYS) \
    SETTING(L"Cmd Commands", KeepCmd, LIST, L"", 0, CMD_LIST_TEXT_MAX, ALWAYS) \
    SETTING(L"Cmd Commands", NoCmd, LIST, L"", 0, CMD_LIST_TEXT_MAX, ALWAYS) \
    SETTING(L"Macros", Macro, MACRO, {}, 0, MACRO_MAX, IF_SET) \
    SETTING(L"NoPath", AddPath, TEXT, L"", 0, PATH_VALUE_MAX, IF_SET) \
    SETTING(L"NoPath", Run, TEXT, L"", 0, PATH_VALUE_MAX, IF_SET)

#define SETTINGS_KEYS(SETTING) SETTINGS_FILE_KEYS(SETTING) COMMAND_FILE_KEYS(SETTING)
