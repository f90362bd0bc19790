#include "input/slash_text.h"
#include "input/lookup_text.h"
#include "input/route_text.h"

const wchar_t SLASH_HELP_TEXT[] =
    L"\r\n\r\n"
    L"/c\tcls (CLear Screen)\r\n"
    L"/#\tset tabs to # (where 1 <= # <= 40)\r\n"
    L"/r\tprint a ruler across the screen\r\n"
    L"/e\tsync Tavro's environment with the cmd's (same as Edit > Sync Environments)\r\n"
    L"/u\tunset environemt variable in TAVRO & cmd - Usage is /u [env-variable-name]\r\n"
    L"/!\trun command immediately, bypassing cmd\r\n"
    L"//\tstop processing of / - i.e. \"// //this\" discards \"//\" and runs \"//this\"\n"
    L"/?\tprint this help message\r\n";

const wchar_t SLASH_USAGE_REMARK[] = L"rem\t\tError: Usage is /u [environ-valiable]";


// Leading digits of text, held at the largest tab width a pane can take.
static int leading_number(const wchar_t* text) {
    long value = 0;
    for (; *text >= L'0' && *text <= L'9'; text++) {
        value = value * 10 + (*text - L'0');
        if (value > SLASH_TAB_WIDTH_MAX) return SLASH_TAB_WIDTH_MAX;
    }
    return (int)value;
}

void take_slash_word(wchar_t* buffer, SlashStep* step) {
    size_t after = first_word(buffer, step->word, SLASH_WORD_CHARS);
    wchar_t letter = step->word[0] ? step->word[1] : 0;
    step->tab_width = 0;
    switch (letter) {
    case L'!': step->kind = SLASH_KIND_BYPASS; break;
    case L'/': step->kind = SLASH_KIND_STOP; break;
    case L'?': step->kind = SLASH_KIND_HELP; break;
    case L'c': step->kind = SLASH_KIND_CLEAR; break;
    case L'e': step->kind = SLASH_KIND_SYNC; break;
    case L'r': step->kind = SLASH_KIND_RULER; break;
    case L'u': step->kind = SLASH_KIND_UNSET; break;
    default:
        if (letter >= L'0' && letter <= L'9') {
            step->kind = SLASH_KIND_TABS;
            step->tab_width = leading_number(step->word + 1);
        } else {
            step->kind = SLASH_KIND_OTHER;
        }
    }
    while (buffer[after] && is_blank(buffer[after])) after++;
    size_t i = 0;
    for (; buffer[after + i]; i++) buffer[i] = buffer[after + i];
    buffer[i] = 0;
}

bool unset_variable_name(const wchar_t* rest, wchar_t* name, size_t cap) {
    if (!cap) return false;
    while (*rest && is_blank(*rest)) rest++;
    size_t len = wcslen(rest);
    while (len && (rest[len - 1] == L'=' || is_blank(rest[len - 1]))) len--;
    // Cut to fit, it would name another variable.
    if (len >= cap) {
        name[0] = 0;
        return false;
    }
    for (size_t i = 0; i < len; i++) name[i] = rest[i];
    name[len] = 0;
    if (!len) return false;
    for (size_t i = 0; i < len; i++)
        if (name[i] == L'=' || name[i] == L' ' || name[i] == L'\t') return false;
    return true;
}
