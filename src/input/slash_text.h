// Slash commands at the front of a submitted line, over plain text.
#pragma once
#include <stddef.h>
#include <wchar.h>

enum SlashKind {
    SLASH_KIND_BYPASS,   // "/!"
    SLASH_KIND_STOP,     // "//"
    SLASH_KIND_HELP,     // "/?"
    SLASH_KIND_CLEAR,    // "/c"
    SLASH_KIND_SYNC,     // "/e"
    SLASH_KIND_RULER,    // "/r"
    SLASH_KIND_UNSET,    // "/u"
    SLASH_KIND_TABS,     // "/" and a digit
    SLASH_KIND_OTHER,    // anything else: echoed and dropped
};

enum { SLASH_WORD_CHARS = 2048, SLASH_TAB_WIDTH_MAX = 10000 };

struct SlashStep {
    SlashKind kind;
    int tab_width;                    // SLASH_KIND_TABS: the number, 0 when it changes nothing
    wchar_t word[SLASH_WORD_CHARS];   // the slash word as typed, for the echo
};

extern const wchar_t SLASH_HELP_TEXT[];
extern const wchar_t SLASH_USAGE_REMARK[];

// Takes the slash word (the buffer's first word) off the front of buffer together with the
// blanks that follow it, and says what it asks for.
void take_slash_word(wchar_t* buffer, SlashStep* step);
// The variable name of "/u": blanks dropped in front, "=" and blanks dropped at the end.
// False when nothing usable is left (empty, or holding "=", a blank or a tab) or when the name
// does not fit cap.
bool unset_variable_name(const wchar_t* rest, wchar_t* name, size_t cap);
