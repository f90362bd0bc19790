#include "harness.h"
#include <tlhelp32.h>
#include <stdio.h>
#include <functional>

namespace e2e {

// ---- Paths and files ---------------------------------------------------------

static std::wstring parent_of(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

static std::wstring environment(const wchar_t* name) {
    wchar_t value[1024];
    DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

std::wstring tests_folder() {
    wchar_t path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return L".";
    return parent_of(std::wstring(path, n));
}

std::wstring bin_folder() {
    std::wstring over = environment(L"TAVRO_E2E_BIN");
    if (!over.empty()) return over;
    return parent_of(tests_folder()) + L"\\bin";
}

std::wstring tavro_exe_path() { return bin_folder() + L"\\tavro.exe"; }
std::wstring pipecmd_exe_path() { return bin_folder() + L"\\pipecmd.exe"; }

DWORD volume_serial_of(const std::wstring& path) {
    if (path.size() < 3) return 0;
    std::wstring root = path.substr(0, 3);
    DWORD serial = 0;
    if (!GetVolumeInformationW(root.c_str(), NULL, 0, &serial, NULL, NULL, NULL, 0)) return 0x00BADBAD;
    return serial;
}

bool file_exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool read_file(const std::wstring& path, std::string* bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    char buffer[4096];
    DWORD got = 0;
    bool ok = true;
    for (;;) {
        if (!ReadFile(f, buffer, sizeof buffer, &got, NULL)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        bytes->append(buffer, got);
    }
    CloseHandle(f);
    return ok;
}

bool write_file(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD wrote = 0;
    bool ok = WriteFile(f, bytes.data(), (DWORD)bytes.size(), &wrote, NULL) && wrote == bytes.size();
    CloseHandle(f);
    return ok;
}

bool wait_for_file(const std::wstring& path, DWORD timeout_ms, std::string* bytes) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (file_exists(path) && (!bytes || read_file(path, bytes))) return true;
        if (GetTickCount64() >= deadline) break;
        Sleep(POLL_MS);
    }
    printf("e2e: timed out after %lu ms waiting for the file %s\n", (unsigned long)timeout_ms,
           to_utf8(path).c_str());
    fflush(stdout);
    return false;
}

std::wstring utf16(const char* text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, NULL, 0);
    if (n <= 1) return std::wstring();
    std::wstring out((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], n);
    out.resize((size_t)n - 1);
    return out;
}

std::wstring windows_path(const char* path) {
    std::wstring p = utf16(path);
    if (!p.empty() && p[0] == L'/') {
        for (wchar_t& c : p)
            if (c == L'/') c = L'\\';
        p = L"Z:" + p;
    }
    return p;
}

static void remove_tree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_tree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// ---- Processes -----------------------------------------------------------------

std::vector<ProcessEntry> list_processes() {
    std::vector<ProcessEntry> list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return list;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        list.push_back(ProcessEntry{entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
    CloseHandle(snapshot);
    return list;
}

static bool creation_time(HANDLE process, ULONGLONG* when) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return false;
    *when = ((ULONGLONG)created.dwHighDateTime << 32) | created.dwLowDateTime;
    return true;
}

static bool creation_time_of(DWORD pid, ULONGLONG* when) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return false;
    bool ok = creation_time(process, when);
    CloseHandle(process);
    return ok;
}

// A parent id may name a process that ended before root was started, so a descendant must
// also have been created no earlier than root.
static std::vector<ProcessEntry> descendants_since(DWORD root, ULONGLONG root_created) {
    std::vector<ProcessEntry> all = list_processes(), found;
    std::vector<DWORD> family{root};
    bool grew = true;
    while (grew) {
        grew = false;
        for (const ProcessEntry& p : all) {
            bool known = false, child = false;
            for (DWORD f : family) {
                if (f == p.pid) known = true;
                if (f == p.parent) child = true;
            }
            if (known || !child) continue;
            ULONGLONG created;
            if (!creation_time_of(p.pid, &created) || created < root_created) continue;
            family.push_back(p.pid);
            found.push_back(p);
            grew = true;
        }
    }
    return found;
}

std::vector<ProcessEntry> descendants_of(DWORD root) {
    ULONGLONG created;
    if (!creation_time_of(root, &created)) return std::vector<ProcessEntry>();
    return descendants_since(root, created);
}

Process::Process(DWORD pid) : pid_(pid) {
    if (pid) handle_ = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
}

Process::~Process() {
    if (handle_) CloseHandle(handle_);
}

Process::Process(Process&& other) noexcept : handle_(other.handle_), pid_(other.pid_) {
    other.handle_ = NULL;
    other.pid_ = 0;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        if (handle_) CloseHandle(handle_);
        handle_ = other.handle_;
        pid_ = other.pid_;
        other.handle_ = NULL;
        other.pid_ = 0;
    }
    return *this;
}

bool Process::running() const {
    return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

bool Process::wait_end(DWORD timeout_ms) const {
    return !handle_ || WaitForSingleObject(handle_, timeout_ms) == WAIT_OBJECT_0;
}

void Process::terminate() const {
    if (handle_) TerminateProcess(handle_, 1);
}

// ---- Windows -------------------------------------------------------------------

static bool class_is(HWND window, const wchar_t* name) {
    wchar_t cls[64];
    if (!GetClassNameW(window, cls, 64)) return false;
    return lstrcmpiW(cls, name) == 0;
}

static std::wstring window_text(HWND window) {
    // GetWindowTextW reads another process's caption without sending it a message.
    wchar_t text[1024];
    int n = GetWindowTextW(window, text, 1024);
    return std::wstring(text, n > 0 ? (size_t)n : 0);
}

struct TopLevelSearch {
    DWORD pid;
    const wchar_t* cls;
    bool visible_only;
    HWND found;
};

static BOOL CALLBACK match_top_level(HWND window, LPARAM context) {
    TopLevelSearch* search = (TopLevelSearch*)context;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !class_is(window, search->cls)) return TRUE;
    if (search->visible_only && !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

static HWND find_top_level(DWORD pid, const wchar_t* cls, bool visible_only) {
    TopLevelSearch search{pid, cls, visible_only, NULL};
    EnumWindows(match_top_level, (LPARAM)&search);
    return search.found;
}

static BOOL CALLBACK collect_child(HWND window, LPARAM context) {
    ((std::vector<HWND>*)context)->push_back(window);
    return TRUE;
}

static std::vector<HWND> children_of(HWND parent) {
    std::vector<HWND> all, direct;
    EnumChildWindows(parent, collect_child, (LPARAM)&all);
    for (HWND w : all)
        if (GetParent(w) == parent) direct.push_back(w);
    return direct;
}

HWND find_dialog(DWORD pid) { return find_top_level(pid, L"#32770", true); }

HWND wait_for_dialog(DWORD pid, DWORD timeout_ms) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        HWND dialog = find_dialog(pid);
        if (dialog) return dialog;
        if (GetTickCount64() >= deadline) break;
        Sleep(POLL_MS);
    }
    printf("e2e: timed out after %lu ms waiting for a message box of process %lu\n", (unsigned long)timeout_ms,
           (unsigned long)pid);
    fflush(stdout);
    return NULL;
}

std::wstring dialog_caption(HWND dialog) { return window_text(dialog); }

std::wstring dialog_text(HWND dialog) {
    std::wstring text;
    for (HWND child : children_of(dialog)) {
        if (!class_is(child, L"Static")) continue;
        std::wstring piece = window_text(child);
        if (piece.empty()) continue;
        if (!text.empty()) text += L"\n";
        text += piece;
    }
    return text;
}

static std::wstring without_ampersands(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text)
        if (c != L'&') out.push_back(c);
    return out;
}

bool press_button(HWND dialog, const std::wstring& text) {
    std::wstring wanted = lower_ascii(without_ampersands(text));
    for (HWND child : children_of(dialog)) {
        if (!class_is(child, L"Button")) continue;
        if (lower_ascii(without_ampersands(window_text(child))) != wanted) continue;
        return press_button_id(dialog, GetDlgCtrlID(child));
    }
    return false;
}

bool press_button_id(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button) return false;
    // What a click on the button makes it send to its dialog.
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button) != 0;
}

// Whether TranslateMessage makes a character of a posted key-down (Windows does; Wine, for
// keys that didn't come from its keyboard, doesn't). Found once with a window of our own.
static bool keydown_makes_character() {
    static int answer = -1;
    if (answer >= 0) return answer != 0;
    answer = 0;
    HWND probe = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    if (!probe) return false;
    MSG key = {};
    key.hwnd = probe;
    key.message = WM_KEYDOWN;
    key.wParam = VK_RETURN;
    key.lParam = 1 | ((LPARAM)MapVirtualKeyW(VK_RETURN, 0) << 16);
    TranslateMessage(&key);
    MSG made;
    if (PeekMessageW(&made, probe, WM_CHAR, WM_CHAR, PM_REMOVE)) answer = 1;
    while (PeekMessageW(&made, probe, 0, 0, PM_REMOVE)) {
    }
    DestroyWindow(probe);
    return answer != 0;
}

static LPARAM key_lparam(UINT vk, bool up) {
    UINT scan = MapVirtualKeyW(vk, 0);
    LPARAM lparam = 1 | ((LPARAM)(scan & 0xFF) << 16);
    switch (vk) {
    case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_APPS:
        lparam |= (LPARAM)1 << 24;
        break;
    }
    if (up) lparam |= ((LPARAM)1 << 30) | ((LPARAM)1 << 31);
    return lparam;
}

// ---- Tavro -------------------------------------------------------------------

static std::wstring quoted_if_blank(const std::wstring& path) {
    return path.find(L' ') == std::wstring::npos ? path : L"\"" + path + L"\"";
}

Tavro::~Tavro() { close(); }

std::wstring Tavro::path_in_folder(const wchar_t* name) const { return folder_ + L"\\" + name; }

static bool make_folder(std::wstring* folder, const std::wstring& suffix) {
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return false;
    static unsigned counter;
    for (int attempt = 0; attempt < 1000; attempt++) {
        wchar_t name[64];
        _snwprintf(name, 63, L"tavro-e2e-%lu-%u", (unsigned long)GetCurrentProcessId(), ++counter);
        name[63] = 0;
        std::wstring path = std::wstring(temp) + name + suffix;
        if (CreateDirectoryW(path.c_str(), NULL)) {
            // The slave shows its directory in its prompt the long way.
            wchar_t longer[MAX_PATH + 1];
            DWORD m = GetLongPathNameW(path.c_str(), longer, MAX_PATH + 1);
            *folder = m > 0 && m <= MAX_PATH ? std::wstring(longer, m) : path;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

// This process's environment block with one variable set to value (names compared without
// case), kept in the sorted order that CreateProcess asks of a block.
static std::vector<wchar_t> environment_with(const std::wstring& name, const std::wstring& value) {
    std::vector<wchar_t> block;
    std::wstring entry = name + L"=" + value;
    bool placed = false;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* e = strings; e && *e; e += wcslen(e) + 1) {
        bool same = _wcsnicmp(e, name.c_str(), name.size()) == 0 && e[name.size()] == L'=';
        bool after = e[0] != L'=' && _wcsicmp(e, entry.c_str()) > 0;
        if (!placed && (same || after)) {
            block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
            placed = true;
        }
        if (!same) block.insert(block.end(), e, e + wcslen(e) + 1);
    }
    if (strings) FreeEnvironmentStringsW(strings);
    if (!placed) block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    block.push_back(0);
    return block;
}

bool Tavro::start(const StartOptions& options) {
    if (info_.hProcess || !folder_.empty()) {
        printf("e2e: start: already started\n");
        return false;
    }
    close_wait_ms_ = options.close_wait_ms;
    std::wstring program = options.program.empty() ? tavro_exe_path() : options.program;
    if (!file_exists(program)) {
        printf("e2e: start: %s does not exist\n", to_utf8(program).c_str());
        return false;
    }
    if (!make_folder(&folder_, options.folder_suffix)) {
        printf("e2e: start: cannot make a temporary folder (error %lu)\n", (unsigned long)GetLastError());
        folder_.clear();
        return false;
    }
    std::wstring exe = path_in_folder(L"tavro.exe");
    if (!CopyFileW(program.c_str(), exe.c_str(), FALSE)) {
        printf("e2e: start: cannot copy %s (error %lu)\n", to_utf8(program).c_str(), (unsigned long)GetLastError());
        return false;
    }
    if (options.slave_as_cmd && !CopyFileW(pipecmd_exe_path().c_str(), path_in_folder(L"cmd.exe").c_str(), FALSE)) {
        printf("e2e: start: cannot copy pipecmd.exe as cmd.exe (error %lu)\n", (unsigned long)GetLastError());
        return false;
    }
    serial_ = volume_serial_of(exe);
    if (options.settings != Settings::none) {
        SettingsText s;
        s.app = options.app.empty() ? quoted_if_blank(pipecmd_exe_path()) : options.app;
        s.with_serial = true;
        // Another volume's number: any number but this one.
        s.serial = (int)(options.settings == Settings::this_volume ? serial_ : serial_ ^ 0x5A5A5A5Au);
        s.left = options.left;
        s.top = options.top;
        s.width = options.width;
        s.height = options.height;
        s.font = options.font;
        s.font_size = options.font_size;
        s.extra = options.extra_settings;
        if (!write_file(settings_path(), options.raw_settings.empty() ? settings_file_text(s) : options.raw_settings)) {
            printf("e2e: start: cannot write %s\n", to_utf8(settings_path()).c_str());
            return false;
        }
        if (options.read_only_settings && !SetFileAttributesW(settings_path().c_str(), FILE_ATTRIBUTE_READONLY)) {
            printf("e2e: start: cannot make %s read-only\n", to_utf8(settings_path()).c_str());
            return false;
        }
    }
    for (const auto& file : options.files) {
        if (!write_file(path_in_folder(file.first.c_str()), file.second)) {
            printf("e2e: start: cannot write %s\n", to_utf8(file.first).c_str());
            return false;
        }
    }
    std::wstring command_line = L"\"" + exe + L"\"";
    if (!options.arguments.empty()) command_line += L" " + options.arguments;
    std::vector<wchar_t> writable(command_line.begin(), command_line.end());
    writable.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    // Tavro names cmd.exe by %ComSpec%: the copy of pipecmd beside it is the command processor.
    std::vector<wchar_t> environment;
    if (options.slave_as_cmd) environment = environment_with(L"ComSpec", path_in_folder(L"cmd.exe"));
    if (!CreateProcessW(NULL, writable.data(), NULL, NULL, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.empty() ? NULL : environment.data(), folder_.c_str(), &startup, &info_)) {
        printf("e2e: start: CreateProcess %s failed (error %lu)\n", to_utf8(command_line).c_str(),
               (unsigned long)GetLastError());
        info_ = PROCESS_INFORMATION();
        return false;
    }
    FILETIME exited, kernel, user;
    GetProcessTimes(info_.hProcess, &started_, &exited, &kernel, &user);
    if (options.wait_for_windows && !wait_for_windows(START_WAIT_MS)) return false;
    return true;
}

bool Tavro::find_windows() {
    if (!main_) main_ = find_top_level(pid(), L"Tavro", false);
    if (!main_) return false;
    HWND text = NULL, first = NULL, second = NULL;
    for (HWND child : children_of(main_)) {
        if (class_is(child, L"RichEdit20W")) text = child;
        else if (class_is(child, L"Edit") && !first) first = child;
        else if (class_is(child, L"Edit") && !second) second = child;
    }
    if (!text || !first || !second) return false;
    // The prompt display is one character wide, the input line takes the rest.
    RECT a, b;
    GetWindowRect(first, &a);
    GetWindowRect(second, &b);
    bool first_wider = a.right - a.left > b.right - b.left;
    text_ = text;
    edit_ = first_wider ? first : second;
    prom_ = first_wider ? second : first;
    return true;
}

bool Tavro::wait_for_windows(DWORD timeout_ms) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (find_windows()) return true;
        if (!running() || GetTickCount64() >= deadline) break;
        Sleep(POLL_MS);
    }
    print_diagnostics(running() ? "timed out waiting for Tavro's windows" : "Tavro ended before its windows were found");
    return false;
}

void Tavro::type_char(wchar_t c) {
    if (edit_) PostMessageW(edit_, WM_CHAR, (WPARAM)c, 1);
}

void Tavro::type_text(const std::wstring& text) {
    for (wchar_t c : text) type_char(c);
}

void Tavro::press_key(UINT vk) {
    if (!edit_) return;
    PostMessageW(edit_, WM_KEYDOWN, vk, key_lparam(vk, false));
    PostMessageW(edit_, WM_KEYUP, vk, key_lparam(vk, true));
}

void Tavro::press_enter() {
    if (!edit_) return;
    PostMessageW(edit_, WM_KEYDOWN, VK_RETURN, key_lparam(VK_RETURN, false));
    if (!keydown_makes_character()) PostMessageW(edit_, WM_CHAR, 13, key_lparam(VK_RETURN, false));
    PostMessageW(edit_, WM_KEYUP, VK_RETURN, key_lparam(VK_RETURN, true));
}

void Tavro::type_line(const std::wstring& text) {
    type_text(text);
    press_enter();
}

bool Tavro::send_get_text(HWND window, std::wstring* text) {
    if (!window || !IsWindow(window)) return false;
    // Tavro answers only between its sleeps; a busy Tavro is asked again by the next poll.
    const UINT wait = 3000;
    // One message where one will do: a program about to end may answer only the first.
    std::vector<wchar_t> buffer(1 << 16);
    for (int attempt = 0; attempt < 2; attempt++) {
        DWORD_PTR got = 0;
        if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), (LPARAM)buffer.data(), SMTO_NORMAL, wait, &got))
            return false;
        if (got + 1 < buffer.size()) {
            text->assign(buffer.data(), got);
            return true;
        }
        // Cut: ask for the length, with room for line ends counted once and for text that
        // arrives in between.
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, wait, &length)) return false;
        buffer.resize(length * 2 + 4096);
    }
    text->assign(buffer.data(), buffer.size() - 1);
    return true;
}

std::wstring Tavro::pane_text() {
    std::wstring text;
    if (send_get_text(text_, &text)) last_pane_ = text;
    return last_pane_;
}

std::wstring Tavro::input_text() {
    std::wstring text;
    return send_get_text(edit_, &text) ? text : std::wstring();
}

std::wstring Tavro::prompt_text() {
    std::wstring text;
    return send_get_text(prom_, &text) ? text : std::wstring();
}

std::wstring Tavro::title() {
    if (main_ && IsWindow(main_)) last_title_ = window_text(main_);
    return last_title_;
}

static bool wait_on_pane(Tavro* tavro, DWORD timeout_ms, const std::function<bool(const std::wstring&)>& done,
                         const std::string& what) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (done(tavro->pane_text())) return true;
        if (!tavro->running() || GetTickCount64() >= deadline) break;
        Sleep(POLL_MS);
    }
    std::string message = (tavro->running() ? "timed out after " + std::to_string(timeout_ms) + " ms waiting for "
                                             : std::string("Tavro ended while waiting for ")) + what;
    tavro->print_diagnostics(message.c_str());
    return false;
}

bool Tavro::wait_for_pane(const std::wstring& needle, DWORD timeout_ms) {
    return wait_on_pane(this, timeout_ms,
                        [&](const std::wstring& text) { return text.find(needle) != std::wstring::npos; },
                        "pane text \"" + to_utf8(needle) + "\"");
}

bool Tavro::wait_for_pane_count(const std::wstring& needle, size_t count, DWORD timeout_ms) {
    return wait_on_pane(this, timeout_ms,
                        [&](const std::wstring& text) { return count_occurrences(text, needle) >= count; },
                        std::to_string(count) + " times the pane text \"" + to_utf8(needle) + "\"");
}

bool Tavro::wait_for_line(const std::wstring& line, DWORD timeout_ms) {
    return wait_on_pane(this, timeout_ms, [&](const std::wstring& text) { return has_line(text, line); },
                        "the pane line \"" + to_utf8(line) + "\"");
}

bool Tavro::wait_for_title(const std::wstring& needle, DWORD timeout_ms) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (title().find(needle) != std::wstring::npos) return true;
        if (!running() || GetTickCount64() >= deadline) break;
        Sleep(POLL_MS);
    }
    print_diagnostics(("timed out waiting for the title \"" + to_utf8(needle) + "\"").c_str());
    return false;
}

// Where the prompt after a command starts: after the slave's echo of the line (at or after
// `from`, the pane's length when it was typed), the next "==> ". npos while it hasn't come.
static size_t prompt_after_echo(const std::wstring& text, const std::wstring& line, size_t from) {
    for (size_t at = text.find(line, from); at != std::wstring::npos; at = text.find(line, at + 1)) {
        size_t end = at + line.size();
        if (end < text.size() && (text[end] == L'\r' || text[end] == L'\n')) return text.find(L"==> ", end);
    }
    return std::wstring::npos;
}

bool Tavro::run_command(const std::wstring& line, DWORD timeout_ms) {
    std::wstring before = pane_text();
    size_t prompts = count_occurrences(before, L"==> ");
    // A full pane loses its oldest lines as the answer arrives, so the echo is looked for behind
    // the pane's old last characters, not behind its old length.
    std::wstring anchor = before.substr(before.size() > 200 ? before.size() - 200 : 0);
    type_line(line);
    // The prompt is complete once it ends the pane. An empty line has no echo to look for:
    // then any further prompt will do.
    return wait_on_pane(this, timeout_ms,
                        [&](const std::wstring& text) {
                            // Where the anchor was, or further left when lines were trimmed.
                            size_t at = anchor.empty() ? 0 : text.rfind(anchor, before.size() - anchor.size());
                            size_t from = at == std::wstring::npos ? 0 : at + anchor.size();
                            bool seen = line.empty() ? count_occurrences(text, L"==> ") > prompts
                                                     : prompt_after_echo(text, line, from) != std::wstring::npos;
                            return seen && text.size() >= 2 && text.compare(text.size() - 2, 2, L"> ") == 0;
                        },
                        "the prompt after \"" + to_utf8(line) + "\"");
}

bool Tavro::running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Tavro::close_window(DWORD timeout_ms) {
    if (!main_ || !IsWindow(main_)) return false;
    PostMessageW(main_, WM_CLOSE, 0, 0);
    return wait_for_exit(timeout_ms);
}

bool Tavro::wait_for_exit(DWORD timeout_ms) {
    if (!info_.hProcess) return false;
    if (WaitForSingleObject(info_.hProcess, timeout_ms) == WAIT_OBJECT_0) return true;
    print_diagnostics(("Tavro still runs after " + std::to_string(timeout_ms) + " ms").c_str());
    return false;
}

DWORD Tavro::exit_code() const {
    DWORD code = STILL_ACTIVE;
    if (info_.hProcess) GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

std::vector<ProcessEntry> Tavro::slaves() const {
    std::vector<ProcessEntry> found;
    if (!info_.hProcess) return found;
    ULONGLONG created = ((ULONGLONG)started_.dwHighDateTime << 32) | started_.dwLowDateTime;
    for (const ProcessEntry& p : descendants_since(pid(), created)) {
        std::wstring exe = lower_ascii(p.exe);
        if (p.parent == pid() && (exe == L"pipecmd.exe" || exe == L"cmd.exe")) found.push_back(p);
    }
    return found;
}

static void hold(std::vector<Process>* held, std::vector<std::wstring>* names, const std::vector<ProcessEntry>& found) {
    for (const ProcessEntry& p : found) {
        bool known = false;
        for (const Process& h : *held) known = known || h.pid() == p.pid;
        if (known) continue;
        Process process(p.pid);
        if (!process.valid()) continue;
        held->push_back(std::move(process));
        names->push_back(p.exe);
    }
}

bool Tavro::close() {
    bool clean = true;
    if (info_.hProcess) {
        ULONGLONG created = ((ULONGLONG)started_.dwHighDateTime << 32) | started_.dwLowDateTime;
        std::vector<Process> held;
        std::vector<std::wstring> names;
        hold(&held, &names, descendants_since(pid(), created));
        if (running()) {
            if (main_ && IsWindow(main_)) PostMessageW(main_, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(info_.hProcess, close_wait_ms_) != WAIT_OBJECT_0) {
                print_diagnostics(("Tavro did not end within " + std::to_string(close_wait_ms_) +
                                   " ms of WM_CLOSE; terminating it").c_str());
                TerminateProcess(info_.hProcess, 1);
                WaitForSingleObject(info_.hProcess, 5000);
                clean = false;
            }
        }
        // Shutdown may have started more (the command that kills the slave).
        hold(&held, &names, descendants_since(pid(), created));
        // After a proper shutdown the slave ends by itself; after a termination nothing will end it.
        ULONGLONG deadline = GetTickCount64() + (clean ? 10000 : 500);
        for (size_t i = 0; i < held.size(); i++) {
            ULONGLONG now = GetTickCount64();
            if (held[i].wait_end(now < deadline ? (DWORD)(deadline - now) : 0)) continue;
            printf("e2e: terminating %s (pid %lu), left running by Tavro\n", to_utf8(names[i]).c_str(),
                   (unsigned long)held[i].pid());
            fflush(stdout);
            held[i].terminate();
            held[i].wait_end(5000);
            clean = false;
        }
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
        info_ = PROCESS_INFORMATION();
    }
    remove_folder();
    main_ = text_ = prom_ = edit_ = NULL;
    return clean;
}

void Tavro::remove_folder() {
    if (folder_.empty()) return;
    if (!environment(L"TAVRO_E2E_KEEP").empty()) {
        printf("e2e: kept %s\n", to_utf8(folder_).c_str());
    } else {
        // Files of a process that has just ended can stay locked for a moment.
        for (int attempt = 0; attempt < 40 && file_exists(folder_); attempt++) {
            if (attempt) Sleep(POLL_MS);
            remove_tree(folder_);
        }
        if (file_exists(folder_)) printf("e2e: could not remove %s\n", to_utf8(folder_).c_str());
    }
    fflush(stdout);
    folder_.clear();
}

void Tavro::print_diagnostics(const char* what) {
    bool alive = running();
    std::wstring pane = alive ? pane_text() : last_pane_;
    std::wstring caption = title();
    printf("e2e: %s\n", what);
    if (alive) printf("---- Tavro (pid %lu) is running\n", (unsigned long)pid());
    else if (info_.hProcess) printf("---- Tavro (pid %lu) ended with code %lu\n", (unsigned long)pid(), (unsigned long)exit_code());
    printf("---- title: \"%s\"\n", to_utf8(caption).c_str());
    printf("---- pane (%s, %lu characters):\n", alive ? "now" : "as last read", (unsigned long)pane.size());
    std::vector<std::wstring> lines = split_lines(pane);
    for (const std::wstring& line : lines) printf("| %s\n", to_utf8(line).c_str());
    printf("---- end of pane\n");
    fflush(stdout);
}

}  // namespace e2e

// ---- Memory in Tavro's process, for rich-edit messages -----------------------------

#include <richedit.h>

namespace e2e {

namespace {

class RemoteBlock {
public:
    RemoteBlock(HANDLE process, size_t size) : process_(process) {
        address_ = VirtualAllocEx(process, NULL, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBlock() {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;
    bool valid() const { return address_ != NULL; }
    char* at(size_t offset) const { return (char*)address_ + offset; }
    bool write(size_t offset, const void* bytes, size_t n) const {
        SIZE_T done = 0;
        return WriteProcessMemory(process_, at(offset), bytes, n, &done) && done == n;
    }
    bool read(size_t offset, void* bytes, size_t n) const {
        SIZE_T done = 0;
        return ReadProcessMemory(process_, at(offset), bytes, n, &done) && done == n;
    }

private:
    HANDLE process_;
    void* address_ = NULL;
};

bool send_pane(Tavro& tavro, UINT message, WPARAM wparam, LPARAM lparam, DWORD_PTR* result) {
    DWORD_PTR got = 0;
    if (!tavro.pane() || !SendMessageTimeoutW(tavro.pane(), message, wparam, lparam, SMTO_NORMAL, 5000, &got))
        return false;
    if (result) *result = got;
    return true;
}

}  // namespace

bool Tavro::pane_text_at_positions(std::wstring* text) {
    const size_t chars = 1 << 16;
    RemoteBlock block(process(), sizeof(GETTEXTEX) + chars * 2);
    if (!block.valid()) return false;
    GETTEXTEX request = {};
    request.cb = (DWORD)(chars * 2);
    request.flags = GT_DEFAULT;
    request.codepage = 1200;
    DWORD_PTR got = 0;
    if (!block.write(0, &request, sizeof request) ||
        !send_pane(*this, EM_GETTEXTEX, (WPARAM)block.at(0), (LPARAM)block.at(sizeof request), &got))
        return false;
    if (got >= chars) got = chars - 1;
    std::vector<wchar_t> buffer(got + 1);
    if (got && !block.read(sizeof request, buffer.data(), got * 2)) return false;
    text->assign(buffer.data(), got);
    return true;
}

bool Tavro::pane_colour(LONG from, LONG to, COLORREF* colour) {
    RemoteBlock block(process(), sizeof(CHARRANGE) + sizeof(CHARFORMATW));
    if (!block.valid()) return false;
    CHARRANGE range = {from, to};
    CHARFORMATW format = {};
    format.cbSize = sizeof format;
    if (!block.write(0, &range, sizeof range) || !block.write(sizeof range, &format, sizeof format)) return false;
    if (!send_pane(*this, EM_EXSETSEL, 0, (LPARAM)block.at(0), NULL) ||
        !send_pane(*this, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)block.at(sizeof range), NULL) ||
        !block.read(sizeof range, &format, sizeof format))
        return false;
    // Put the caret back at the end, where the next output goes anyway.
    send_pane(*this, EM_SETSEL, (WPARAM)-1, -1, NULL);
    if (!(format.dwMask & CFM_COLOR) || (format.dwEffects & CFE_AUTOCOLOR)) return false;
    *colour = format.crTextColor;
    return true;
}

std::wstring unique_marker() {
    static unsigned n;
    return L"e2e" + std::to_wstring(GetCurrentProcessId()) + L"x" + std::to_wstring(GetTickCount()) + L"x" +
           std::to_wstring(++n);
}

bool Tavro::wait_until(const std::function<bool()>& done, const char* what, DWORD timeout_ms, DWORD poll_ms) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (done()) return true;
        if (!running() || GetTickCount64() >= deadline) break;
        Sleep(poll_ms);
    }
    print_diagnostics((std::string("gave up waiting for ") + what).c_str());
    return false;
}

bool Tavro::wait_for_fresh_prompt(size_t prompts_before, DWORD timeout_ms) {
    auto fresh = [&] {
        std::wstring pane = pane_text();
        return count_occurrences(pane, L"==> ") > prompts_before && ends_with(pane, L"> ");
    };
    return wait_until(fresh, "a fresh prompt", timeout_ms);
}

bool Tavro::wait_for_prompt_after(const std::wstring& needle, DWORD timeout_ms) {
    auto prompt_after = [&] {
        std::wstring pane = pane_text();
        size_t at = pane.rfind(needle);
        return at != std::wstring::npos && pane.find(first_prompt(), at) != std::wstring::npos;
    };
    return wait_until(prompt_after, "a prompt after the text waited for", timeout_ms);
}

bool Tavro::start_at_prompt(const StartOptions& options, DWORD timeout_ms) {
    // Tavro's set-up lines go out while it already shows the slave's answers: the start is done
    // at the prompt after the code-page line, the last of them unless AddPath is set.
    return start(options) && wait_for_pane(first_prompt(), timeout_ms) && wait_for_prompt_after(L"> CHCP ", timeout_ms);
}

bool Tavro::start_at_prompt(const std::string& extra_settings) {
    StartOptions options;
    options.extra_settings = extra_settings;
    return start_at_prompt(options);
}

bool Tavro::wait_for_input(const std::wstring& expected, DWORD timeout_ms) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    std::wstring now;
    for (;;) {
        now = input_text();
        if (now == expected) return true;
        if (GetTickCount64() >= deadline) break;
        Sleep(POLL_MS);
    }
    printf("e2e: the input line holds \"%s\", not \"%s\"\n", to_utf8(now).c_str(), to_utf8(expected).c_str());
    fflush(stdout);
    return false;
}

bool wait_for_file_text(const std::wstring& path, const std::string& needle, std::string* bytes) {
    ULONGLONG deadline = GetTickCount64() + 60000;
    for (;;) {
        if (read_file(path, bytes) && bytes->find(needle) != std::string::npos) return true;
        if (GetTickCount64() >= deadline) break;
        Sleep(POLL_MS);
    }
    printf("e2e: %s does not hold \"%s\" (it holds \"%s\")\n", to_utf8(path).c_str(), needle.c_str(), bytes->c_str());
    fflush(stdout);
    return false;
}

bool Tavro::start_output_log() {
    RemoteText mode(process(), L"wb");
    DWORD_PTR result = 0;
    return mode.valid() &&
           SendMessageTimeoutW(main_window(), WM_COMMAND, CMD_OPEN_OUTPUT_LOG, mode.pointer(), SMTO_NORMAL,
                               WAIT_MS, &result) &&
           wait_for_title(L"Logging output");
}

std::vector<DWORD> Tavro::pipecmd_slaves() const {
    std::vector<DWORD> pids;
    for (const ProcessEntry& p : slaves())
        if (lower_ascii(p.exe) == L"pipecmd.exe") pids.push_back(p.pid);
    return pids;
}

}  // namespace e2e
