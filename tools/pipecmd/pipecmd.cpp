// pipecmd: a line-mode command processor that can be driven through pipes.
// It reads its standard input as a byte stream of any chunking, echoes each
// line after its prompt, keeps the state that must outlive a command (current
// directories, environment, prompt, code page) itself and runs every other
// line in a child "cmd.exe /c" with the same standard handles.
//
// Like the platform's command processor with its console, it owns a top-level
// window (hidden; it shows pipecmd's own output when shown). Closing that
// window ends pipecmd and everything it started, so whoever ends a command
// processor by closing its window (Tavro's interrupt, taskkill without /F)
// can end this one while a command runs. Its processes live in a job that
// kills them all; programs run through "start" leave the job and live on.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <wchar.h>

#include <algorithm>

#include "pipecmd_logic.h"

namespace {

const char kBanner[] = "Tavro line-mode command processor [Version 1.0]\r\n\r\n";
const wchar_t kNoPath[] = L"The system cannot find the path specified.\r\n";
const wchar_t kNoDrive[] = L"The system cannot find the drive specified.\r\n";
const wchar_t kTooLong[] = L"The input line is too long.\r\n";
const wchar_t kSyntax[] = L"The syntax of the command is incorrect.\r\n";

enum { kTextMax = PIPECMD_LINE_MAX + 1, kEnvEntriesMax = 4096 };

HANDLE g_in, g_out, g_err;
HANDLE g_job;            // this process and its children, unless start let them go
HANDLE g_child;          // the child running now, for ending it without a job
UINT g_codepage;         // bytes on the pipes are in this code page
DWORD g_errorlevel;      // exit code of the last child
bool g_echo = true;      // prompt and echo are shown

void view_append(const char* s, size_t n);

void write_bytes(HANDLE h, const char* s, size_t n) {
  if (h == g_out || h == g_err) view_append(s, n);
  while (n > 0) {
    DWORD done = 0;
    DWORD part = n > 65536 ? 65536 : (DWORD)n;
    if (!WriteFile(h, s, part, &done, nullptr) || done == 0) return;
    s += done;
    n -= done;
  }
}

// Converts to the current code page in pieces that never split a surrogate
// pair. WriteFile is unbuffered, so every write reaches the pipe at once.
void write_text(HANDLE h, const wchar_t* s) {
  static char bytes[4096 * 4];
  size_t n = wcslen(s);
  while (n > 0) {
    size_t part = n > 4096 ? 4096 : n;
    if (part < n && s[part - 1] >= 0xD800 && s[part - 1] <= 0xDBFF) part--;
    int len = WideCharToMultiByte(g_codepage, 0, s, (int)part, bytes,
                                  (int)sizeof bytes, nullptr, nullptr);
    if (len > 0) write_bytes(h, bytes, (size_t)len);
    s += part;
    n -= part;
  }
}

void out(const wchar_t* s) { write_text(g_out, s); }
void err(const wchar_t* s) { write_text(g_err, s); }

// ---- The window ------------------------------------------------------------
//
// ReadFile on an anonymous pipe cannot be waited on together with window
// messages, so the window has a thread of its own. It only shows text and
// ends the process; the command processor's state stays on the main thread.

const wchar_t kWindowClass[] = L"TavroPipeCmd";
const wchar_t kWindowTitle[] = L"Tavro line-mode command processor";
enum { kViewBytes = 16384, WM_VIEW_CHANGED = WM_APP + 1, kRestoreTimer = 1 };

CRITICAL_SECTION g_view_lock;
char g_view[kViewBytes];      // the end of what pipecmd itself wrote
size_t g_view_len;
HWND g_window, g_view_edit;
volatile LONG g_view_posted;

void view_append(const char* s, size_t n) {
  if (!g_window) return;
  EnterCriticalSection(&g_view_lock);
  if (n >= kViewBytes) {
    s += n - kViewBytes / 2;
    n = kViewBytes / 2;
  }
  if (g_view_len + n > kViewBytes) {
    size_t drop = g_view_len + n - kViewBytes / 2;
    if (drop > g_view_len) drop = g_view_len;
    memmove(g_view, g_view + drop, g_view_len - drop);
    g_view_len -= drop;
  }
  memcpy(g_view + g_view_len, s, n);
  g_view_len += n;
  LeaveCriticalSection(&g_view_lock);
  if (InterlockedExchange(&g_view_posted, 1) == 0)
    PostMessageW(g_window, WM_VIEW_CHANGED, 0, 0);
}

void show_view() {
  static wchar_t text[kViewBytes + 1];
  InterlockedExchange(&g_view_posted, 0);
  EnterCriticalSection(&g_view_lock);
  int n = MultiByteToWideChar(g_codepage, 0, g_view, (int)g_view_len, text, kViewBytes);
  LeaveCriticalSection(&g_view_lock);
  text[n > 0 ? n : 0] = 0;
  SetWindowTextW(g_view_edit, text);
  SendMessageW(g_view_edit, EM_SETSEL, (WPARAM)-1, -1);
  SendMessageW(g_view_edit, EM_SCROLLCARET, 0, 0);
}

// Ends this process and everything it started: the job holds them all; without
// one, at least the command running now goes.
void end_everything() {
  if (g_job) TerminateJobObject(g_job, 1);
  if (g_child) TerminateProcess(g_child, 1);
  ExitProcess(1);
}

LRESULT CALLBACK window_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      g_view_edit = CreateWindowExW(
          0, L"EDIT", L"",
          WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
          0, 0, 0, 0, w, nullptr, GetModuleHandleW(nullptr), nullptr);
      SendMessageW(g_view_edit, WM_SETFONT, (WPARAM)GetStockObject(ANSI_FIXED_FONT), 0);
      return 0;
    case WM_SIZE:
      MoveWindow(g_view_edit, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      return 0;
    case WM_VIEW_CHANGED:
      show_view();
      return 0;
    case WM_WINDOWPOSCHANGING:
      // Tavro shows a command processor's window minimized. Minimized, this
      // window has no client area, and without a window manager to iconify
      // it X keeps it mapped unpainted, so a window shown minimized comes up
      // restored. A slave being stopped is shown minimized and closed at once;
      // a timer's message comes after the posted close, so that one ends
      // without flashing up.
      if ((((WINDOWPOS*)lp)->flags & SWP_SHOWWINDOW) && !IsWindowVisible(w))
        SetTimer(w, kRestoreTimer, 250, nullptr);
      break;
    case WM_TIMER:
      if (wp != kRestoreTimer) break;
      KillTimer(w, kRestoreTimer);
      if (IsWindowVisible(w) && IsIconic(w)) ShowWindow(w, SW_SHOWNOACTIVATE);
      return 0;
    case WM_CLOSE:
      end_everything();
      return 0;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

DWORD WINAPI window_thread(LPVOID ready) {
  WNDCLASSW wc;
  ZeroMemory(&wc, sizeof wc);
  wc.lpfnWndProc = window_proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = kWindowClass;
  HWND w = nullptr;
  if (RegisterClassW(&wc))
    w = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW,
                        CW_USEDEFAULT, CW_USEDEFAULT, 640, 400, nullptr, nullptr,
                        wc.hInstance, nullptr);
  // As a console window: shown as the starting program asked, so a window program's SW_HIDE keeps
  // it hidden from the start. Without a request it stays hidden; through pipes nobody watches it.
  STARTUPINFOW si;
  GetStartupInfoW(&si);
  if (w && (si.dwFlags & STARTF_USESHOWWINDOW)) ShowWindow(w, si.wShowWindow);
  g_window = w;
  SetEvent((HANDLE)ready);
  if (!w) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

void open_window() {
  InitializeCriticalSection(&g_view_lock);
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!ready) return;
  HANDLE thread = CreateThread(nullptr, 0, window_thread, ready, 0, nullptr);
  if (thread) {
    WaitForSingleObject(ready, 10000);
    CloseHandle(thread);
  }
  CloseHandle(ready);
}

// A job that ends every process in it once its last handle goes (this process
// ending in any way) and lets start's children leave it.
void enter_job() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!job) return;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
  ZeroMemory(&limits, sizeof limits);
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  if (SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                              sizeof limits) &&
      AssignProcessToJobObject(job, GetCurrentProcess())) {
    g_job = job;
    return;
  }
  CloseHandle(job);
}

void current_dir(wchar_t* buf, DWORD cap) {
  DWORD n = GetCurrentDirectoryW(cap, buf);
  if (n == 0 || n >= cap) buf[0] = 0;
}

// The directory a drive was last left in, as the per-drive variable "=X:"
// records it, or its root.
void drive_dir(wchar_t drive, wchar_t* buf, DWORD cap) {
  wchar_t name[4] = {L'=', drive, L':', 0};
  DWORD n = GetEnvironmentVariableW(name, buf, cap);
  if (n == 0 || n >= cap) {
    buf[0] = drive;
    buf[1] = L':';
    buf[2] = L'\\';
    buf[3] = 0;
  }
}

void set_drive_dir(const wchar_t* dir) {
  wchar_t drive = path_drive(dir);
  if (!drive) return;
  wchar_t name[4] = {L'=', drive, L':', 0};
  SetEnvironmentVariableW(name, dir);
}

// Keeps "=X:" of the current drive in step with the current directory.
void remember_current_dir() {
  static wchar_t cwd[kTextMax];
  current_dir(cwd, kTextMax);
  set_drive_dir(cwd);
}

long lookup_var(void*, const wchar_t* name, size_t name_len, wchar_t* value,
                size_t cap) {
  static wchar_t key[kTextMax];
  if (name_len >= kTextMax || cap == 0) return -1;
  wmemcpy(key, name, name_len);
  key[name_len] = 0;
  DWORD n = GetEnvironmentVariableW(key, value, (DWORD)cap);
  if (n >= cap) return (long)n - 1;  // too small: n counts the terminator
  if (n > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND) return (long)n;
  // The command processor's dynamic variables, unless the environment has them.
  static wchar_t dyn[kTextMax];
  if (equal_nocase(key, L"CD", 3)) {
    current_dir(dyn, kTextMax);
  } else if (equal_nocase(key, L"ERRORLEVEL", 11)) {
    _snwprintf(dyn, kTextMax, L"%lu", (unsigned long)g_errorlevel);
    dyn[kTextMax - 1] = 0;
  } else {
    return -1;
  }
  size_t len = wcslen(dyn);
  size_t copy = len < cap ? len : cap - 1;
  wmemcpy(value, dyn, copy);
  value[copy] = 0;
  return (long)len;
}

void print_prompt() {
  static wchar_t fmt[kTextMax], cwd[kTextMax], text[2 * kTextMax];
  DWORD n = GetEnvironmentVariableW(L"PROMPT", fmt, kTextMax);
  if (n == 0 || n >= kTextMax) wcscpy(fmt, kDefaultPrompt);
  current_dir(cwd, kTextMax);
  expand_prompt(fmt, cwd, text, 2 * kTextMax);
  out(text);
}

// Waits for a started program to end and releases it; its exit code. While it
// runs it is the child that closing the window ends.
DWORD wait_for_child(PROCESS_INFORMATION* pi) {
  g_child = pi->hProcess;
  WaitForSingleObject(pi->hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi->hProcess, &code);
  g_child = nullptr;
  CloseHandle(pi->hThread);
  CloseHandle(pi->hProcess);
  return code;
}

void system_dir(wchar_t* sysdir) {
  UINT n = GetSystemDirectoryW(sysdir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) wcscpy(sysdir, L"C:\\Windows\\system32");
}

// The platform's more pages on the console even when its output is a pipe,
// where nobody can answer it; this program's /more passes the text through.
const wchar_t* with_own_more(const wchar_t* line) {
  static wchar_t self[MAX_PATH + 16], replaced[kTextMax], alone[kTextMax];
  if (drop_final_more(line, alone, kTextMax)) return alone;
  if (!self[0]) {
    wchar_t path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return line;
    path[n] = 0;
    _snwprintf(self, MAX_PATH + 15, L"\"%s\" /more", path);
    self[MAX_PATH + 15] = 0;
  }
  return replace_more(line, self, replaced, kTextMax) ? replaced : line;
}

// Runs one line in the platform's command processor with this process's
// directory, environment and standard handles, and waits for it. A line run
// through start leaves the job: what it starts outlives this processor.
void run_child(const wchar_t* line, bool leave_job = false) {
  static wchar_t cmdline[2 * kTextMax + MAX_PATH + 32];
  wchar_t sysdir[MAX_PATH];
  system_dir(sysdir);
  line = with_own_more(line);
  // /s keeps the line's own quotes as they are.
  int len = _snwprintf(cmdline, sizeof cmdline / sizeof cmdline[0] - 1,
                       L"\"%s\\cmd.exe\" /s /c \"%s\"", sysdir, line);
  if (len < 0) {
    err(kTooLong);
    return;
  }
  cmdline[len] = 0;
  STARTUPINFOW si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = g_in;
  si.hStdOutput = g_out;
  si.hStdError = g_err;
  PROCESS_INFORMATION pi;
  DWORD flags = leave_job && g_job ? CREATE_BREAKAWAY_FROM_JOB : 0;
  if (!CreateProcessW(nullptr, cmdline, nullptr, nullptr, TRUE, flags, nullptr,
                      nullptr, &si, &pi)) {
    wchar_t msg[512];
    DWORD e = GetLastError();
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                        nullptr, e, 0, msg, 512, nullptr))
      _snwprintf(msg, 511, L"Error %lu\r\n", (unsigned long)e), msg[511] = 0;
    err(msg);
    g_errorlevel = 1;
    return;
  }
  g_errorlevel = wait_for_child(&pi);
}

void do_cd(const wchar_t* args) {
  static CdRequest req;
  static wchar_t cwd[kTextMax], full[kTextMax];
  if (!parse_cd(args, &req)) {
    err(kTooLong);
    return;
  }
  current_dir(cwd, kTextMax);
  if (req.kind == CD_SHOW) {
    out(cwd);
    out(L"\r\n");
    return;
  }
  if (req.kind == CD_SHOW_DRIVE) {
    wchar_t root[4] = {req.drive, L':', L'\\', 0};
    if (GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR) {
      err(kNoDrive);
      g_errorlevel = 1;
      return;
    }
    if (req.drive != path_drive(cwd)) drive_dir(req.drive, cwd, kTextMax);
    out(cwd);
    out(L"\r\n");
    return;
  }
  // A relative "X:dir" resolves against that drive's own directory.
  DWORD n = GetFullPathNameW(req.path, kTextMax, full, nullptr);
  if (n == 0 || n >= kTextMax) {
    err(kNoPath);
    g_errorlevel = 1;
    return;
  }
  wchar_t drive = path_drive(full);
  if (!req.switch_drive && drive && drive != path_drive(cwd)) {
    // Another drive without /d: only that drive's directory changes.
    DWORD attr = GetFileAttributesW(full);
    if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_DIRECTORY)) {
      err(kNoPath);
      g_errorlevel = 1;
      return;
    }
    size_t len = wcslen(full);
    if (len > 3 && full[len - 1] == L'\\') full[len - 1] = 0;  // as the prompt shows it
    set_drive_dir(full);
    return;
  }
  if (!SetCurrentDirectoryW(full)) {
    err(kNoPath);
    g_errorlevel = 1;
    return;
  }
  remember_current_dir();
}

void do_drive_switch(wchar_t drive) {
  static wchar_t dir[kTextMax];
  remember_current_dir();
  drive_dir(drive, dir, kTextMax);
  if (!SetCurrentDirectoryW(dir)) {
    err(kNoDrive);
    g_errorlevel = 1;
    return;
  }
  remember_current_dir();
}

// Lists the variables whose names start with prefix ("" for all), sorted;
// the per-drive "=X:" ones stay hidden. Returns how many were listed.
size_t list_env(const wchar_t* prefix) {
  static const wchar_t* entries[kEnvEntriesMax];
  wchar_t* block = GetEnvironmentStringsW();
  if (!block) return 0;
  size_t count = 0;
  for (const wchar_t* e = block; *e && count < kEnvEntriesMax; e += wcslen(e) + 1)
    if (e[0] != L'=' && env_entry_has_prefix(e, prefix)) entries[count++] = e;
  std::sort(entries, entries + count, env_entry_less);
  for (size_t i = 0; i < count; i++) {
    out(entries[i]);
    out(L"\r\n");
  }
  FreeEnvironmentStringsW(block);
  return count;
}

void do_set(const wchar_t* line, const wchar_t* args) {
  static SetRequest req;
  parse_set(args, &req);
  switch (req.kind) {
    case SET_LIST:
      list_env(L"");
      break;
    case SET_PREFIX:
      if (list_env(req.name) == 0) {
        err(L"Environment variable ");
        err(req.name);
        err(L" not defined\r\n");
        g_errorlevel = 1;
      }
      break;
    case SET_ASSIGN:
      SetEnvironmentVariableW(req.name, req.value[0] ? req.value : nullptr);
      break;
    case SET_OTHER:
      run_child(line);
      break;
    case SET_BAD:
      err(kSyntax);
      g_errorlevel = 1;
      break;
  }
}

void do_prompt(const wchar_t* args) {
  if (*args && !is_blank_char(*args)) args++;  // "prompt=..." and the like
  while (is_blank_char(*args)) args++;
  SetEnvironmentVariableW(L"PROMPT", *args ? args : nullptr);
}

void do_chcp(const wchar_t* args) {
  wchar_t msg[64];
  unsigned long cp = 0;
  while (is_blank_char(*args)) args++;
  if (*args) {
    if (!parse_number(args, &cp) || cp > 65535 || !IsValidCodePage((UINT)cp)) {
      err(L"Invalid code page\r\n");
      g_errorlevel = 1;
      return;
    }
    g_codepage = (UINT)cp;
    // Children writing to the console follow its code pages.
    SetConsoleCP(g_codepage);
    SetConsoleOutputCP(g_codepage);
  }
  _snwprintf(msg, 63, L"Active code page: %u\r\n", g_codepage);
  msg[63] = 0;
  out(msg);
}

void do_echo(const wchar_t* args) {
  const wchar_t* text;
  switch (parse_echo(args, &text)) {
    case ECHO_STATE: out(g_echo ? L"ECHO is on.\r\n" : L"ECHO is off.\r\n"); break;
    case ECHO_ON: g_echo = true; break;
    case ECHO_OFF: g_echo = false; break;
    case ECHO_TEXT:
      out(text);
      out(L"\r\n");
      break;
  }
}

void do_tasklist(unsigned long pid) {
  static wchar_t image[MAX_PATH + 1], line[MAX_PATH + 64];
  bool found = false;
  if (pid == GetCurrentProcessId()) {
    wchar_t path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    path[n < MAX_PATH ? n : MAX_PATH] = 0;
    const wchar_t* base = wcsrchr(path, L'\\');
    wcscpy(image, base ? base + 1 : path);
    found = true;
  } else {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap != INVALID_HANDLE_VALUE) {
      PROCESSENTRY32W pe;
      pe.dwSize = sizeof pe;
      for (BOOL ok = Process32FirstW(snap, &pe); ok && !found;
           ok = Process32NextW(snap, &pe)) {
        if (pe.th32ProcessID != pid) continue;
        wcsncpy(image, pe.szExeFile, MAX_PATH);
        image[MAX_PATH] = 0;
        found = true;
      }
      CloseHandle(snap);
    }
  }
  if (!found) {
    out(L"INFO: No tasks are running which match the specified criteria.\r\n");
    return;
  }
  format_task_line(image, pid, line, sizeof line / sizeof line[0]);
  out(line);
}

// Lines for the platform's command processor keep their references: it
// expands them itself, and a value holding "%OTHER%" must not be expanded
// twice. Only the exit code of the last child is filled in, which the child
// processor cannot know.
long keep_reference(void*, const wchar_t* name, size_t name_len, wchar_t* value,
                    size_t cap) {
  static wchar_t key[kTextMax], probe[2];
  if (name_len + 3 > cap || name_len >= kTextMax) return -1;
  wmemcpy(key, name, name_len);
  key[name_len] = 0;
  bool defined = GetEnvironmentVariableW(key, probe, 2) > 0 ||
                 GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  if (!defined && equal_nocase(key, L"ERRORLEVEL", 11))
    return lookup_var(nullptr, name, name_len, value, cap);
  // Names the child knows by itself count as defined: they close their pair.
  static const wchar_t* const kDynamic[] = {L"CD", L"DATE", L"TIME", L"RANDOM",
                                            L"CMDCMDLINE", L"CMDEXTVERSION"};
  for (const wchar_t* d : kDynamic)
    if (equal_nocase(key, d, wcslen(d) + 1)) defined = true;
  if (!defined) return -1;
  value[0] = L'%';
  wmemcpy(value + 1, name, name_len);
  value[name_len + 1] = L'%';
  value[name_len + 2] = 0;
  return (long)name_len + 2;
}

// Runs one line; returns false when it was exit, with the exit code.
bool run_line(const wchar_t* raw, int* exit_code) {
  static wchar_t buf[kTextMax], child[kTextMax];
  if (!expand_vars(raw, buf, kTextMax, lookup_var, nullptr) ||
      !expand_vars(raw, child, kTextMax, keep_reference, nullptr)) {
    err(kTooLong);
    return true;
  }
  const wchar_t* args = start_arguments(buf);
  if (args) {
    // Through the platform's start built-in, which does not wait for windows.
    static wchar_t start[kTextMax + 8];
    const wchar_t* child_args = start_arguments(child);
    _snwprintf(start, kTextMax + 7, L"start %s", child_args ? child_args : args);
    start[kTextMax + 7] = 0;
    run_child(start, true);
    return true;
  }
  const wchar_t* line = skip_line_start(buf);
  if (!*line) return true;
  if (match_builtin(line, L"rem")) return true;
  if (has_operators(line)) {
    run_child(child);
    return true;
  }
  unsigned long number = 0;
  if (wchar_t drive = drive_switch(line)) {
    do_drive_switch(drive);
  } else if ((args = match_builtin(line, L"exit"))) {
    while (is_blank_char(*args)) args++;
    if (equal_nocase(args, L"/b", 2)) args += 2;
    *exit_code = parse_number(args, &number) ? (int)number : 0;
    return false;
  } else if ((args = match_builtin(line, L"cd")) ||
             (args = match_builtin(line, L"chdir"))) {
    do_cd(args);
  } else if ((args = match_builtin(line, L"set"))) {
    do_set(child, args);
  } else if ((args = match_builtin(line, L"prompt"))) {
    do_prompt(args);
  } else if ((args = match_builtin(line, L"chcp"))) {
    do_chcp(args);
  } else if ((args = match_builtin(line, L"echo"))) {
    do_echo(args);
  } else if (match_builtin(line, L"cls")) {
    // nothing to clear on a pipe
  } else if (parse_tasklist_pid(line, &number)) {
    do_tasklist(number);
  } else {
    run_child(child);
  }
  return true;
}

// Reads one byte at a time so that bytes after the line stay in the pipe for
// the child that may read them (pause, set /p, a program asking a question).
bool read_line(LineAssembler* la) {
  line_reset(la);
  while (!la->complete) {
    char c;
    DWORD got = 0;
    if (!ReadFile(g_in, &c, 1, &got, nullptr) || got == 0) return line_finish(la);
    line_feed(la, &c, 1);
  }
  return true;
}

void make_inheritable(HANDLE h) {
  if (h && h != INVALID_HANDLE_VALUE)
    SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}


// /more: with a console to page on, the platform's more; otherwise the text
// (the files named, else standard input) passes through unchanged.
int more(const wchar_t* args) {
  if (GetFileType(g_out) == FILE_TYPE_CHAR) {
    static wchar_t line[kTextMax];
    wchar_t sysdir[MAX_PATH];
    system_dir(sysdir);
    _snwprintf(line, kTextMax - 1, L"\"%s\\more.com\" %s", sysdir, args);
    line[kTextMax - 1] = 0;
    STARTUPINFOW si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(nullptr, line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
      return 1;
    return (int)wait_for_child(&pi);
  }
  static char bytes[65536];
  auto copy = [](HANDLE from) {
    DWORD got = 0;
    while (ReadFile(from, bytes, sizeof bytes, &got, nullptr) && got > 0)
      write_bytes(g_out, bytes, got);
  };
  int files = 0, code = 0;
  int argc = 0;
  wchar_t** argv = *args ? CommandLineToArgvW(args, &argc) : nullptr;
  for (int i = 0; argv && i < argc; i++) {
    if (argv[i][0] == L'/' || argv[i][0] == L'+') continue;  // paging options
    files++;
    HANDLE f = CreateFileW(argv[i], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
      err(L"Cannot access file ");
      err(argv[i]);
      err(L"\r\n");
      code = 1;
      continue;
    }
    copy(f);
    CloseHandle(f);
  }
  if (argv) LocalFree(argv);
  if (!files) copy(g_in);
  return code;
}

// The command line after the program's name.
const wchar_t* own_arguments() {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    p++;
    while (*p && *p != L'"') p++;
    if (*p) p++;
  } else {
    while (*p && !is_blank_char(*p)) p++;
  }
  return p;
}

}  // namespace

int main() {
  g_in = GetStdHandle(STD_INPUT_HANDLE);
  g_out = GetStdHandle(STD_OUTPUT_HANDLE);
  g_err = GetStdHandle(STD_ERROR_HANDLE);
  g_codepage = GetConsoleOutputCP();
  if (!g_codepage) g_codepage = GetOEMCP();
  static wchar_t command[kTextMax];
  InvocationKind kind;
  if (!parse_invocation(own_arguments(), &kind, command, kTextMax)) {
    err(kTooLong);
    return 1;
  }
  if (kind == INVOKE_MORE) return more(command);

  make_inheritable(g_in);
  make_inheritable(g_out);
  make_inheritable(g_err);
  // Started by a window program, a console program gets a visible console
  // window of its own; when driven through pipes nobody needs to see it.
  if (GetFileType(g_in) == FILE_TYPE_PIPE) {
    HWND console = GetConsoleWindow();
    if (console) ShowWindow(console, SW_HIDE);
  }
  enter_job();
  remember_current_dir();
  int exit_code = 0;
  if (kind != INVOKE_INTERACTIVE) {
    // As cmd /c and cmd /k: no banner, no echo of the command itself.
    if (!run_line(command, &exit_code)) return exit_code;
    if (kind == INVOKE_RUN_AND_EXIT) return (int)g_errorlevel;
  }
  open_window();

  static LineAssembler la;
  static wchar_t line[kTextMax];
  if (kind == INVOKE_INTERACTIVE) write_bytes(g_out, kBanner, sizeof kBanner - 1);
  print_prompt();
  while (read_line(&la)) {
    if (g_echo) {
      write_bytes(g_out, la.bytes, la.len);
      write_bytes(g_out, "\r\n", 2);
    }
    bool blank = true;
    for (size_t i = 0; i < la.len && blank; i++)
      blank = la.bytes[i] == ' ' || la.bytes[i] == '\t';
    if (la.too_long) {
      err(kTooLong);
      blank = false;
    } else if (!blank) {
      int n = MultiByteToWideChar(g_codepage, 0, la.bytes, (int)la.len, line,
                                  kTextMax - 1);
      line[n > 0 ? n : 0] = 0;
      if (!run_line(line, &exit_code)) return exit_code;
    }
    if (g_echo) {
      if (!blank) write_bytes(g_out, "\r\n", 2);
      print_prompt();
    }
  }
  return exit_code;
}
