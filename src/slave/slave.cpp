// The slave command processor behind three anonymous pipes.
#include "slave/slave.h"
#include "slave/reader.h"
#include "app/app.h"
#include "app/commands.h"
#include "logs/env_text.h"
#include "logs/logs.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include <richedit.h>
#include <stdio.h>

HANDLE stdin_read, stdin_write;
HANDLE stdout_read, stdout_write;
HANDLE stderr_read, stderr_write;
PROCESS_INFORMATION slave_process;
HWND slave_console;
bool hide_at_first_prompt;
char conversion_buffer[CONVERSION_BUFFER_BYTES];

static void close_handle(HANDLE* h) {
    if (*h) CloseHandle(*h);
    *h = NULL;
}

static void close_pipes() {
    close_handle(&stdout_write);
    close_handle(&stdout_read);
    close_handle(&stderr_write);
    close_handle(&stderr_read);
    close_handle(&stdin_read);
    close_handle(&stdin_write);
}

static int wide_bytes(int code_page, const wchar_t* text, int count) {
    return WideCharToMultiByte(code_page, 0, text, count, NULL, 0, NULL, NULL);
}

const char* convert_for_slave(const wchar_t* text) {
    const int cap = CONVERSION_BUFFER_BYTES - 1;
    int len = (int)wcslen(text);
    // Cut a text that would not fit at the longest prefix that does, on a character boundary.
    if (len && wide_bytes(CodePage, text, len) > cap) {
        int lo = 0, hi = len;
        while (lo < hi) {
            int mid = (lo + hi + 1) / 2;
            if (wide_bytes(CodePage, text, mid) <= cap) lo = mid; else hi = mid - 1;
        }
        len = lo;
        if (len && IS_HIGH_SURROGATE(text[len - 1])) len--;
    }
    int n = len ? WideCharToMultiByte(CodePage, 0, text, len, conversion_buffer, cap, NULL, NULL) : 0;
    conversion_buffer[n > 0 ? n : 0] = 0;
    return conversion_buffer;
}

// What is sent to the slave waits here and goes out from the message loop, 10 bytes every 50 ms,
// and only while the slave's input pipe has room: a blocking write into a full pipe would stop
// the loop that must keep reading the slave's output, and a slave that waits on its output while
// we wait on its input never ends. The queue's timer on Main (its messages are dispatched to
// send_timer_proc, not to Main) keeps the loop turning and makes the reader yield while it drains
// a flood, so waiting bytes go out then too.
enum {
    SEND_QUEUE_BYTES = 65536,     // typed ahead beyond this is refused, not cut
    SLAVE_INPUT_ROOM = 1024,      // unread bytes we leave in the pipe, well below what it holds
    SEND_TIMER_ID = 98,
    FLUSH_STALL_MS = 1000,
};
static char send_queue[SEND_QUEUE_BYTES];
static size_t queue_start, queue_end;   // waiting bytes are send_queue[queue_start..queue_end)
static ULONGLONG next_send_ms;          // no chunk goes out before this time
static bool send_timer_running;

static void CALLBACK send_timer_proc(HWND, UINT, UINT_PTR, DWORD);

static void set_send_timer(bool on) {
    if (on == send_timer_running || !Main) return;
    if (on) send_timer_running = SetTimer(Main, SEND_TIMER_ID, SEND_CHUNK_PAUSE_MS, send_timer_proc) != 0;
    else {
        KillTimer(Main, SEND_TIMER_ID);
        send_timer_running = false;
    }
}

static void drop_waiting_input() {
    queue_start = queue_end = 0;
    next_send_ms = 0;
    set_send_timer(false);
}

// Writes the next chunk when it is due and the slave has taken most of what it was given.
static void send_next_chunk() {
    if (queue_start == queue_end) {
        drop_waiting_input();
        return;
    }
    DWORD unread = 0;
    if (!stdin_write || !stdin_read || !PeekNamedPipe(stdin_read, NULL, 0, NULL, &unread, NULL)) {
        drop_waiting_input();   // no slave to take them: the bytes are lost, as with a broken pipe
        return;
    }
    ULONGLONG now = GetTickCount64();
    if (now < next_send_ms || unread + SEND_CHUNK_BYTES > SLAVE_INPUT_ROOM) return;
    size_t n = queue_end - queue_start;
    if (n > SEND_CHUNK_BYTES) n = SEND_CHUNK_BYTES;
    DWORD written = 0;
    WriteFile(stdin_write, send_queue + queue_start, (DWORD)n, &written, NULL);
    queue_start += n;
    // Chunks keep to a 50 ms grid; after a pause the grid starts again from now.
    next_send_ms = now - next_send_ms < SEND_CHUNK_PAUSE_MS ? next_send_ms + SEND_CHUNK_PAUSE_MS
                                                             : now + SEND_CHUNK_PAUSE_MS;
    if (queue_start == queue_end) drop_waiting_input();
}

static void CALLBACK send_timer_proc(HWND, UINT, UINT_PTR, DWORD) { send_next_chunk(); }

void send_to_slave(const char* bytes) {
    size_t n = strlen(bytes);
    if (!n || !stdin_write) return;
    if (SEND_QUEUE_BYTES - queue_end < n) {
        memmove(send_queue, send_queue + queue_start, queue_end - queue_start);
        queue_end -= queue_start;
        queue_start = 0;
    }
    if (SEND_QUEUE_BYTES - queue_end < n) {
        set_output_colour(Text, SCF_SELECTION, ErrorText);
        print_to_output_pane(L"\r\nTyped too far ahead: the slave has not taken what waits for it.\r\n");
        restore_normal_colour(Text, SCF_SELECTION);
        return;
    }
    memcpy(send_queue + queue_end, bytes, n);
    queue_end += n;
    send_next_chunk();
    if (queue_start != queue_end) set_send_timer(true);
}

void flush_slave_input() {
    ULONGLONG deadline = GetTickCount64() + FLUSH_STALL_MS;
    while (queue_start != queue_end && GetTickCount64() < deadline) {
        size_t before = queue_end - queue_start;
        send_next_chunk();
        if (queue_end - queue_start != before) deadline = GetTickCount64() + FLUSH_STALL_MS;
        if (queue_start != queue_end) Sleep(10);
    }
}

void send_prompt_line() {
    convert_for_slave(L"prompt $Q$Q$G$S$p$g$s");
    size_t used = strlen(conversion_buffer);
    snprintf(conversion_buffer + used, sizeof conversion_buffer - used, "\r\nCHCP %d\r\n", slave_code_page);
    send_to_slave(conversion_buffer);
}

static BOOL CALLBACK match_console(HWND window, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != slave_process.dwProcessId) return TRUE;
    *(HWND*)found = window;
    return FALSE;
}

HWND find_slave_console_window() {
    HWND found = NULL;
    if (slave_process.dwProcessId) EnumWindows(match_console, (LPARAM)&found);
    return found;
}

void start_slave() {
    // Inheritable handles with the creating user's default security, on every platform: a null
    // DACL would let anyone on the machine who finds the pipes read the slave's output or type
    // into it.
    SECURITY_ATTRIBUTES sa = {};
    sa.nLength = sizeof sa;
    sa.bInheritHandle = TRUE;
    sa.lpSecurityDescriptor = NULL;

    if (!CreatePipe(&stdin_read, &stdin_write, &sa, 0) ||
        !CreatePipe(&stdout_read, &stdout_write, &sa, 0) ||
        !CreatePipe(&stderr_read, &stderr_write, &sa, 0)) {
        report_system_error(L"CreatePipe");
        close_pipes();
        return;
    }
    // Only the slave's ends are inherited. Were ours inherited too, the slave and its children
    // would hold the read ends of their own output: once we are gone, a child writing into a
    // full pipe would wait for ever instead of failing.
    SetHandleInformation(stdin_write, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(stdout_read, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(stderr_read, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW si;
    GetStartupInfoW(&si);
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_MINIMIZE;
    si.hStdInput = stdin_read;
    si.hStdOutput = stdout_write;
    // Without colouring, both streams share one pipe and keep their relative order.
    si.hStdError = HighlightErrs ? stderr_write : stdout_write;

    wchar_t command_line[APP_MAX + 1];
    lstrcpynW(command_line, App, APP_MAX + 1);
    if (!CreateProcessW(NULL, command_line, NULL, NULL, TRUE, 0, NULL, NULL, &si, &slave_process)) {
        report_system_error(L"CreateProcess");
        close_pipes();
        return;
    }
    PIDlastCMD = (int)slave_process.dwProcessId;
    write_settings();
    ZeroMemory(conversion_buffer, sizeof conversion_buffer);

    slave_console = NULL;
    for (int attempt = 0; attempt < 11 && !slave_console; attempt++) {
        Sleep(50);
        slave_console = find_slave_console_window();
    }
    if (!CmdShow && slave_console) {
        Sleep(100);
        PostMessageW(Main, WM_COMMAND, CMD_APPLY_CMD_SHOW, 0);
        hide_at_first_prompt = true;
    }
    if (ErrorLog) SendMessageW(Main, WM_COMMAND, CMD_BEGIN_ERROR_LOG, 0);
    if (AddPath[0]) {
        wchar_t line[PATH_VALUE_MAX + 32];
        if (build_add_path_command(line, PATH_VALUE_MAX + 32, AddPath) > 0) send_to_slave(convert_for_slave(line));
    }
}

void stop_slave() {
    // Whatever still waits was meant for this slave, not for the next one.
    drop_waiting_input();
    wchar_t kill_command[64];
    _snwprintf(kill_command, 63, L"cmd.exe /c taskkill /PID %lu", (unsigned long)slave_process.dwProcessId);
    kill_command[63] = 0;
    end_error_log();
    if (!slave_console) slave_console = find_slave_console_window();
    if (slave_console) ShowWindow(slave_console, SW_SHOWMINNOACTIVE);

    STARTUPINFOW si;
    GetStartupInfoW(&si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION killer;
    if (CreateProcessW(NULL, kill_command, NULL, NULL, FALSE, 0, NULL, NULL, &si, &killer)) {
        CloseHandle(killer.hThread);
        CloseHandle(killer.hProcess);
    }
    if (slave_console) {
        PostMessageW(slave_console, WM_CLOSE, 0, 0);
    } else if (stdin_write) {
        send_to_slave("exit\r\n");
        Sleep(100);
    }
    Sleep(100);
    if (stdin_write) {
        close_handle(&slave_process.hThread);
        close_handle(&slave_process.hProcess);
        close_pipes();
    }
    empty_pending_tails();
}

void interrupt_slave() {
    stop_slave();
    print_to_output_pane(L"\r\n\r\n\t**INTERRUPTED**\r\n\r\n");
    InvalidateRect(Text, NULL, FALSE);
    SendMessageW(Text, WM_SETREDRAW, TRUE, 0);
    UpdateWindow(Text);
    SendMessageW(Text, EM_SCROLL, SB_PAGEDOWN, 0);
    start_slave();
    Sleep(50);
    send_prompt_line();
}

bool run_program_directly(wchar_t* command_line, int show_command) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = (WORD)show_command;
    PROCESS_INFORMATION pi;
    // Before the first prompt there is no tracked directory: the program's own is used.
    const wchar_t* directory = tracked_directory[0] ? tracked_directory : NULL;
    if (!CreateProcessW(NULL, command_line, NULL, NULL, FALSE, 0, NULL, directory, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}
