#include "logs/env_text.h"
#include "input/route_text.h"
#include <string.h>

static bool is_blank(wchar_t c) { return (unsigned)(c & 0xFFFF) <= 32; }

int build_sync_command(wchar_t* out, int capacity, const wchar_t* batch, const wchar_t* listing,
                       bool line_end) {
    if (capacity <= 0) return -1;
    out[0] = 0;
    int n = append_quoted_name(out, capacity, 0, batch);
    n = append_whole(out, capacity, n, L" > ");
    n = append_quoted_name(out, capacity, n, listing);
    if (line_end) n = append_whole(out, capacity, n, L"\r\n");
    if (n < 0) out[0] = 0;
    return n;
}

int build_add_path_command(wchar_t* out, int capacity, const wchar_t* add_path) {
    if (capacity <= 0) return -1;
    int n = append_whole(out, capacity, 0, L"set \"PATH=%PATH%;");
    n = append_whole(out, capacity, n, add_path);
    n = append_whole(out, capacity, n, L"\"\r\n");
    if (n < 0) out[0] = 0;
    return n;
}

bool read_listing_line(FILE* listing, char* line, bool* too_long) {
    *too_long = false;
    if (!fgets(line, ENV_LINE_MAX + 1, listing)) return false;
    size_t n = strlen(line);
    if (n < ENV_LINE_MAX || line[n - 1] == '\n') return true;
    int c = getc(listing);
    if (c == EOF || c == '\n') return true;   // exactly as long as a line may be
    *too_long = true;
    while (c != EOF && c != '\n') c = getc(listing);
    return true;
}

void listing_line_name(const wchar_t* line, wchar_t* name, int capacity) {
    if (capacity <= 0) return;
    name[0] = 0;
    const wchar_t* equals = wcschr(line, L'=');
    if (!equals || equals == line) return;
    int n = (int)(equals - line);
    if (n > capacity - 1) n = capacity - 1;
    wmemcpy(name, line, n);
    name[n] = 0;
}

static bool is_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

ListingLineKind parse_listing_line(wchar_t* line, const wchar_t** name, const wchar_t** value) {
    size_t length = wcslen(line);
    while (length > 0 && is_blank(line[length - 1])) line[--length] = 0;
    if (length == 0) return LISTING_SKIP;
    if (line[0] == L'=') {
        if (length >= 4 && is_letter(line[1]) && line[2] == L':' && line[3] == L'=') {
            line[3] = 0;
            *name = line;
            *value = line + 4;
            return LISTING_DRIVE;
        }
        return LISTING_SKIP;
    }
    wchar_t* equals = wcschr(line, L'=');
    if (!equals) return LISTING_SKIP;
    *equals = 0;
    *name = line;
    *value = equals + 1;
    return LISTING_VARIABLE;
}

bool apply_listing_line(wchar_t* line, const EnvironmentAccess& env) {
    const wchar_t* name;
    const wchar_t* value;
    if (parse_listing_line(line, &name, &value) == LISTING_SKIP) return false;
    wchar_t current[ENV_VALUE_CHARS];
    int n = env.get(env.context, name, current, ENV_VALUE_CHARS);
    if (n >= ENV_VALUE_CHARS) return false;   // too long to compare: left as it is
    if (n > 0 && wcscmp(current, value) == 0) return false;
    env.set(env.context, name, value);
    return true;
}
