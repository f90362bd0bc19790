// Text side of the settings file and the command file: line splitting, section and key
// dispatch, number and text values, command lists, the macro store and the writer's text.
// No system headers beyond the C library: this compiles on any platform.
#pragma once
#include "app/placement_math.h"
#include <stddef.h>
#include <wchar.h>

// Capacities that are behaviour: values are cut to these many characters.
enum {
    SETTINGS_LINE_MAX = 2046,      // longest line read; a longer one continues as the next line
    SETTINGS_NUMBER_MAX = 19,      // characters of a value that a number is read from
    VERSION_MAX = 6,
    FONT_NAME_MAX = 46,
    APP_MAX = 259,
    WORD_DELIMS_MAX = 38,
    TRUNC_DATE_LEN = 8,
    PATH_VALUE_MAX = 259,          // FileLog, AddPath, Run
    CMD_LIST_BUFFER = 1365,        // fixed leading "," + list text + terminator
    CMD_LIST_TEXT_MAX = 1362,
    MACRO_POOL_CHARS = 2048,
    MACRO_MAX = 16,
    // Longest name + tab + expansion whose "%dMacro=" line still reads back as one line.
    MACRO_LINE_TEXT_MAX = SETTINGS_LINE_MAX - 8 - 1,
    SETTINGS_TEXT_MAX = 8192,      // a whole written file; the command file needs under 7,000
    FONT_SIZE_MAX = 1000,          // font height either way
    TAB_WIDTH_MAX = 1000,
    TAB_WIDTH_DEFAULT = 8,
};

#include "settings/settings_keys.h"

enum ValueForm { FORM_NONE, FORM_NUMBER, FORM_COLOUR, FORM_TEXT, FORM_LIST, FORM_MACRO };
enum SettingWritten { WRITTEN_ALWAYS, WRITTEN_IF_SET, WRITTEN_NOT_READ, WRITTEN_AS_DEFAULT };
enum SettingFile { IN_SETTINGS_FILE, IN_COMMAND_FILE };

// Every key of the table, KEY_Version, KEY_Uses, ..., after KEY_NONE.
#define SETTING_KEY_ENUM(section, name, ...) KEY_##name,
enum SettingKey { KEY_NONE, SETTINGS_KEYS(SETTING_KEY_ENUM) KEY_COUNT };
#undef SETTING_KEY_ENUM

// A key's row of the table, as the text side uses it.
struct SettingKeyInfo {
    const wchar_t* section;
    const wchar_t* name;
    ValueForm form;
    int low, high;
    SettingWritten written;
    SettingFile file;
};
extern const SettingKeyInfo setting_keys[KEY_COUNT];   // indexed by SettingKey

// Section is the character after "[", first is the key line's first character (case counts).
SettingKey find_setting_key(wchar_t section, wchar_t first);

// Successive lines of a decoded file: at most SETTINGS_LINE_MAX characters each, the line feed
// kept when it fits, CR LF read as LF.
struct LineReader {
    const wchar_t* text;
    size_t length;
    size_t position;
};
void line_reader_start(LineReader* reader, const wchar_t* text, size_t length);
bool next_settings_line(LineReader* reader, wchar_t* line /* SETTINGS_LINE_MAX + 1 */);

// Reads every line of one file and hands each recognised key line to the sink:
// the key, the whole line and the value (everything after the first "=", line feed included).
typedef void (*SettingSink)(void* context, SettingKey key, const wchar_t* line, const wchar_t* value);
void parse_settings_text(const wchar_t* text, size_t length, SettingSink sink, void* context);

// Value forms.
int parse_setting_number(const wchar_t* value);

// A number read is held to its key's limits: those that go into window, font or tab arithmetic
// to what a screen can use, so that no sum or product of them overflows. A negative tab width
// reads as the default.
int bounded_setting_number(SettingKey key, int value);
int bounded_tab_width(int tab_width);
void copy_text_value(wchar_t* target, int limit, const wchar_t* value);   // target holds limit + 1
void normalise_command_list(wchar_t* list_buffer /* CMD_LIST_BUFFER */, const wchar_t* value);

// The macro store: one pool, allocated on first use, holding name, terminator, expansion,
// terminator for each macro in turn.
struct MacroStore {
    wchar_t* pool;
    int used;                   // characters of the pool taken
    int count;
    int start[MACRO_MAX];       // offset of each macro's name
};
bool macro_store_create(MacroStore* store);     // false when the pool can't be allocated
void macro_store_clear(MacroStore* store);
void macro_store_free(MacroStore* store);
// A "%dMacro=name\texpansion" line; false when it was dropped.
bool macro_store_add_line(MacroStore* store, const wchar_t* line);
// One macro from the dialog; false when the store is full or it doesn't fit.
bool macro_store_add(MacroStore* store, const wchar_t* name, const wchar_t* expansion);
const wchar_t* macro_store_name(const MacroStore* store, int i);
const wchar_t* macro_store_expansion(const MacroStore* store, int i);

// Text of a file being written: lines end in "\n"; a text that would not fit marks overflow
// and the file is then not written at all.
struct TextBuilder {
    wchar_t* text;
    size_t capacity;
    size_t length;
    bool overflow;
};
void text_builder_start(TextBuilder* builder, wchar_t* buffer, size_t capacity);
void builder_append(TextBuilder* builder, const wchar_t* text);
void builder_append_number(TextBuilder* builder, long long number);
void builder_key_text(TextBuilder* builder, const wchar_t* key, const wchar_t* value);     // key=value\n
void builder_key_number(TextBuilder* builder, const wchar_t* key, long long number);       // key=n\n
// A key's value for the writer: the number of a number or colour, the text of a text or list
// (NULL reads as empty).
struct SettingValue {
    long long number;
    const wchar_t* text;
};
// Every key of one file in the table's order, each section's header before its first key
// written, the macro lines in "[Macros]"; values is indexed by SettingKey.
void build_file_text(TextBuilder* builder, SettingFile file, const SettingValue* values, const MacroStore* macros);
