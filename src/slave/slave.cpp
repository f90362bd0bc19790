// The slave command processor behind three anonymous pipes.
#include "slave/slave.h"
#include "slave/reader.h"
#include "slave/slave_text.h"
#include "app/app.h"
#include "app/commands.h"
#include "app/timing.h"
#include "logs/env_text.h"
#include "logs/logs.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include <richedit.h>
#include <stdio.h>

HANDLE stdin_write;
HANDLE stdout_read, stderr_read;
PROCESS_INFORMATION slave_process;
HWND slave_console;
bool hide_at_first_prompt;
DWORD slave_start_error;
char conversion_buffer[CONVERSION_BUFFER_BYTES];

static void close_handle(HANDLE* h) {
    if (*h) CloseHandle(*h);
    *h = NULL;
}

// Our copies of the slave's ends: the slave holds its own once it runs, and while we held the
// write ends we could never see a pipe whose writer has gone.
static void close_slave_ends(HANDLE* stdin_read, HANDLE* stdout_write, HANDLE* stderr_write) {
    close_handle(stdin_read);
    close_handle(stdout_write);
    close_handle(stderr_write);
}

void close_slave_link() {
    close_handle(&slave_process.hThread);
    close_handle(&slave_process.hProcess);
    close_handle(&stdout_read);
    close_handle(&stderr_read);
    close_handle(&stdin_write);
}

// Appends a folder and the separator to a search list, unless it is empty: an empty entry would
// stand for the current folder.
static void add_search_folder(wchar_t* list, int* used, const wchar_t* folder, int length) {
    if (length <= 0) return;
    wmemcpy(list + *used, folder, length);
    *used += length;
    list[(*used)++] = ';';
    list[*used] = 0;
}

// How much of what we wrote the slave has not read yet cannot be asked on Windows without
// waiting. The read end is the very file object the slave reads with a synchronous ReadFile while
// it waits at its prompt, and Windows serialises synchronous I/O on a file object, so
// PeekNamedPipe on it waits for that read, which ends only when we write: a deadlock (Wine does
// not serialise, so no test here sees it). Our own write end's free quota
// (NtQueryInformationFile, FilePipeLocalInformation) is no measure either: a pending read is
// subtracted from it, so a slave waiting at its prompt makes an empty pipe look full.
//
// So the write end is put in non-blocking mode (PIPE_NOWAIT; SetNamedPipeHandleState takes an
// anonymous pipe's handle): WriteFile then takes what fits and returns at once, and a slave that
// reads nothing only fills the pipe's buffer, never stops the loop that must keep reading its
// output. What the pipe does not take waits here, and goes when the slave reads again.
bool make_write_end_nonblocking(HANDLE write_end) {
    DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    return SetNamedPipeHandleState(write_end, &mode, NULL, NULL) != 0;
}

// What is sent to the slave waits here and goes out from the message loop, 10 bytes every 50 ms.
// The queue's timer on Main (its messages are dispatched to send_timer_proc, not to Main) keeps
// the loop turning and makes the reader yield while it drains a flood, so waiting bytes go out
// then too. It runs a little past the last byte, so that the answer is read as soon as it comes
// rather than at the next tick of the poll timer.
enum {
    SEND_TIMER_ID = 98,
    SEND_TIMER_MS = 10,
    ANSWER_WATCH_MS = 500,       // fast polling after the last chunk
    DUE_SLACK_MS = 2,            // a timer that fires a little early still sends
    FLUSH_STALL_MS = 1000,
    STOP_WAIT_MS = 1000,
};
static char send_queue[SEND_QUEUE_BYTES];
static size_t queue_start, queue_end;   // waiting bytes are send_queue[queue_start..queue_end)
static double next_send_ms;             // no chunk goes out before this time
static double last_chunk_ms;
static bool send_timer_running;

static void CALLBACK send_timer_proc(HWND, UINT, UINT_PTR, DWORD);

static void set_send_timer(bool on) {
    if (on == send_timer_running || !Main) return;
    if (on) send_timer_running = SetTimer(Main, SEND_TIMER_ID, SEND_TIMER_MS, send_timer_proc) != 0;
    else {
        KillTimer(Main, SEND_TIMER_ID);
        send_timer_running = false;
    }
}

// Whatever waits is dropped. The grid is kept: the next chunk still waits its 50 ms.
static void drop_waiting_input() { queue_start = queue_end = 0; }

size_t slave_input_queued() { return queue_end - queue_start; }

// Writes the next chunk when it is due.
static void send_next_chunk() {
    if (queue_start == queue_end) return;
    if (!stdin_write) {
        drop_waiting_input();   // no slave to take them: the bytes are lost, as with a broken pipe
        return;
    }
    hold_fine_timer();
    double now = now_ms();
    if (now + DUE_SLACK_MS < next_send_ms) return;
    size_t n = queue_end - queue_start;
    if (n > SEND_CHUNK_BYTES) n = SEND_CHUNK_BYTES;
    DWORD written = 0;
    if (!WriteFile(stdin_write, send_queue + queue_start, (DWORD)n, &written, NULL)) {
        drop_waiting_input();   // the slave has gone
        return;
    }
    if (written == 0) return;   // the pipe is full: the slave is busy, the bytes wait their turn
    queue_start += written;
    if (queue_start == queue_end) drop_waiting_input();
    // Chunks keep to a 50 ms grid, across sends too; after a pause the grid starts from now.
    next_send_ms = (now - next_send_ms < SEND_CHUNK_PAUSE_MS ? next_send_ms : now) + SEND_CHUNK_PAUSE_MS;
    last_chunk_ms = now;
}

static void CALLBACK send_timer_proc(HWND, UINT, UINT_PTR, DWORD) {
    send_next_chunk();
    if (queue_start == queue_end && now_ms() - last_chunk_ms > ANSWER_WATCH_MS) set_send_timer(false);
}

bool send_to_slave_as_one(const char* first, const char* second) {
    size_t a = strlen(first), b = strlen(second);
    if (!a && !b) return true;
    if (!stdin_write) return false;
    if (SEND_QUEUE_BYTES - queue_end < a + b) {
        memmove(send_queue, send_queue + queue_start, queue_end - queue_start);
        queue_end -= queue_start;
        queue_start = 0;
    }
    if (SEND_QUEUE_BYTES - queue_end < a + b) {
        print_error_text(L"\r\nTyped too far ahead: the slave has not taken what waits for it.\r\n");
        return false;
    }
    memcpy(send_queue + queue_end, first, a);
    memcpy(send_queue + queue_end + a, second, b);
    queue_end += a + b;
    send_next_chunk();
    set_send_timer(true);
    return true;
}

bool send_to_slave(const char* bytes) { return send_to_slave_as_one(bytes, ""); }

void flush_slave_input() {
    double deadline = now_ms() + FLUSH_STALL_MS;
    while (queue_start != queue_end && now_ms() < deadline) {
        size_t before = queue_end - queue_start;
        send_next_chunk();
        if (queue_end - queue_start != before) deadline = now_ms() + FLUSH_STALL_MS;
        if (queue_start != queue_end) Sleep(SEND_RETRY_MS);
    }
}

// The slave reads with the console's starting page (OEM) until it runs CHCP: the prompt line is
// plain ASCII, and whatever is converted comes after the CHCP line.
void send_prompt_line() {
    send_to_slave("prompt $Q$Q$G$S$p$g$s\r\n");
    send_code_page_line();
    if (AddPath[0]) {
        wchar_t line[PATH_VALUE_MAX + 32];
        if (build_add_path_command(line, PATH_VALUE_MAX + 32, AddPath) > 0) send_text_to_slave(line);
    }
}

// The slave's console window. On Windows the console window belongs to conhost, but
// GetWindowThreadProcessId reports the id of its client, the slave, so the search is by process
// id. A process can have other top-level windows (under Wine every GUI thread has a "Default IME"
// window), and closing one of those ends nothing, so only a console window counts, or the window
// of the line-mode stand-in that the tests use instead of cmd.exe, which ends the stand-in when
// it is closed.
static BOOL CALLBACK match_console(HWND window, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != slave_process.dwProcessId) return TRUE;
    wchar_t name[32];
    if (!GetClassNameW(window, name, 32)) return TRUE;
    if (lstrcmpW(name, L"ConsoleWindowClass") != 0 && lstrcmpW(name, L"TavroPipeCmd") != 0) return TRUE;
    *(HWND*)found = window;
    return FALSE;
}

HWND find_slave_console_window() {
    HWND found = NULL;
    if (slave_process.dwProcessId) EnumWindows(match_console, (LPARAM)&found);
    return found;
}

static bool is_file(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static bool copy_bounded(wchar_t* to, int capacity, const wchar_t* from) {
    if ((int)wcslen(from) >= capacity) return false;
    wcscpy(to, from);
    return true;
}

// The command processor is always named by full path. CreateProcess with a bare name searches the
// current folder, which is the slave's because Tavro follows it, before the system folder: a
// cmd.exe in a folder the user changed into (a download, an unpacked archive) would run with the
// user's rights. %ComSpec% names it when it is a full path to a file, else the system folder's.
// A 32-bit Tavro on 64-bit Windows would get SysWOW64's through file-system redirection, in which
// "dir C:\Windows\System32" lists SysWOW64: Sysnative names the real System32 from there.
bool command_processor_path(wchar_t* path, int capacity) {
    wchar_t chosen[MAX_PATH + 16], system_dir[MAX_PATH + 1];
    UINT n = GetSystemDirectoryW(system_dir, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return false;
    DWORD m = GetEnvironmentVariableW(L"ComSpec", chosen, MAX_PATH + 1);
    if (m == 0 || m > MAX_PATH || !is_absolute_path(chosen) || !is_file(chosen))
        _snwprintf(chosen, MAX_PATH + 15, L"%s\\cmd.exe", system_dir), chosen[MAX_PATH + 15] = 0;
    BOOL wow64 = FALSE;
    wchar_t sysnative[MAX_PATH + 16], moved[MAX_PATH + 16];
    UINT w = GetWindowsDirectoryW(sysnative, MAX_PATH);
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64 && w > 0 && w < MAX_PATH) {
        wcscat(sysnative, L"\\Sysnative");
        if (move_to_folder(chosen, system_dir, sysnative, moved, MAX_PATH + 16) && is_file(moved))
            wcscpy(chosen, moved);
    }
    return copy_bounded(path, capacity, chosen);
}

// A bare program name is looked for where CreateProcess would look, but never in the current
// folder: Tavro's own folder, the system folders and the folders of PATH given in full.
static bool search_program(const wchar_t* name, wchar_t* found, int capacity) {
    enum { SEARCH_CHARS = 32767 + 3 * (MAX_PATH + 1) };
    static wchar_t path_value[32768], search[SEARCH_CHARS];
    wchar_t folder[MAX_PATH + 1];
    int used = 0;
    search[0] = 0;
    DWORD n = GetModuleFileNameW(NULL, folder, MAX_PATH);
    wchar_t* slash = n > 0 && n < MAX_PATH ? (folder[n] = 0, wcsrchr(folder, '\\')) : NULL;
    if (slash) add_search_folder(search, &used, folder, (int)(slash - folder));
    n = GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (n <= MAX_PATH) add_search_folder(search, &used, folder, (int)n);
    n = GetWindowsDirectoryW(folder, MAX_PATH + 1);
    if (n <= MAX_PATH) add_search_folder(search, &used, folder, (int)n);
    n = GetEnvironmentVariableW(L"PATH", path_value, 32768);
    if (n > 0 && n < 32768) keep_absolute_path_entries(path_value, search + used, SEARCH_CHARS - used);
    if (used > 0 && !search[used]) search[used - 1] = 0;   // no empty entry at the end either
    n = SearchPathW(search, name, L".exe", (DWORD)capacity, found, NULL);
    return n > 0 && (int)n < capacity;
}

// The slave's command line: App, whose program is named by full path. An App with a folder in it
// is used as given.
static bool slave_command_line(wchar_t* out, int capacity) {
    int start, length;
    const wchar_t* rest;
    split_program(App, &start, &length, &rest);
    if (length == 0 || names_a_folder(App + start, length)) return copy_bounded(out, capacity, App);
    wchar_t name[APP_MAX + 1], program[MAX_PATH + 16];
    wmemcpy(name, App + start, length);
    name[length] = 0;
    bool found = is_command_processor_name(name, length) ? command_processor_path(program, MAX_PATH + 16)
                                                         : search_program(name, program, MAX_PATH + 16);
    if (!found) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    return join_command_line(program, rest, out, capacity);
}

enum { ATTRIBUTE_LIST_BYTES = 256 };   // one attribute: 48 bytes on 64-bit Windows

// Starts the slave on the three pipe ends from a zeroed STARTUPINFO: our own (GetStartupInfo) can
// carry lpReserved2, by which a C runtime that started us passes its file descriptors on. Only
// the pipe ends are inherited where Windows takes a handle list (from Vista on): any other
// inheritable handle the process holds, one a library opened say, stays here.
static BOOL create_slave_process(wchar_t* command_line, HANDLE input, HANDLE output, HANDLE error) {
    STARTUPINFOEXW si = {};
    si.StartupInfo.cb = sizeof si.StartupInfo;
    si.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    // Hidden, or minimised without taking the focus from us. Either way Windows 11 never hands the
    // console to Windows Terminal, whose window would ignore the WM_CLOSE that ends the slave.
    si.StartupInfo.wShowWindow = CmdShow ? SW_SHOWMINNOACTIVE : SW_HIDE;
    si.StartupInfo.hStdInput = input;
    si.StartupInfo.hStdOutput = output;
    si.StartupInfo.hStdError = error;
    HANDLE inherited[3] = {input, output, error};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(NULL, 1, 0, &size);   // fails by design, telling the size
    alignas(8) unsigned char list_bytes[ATTRIBUTE_LIST_BYTES];
    LPPROC_THREAD_ATTRIBUTE_LIST list = (LPPROC_THREAD_ATTRIBUTE_LIST)list_bytes;
    bool listed = size <= sizeof list_bytes && InitializeProcThreadAttributeList(list, 1, 0, &size);
    DWORD flags = 0;
    if (listed && UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                            (error == output ? 2 : 3) * sizeof(HANDLE), NULL, NULL)) {
        si.StartupInfo.cb = sizeof si;
        si.lpAttributeList = list;
        flags = EXTENDED_STARTUPINFO_PRESENT;
    }
    BOOL started = CreateProcessW(NULL, command_line, NULL, NULL, TRUE, flags, NULL, NULL, &si.StartupInfo,
                                  &slave_process);
    DWORD failure = GetLastError();
    if (listed) DeleteProcThreadAttributeList(list);
    SetLastError(failure);
    return started;
}

DWORD bytes_waiting(HANDLE pipe) {
    DWORD n = 0;
    if (!pipe || !PeekNamedPipe(pipe, NULL, 0, NULL, &n, NULL)) return 0;
    return n;
}

// The error line in the pane, and the error kept for the program's end.
static void refuse_start(const wchar_t* what) {
    slave_start_error = GetLastError();
    if (!slave_start_error) slave_start_error = ERROR_GEN_FAILURE;
    report_system_error(what);
}

void start_slave() {
    // Inheritable handles with the creating user's default security, on every platform: a null
    // DACL would let anyone on the machine who finds the pipes read the slave's output or type
    // into it.
    SECURITY_ATTRIBUTES sa = {};
    sa.nLength = sizeof sa;
    sa.bInheritHandle = TRUE;
    sa.lpSecurityDescriptor = NULL;

    HANDLE stdin_read = NULL, stdout_write = NULL, stderr_write = NULL;
    wchar_t command_line[APP_MAX + MAX_PATH + 20];
    if (!slave_command_line(command_line, APP_MAX + MAX_PATH + 20)) {
        refuse_start(L"CreateProcess");
        return;
    }
    const wchar_t* failed = NULL;
    if (!CreatePipe(&stdin_read, &stdin_write, &sa, 0) || !CreatePipe(&stdout_read, &stdout_write, &sa, 0) ||
        !CreatePipe(&stderr_read, &stderr_write, &sa, 0))
        failed = L"CreatePipe";
    else if (!make_write_end_nonblocking(stdin_write))
        failed = L"SetNamedPipeHandleState";   // a blocking write into a full pipe would stop us all
    if (failed) {
        refuse_start(failed);
        close_slave_ends(&stdin_read, &stdout_write, &stderr_write);
        close_slave_link();
        return;
    }
    // Only the slave's ends are inherited. Were ours inherited too, the slave and its children
    // would hold the read ends of their own output: once we are gone, a child writing into a
    // full pipe would wait for ever instead of failing.
    SetHandleInformation(stdin_write, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(stdout_read, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(stderr_read, HANDLE_FLAG_INHERIT, 0);

    // Without colouring, both streams share one pipe and keep their relative order.
    BOOL started =
        create_slave_process(command_line, stdin_read, stdout_write, HighlightErrs ? stderr_write : stdout_write);
    DWORD error = GetLastError();
    close_slave_ends(&stdin_read, &stdout_write, &stderr_write);
    if (!started) {
        slave_process = PROCESS_INFORMATION();
        close_slave_link();
        SetLastError(error);
        refuse_start(L"CreateProcess");
        return;
    }
    slave_start_error = 0;
    PIDlastCMD = (int)slave_process.dwProcessId;
    write_settings();
    ZeroMemory(conversion_buffer, sizeof conversion_buffer);

    slave_console = NULL;
    for (int attempt = 0; attempt < CONSOLE_SEARCH_TRIES && !slave_console; attempt++) {
        Sleep(CONSOLE_SEARCH_STEP_MS);
        slave_console = find_slave_console_window();
    }
    if (!CmdShow && slave_console) {
        Sleep(CONSOLE_SETTLE_MS);
        PostMessageW(Main, WM_COMMAND, CMD_APPLY_CMD_SHOW, 0);
        hide_at_first_prompt = true;
    }
    if (ErrorLog) SendMessageW(Main, WM_COMMAND, CMD_BEGIN_ERROR_LOG, 0);
}

void stop_slave() {
    // Whatever still waits was meant for this slave, not for the next one.
    drop_waiting_input();
    end_error_log();
    if (!slave_console) slave_console = find_slave_console_window();
    if (slave_console) {
        ShowWindow(slave_console, SW_SHOWMINNOACTIVE);
        PostMessageW(slave_console, WM_CLOSE, 0, 0);
    } else if (stdin_write) {
        // Straight into the pipe, never through the queue: a line that the pipe does not take
        // now must not wait for the next slave, which would read it first and end. On a line of
        // its own: the slave may hold the first part of a line whose rest was just dropped.
        DWORD written = 0;
        WriteFile(stdin_write, "\r\nexit\r\n", 8, &written, NULL);
        Sleep(STOP_CLOSE_MS);
    }
    Sleep(STOP_SETTLE_MS);
    // Closing its console ends the slave and what runs in it. One that is still there (no console
    // window was found, and it is too busy to read its exit) is ended here, or it would run on
    // unseen with nobody to read its output.
    if (slave_process.hProcess && WaitForSingleObject(slave_process.hProcess, STOP_WAIT_MS) == WAIT_TIMEOUT)
        TerminateProcess(slave_process.hProcess, 1);
    close_slave_link();
    empty_pending_tails();
    start_markers_pending = 0;   // their echoes would have come from the slave that is gone
}

void interrupt_slave() {
    stop_slave();
    print_to_output_pane(L"\r\n\r\n\t**INTERRUPTED**\r\n\r\n");
    InvalidateRect(Text, NULL, FALSE);
    SendMessageW(Text, WM_SETREDRAW, TRUE, 0);
    UpdateWindow(Text);
    SendMessageW(Text, EM_SCROLL, SB_PAGEDOWN, 0);
    start_slave();
    Sleep(RESTART_GAP_MS);
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
