// Settings file and command file: the module-wide settings, reading and writing the two files,
// and the program's macro store. The line and value rules live in settings_text.cpp.
#include "settings/settings.h"
#include "app/app.h"
#include "slave/slave.h"
#include <stdlib.h>
#include <string.h>

enum {
    READ_LIMIT_BYTES = 16 << 20,   // a settings file is a few kilobytes; anything past this is garbage
    INITIAL_SLAVE_CODE_PAGE = 1252,
    WRITE_CHUNK_BYTES = 1024,
    UTF8_MARK_BYTES = 3,
};
static const char UTF8_MARK[] = "\xEF\xBB\xBF";

#define DEFINE_SETTING(section, name, form, def, low, high, written) SETTING_VARIABLE_##form(, name, high)
SETTINGS_KEYS(DEFINE_SETTING)
bool first_run, save_enabled;
int slave_code_page = INITIAL_SLAVE_CODE_PAGE;
wchar_t settings_file_name[MAX_PATH + 32] = L"tavro.ini";
wchar_t command_file_name[MAX_PATH + 32] = L"tavro.ing";

static MacroStore macros;

// How a key of each form takes its default.
#define DEFAULT_NUMBER(name, def, high) name = def;
#define DEFAULT_COLOUR DEFAULT_NUMBER
#define DEFAULT_TEXT(name, def, high) copy_text_value(name, high, def);
#define DEFAULT_LIST(name, def, high) set_command_list(name, def);
#define DEFAULT_MACRO(name, def, high)

void set_settings_defaults(COLORREF window_text, COLORREF window_background) {
#define SET_DEFAULT(section, name, form, def, low, high, written) DEFAULT_##form(name, def, high)
    SETTINGS_KEYS(SET_DEFAULT)
    slave_code_page = INITIAL_SLAVE_CODE_PAGE;
}

// The defaults hold from the start; start-up sets them again with the system's colours.
static const bool defaults_from_the_start = (set_settings_defaults(0, 0), true);

// The ANSI and OEM code pages by number: conversions and CHCP need the page itself (on a system
// with Windows' UTF-8 option both are 65001).
void derive_slave_code_page() {
    if (CodePage == CP_ACP)
        slave_code_page = (int)GetACP();
    else if (CodePage == CP_OEMCP)
        slave_code_page = (int)GetOEMCP();
    else
        slave_code_page = CodePage;
}

bool code_page_usable(int code_page) {
    if (code_page == CP_ACP || code_page == CP_OEMCP) return true;
    if (code_page < 0 || !IsValidCodePage((UINT)code_page)) return false;
    // The system may know a page and still not convert with it (UTF-16 as 1200 or 1201), or turn
    // plain text into bytes the command processor cannot read: every command would be lost. Pages
    // that convert only without the flags that keep a character from becoming another (ISO-2022,
    // ISCII, UTF-7) fail here too.
    static const wchar_t sample[] = L"cd C:\\Tools> dir /w\r\n";
    const int length = (int)(sizeof sample / sizeof sample[0]) - 1;
    char bytes[64];
    int n = slave_bytes(code_page, sample, length, bytes, (int)sizeof bytes);
    if (n != length) return false;
    for (int i = 0; i < length; i++)
        if ((unsigned char)bytes[i] != sample[i]) return false;
    wchar_t back[64];
    return MultiByteToWideChar((UINT)code_page, 0, bytes, n, back, 64) == length && wmemcmp(back, sample, length) == 0;
}

void set_command_list(wchar_t* list_buffer, const wchar_t* value) { normalise_command_list(list_buffer, value); }
const wchar_t* command_list_text(const wchar_t* list_buffer) { return list_buffer + 1; }

void add_macro_line(const wchar_t* line) { macro_store_add_line(&macros, line); }
int macro_count() { return macros.count; }
const wchar_t* macro_name(int i) { return macro_store_name(&macros, i); }
const wchar_t* macro_expansion(int i) { return macro_store_expansion(&macros, i); }
void clear_macros() { macro_store_clear(&macros); }
void free_macros() { macro_store_free(&macros); }
bool macro_store_exists() { return macros.pool != NULL; }
bool create_macro_store() { return macro_store_create(&macros); }
bool add_macro(const wchar_t* name, const wchar_t* expansion) { return macro_store_add(&macros, name, expansion); }

// ---- reading ----

// How a key of each form takes the value of a line read (line and value are apply_setting's).
#define READ_NUMBER(name, high) name = bounded_setting_number(KEY_##name, parse_setting_number(value));
#define READ_COLOUR READ_NUMBER
#define READ_TEXT(name, high) copy_text_value(name, high, value);
#define READ_LIST(name, high) set_command_list(name, value);
#define READ_MACRO(name, high) add_macro_line(line);

static void apply_setting(void*, SettingKey key, const wchar_t* line, const wchar_t* value) {
    switch (key) {
#define READ_SETTING(section, name, form, def, low, high, written) \
    case KEY_##name: READ_##form(name, high) break;
        SETTINGS_KEYS(READ_SETTING)
    default: break;
    }
    if (key == KEY_CodePage) {
        if (!code_page_usable(CodePage)) CodePage = 0;   // the default: ANSI
        derive_slave_code_page();
    }
}

// The whole file decoded from the ANSI code page, or NULL (with *opened false) when it can't be
// opened. The caller frees the text.
static wchar_t* load_file_text(const wchar_t* name, size_t* length, bool* opened) {
    *length = 0;
    *opened = false;
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return NULL;
    *opened = true;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) size.QuadPart = 0;
    DWORD wanted = size.QuadPart > READ_LIMIT_BYTES ? (DWORD)READ_LIMIT_BYTES : (DWORD)size.QuadPart;
    char* bytes = (char*)malloc(wanted ? wanted : 1);
    DWORD total = 0;
    while (bytes && total < wanted) {
        DWORD got = 0;
        if (!ReadFile(file, bytes + total, wanted - total, &got, NULL) || got == 0) break;
        total += got;
    }
    CloseHandle(file);
    if (!bytes) return NULL;
    // A file that starts with the UTF-8 byte-order mark is UTF-8 (one written with characters the
    // ANSI code page lacks); any other file is in the ANSI code page.
    UINT page = CP_ACP;
    const char* from = bytes;
    if (total >= UTF8_MARK_BYTES && memcmp(bytes, UTF8_MARK, UTF8_MARK_BYTES) == 0) {
        page = CP_UTF8;
        from += UTF8_MARK_BYTES;
        total -= UTF8_MARK_BYTES;
    }
    int chars = total ? MultiByteToWideChar(page, 0, from, (int)total, NULL, 0) : 0;
    wchar_t* text = (wchar_t*)malloc(((size_t)chars + 1) * sizeof(wchar_t));
    if (text) {
        if (chars) chars = MultiByteToWideChar(page, 0, from, (int)total, text, chars);
        text[chars] = 0;
        *length = (size_t)chars;
    }
    free(bytes);
    return text;
}

// Reads one file; false when it can't be opened.
static bool read_file(const wchar_t* name, bool empty_macros_first) {
    size_t length;
    bool opened;
    wchar_t* text = load_file_text(name, &length, &opened);
    if (!opened) return false;
    // Only once the file is open: a file that is briefly locked must not cost the macros.
    if (empty_macros_first) clear_macros();
    if (text) parse_settings_text(text, length, apply_setting, NULL);
    free(text);
    return true;
}

void read_settings() {
    first_run = !read_file(settings_file_name, false);
    if (!first_run) read_command_file();   // a first start reads nothing else
    // Also on a first start and without a CodePage line: CHCP must name the page the
    // conversions really use.
    derive_slave_code_page();
}

void read_command_file() { read_file(command_file_name, true); }

// ---- writing ----

// A file is written under a temporary name beside it and then put in the old one's place, so a
// failure half-way (full disk, no rights, a crash) leaves the previous settings intact.
struct ReplacingFile {
    HANDLE handle;
    bool in_place;   // the folder took no new file: the file itself is written
    wchar_t temporary_name[MAX_PATH + 48];
};

static const DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A file we may not write (read-only, denied, locked) stays as it is, even where the folder would
// let us move another file over it. One that does not exist yet may be made.
static bool may_write(const wchar_t* name) {
    DWORD attributes = GetFileAttributesW(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    HANDLE probe = CreateFileW(name, GENERIC_WRITE, SHARE_ALL, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (probe == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    CloseHandle(probe);
    return true;
}

bool settings_file_writable() { return may_write(settings_file_name); }

static bool begin_replacing(ReplacingFile* file, const wchar_t* name) {
    if (!may_write(name)) return false;
    static const wchar_t suffix[] = L".tmp";
    size_t n = wcslen(name), suffix_length = wcslen(suffix);
    if (n == 0 || n + suffix_length + 1 > sizeof file->temporary_name / sizeof(wchar_t)) return false;
    wmemcpy(file->temporary_name, name, n);
    wmemcpy(file->temporary_name + n, suffix, suffix_length + 1);
    file->in_place = false;
    file->handle = CreateFileW(file->temporary_name, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               NULL);
    if (file->handle != INVALID_HANDLE_VALUE) return true;
    // A folder that takes no new file (a user may write the settings file alone) still gets its
    // settings, without the safety of the temporary file.
    file->in_place = true;
    file->handle = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    return file->handle != INVALID_HANDLE_VALUE;
}

static bool write_bytes(HANDLE handle, const char* bytes, DWORD count) {
    DWORD written = 0;
    return WriteFile(handle, bytes, count, &written, NULL) && written == count;
}

// The text in the ANSI code page, each "\n" as CR LF, as the files have always been. A text with
// a character the code page lacks (a log path in the folder of a user named with a Polish letter on
// a Western system) is written as UTF-8 behind a byte-order mark instead, so that nothing turns into "?".
static bool write_text(HANDLE handle, const wchar_t* text, size_t length) {
    static char bytes[SETTINGS_TEXT_MAX * 3];   // UTF-8 takes at most 3 bytes per UTF-16 unit
    if (length == 0) return true;
    if (length > SETTINGS_TEXT_MAX) return false;
    int count = 0;
    bool utf8 = GetACP() == CP_UTF8;
    if (!utf8) {
        BOOL lost = FALSE;
        count = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, (int)length, bytes, (int)sizeof bytes, NULL,
                                    &lost);
        if (count <= 0 || lost) {
            if (!write_bytes(handle, UTF8_MARK, UTF8_MARK_BYTES)) return false;
            utf8 = true;
        }
    }
    if (utf8) count = WideCharToMultiByte(CP_UTF8, 0, text, (int)length, bytes, (int)sizeof bytes, NULL, NULL);
    if (count <= 0) return false;
    char chunk[WRITE_CHUNK_BYTES + 1];
    DWORD used = 0;
    for (int i = 0; i < count; i++) {
        if (bytes[i] == '\n') chunk[used++] = '\r';
        chunk[used++] = bytes[i];
        if (used >= WRITE_CHUNK_BYTES) {
            if (!write_bytes(handle, chunk, used)) return false;
            used = 0;
        }
    }
    return used == 0 || write_bytes(handle, chunk, used);
}

static bool finish_replacing(ReplacingFile* file, const wchar_t* name, const TextBuilder* text) {
    bool ok = !text->overflow && write_text(file->handle, text->text, text->length);
    if (ok && file->in_place) ok = SetEndOfFile(file->handle) != 0;
    if (ok) ok = FlushFileBuffers(file->handle) != 0;
    CloseHandle(file->handle);
    if (file->in_place) return ok;
    // ReplaceFile keeps what the old file had: its attributes (hidden, say), its permissions and its
    // creation time; a moved file would take the folder's. A first write, or a file system where
    // ReplaceFile fails (and, without a backup, may leave only the new file), moves the new file.
    if (ok)
        ok = (GetFileAttributesW(name) != INVALID_FILE_ATTRIBUTES &&
              ReplaceFileW(name, file->temporary_name, NULL, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL)) ||
             MoveFileExW(file->temporary_name, name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(file->temporary_name);
    return ok;
}

// The restored rectangle of Main; a maximised or minimised window keeps the stored one.
static void take_window_rectangle() {
    RECT rect;
    if (!Main || IsZoomed(Main) || IsIconic(Main) || !GetWindowRect(Main, &rect)) return;
    Top = rect.top;
    Left = rect.left;
    Height = rect.bottom - rect.top;
    Width = rect.right - rect.left;
}

// What the writer takes of a key of each form.
#define VALUE_NUMBER(name, def, written) {name, NULL}
#define VALUE_COLOUR(name, def, written) {(int)name, NULL}   // "%d" of the 32 bits, read back through an int
#define VALUE_TEXT(name, def, written) {0, written == WRITTEN_AS_DEFAULT ? def : name}
#define VALUE_LIST(name, def, written) {0, command_list_text(name)}
#define VALUE_MACRO(name, def, written) {0, NULL}

static wchar_t file_text[SETTINGS_TEXT_MAX];

static void write_file(const wchar_t* name, SettingFile file) {
    ReplacingFile replacing;
    if (!begin_replacing(&replacing, name)) return;
    if (file == IN_SETTINGS_FILE) take_window_rectangle();
#define SETTING_VALUE(section, name, form, def, low, high, written) VALUE_##form(name, def, WRITTEN_##written),
    const SettingValue values[KEY_COUNT] = {{0, NULL}, SETTINGS_KEYS(SETTING_VALUE)};
    TextBuilder text;
    text_builder_start(&text, file_text, SETTINGS_TEXT_MAX);
    build_file_text(&text, file, values, &macros);
    finish_replacing(&replacing, name, &text);
}

void write_settings() {
    if (save_enabled) write_file(settings_file_name, IN_SETTINGS_FILE);
}

void write_command_file() { write_file(command_file_name, IN_COMMAND_FILE); }
