// Drives a running Tavro from outside, as a user would: starts it in a folder of its own,
// types into its input line, reads its output pane and title, answers its message boxes,
// and leaves no Tavro and no slave process behind.
#pragma once
#include <windows.h>
#include <functional>
#include <utility>
#include <string>
#include <vector>
#include "harness_text.h"
#include "app/commands.h"
#include "dialogs/dialog_ids.h"

namespace e2e {

enum : DWORD {
    WAIT_MS = 20000,         // default for every wait on Tavro (Wine is slow)
    START_WAIT_MS = 30000,   // until Main and its children exist
    CLOSE_WAIT_MS = 15000,   // after WM_CLOSE, before Tavro is terminated
    POLL_MS = 50,
};

// The settings file Tavro finds beside itself.
enum class Settings {
    none,            // no settings file: a first start (disclaimer, nothing saved until Enter)
    this_volume,     // App and VolSerialNbr of the volume: no disclaimer
    other_volume,    // App and the serial number of another volume: disclaimer, as after a move
};

struct StartOptions {
    Settings settings = Settings::this_volume;
    std::wstring app;              // App; empty: pipecmd.exe of this build
    std::wstring font;             // [Fonts] Name; empty: Tavro's default
    int font_size = 0;             // [Fonts] Size; 0: Tavro's default
    int left = 0, top = 0, width = 800, height = 600;
    std::string extra_settings;    // appended to the settings file as it is, section headers included
    std::wstring arguments;        // Tavro's command line after its name
    bool slave_as_cmd = false;     // pipecmd.exe beside tavro.exe as cmd.exe and %ComSpec%: the default App
    std::wstring program;          // started (as tavro.exe) instead of Tavro: for the harness's own checks
    bool wait_for_windows = true;  // return only once Main, Text, Prom and Edit exist
    DWORD close_wait_ms = CLOSE_WAIT_MS;
    std::string raw_settings;          // not empty: the settings file's bytes, written as they are
    bool read_only_settings = false;   // the settings file gets FILE_ATTRIBUTE_READONLY
    std::wstring folder_suffix;        // the end of the folder's name, where the slave starts
    // Files written into the folder before Tavro starts: name and bytes.
    std::vector<std::pair<std::wstring, std::string>> files;
};

// Where the programs of this build are: <build>/bin beside <build>/tests, where the tests run
// (TAVRO_E2E_BIN overrides).
std::wstring bin_folder();
std::wstring tests_folder();
std::wstring tavro_exe_path();
std::wstring pipecmd_exe_path();

// Serial number of the volume whose root is the path's first three characters, as Tavro reads it.
DWORD volume_serial_of(const std::wstring& path);

bool file_exists(const std::wstring& path);
bool read_file(const std::wstring& path, std::string* bytes);
bool write_file(const std::wstring& path, const std::string& bytes);
// Waits until the file exists; reads it into bytes when given.
bool wait_for_file(const std::wstring& path, DWORD timeout_ms = WAIT_MS, std::string* bytes = nullptr);
std::wstring utf16(const char* text);   // ASCII or UTF-8 to UTF-16
// A path from the Linux side ("/tmp/x") names the same file through Wine's drive Z:.
std::wstring windows_path(const char* path);

// Processes, from a Toolhelp snapshot.
struct ProcessEntry {
    DWORD pid, parent;
    std::wstring exe;
};
std::vector<ProcessEntry> list_processes();
// Every process whose parent chain leads to root, started after root (a parent id alone can
// name a process that ended long ago).
std::vector<ProcessEntry> descendants_of(DWORD root);

// A process held open, so that its id can't be reused while we wait for it.
class Process {
public:
    explicit Process(DWORD pid = 0);
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool valid() const { return handle_ != NULL; }
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return handle_; }
    bool running() const;
    bool wait_end(DWORD timeout_ms) const;
    void terminate() const;

private:
    HANDLE handle_ = NULL;
    DWORD pid_ = 0;
};

// Message boxes (dialog class "#32770") of a process.
HWND find_dialog(DWORD pid);
HWND wait_for_dialog(DWORD pid, DWORD timeout_ms = WAIT_MS);
std::wstring dialog_caption(HWND dialog);
std::wstring dialog_text(HWND dialog);   // the texts of its static controls, one a line
// Presses a button by its text (ignoring "&" and case) or by its id, as a click would.
bool press_button(HWND dialog, const std::wstring& text);
bool press_button_id(HWND dialog, int id);

class Tavro {
public:
    Tavro() = default;
    ~Tavro();
    Tavro(const Tavro&) = delete;
    Tavro& operator=(const Tavro&) = delete;

    // Makes the folder, copies the program and writes the settings, starts it and (by default)
    // waits for its windows. False, with the reason printed, when any step fails.
    bool start(const StartOptions& options = StartOptions());
    // Starts Tavro and waits for its first prompt in the pane.
    bool start_at_prompt(const StartOptions& options = StartOptions(), DWORD timeout_ms = WAIT_MS);
    bool start_at_prompt(const std::string& extra_settings);

    const std::wstring& folder() const { return folder_; }
    std::wstring path_in_folder(const wchar_t* name) const;
    std::wstring settings_path() const { return path_in_folder(L"tavro.ini"); }
    DWORD volume_serial() const { return serial_; }
    DWORD pid() const { return info_.dwProcessId; }
    HANDLE process() const { return info_.hProcess; }
    HWND main_window() const { return main_; }
    HWND pane() const { return text_; }
    HWND prompt_display() const { return prom_; }
    HWND input_line() const { return edit_; }
    // Finds Main and its children; false when they don't all exist (yet, or before the timeout).
    bool find_windows();
    bool wait_for_windows(DWORD timeout_ms = START_WAIT_MS);

    // Typing into the input line. Characters go in as WM_CHAR; keys as key-down and key-up.
    // The key state (Ctrl, Shift) can't be set for another process: send control characters.
    void type_char(wchar_t c);
    void type_text(const std::wstring& text);
    void press_key(UINT vk);
    void press_enter();   // key-down, the character 13 unless the system makes it, key-up
    void type_line(const std::wstring& text);

    // Reading. When Tavro doesn't answer (busy or gone) the text read last is returned.
    std::wstring pane_text();
    std::wstring input_text();
    std::wstring prompt_text();   // the prompt display's character
    std::wstring title();
    // The prompt of Tavro's own folder, where the slave starts.
    std::wstring first_prompt() const { return prompt_for(folder_); }
    // Reading the pane through memory in Tavro's process (rich-edit messages carry pointers that
    // are not copied between processes). The text as the control counts positions: one "\r" per
    // line end.
    bool pane_text_at_positions(std::wstring* text);
    // The text colour of the pane's characters from..to (end excluded); false when the range is
    // not of one colour or Tavro doesn't answer.
    bool pane_colour(LONG from, LONG to, COLORREF* colour);

    // Waits poll every 50 ms; on a timeout they print the pane and the title and return false.
    bool wait_for_pane(const std::wstring& needle, DWORD timeout_ms = WAIT_MS);
    bool wait_for_pane_count(const std::wstring& needle, size_t count, DWORD timeout_ms = WAIT_MS);
    bool wait_for_line(const std::wstring& line, DWORD timeout_ms = WAIT_MS);
    bool wait_for_title(const std::wstring& needle, DWORD timeout_ms = WAIT_MS);
    // Types a line and waits for the slave's echo of it and the prompt after its output.
    bool run_command(const std::wstring& line, DWORD timeout_ms = WAIT_MS);
    // Polls done() every poll_ms until it holds, Tavro ends or the time is up; prints the state when
    // it gives up.
    bool wait_until(const std::function<bool()>& done, const char* what, DWORD timeout_ms = WAIT_MS,
                    DWORD poll_ms = POLL_MS);
    // A fresh prompt: one more "==> " in the pane than before, and the pane ends with a prompt.
    bool wait_for_fresh_prompt(size_t prompts_before, DWORD timeout_ms = WAIT_MS);
    // Waits for the slave's prompt behind the last occurrence of needle in the pane.
    bool wait_for_prompt_after(const std::wstring& needle, DWORD timeout_ms = WAIT_MS);
    // Typed characters are posted and the text is asked for with a sent message, so it is polled.
    bool wait_for_input(const std::wstring& expected, DWORD timeout_ms = WAIT_MS);

    bool running() const;
    // WM_CLOSE to Main, as the window's close button sends it, then waits for Tavro to end.
    // The folder stays, so what Tavro left there can be looked at.
    bool close_window(DWORD timeout_ms = WAIT_MS);
    bool wait_for_exit(DWORD timeout_ms = WAIT_MS);
    DWORD exit_code() const;

    // The slave processes (children of Tavro, pipecmd.exe or cmd.exe) running now.
    std::vector<ProcessEntry> slaves() const;
    // The process ids of the pipecmd.exe slaves that Tavro started.
    std::vector<DWORD> pipecmd_slaves() const;
    // Starts the output log afresh (mode "wb") at the FileLog in force, through File > Log Output.
    bool start_output_log();

    // Closes Main and waits for Tavro to end; terminates it and whatever it started when they
    // don't end in time; removes the folder (kept when TAVRO_E2E_KEEP is set). True when
    // nothing had to be terminated. Also done by the destructor.
    bool close();
    void print_diagnostics(const char* what);

private:
    bool send_get_text(HWND window, std::wstring* text);
    void remove_folder();

    std::wstring folder_;
    DWORD serial_ = 0;
    PROCESS_INFORMATION info_ = {};
    FILETIME started_ = {};
    HWND main_ = NULL, text_ = NULL, prom_ = NULL, edit_ = NULL;
    std::wstring last_pane_;
    std::wstring last_title_;
    DWORD close_wait_ms_ = CLOSE_WAIT_MS;
};

}  // namespace e2e

namespace e2e {

// A wide string in Tavro's memory, for a command whose lParam points to text.
class RemoteText {
public:
    RemoteText(HANDLE process, const wchar_t* text) : process_(process) {
        SIZE_T bytes = (wcslen(text) + 1) * sizeof(wchar_t);
        address_ = VirtualAllocEx(process, NULL, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        SIZE_T wrote = 0;
        if (address_ && !WriteProcessMemory(process, address_, text, bytes, &wrote)) address_ = NULL;
    }
    ~RemoteText() {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    LPARAM pointer() const { return (LPARAM)address_; }
    bool valid() const { return address_ != NULL; }

private:
    HANDLE process_;
    void* address_;
};

// A text no earlier output can hold: the process id, the tick count and a counter.
std::wstring unique_marker();

// Polls a file that another process writes until it holds the needle.
bool wait_for_file_text(const std::wstring& path, const std::string& needle, std::string* bytes);

}  // namespace e2e
