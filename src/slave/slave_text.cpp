// Program names on command lines: which are bare, which is the command processor, and the search
// folders that are safe to look in.
#include "slave/slave_text.h"
#include <wchar.h>

static bool is_blank(wchar_t c) { return (unsigned)c <= 32; }

static wchar_t lower_ascii(wchar_t c) { return c >= 'A' && c <= 'Z' ? (wchar_t)(c + 32) : c; }

static bool same_ascii_nocase(const wchar_t* a, const wchar_t* b, int length) {
    for (int i = 0; i < length; i++)
        if (lower_ascii(a[i]) != lower_ascii(b[i])) return false;
    return true;
}

void split_program(const wchar_t* command_line, int* name_start, int* name_length, const wchar_t** rest) {
    const wchar_t* p = command_line;
    while (*p && is_blank(*p)) p++;
    if (*p == '"') {
        const wchar_t* start = ++p;
        while (*p && *p != '"') p++;
        *name_start = (int)(start - command_line);
        *name_length = (int)(p - start);
        if (*p) p++;
    } else {
        const wchar_t* start = p;
        while (*p && !is_blank(*p)) p++;
        *name_start = (int)(start - command_line);
        *name_length = (int)(p - start);
    }
    *rest = p;
}

bool names_a_folder(const wchar_t* name, int length) {
    for (int i = 0; i < length; i++)
        if (name[i] == '\\' || name[i] == '/' || name[i] == ':') return true;
    return false;
}

bool is_command_processor_name(const wchar_t* name, int length) {
    return (length == 3 && same_ascii_nocase(name, L"cmd", 3)) ||
           (length == 7 && same_ascii_nocase(name, L"cmd.exe", 7));
}

bool join_command_line(const wchar_t* program, const wchar_t* rest, wchar_t* out, int capacity) {
    size_t need = wcslen(program) + wcslen(rest) + 3;
    if (capacity <= 0) return false;
    out[0] = 0;
    if (need > (size_t)capacity) return false;
    out[0] = '"';
    wcscpy(out + 1, program);
    wcscat(out, L"\"");
    wcscat(out, rest);
    return true;
}

static bool is_absolute(const wchar_t* entry, int length) {
    bool drive = length >= 3 && ((entry[0] >= 'A' && entry[0] <= 'Z') || (entry[0] >= 'a' && entry[0] <= 'z')) &&
                 entry[1] == ':' && (entry[2] == '\\' || entry[2] == '/');
    bool share = length >= 3 && entry[0] == '\\' && entry[1] == '\\' && !is_blank(entry[2]);
    return drive || share;
}

bool is_absolute_path(const wchar_t* path) { return is_absolute(path, (int)wcslen(path)); }

void keep_absolute_path_entries(const wchar_t* path, wchar_t* out, int capacity) {
    if (capacity <= 0) return;
    int used = 0;
    out[0] = 0;
    for (const wchar_t* p = path; *p;) {
        const wchar_t* end = wcschr(p, ';');
        if (!end) end = p + wcslen(p);
        const wchar_t* start = p;
        int length = (int)(end - start);
        // A quoted entry ("C:\Program Files\x") counts without its quotes.
        if (length >= 2 && start[0] == '"' && start[length - 1] == '"') {
            start++;
            length -= 2;
        }
        int separator = used ? 1 : 0;
        if (is_absolute(start, length) && used + separator + length < capacity) {
            if (separator) out[used++] = ';';
            wmemcpy(out + used, start, length);
            used += length;
            out[used] = 0;
        }
        p = *end ? end + 1 : end;
    }
}

bool move_to_folder(const wchar_t* path, const wchar_t* system_dir, const wchar_t* other_dir, wchar_t* out,
                    int capacity) {
    int folder = (int)wcslen(system_dir);
    while (folder > 0 && system_dir[folder - 1] == '\\') folder--;
    if (folder == 0 || (int)wcslen(path) <= folder + 1 || !same_ascii_nocase(path, system_dir, folder) ||
        path[folder] != '\\')
        return false;
    const wchar_t* name = path + folder + 1;
    if (wcschr(name, '\\')) return false;
    int other = (int)wcslen(other_dir);
    while (other > 0 && other_dir[other - 1] == '\\') other--;
    if (other + 1 + (int)wcslen(name) >= capacity) return false;
    wmemcpy(out, other_dir, other);
    out[other] = '\\';
    wcscpy(out + other + 1, name);
    return true;
}

int first_uncarried(const wchar_t* text, int length, CarriesTest carries, void* context, unsigned long* code_point,
                    int* units) {
    for (int i = 0; i < length; i += *units) {
        unsigned long c = (unsigned long)text[i];
        bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        *units = pair ? 2 : 1;
        *code_point = pair ? 0x10000 + ((c - 0xD800) << 10) + ((unsigned long)text[i + 1] - 0xDC00) : c;
        if (!carries(text + i, *units, context)) return i;
    }
    return -1;
}
