// Text side of the settings files: everything here works on decoded wide text in memory.
#include "settings/settings_text.h"
#include <limits.h>
#include <stdlib.h>

#define SETTING_ROW(file, section, name, form, def, low, high, written) \
    {section, L"" #name, FORM_##form, low, high, WRITTEN_##written, file},
#define IN_SETTINGS_FILE_ROW(...) SETTING_ROW(IN_SETTINGS_FILE, __VA_ARGS__)
#define IN_COMMAND_FILE_ROW(...) SETTING_ROW(IN_COMMAND_FILE, __VA_ARGS__)
const SettingKeyInfo setting_keys[KEY_COUNT] = {
    {},   // KEY_NONE: read and written by no one
    SETTINGS_FILE_KEYS(IN_SETTINGS_FILE_ROW) COMMAND_FILE_KEYS(IN_COMMAND_FILE_ROW)
};

SettingKey find_setting_key(wchar_t section, wchar_t first) {
    for (int key = KEY_NONE + 1; key < KEY_COUNT; key++) {
        const SettingKeyInfo* k = &setting_keys[key];
        if (k->section[0] != section || k->written == WRITTEN_NOT_READ) continue;
        // Macro lines start with their number. "[Misc]" and "[Macros]" share their first letter,
        // so each reads the other's lines too.
        if (k->form == FORM_MACRO ? first >= L'0' && first <= L'9' : first == k->name[0]) return (SettingKey)key;
    }
    return KEY_NONE;
}

void line_reader_start(LineReader* reader, const wchar_t* text, size_t length) {
    reader->text = text;
    reader->length = text ? length : 0;
    reader->position = 0;
}

bool next_settings_line(LineReader* reader, wchar_t* line) {
    if (reader->position >= reader->length) return false;
    int n = 0;
    while (n < SETTINGS_LINE_MAX && reader->position < reader->length) {
        wchar_t c = reader->text[reader->position++];
        // CR LF on disk is one line end; a CR alone is an ordinary character.
        if (c == L'\r' && reader->position < reader->length && reader->text[reader->position] == L'\n') continue;
        line[n++] = c;
        if (c == L'\n') break;
    }
    line[n] = 0;
    return true;
}

void parse_settings_text(const wchar_t* text, size_t length, SettingSink sink, void* context) {
    LineReader reader;
    line_reader_start(&reader, text, length);
    wchar_t line[SETTINGS_LINE_MAX + 1];
    wchar_t section = 0;   // nothing before the first header matches a key
    while (next_settings_line(&reader, line)) {
        if (line[0] == L'[') {
            section = line[1];
            // The line after a header is always a key line, even when it is a header itself.
            if (!next_settings_line(&reader, line)) break;
        }
        const wchar_t* equals = wcschr(line, L'=');
        if (!equals || !equals[1]) continue;
        SettingKey key = find_setting_key(section, line[0]);
        if (key != KEY_NONE) sink(context, key, line, equals + 1);
    }
}

int parse_setting_number(const wchar_t* value) {
    int i = 0;
    while (i < SETTINGS_NUMBER_MAX && value[i] &&
           (value[i] == L' ' || (value[i] >= L'\t' && value[i] <= L'\r')))
        i++;
    bool negative = false;
    if (i < SETTINGS_NUMBER_MAX && (value[i] == L'-' || value[i] == L'+')) negative = value[i++] == L'-';
    long long magnitude = 0;
    const long long limit = (long long)INT_MAX + 1;
    for (; i < SETTINGS_NUMBER_MAX && value[i] >= L'0' && value[i] <= L'9'; i++) {
        magnitude = magnitude * 10 + (value[i] - L'0');
        if (magnitude > limit) magnitude = limit;   // out of range: held at the nearest int
    }
    if (negative) return (int)-magnitude;
    return magnitude > INT_MAX ? INT_MAX : (int)magnitude;
}

static int held(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

int bounded_setting_number(SettingKey key, int value) {
    if (key == KEY_TabWidth && value < 0) return TAB_WIDTH_DEFAULT;
    return held(value, setting_keys[key].low, setting_keys[key].high);
}

int bounded_tab_width(int tab_width) { return bounded_setting_number(KEY_TabWidth, tab_width); }

void copy_text_value(wchar_t* target, int limit, const wchar_t* value) {
    size_t n = wcslen(value);
    if (n > 0 && value[n - 1] == L'\n') n--;
    if (n > (size_t)limit) n = (size_t)limit;
    wmemmove(target, value, n);
    target[n] = 0;
}

void normalise_command_list(wchar_t* list_buffer, const wchar_t* value) {
    // The value may be the buffer's own text, so work on a copy.
    wchar_t list[CMD_LIST_TEXT_MAX + 2];
    int n = 0;
    while (n < CMD_LIST_TEXT_MAX && value[n] && value[n] != L'\n') {
        list[n] = value[n];
        n++;
    }
    if (n == 0 || list[n - 1] != L',') list[n++] = L',';
    int skip = 0;
    while (skip < n && list[skip] == L',') skip++;
    list_buffer[0] = L',';
    wmemcpy(list_buffer + 1, list + skip, n - skip);
    list_buffer[1 + n - skip] = 0;
}

bool macro_store_create(MacroStore* store) {
    if (store->pool) return true;
    store->pool = (wchar_t*)calloc(MACRO_POOL_CHARS, sizeof(wchar_t));
    store->used = 0;
    store->count = 0;
    return store->pool != NULL;
}

void macro_store_clear(MacroStore* store) {
    store->used = 0;
    store->count = 0;
    if (store->pool) store->pool[0] = 0;
}

void macro_store_free(MacroStore* store) {
    free(store->pool);
    store->pool = NULL;
    store->used = 0;
    store->count = 0;
}

// Stores name and expansion, each with its terminator, behind the last macro.
static bool store_macro(MacroStore* store, const wchar_t* name, size_t name_length, const wchar_t* expansion,
                        size_t expansion_length) {
    size_t needed = name_length + 1 + expansion_length + 1;
    if (needed > (size_t)(MACRO_POOL_CHARS - store->used)) return false;
    wchar_t* place = store->pool + store->used;
    wmemcpy(place, name, name_length);
    place[name_length] = 0;
    wmemcpy(place + name_length + 1, expansion, expansion_length);
    place[needed - 1] = 0;
    store->start[store->count++] = store->used;
    store->used += (int)needed;
    return true;
}

bool macro_store_add_line(MacroStore* store, const wchar_t* line) {
    if (store->count >= MACRO_MAX) return false;
    if (!macro_store_create(store)) return false;
    const wchar_t* equals = wcschr(line, L'=');
    if (!equals) return false;
    const wchar_t* value = equals + 1;
    size_t n = wcslen(value);
    if (n > 0 && value[n - 1] == L'\n') n--;
    const wchar_t* tab = wmemchr(value, L'\t', n);
    if (!tab) return false;
    size_t name_length = (size_t)(tab - value);
    // A short key ("5=") is written back as "%dMacro=": a line that would then no longer be read
    // as one line is refused, as it is from the dialog.
    if (n > MACRO_LINE_TEXT_MAX) return false;
    return store_macro(store, value, name_length, tab + 1, n - name_length - 1);
}

bool macro_store_add(MacroStore* store, const wchar_t* name, const wchar_t* expansion) {
    if (store->count >= MACRO_MAX) return false;
    size_t name_length = wcslen(name), expansion_length = wcslen(expansion);
    // What could not be read back as the same macro is refused: a tab in the name would move
    // the split, a line feed would start a new line, and an overlong line would continue as
    // a key line of its own.
    if (wmemchr(name, L'\t', name_length) || wmemchr(name, L'\n', name_length) ||
        wmemchr(expansion, L'\n', expansion_length))
        return false;
    if (name_length + 1 + expansion_length > MACRO_LINE_TEXT_MAX) return false;
    if (!macro_store_create(store)) return false;
    return store_macro(store, name, name_length, expansion, expansion_length);
}

const wchar_t* macro_store_name(const MacroStore* store, int i) {
    if (!store->pool || i < 0 || i >= store->count) return L"";
    return store->pool + store->start[i];
}

const wchar_t* macro_store_expansion(const MacroStore* store, int i) {
    if (!store->pool || i < 0 || i >= store->count) return L"";
    const wchar_t* name = store->pool + store->start[i];
    return name + wcslen(name) + 1;
}

void text_builder_start(TextBuilder* builder, wchar_t* buffer, size_t capacity) {
    builder->text = buffer;
    builder->capacity = capacity;
    builder->length = 0;
    builder->overflow = capacity == 0;
    if (capacity) buffer[0] = 0;
}

void builder_append(TextBuilder* builder, const wchar_t* text) {
    if (builder->overflow) return;
    size_t n = wcslen(text);
    if (n >= builder->capacity - builder->length) {
        builder->overflow = true;
        return;
    }
    wmemcpy(builder->text + builder->length, text, n);
    builder->length += n;
    builder->text[builder->length] = 0;
}

void builder_append_number(TextBuilder* builder, long long number) {
    wchar_t digits[24];
    int i = 23;
    digits[i] = 0;
    unsigned long long magnitude = number < 0 ? 0ULL - (unsigned long long)number : (unsigned long long)number;
    do {
        digits[--i] = (wchar_t)(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (number < 0) digits[--i] = L'-';
    builder_append(builder, digits + i);
}

void builder_key_text(TextBuilder* builder, const wchar_t* key, const wchar_t* value) {
    builder_append(builder, key);
    builder_append(builder, L"=");
    builder_append(builder, value);
    builder_append(builder, L"\n");
}

void builder_key_number(TextBuilder* builder, const wchar_t* key, long long number) {
    builder_append(builder, key);
    builder_append(builder, L"=");
    builder_append_number(builder, number);
    builder_append(builder, L"\n");
}

// Numbered afresh from 0: the numbers read were never used for placement.
static void build_macro_lines(TextBuilder* builder, const MacroStore* macros) {
    for (int i = 0; i < macros->count; i++) {
        builder_append_number(builder, i);
        builder_append(builder, L"Macro=");
        builder_append(builder, macro_store_name(macros, i));
        builder_append(builder, L"\t");
        builder_append(builder, macro_store_expansion(macros, i));
        builder_append(builder, L"\n");
    }
}

void build_file_text(TextBuilder* builder, SettingFile file, const SettingValue* values, const MacroStore* macros) {
    const wchar_t* section = NULL;   // the header written last
    for (int key = KEY_NONE + 1; key < KEY_COUNT; key++) {
        const SettingKeyInfo* k = &setting_keys[key];
        const wchar_t* text = values[key].text ? values[key].text : L"";
        bool is_text = k->form == FORM_TEXT || k->form == FORM_LIST;
        bool set = k->form == FORM_MACRO ? macros->pool != NULL : is_text ? text[0] != 0 : values[key].number != 0;
        if (k->file != file || (k->written == WRITTEN_IF_SET && !set)) continue;
        if (!section || wcscmp(section, k->section) != 0) {
            if (section) builder_append(builder, L"\n");
            builder_append(builder, L"[");
            builder_append(builder, k->section);
            builder_append(builder, L"]\n");
            section = k->section;
        }
        if (k->form == FORM_MACRO)
            build_macro_lines(builder, macros);
        else if (is_text)
            builder_key_text(builder, k->name, text);
        else
            builder_key_number(builder, k->name, values[key].number);
    }
}
