// Command submission over plain text.
#include "input/route_text.h"
#include "input/ascii_text.h"
#include "input/keys.h"
#include "input/lookup_text.h"
#include <string.h>

namespace {

struct Out {
    wchar_t* text;
    size_t cap;
    size_t length;
};

void put(Out* out, wchar_t c) {
    if (out->length + 1 < out->cap) out->text[out->length++] = c;
}

void put_number(Out* out, long long value, size_t width, bool left, bool zero) {
    wchar_t digits[24];
    size_t n = 0;
    bool negative = value < 0;
    unsigned long long magnitude = negative ? 0ULL - (unsigned long long)value : (unsigned long long)value;
    do {
        digits[n++] = (wchar_t)(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    size_t length = n + (negative ? 1 : 0);
    size_t pad = width > length ? width - length : 0;
    if (!left && !zero)
        for (size_t i = 0; i < pad; i++) put(out, L' ');
    if (negative) put(out, L'-');
    if (!left && zero)
        for (size_t i = 0; i < pad; i++) put(out, L'0');
    while (n) put(out, digits[--n]);
    if (left)
        for (size_t i = 0; i < pad; i++) put(out, L' ');
}

}  // namespace

size_t first_word(const wchar_t* line, wchar_t* word, size_t cap) {
    size_t i = 0, n = 0;
    while (line[i] && is_blank(line[i])) i++;
    if (line[i] == L'"') {
        i++;
        while (line[i] && line[i] != L'"') {
            if (n + 1 < cap) word[n++] = line[i];
            i++;
        }
        if (line[i] == L'"') i++;
    } else {
        while (line[i] && !is_blank(line[i])) {
            if (n + 1 < cap) word[n++] = line[i];
            i++;
        }
    }
    word[n] = 0;
    return i;
}

int find_macro(const MacroList* macros, const wchar_t* word) {
    for (int i = 0; i < macros->count; i++)
        if (equal_ignoring_case(macros->names[i], word)) return i;
    return -1;
}

size_t format_macro_body(const wchar_t* body, int tab_width, int columns, wchar_t* out_text, size_t cap) {
    Out out = {out_text, cap, 0};
    // The first of "%t" and "%c" in the body decides the order of the two numbers.
    int arguments[2] = {columns, tab_width};
    for (const wchar_t* p = wcschr(body, L'%'); p; p = wcschr(p + 1, L'%')) {
        if (p[1] == L't' || p[1] == L'c') {
            if (p[1] == L't') {
                arguments[0] = tab_width;
                arguments[1] = columns;
            }
            break;
        }
    }
    int next = 0;
    for (const wchar_t* p = body; *p;) {
        if (*p != L'%') {
            put(&out, *p++);
            continue;
        }
        if (p[1] == L'%') {
            put(&out, L'%');
            p += 2;
            continue;
        }
        // "%" [-0]* width? then t, c or d; anything else is copied literally.
        const wchar_t* q = p + 1;
        bool left = false, zero = false;
        for (; *q == L'-' || *q == L'0'; q++) (*q == L'-' ? left : zero) = true;
        size_t width = 0;
        for (; *q >= L'0' && *q <= L'9'; q++)
            if (width < 1000) width = width * 10 + (size_t)(*q - L'0');
        bool conversion = *q == L'd' || (q == p + 1 && (*q == L't' || *q == L'c'));
        if (!conversion || next >= 2) {
            put(&out, *p++);
            continue;
        }
        put_number(&out, arguments[next++], width, left, zero);
        p = q + 1;
    }
    out.text[out.length] = 0;
    return out.length;
}

bool expand_macro(const MacroList* macros, const wchar_t* buffer, int tab_width, int columns, wchar_t* out,
                  size_t cap) {
    wchar_t word[COMMAND_BUFFER_CHARS];
    size_t end = first_word(buffer, word, COMMAND_BUFFER_CHARS);
    int index = find_macro(macros, word);
    if (index < 0) return false;
    size_t n = format_macro_body(macros->bodies[index], tab_width, columns, out, cap);
    for (const wchar_t* rest = buffer + end; *rest && n + 1 < cap; rest++) out[n++] = *rest;
    out[n] = 0;
    return true;
}

bool ends_with_exact(const wchar_t* text, const wchar_t* suffix) {
    size_t length = wcslen(text), suffix_length = wcslen(suffix);
    return length >= suffix_length && wcscmp(text + length - suffix_length, suffix) == 0;
}

bool begins_with_ignoring_case(const wchar_t* text, const wchar_t* prefix) {
    for (; *prefix; text++, prefix++)
        if (ascii_lower(*text) != ascii_lower(*prefix)) return false;
    return true;
}

int chcp_line_page(const wchar_t* line) {
    while (*line && is_blank(*line)) line++;
    if (!begins_with_ignoring_case(line, L"chcp") || !line[4] || !is_blank(line[4])) return 0;
    const wchar_t* p = line + 4;
    while (*p && is_blank(*p)) p++;
    long page = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; p++, digits++) {
        if (digits == 5) return 0;
        page = page * 10 + (*p - '0');
    }
    while (*p && is_blank(*p)) p++;
    return digits > 0 && *p == 0 && page <= 65535 ? (int)page : 0;
}

Route decide_route(const wchar_t* buffer, const wchar_t* command_word, bool bypass_now, const wchar_t* cmd_and_quit,
                   const wchar_t* keep_cmd, const wchar_t* no_cmd) {
    if (wcscmp(buffer, L"cls") == 0) return ROUTE_CLEAR_SCREEN;
    if (ends_with_exact(command_word, L".htm") || ends_with_exact(command_word, L".html") ||
        begins_with_ignoring_case(command_word, L"http://") || begins_with_ignoring_case(command_word, L"https://"))
        return ROUTE_SHELL_OPEN;
    if (bypass_now || in_list(no_cmd, command_word)) return ROUTE_BYPASS;
    if (in_list(cmd_and_quit, command_word)) return ROUTE_CMD_AND_QUIT;
    if (in_list(keep_cmd, command_word)) return ROUTE_KEEP_CMD;
    return ROUTE_SLAVE;
}

size_t join_bounded(wchar_t* out, size_t cap, const wchar_t* prefix, const wchar_t* text) {
    size_t n = 0;
    for (; *prefix && n + 1 < cap; prefix++) out[n++] = *prefix;
    for (; *text && n + 1 < cap; text++) out[n++] = *text;
    out[n] = 0;
    return n;
}

PauseAnswer pause_answer(bool output_paused, wchar_t c) {
    return (output_paused && c != CHAR_CTRL_S) ? PAUSE_RESUME_AND_CONSUME : PAUSE_NOT_PAUSED;
}

int pager_page_lines(int grid_lines) { return grid_lines > 2 ? grid_lines - 1 : 1; }

PagerAnswer pager_answer(bool paging_mode, int lines_left, int grid_lines, wchar_t c) {
    PagerAnswer answer = {};
    if (!paging_mode || lines_left != 0) return answer;
    answer.waiting = true;
    wchar_t lower = ascii_lower(c);
    if (lower == L'q') {
        answer.quit = true;
        return answer;
    }
    answer.end_paging = lower == L'f';
    answer.read = true;
    answer.lines_left = (c == CHAR_ENTER && !answer.end_paging) ? 1 : pager_page_lines(grid_lines);
    return answer;
}

int append_whole(wchar_t* out, int capacity, int at, const wchar_t* text) {
    if (at < 0 || at >= capacity) return -1;
    int n = at;
    for (; *text; text++) {
        if (n >= capacity - 1) {
            out[at] = 0;
            return -1;
        }
        out[n++] = *text;
    }
    out[n] = 0;
    return n;
}

int append_quoted_name(wchar_t* out, int capacity, int at, const wchar_t* name) {
    if (at < 0 || at >= capacity) return -1;
    int n = append_whole(out, capacity, at, L"\"");
    for (const wchar_t* c = name; *c && n >= 0; c++) {
        if (*c == L'"' || (unsigned)*c < 32) {
            n = -1;
            break;
        }
        const wchar_t one[2] = {*c, 0};
        n = append_whole(out, capacity, n, one);
        if (*c == L'%') n = append_whole(out, capacity, n, L"\"\"");
    }
    n = append_whole(out, capacity, n, L"\"");
    if (n < 0) out[at] = 0;
    return n;
}

int build_cd_line(wchar_t* out, int capacity, const wchar_t* folder) {
    if (capacity <= 0) return -1;
    wchar_t letter = (wchar_t)(folder[0] | 0x20);
    bool bare_drive = letter >= L'a' && letter <= L'z' && folder[1] == L':' && !folder[2];
    int n = append_whole(out, capacity, 0, L"cd ");
    n = bare_drive ? append_whole(out, capacity, n, folder) : append_quoted_name(out, capacity, n, folder);
    n = append_whole(out, capacity, n, L"\r\n");
    if (n < 0) out[0] = 0;
    return n;
}

void echo_watch_start(EchoWatch* watch, const wchar_t* command) {
    int length = (int)wcslen(command);
    while (length > 0 && is_blank(command[length - 1])) length--;
    int from = length > ECHO_KEY_CHARS ? length - ECHO_KEY_CHARS : 0;
    watch->key_length = length - from;
    wmemcpy(watch->key, command + from, (size_t)watch->key_length);
    watch->key[watch->key_length] = 0;
    watch->recent_length = 0;
    watch->recent[0] = 0;
    watch->pending = watch->key_length > 0;
}

static bool echo_ends_recent(const EchoWatch* watch) {
    if (watch->recent_length < watch->key_length) return false;
    const wchar_t* tail = watch->recent + watch->recent_length - watch->key_length;
    for (int i = 0; i < watch->key_length; i++) {
        wchar_t k = watch->key[i];
        if (is_blank(k) ? !is_blank(tail[i]) : k < 128 && k != tail[i]) return false;
    }
    return true;
}

bool echo_watch_feed(EchoWatch* watch, const wchar_t* text, int length) {
    int blanks = 0;   // blanks not yet known to be inside the line
    for (int i = 0; i < length && watch->pending; i++) {
        wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            if (echo_ends_recent(watch)) watch->pending = false;
            watch->recent_length = blanks = 0;
            continue;
        }
        if (is_blank(c)) {
            blanks++;
            continue;
        }
        for (; blanks >= 0; blanks--) {
            wchar_t next = blanks ? L' ' : c;
            if (watch->recent_length == ECHO_KEY_CHARS) {
                wmemmove(watch->recent, watch->recent + 1, ECHO_KEY_CHARS - 1);
                watch->recent_length--;
            }
            watch->recent[watch->recent_length++] = next;
        }
        blanks = 0;
    }
    watch->recent[watch->recent_length] = 0;
    return watch->pending;
}
