// The program's own longer texts.
#pragma once

extern const wchar_t PANE_NOTICE[];
extern const wchar_t DISCLAIMER_TEXT[];
extern const wchar_t FUNCTION_KEYS_TEXT[];
extern const wchar_t ABOUT_CLOSING[];
extern const wchar_t HELP_PAGE_ONLINE[];   // opened when the page beside the program is missing
