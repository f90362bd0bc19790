// Output log and error log: the files, their banners and the menu commands that drive them.
#include "logs/logs.h"
#include "logs/log_files.h"
#include "logs/logs_text.h"
#include "app/app.h"
#include "app/commands.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include "slave/reader_text.h"
#include <commdlg.h>
#include <io.h>
#include <richedit.h>
#include <stdio.h>

bool output_log_open, error_log_open;

static FILE* output_log;
static FILE* error_log;

enum { UTF8_CUT_MAX = 3 };   // the first bytes of a UTF-8 character without its last

// The program's files are never inherited: a slave started while one is open, and every program
// that slave starts, would hold it open, so that it could not be renamed or removed meanwhile.
static FILE* open_private(const wchar_t* name, const wchar_t* mode) {
    FILE* file = _wfopen(name, mode);
    if (file) SetHandleInformation((HANDLE)_get_osfhandle(_fileno(file)), HANDLE_FLAG_INHERIT, 0);
    return file;
}

static LogStamp stamp_of(const SYSTEMTIME& t) {
    LogStamp s = {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    return s;
}

static LogStamp now() { SYSTEMTIME t; GetLocalTime(&t); return stamp_of(t); }

static void close_error_log(bool with_banner) {
    if (error_log) {
        if (with_banner) write_banner(error_log, ERROR_LOG_END, now());
        fclose(error_log);
    }
    error_log = NULL;
    error_log_open = false;
}

static void close_output_log() {
    if (output_log) {
        write_banner(output_log, OUTPUT_LOG_END, now());
        fclose(output_log);
    }
    output_log = NULL;
    output_log_open = false;
}

static void check_item(int id, bool checked) {
    if (main_menu) CheckMenuItem(main_menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

// Each write goes to the file at once: a Tavro that crashes or is ended loses nothing, and
// someone watching the log sees the output as it comes. A print costs more than the write.
void write_output_log(const char* bytes, int count) {
    if (Logging && output_log && bytes && count > 0) {
        fwrite(bytes, 1, (size_t)count, output_log);
        fflush(output_log);
    }
}

// The bytes as they came, NULs and all: a tool that writes UTF-16 is logged whole.
void write_error_bytes(const char* bytes, int count) {
    if (ErrorLog && error_log && bytes && count > 0) {
        fwrite(bytes, 1, (size_t)count, error_log);
        fflush(error_log);
    }
}

void end_error_log() {
    if (ErrorLog && error_log) close_error_log(true);
}

void close_logs_at_exit() { close_error_log(true); close_output_log(); }

// Whether a file was last written on the local date given as "MM/DD/YY".
static bool written_on(const wchar_t* name, const wchar_t* date) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    SYSTEMTIME utc, t;   // the local time of that moment, its own daylight saving time included
    if (!GetFileAttributesExW(name, GetFileExInfoStandard, &data) ||
        !FileTimeToSystemTime(&data.ftLastWriteTime, &utc) || !SystemTimeToTzSpecificLocalTime(NULL, &utc, &t))
        return false;
    wchar_t day[LOG_DATE_CHARS + 1];
    format_log_date_wide(day, stamp_of(t));
    return wcscmp(day, date) == 0;
}

static void mark_written_now(const wchar_t* name) {
    HANDLE file = CreateFileW(name, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    SetFileTime(file, NULL, NULL, &now);
    CloseHandle(file);
}

bool rotate_error_log_for(const wchar_t* today) {
    if (!rotation_due(today, TruncDateErr)) return false;
    // A settings file that cannot be written (read-only) never keeps the new date, and every start
    // would rotate again, the day's errors with it. There the logs' own dates tell: an error log
    // written today holds only today's errors, and a previous error log is marked when it is made.
    if (!settings_file_writable() && (written_on(error_log_name, today) || written_on(previous_error_log_name, today)))
        return false;
    DeleteFileW(previous_error_log_name);
    MoveFileW(error_log_name, previous_error_log_name);   // a missing error log is no error
    mark_written_now(previous_error_log_name);
    wcsncpy(TruncDateErr, today, TRUNC_DATE_LEN);
    TruncDateErr[TRUNC_DATE_LEN] = 0;
    write_settings();
    return true;
}

void rotate_error_log() {
    if (!OldErrorLog) return;
    wchar_t today[LOG_DATE_CHARS + 1];
    format_log_date_wide(today, now());
    rotate_error_log_for(today);
}

void log_errors_command() {
    if (!ErrorLog) {
        begin_error_log();
        return;
    }
    close_error_log(true);
    check_item(CMD_LOG_ERRORS, false);
    ErrorLog = 0;
    set_directory_title();
}

void begin_error_log() {
    if (!HighlightErrs) {
        MessageBoxW(Main, L"You must turn on 'View > Show Errors in Color' to be able to log errors.",
                    L"Error", MB_ICONERROR);
        if (ErrorLog) {
            check_item(CMD_LOG_ERRORS, false);
            close_error_log(true);
            ErrorLog = 0;
        }
        return;
    }
    if (!error_log) {
        FILE* file = open_private(error_log_name, L"ab+");
        if (!file) {
            MessageBoxW(Main, L"Cannot open error log file", error_log_name, MB_ICONERROR);
            return;
        }
        error_log = file;
        write_banner(error_log, ERROR_LOG_BEGIN, now());
    }
    error_log_open = true;
    check_item(CMD_LOG_ERRORS, true);
    ErrorLog = 1;
    set_directory_title();
}

// Prints one piece of a log file; one wider than a print is split, never inside a surrogate pair.
static void print_file_piece(const char* bytes) {
    static wchar_t wide[LOG_FILE_LINE_BYTES + 1];
    int n = MultiByteToWideChar(CodePage, 0, bytes, -1, wide, LOG_FILE_LINE_BYTES + 1);
    if (n <= 0) return;
    wide[LOG_FILE_LINE_BYTES] = 0;
    int length = (int)wcslen(wide);
    for (int at = 0; at < length;) {
        int take = length - at;
        if (take > LOG_FILE_LINE_CHARS) {
            take = LOG_FILE_LINE_CHARS;
            if (IS_HIGH_SURROGATE(wide[at + take - 1])) take--;
        }
        wchar_t piece[LOG_FILE_LINE_CHARS + 1];
        wmemcpy(piece, wide + at, (size_t)take);
        piece[take] = 0;
        print_to_output_pane(L"%s", piece);
        at += take;
    }
}

// Prints a log file as it is, in pieces of a line. A UTF-8 character that the end of a piece cuts
// waits for its other bytes in the next one.
static void print_file_lines(FILE* file) {
    static char bytes[LOG_FILE_LINE_BYTES + 1];
    char cut[UTF8_CUT_MAX];
    int carried = 0;
    while (fgets(bytes + carried, (int)sizeof bytes - carried, file)) {
        int count = carried + (int)strlen(bytes + carried);
        carried = CodePage == CP_UTF8 && count > 0 && bytes[count - 1] != '\n'
                      ? incomplete_tail_length((const unsigned char*)bytes, count, ENCODING_UTF8, NULL, NULL)
                      : 0;
        memcpy(cut, bytes + count - carried, (size_t)carried);
        bytes[count - carried] = 0;
        print_file_piece(bytes);
        memcpy(bytes, cut, (size_t)carried);
    }
    bytes[carried] = 0;   // a file that ends inside a character
    if (carried) print_file_piece(bytes);
}

void view_errors() {
    static const wchar_t header[] = L"\r\n\tError Log\r\n";
    bool header_printed = false;
    FILE* previous = open_private(previous_error_log_name, L"rb");
    if (previous) {
        print_to_output_pane(header);
        set_output_colour(Text, SCF_SELECTION, ErrorText);
        print_file_lines(previous);
        restore_normal_colour(Text, SCF_SELECTION);
        fclose(previous);
        header_printed = true;
    }
    FILE* current;
    bool opened_here = false;
    if (ErrorLog && error_log) {
        current = error_log;
        fseek(current, 0, SEEK_SET);
    } else {
        current = open_private(error_log_name, L"rb");
        opened_here = true;
    }
    if (!current) {
        print_error_text(L"\r\nFile not found: %s\r\n", error_log_name);
        print_prompt_imitation(false);
        return;
    }
    if (!header_printed) print_to_output_pane(header);
    set_output_colour(Text, SCF_SELECTION, ErrorText);
    print_file_lines(current);
    restore_normal_colour(Text, SCF_SELECTION);
    if (opened_here)
        fclose(current);
    else
        fseek(current, 0, SEEK_END);   // an update stream must be positioned before it is written again
    print_prompt_imitation(false);
}

void clear_errors() {
    if (ErrorLog) close_error_log(false);
    DeleteFileW(error_log_name);
    DeleteFileW(previous_error_log_name);
    if (ErrorLog) begin_error_log();   // a fresh log that starts with its begin banner
}

void auto_truncate_command() {
    UINT state = main_menu ? GetMenuState(main_menu, CMD_AUTO_TRUNCATE, MF_BYCOMMAND) : (UINT)-1;
    bool was_checked = state == (UINT)-1 ? OldErrorLog != 0 : (state & MF_CHECKED) != 0;
    OldErrorLog = was_checked ? 0 : 1;
    check_item(CMD_AUTO_TRUNCATE, OldErrorLog != 0);
}

void start_logging_command() {
    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Main;
    dialog.lpstrFilter = L"Log Files  (*.log)\0*.log\0All Files  (*.*)\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = FileLog;
    dialog.nMaxFile = sizeof FileLog / sizeof FileLog[0];
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_ENABLESIZING;
    if (!GetOpenFileNameW(&dialog)) {
        // A log that is open (Start Logging offered by a menu popup without grey states) goes on.
        if (!output_log) Logging = 0;
        return;
    }
    const wchar_t* mode = L"wb";
    if (GetFileAttributesW(FileLog) != INVALID_FILE_ATTRIBUTES) {
        int answer = MessageBoxW(Main,
                                 L"This file already exists - do you want to append to it?\n\n"
                                 L"Yes = Append\nNo = Overwrite\nCancel = Cancel",
                                 FileLog, MB_ICONQUESTION | MB_YESNOCANCEL);
        if (answer == IDYES)
            mode = L"ab";
        else if (answer != IDNO)
            return;
    }
    open_output_log(mode);
}

void open_output_log(const wchar_t* mode) {
    // Only appending or writing from empty; anything else would open a log that can't be written.
    if (!mode || (wcscmp(mode, L"ab") != 0 && wcscmp(mode, L"wb") != 0)) mode = L"ab";
    close_output_log();   // a second open must not leak the first file
    output_log = open_private(FileLog, mode);
    if (output_log) {
        Logging = 1;
        output_log_open = true;
        write_banner(output_log, OUTPUT_LOG_BEGIN, now());
    } else {
        Logging = 0;
        MessageBoxW(Main, L"Cannot open log file", FileLog, MB_ICONERROR);
    }
    if (main_menu)
        EnableMenuItem(main_menu, CMD_START_LOGGING, MF_BYCOMMAND | (Logging ? MF_GRAYED : MF_ENABLED));
    set_directory_title();
}

void stop_logging() {
    close_output_log();
    Logging = 0;
    if (main_menu) EnableMenuItem(main_menu, CMD_START_LOGGING, MF_BYCOMMAND | MF_ENABLED);
    set_directory_title();
}
