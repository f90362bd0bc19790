// Settings file and command file: the module-wide settings, reading and writing the two files,
// and the program's macro store. The line and value rules live in settings_text.cpp.
#include "settings/settings.h"
#include "app/app.h"
#include "slave/slave.h"
#include <stdlib.h>
#include <string.h>

static const wchar_t PROGRAM_VERSION[] = L"2.2";
static const wchar_t DEFAULT_NAME[] = L"Lucida Console";
static const wchar_t DEFAULT_APP[] = L"cmd.exe";
static const wchar_t DEFAULT_WORD_DELIMS[] = L">|<,;!()&[]";
static const wchar_t DEFAULT_TRUNC_DATE[] = L"00/00/00";

enum {
    READ_LIMIT_BYTES = 16 << 20,   // a settings file is a few kilobytes; anything past this is garbage
    INITIAL_SLAVE_CODE_PAGE = 1252,
    WRITE_CHUNK_BYTES = 1024,
    UTF8_MARK_BYTES = 3,
};
static const char UTF8_MARK[] = "\xEF\xBB\xBF";

wchar_t Version[VERSION_MAX + 1] = L"2.2";
int Uses = 0, Top = 0, Height = 850, Left = 400, Width = 1000, CodePage = 0;
wchar_t Name[FONT_NAME_MAX + 1] = L"Lucida Console";
int Size = -16, Weight = 400;
COLORREF Background, ColorText, DoItText = 65280, ErrorText = 255;
int HighlightErrs = 0, TabWidth = 8;
wchar_t App[APP_MAX + 1] = L"cmd.exe";
int MenuShow = 1, CmdShow = 0, PIDlastCMD = 0, VolSerialNbr = 0;
wchar_t WordDelims[WORD_DELIMS_MAX + 1] = L">|<,;!()&[]";
int BeepsMax = 5, ErrorLog = 0, OldErrorLog = 1;
wchar_t TruncDateErr[TRUNC_DATE_LEN + 1] = L"00/00/00";
int Logging = 0;
wchar_t FileLog[PATH_VALUE_MAX + 1];
int HigherProirity = 0;
wchar_t CmdAndQuit[CMD_LIST_BUFFER] = L",", KeepCmd[CMD_LIST_BUFFER] = L",", NoCmd[CMD_LIST_BUFFER] = L",";
wchar_t AddPath[PATH_VALUE_MAX + 1], Run[PATH_VALUE_MAX + 1];
bool first_run, save_enabled;
int slave_code_page = INITIAL_SLAVE_CODE_PAGE;
wchar_t settings_file_name[MAX_PATH + 32] = L"tavro.ini";
wchar_t command_file_name[MAX_PATH + 32] = L"tavro.ing";

static MacroStore macros;

void set_settings_defaults(COLORREF window_text, COLORREF window_background) {
    copy_text_value(Version, VERSION_MAX, PROGRAM_VERSION);
    Uses = 0;
    Top = 0;
    Height = 850;
    Left = 400;
    Width = 1000;
    CodePage = 0;
    copy_text_value(Name, FONT_NAME_MAX, DEFAULT_NAME);
    Size = -16;
    Weight = 400;
    Background = window_background;
    ColorText = window_text;
    DoItText = 65280;
    ErrorText = 255;
    HighlightErrs = 0;
    TabWidth = 8;
    copy_text_value(App, APP_MAX, DEFAULT_APP);
    MenuShow = 1;
    CmdShow = 0;
    PIDlastCMD = 0;
    VolSerialNbr = 0;
    copy_text_value(WordDelims, WORD_DELIMS_MAX, DEFAULT_WORD_DELIMS);
    BeepsMax = 5;
    ErrorLog = 0;
    OldErrorLog = 1;
    copy_text_value(TruncDateErr, TRUNC_DATE_LEN, DEFAULT_TRUNC_DATE);
    Logging = 0;
    HigherProirity = 0;
    set_command_list(CmdAndQuit, L"");
    set_command_list(KeepCmd, L"");
    set_command_list(NoCmd, L"");
    AddPath[0] = 0;
    Run[0] = 0;
    slave_code_page = INITIAL_SLAVE_CODE_PAGE;
}

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

static int* number_setting(SettingKey key) {
    switch (key) {
    case KEY_USES: return &Uses;
    case KEY_TOP: return &Top;
    case KEY_HEIGHT: return &Height;
    case KEY_LEFT: return &Left;
    case KEY_WIDTH: return &Width;
    case KEY_CODE_PAGE: return &CodePage;
    case KEY_SIZE: return &Size;
    case KEY_WEIGHT: return &Weight;
    case KEY_HIGHLIGHT_ERRS: return &HighlightErrs;
    case KEY_TAB_WIDTH: return &TabWidth;
    case KEY_MENU_SHOW: return &MenuShow;
    case KEY_CMD_SHOW: return &CmdShow;
    case KEY_VOL_SERIAL_NBR: return &VolSerialNbr;
    case KEY_BEEPS_MAX: return &BeepsMax;
    case KEY_ERROR_LOG: return &ErrorLog;
    case KEY_OLD_ERROR_LOG: return &OldErrorLog;
    case KEY_LOGGING: return &Logging;
    case KEY_HIGHER_PROIRITY: return &HigherProirity;
    default: return NULL;
    }
}

static COLORREF* colour_setting(SettingKey key) {
    switch (key) {
    case KEY_BACKGROUND: return &Background;
    case KEY_COLOR_TEXT: return &ColorText;
    case KEY_DO_IT_TEXT: return &DoItText;
    case KEY_ERROR_TEXT: return &ErrorText;
    default: return NULL;
    }
}

static wchar_t* text_setting(SettingKey key) {
    switch (key) {
    case KEY_VERSION: return Version;
    case KEY_NAME: return Name;
    case KEY_APP: return App;
    case KEY_WORD_DELIMS: return WordDelims;
    case KEY_TRUNC_DATE_ERR: return TruncDateErr;
    case KEY_FILE_LOG: return FileLog;
    case KEY_ADD_PATH: return AddPath;
    case KEY_RUN: return Run;
    default: return NULL;
    }
}

static wchar_t* list_setting(SettingKey key) {
    switch (key) {
    case KEY_CMD_AND_QUIT: return CmdAndQuit;
    case KEY_KEEP_CMD: return KeepCmd;
    case KEY_NO_CMD: return NoCmd;
    default: return NULL;
    }
}

static void apply_setting(void*, SettingKey key, const wchar_t* line, const wchar_t* value) {
    switch (setting_form(key)) {
    case FORM_NUMBER: {
        int number = bounded_setting_number(key, parse_setting_number(value));
        if (key == KEY_CODE_PAGE && !code_page_usable(number)) number = 0;   // the default: ANSI
        if (int* target = number_setting(key)) *target = number;
        if (COLORREF* colour = colour_setting(key)) *colour = (COLORREF)number;
        if (key == KEY_CODE_PAGE) derive_slave_code_page();
        break;
    }
    case FORM_TEXT:
        if (wchar_t* target = text_setting(key)) copy_text_value(target, setting_text_limit(key), value);
        break;
    case FORM_LIST:
        if (wchar_t* target = list_setting(key)) set_command_list(target, value);
        break;
    case FORM_MACRO:
        add_macro_line(line);
        break;
    case FORM_NONE:
        break;
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

// A file is written under a temporary name beside it and then moved over the old one, so a
// failure half-way (full disk, no rights, a crash) leaves the previous settings intact.
struct ReplacingFile {
    HANDLE handle;
    wchar_t temporary_name[MAX_PATH + 48];
};

static bool begin_replacing(ReplacingFile* file, const wchar_t* name) {
    // A file we may not write (read-only, denied, locked) stays as it is, even where the folder
    // would let us move another file over it.
    DWORD attributes = GetFileAttributesW(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    HANDLE probe = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (probe != INVALID_HANDLE_VALUE)
        CloseHandle(probe);
    else if (GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    static const wchar_t suffix[] = L".tmp";
    size_t n = wcslen(name), suffix_length = wcslen(suffix);
    if (n == 0 || n + suffix_length + 1 > sizeof file->temporary_name / sizeof(wchar_t)) return false;
    wmemcpy(file->temporary_name, name, n);
    wmemcpy(file->temporary_name + n, suffix, suffix_length + 1);
    file->handle = CreateFileW(file->temporary_name, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               NULL);
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
    if (ok) ok = FlushFileBuffers(file->handle) != 0;
    CloseHandle(file->handle);
    if (ok) ok = MoveFileExW(file->temporary_name, name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
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

static wchar_t file_text[SETTINGS_TEXT_MAX];

void write_settings() {
    if (!save_enabled) return;
    ReplacingFile file;
    if (!begin_replacing(&file, settings_file_name)) return;
    take_window_rectangle();
    TextBuilder text;
    text_builder_start(&text, file_text, SETTINGS_TEXT_MAX);
    builder_append(&text, L"[Window]\n");
    builder_key_text(&text, L"Version", PROGRAM_VERSION);
    builder_key_number(&text, L"Uses", Uses);
    builder_key_number(&text, L"Top", Top);
    builder_key_number(&text, L"Height", Height);
    builder_key_number(&text, L"Left", Left);
    builder_key_number(&text, L"Width", Width);
    builder_key_number(&text, L"CodePage", CodePage);
    builder_append(&text, L"\n[Fonts]\n");
    builder_key_text(&text, L"Name", Name);
    builder_key_number(&text, L"Size", Size);
    builder_key_number(&text, L"Weight", Weight);
    // Colours go out as "%d" of the 32-bit value, and read back through the same int.
    builder_key_number(&text, L"Background", (int)Background);
    builder_key_number(&text, L"ColorText", (int)ColorText);
    builder_key_number(&text, L"DoItText", (int)DoItText);
    builder_key_number(&text, L"ErrorText", (int)ErrorText);
    builder_key_number(&text, L"HighlightErrs", HighlightErrs);
    builder_key_number(&text, L"TabWidth", TabWidth);
    builder_append(&text, L"\n[Misc]\n");
    builder_key_text(&text, L"App", App);
    builder_key_number(&text, L"MenuShow", MenuShow);
    builder_key_number(&text, L"CmdShow", CmdShow);
    builder_key_number(&text, L"PIDlastCMD", PIDlastCMD);
    builder_key_number(&text, L"VolSerialNbr", VolSerialNbr);
    builder_key_text(&text, L"WordDelims", WordDelims);
    builder_key_number(&text, L"BeepsMax", BeepsMax);
    builder_key_number(&text, L"ErrorLog", ErrorLog);
    builder_key_number(&text, L"OldErrorLog", OldErrorLog);
    builder_key_text(&text, L"TruncDateErr", TruncDateErr);
    builder_key_number(&text, L"Logging", Logging);
    builder_key_text(&text, L"FileLog", FileLog);
    if (HigherProirity) builder_key_number(&text, L"HigherProirity", HigherProirity);
    finish_replacing(&file, settings_file_name, &text);
}

void write_command_file() {
    ReplacingFile file;
    if (!begin_replacing(&file, command_file_name)) return;
    TextBuilder text;
    text_builder_start(&text, file_text, SETTINGS_TEXT_MAX);
    build_command_file_text(&text, command_list_text(CmdAndQuit), command_list_text(KeepCmd),
                            command_list_text(NoCmd), &macros, AddPath, Run);
    finish_replacing(&file, command_file_name, &text);
}
