// The link to the slave on real pipes and processes: which pipe ends the program keeps, what the
// send queue lets through and when, what is left after a stop, which window is the console's, and
// which command processor runs.
#include <gtest/gtest.h>
#include "app/timing.h"
#include "logs/logs.h"
#include "settings/settings.h"
#include "slave/slave.h"
#include "window_checks.h"
#include <string>

namespace {

std::wstring build_folder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n < MAX_PATH ? n : 0);
    dir = dir.substr(0, dir.find_last_of(L'\\'));   // build\tests
    return dir.substr(0, dir.find_last_of(L'\\'));
}

DWORD bytes_in(HANDLE read_end) {
    DWORD n = 0;
    PeekNamedPipe(read_end, nullptr, 0, nullptr, &n, nullptr);
    return n;
}

class SlaveLink : public ::testing::Test {
protected:
    TestWindowSet windows;
    void SetUp() override {
        ASSERT_TRUE(windows.open());
        save_enabled = false;
        flush_slave_input();
    }
    void TearDown() override { windows.close(); }
};

// Once the slave runs, the program holds none of its ends: a slave ended from outside shows as
// a broken pipe, and writing fails instead of filling a pipe nobody reads. Nor does it hold a file
// of ours (the log, one a library might have), and its window never shows with CmdShow off.
TEST_F(SlaveLink, HoldsNoneOfTheSlavesEndsOnceItRuns) {
    wchar_t saved_app[APP_MAX + 1], saved_log[PATH_VALUE_MAX + 1], temp[MAX_PATH];
    wcscpy(saved_app, App), wcscpy(saved_log, FileLog);
    GetTempPathW(MAX_PATH, temp);
    std::wstring log = std::wstring(temp) + L"tavro_inherited.log", other = log + L".tmp";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE other_file = CreateFileW(other.c_str(), GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS, 0, nullptr);
    wcscpy(FileLog, log.c_str());
    open_output_log(L"wb");
    std::wstring app = L"\"" + build_folder() + L"\\bin\\pipecmd.exe\"";
    wcscpy(App, app.c_str());
    int saved_show = CmdShow;
    CmdShow = 0;
    start_slave();
    wcscpy(App, saved_app);
    CmdShow = saved_show;
    hide_at_first_prompt = false;
    ASSERT_NE(stdin_write, nullptr);
    ASSERT_NE(slave_process.hProcess, nullptr);
    for (int guard = 0; guard < 1000 && !bytes_in(stdout_read); guard++) Sleep(10);   // its window made
    EXPECT_TRUE(slave_console && !IsWindowVisible(slave_console));
    stop_logging();
    CloseHandle(other_file);
    EXPECT_TRUE(DeleteFileW(log.c_str()) && DeleteFileW(other.c_str())) << "the slave holds a file of ours";
    wcscpy(FileLog, saved_log);
    TerminateProcess(slave_process.hProcess, 1);
    ASSERT_EQ(WaitForSingleObject(slave_process.hProcess, 10000), WAIT_OBJECT_0);

    DWORD n = 0;
    char byte = 0;
    for (int guard = 0; guard < 1000 && PeekNamedPipe(stdout_read, nullptr, 0, nullptr, &n, nullptr) && n; guard++)
        ReadFile(stdout_read, &byte, 1, &n, nullptr);   // the banner it wrote before it went
    EXPECT_FALSE(PeekNamedPipe(stdout_read, nullptr, 0, nullptr, &n, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BROKEN_PIPE);
    EXPECT_FALSE(PeekNamedPipe(stderr_read, nullptr, 0, nullptr, &n, nullptr));
    EXPECT_FALSE(WriteFile(stdin_write, "x", 1, &n, nullptr));
    close_slave_link();
    slave_process = PROCESS_INFORMATION();
    slave_console = nullptr;
    stdin_write = windows.slave_in_write, stdout_read = windows.slave_out_read;
}

// What waited for a slave that is stopped never reaches the next one: a line left over would be
// the first thing the new slave reads, and an "exit" would end it.
TEST_F(SlaveLink, AStopLeavesNothingForTheNextSlave) {
    HANDLE old_read, old_write;
    ASSERT_TRUE(CreatePipe(&old_read, &old_write, nullptr, 0));
    ASSERT_TRUE(make_write_end_nonblocking(old_write));
    std::string block(4096, 'f');
    DWORD n = 1;
    for (int guard = 0; guard < 1000 && n; guard++) WriteFile(old_write, block.data(), 10, &n, nullptr);
    n = 1;
    for (int guard = 0; guard < 100 && n; guard++) WriteFile(old_write, block.data(), 1, &n, nullptr);
    // A slave busy with a command, its input pipe full, and no console window to close.
    stdin_write = old_write, stdout_read = nullptr;
    slave_process = PROCESS_INFORMATION();
    slave_console = nullptr;
    ASSERT_TRUE(send_to_slave("dir\r\n"));
    EXPECT_EQ(slave_input_queued(), 5u);
    stop_slave();
    EXPECT_EQ(stdin_write, nullptr);
    EXPECT_EQ(slave_input_queued(), 0u);
    CloseHandle(old_read);

    // With room, "exit" goes on a line of its own: the slave may hold the first part of a line.
    ASSERT_TRUE(CreatePipe(&old_read, &stdin_write, nullptr, 0) && make_write_end_nonblocking(stdin_write));
    Sleep(SEND_CHUNK_PAUSE_MS + 10);   // the first ten bytes go at once, the rest is dropped
    ASSERT_TRUE(send_to_slave("echo a long line\r\n"));
    stop_slave();
    char got[64] = {};
    ReadFile(old_read, got, sizeof got - 1, &n, nullptr);
    EXPECT_STREQ(got, "echo a lon\r\nexit\r\n");
    CloseHandle(old_read);

    stdin_write = windows.slave_in_write, stdout_read = windows.slave_out_read;
    EXPECT_EQ(windows.sent(), "");
    ASSERT_TRUE(send_to_slave("ver\r\n"));
    EXPECT_EQ(windows.sent(), "ver\r\n");
}

// 10 bytes every 50 ms, also when the queue ran empty in between; the first bytes after a pause
// go at once.
TEST_F(SlaveLink, TenBytesEvery50MsAcrossSends) {
    Sleep(SEND_CHUNK_PAUSE_MS + 10);   // a pause: the grid starts afresh
    double began = now_ms();
    ASSERT_TRUE(send_to_slave("0123456789"));
    ASSERT_TRUE(send_to_slave("abcdefghij"));
    DWORD in_pipe = bytes_in(windows.slave_in_read);
    size_t queued = slave_input_queued();
    if (now_ms() - began > SEND_CHUNK_PAUSE_MS - 10) GTEST_SKIP() << "the machine was too slow to tell";
    EXPECT_EQ(in_pipe, 10u);
    EXPECT_EQ(queued, 10u);
    EXPECT_EQ(windows.sent(), "0123456789abcdefghij");
}

// Bytes waiting to be sent hold the fine timer resolution; an idle program gives it back.
TEST_F(SlaveLink, FineTimerResolutionWhileSending) {
    release_fine_timer_if_idle(0);
    EXPECT_FALSE(fine_timer_held());
    ASSERT_TRUE(send_to_slave("echo\r\n"));
    EXPECT_TRUE(fine_timer_held());
    release_fine_timer_if_idle();
    EXPECT_TRUE(fine_timer_held());   // not idle long enough yet
    windows.sent();
    release_fine_timer_if_idle(0);
    EXPECT_FALSE(fine_timer_held());
}

LRESULT CALLBACK plain_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcW(window, message, wparam, lparam);
}

HWND top_level_window(const wchar_t* class_name) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = plain_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = class_name;
    RegisterClassW(&wc);
    return CreateWindowW(class_name, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

// The window closed to end the slave is its console's (or the stand-in's own), never another
// top-level window of the slave's process, such as Wine's "Default IME".
TEST_F(SlaveLink, TheConsoleWindowIsFoundByItsClass) {
    HWND stand_in = top_level_window(L"TavroPipeCmd");
    HWND other = top_level_window(L"TavroTestOther");   // newer, so enumerated first
    ASSERT_TRUE(stand_in && other);
    slave_process.dwProcessId = GetCurrentProcessId();
    EXPECT_EQ(find_slave_console_window(), stand_in);
    DestroyWindow(stand_in);
    EXPECT_EQ(find_slave_console_window(), nullptr);
    DestroyWindow(other);
    slave_process = PROCESS_INFORMATION();
}

// A bare App name is never looked for in the current folder, which is the slave's.
TEST_F(SlaveLink, ABareProgramNameIsNotSearchedInTheCurrentFolder) {
    wchar_t saved_dir[MAX_PATH], saved_app[APP_MAX + 1], temp[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved_dir);
    wcscpy(saved_app, App);
    GetTempPathW(MAX_PATH, temp);
    std::wstring planted = std::wstring(temp) + L"tavro_planted_slave.exe";
    ASSERT_TRUE(CopyFileW((build_folder() + L"\\bin\\pipecmd.exe").c_str(), planted.c_str(), FALSE));
    SetCurrentDirectoryW(temp);
    wcscpy(App, L"tavro_planted_slave.exe");
    stdin_write = nullptr;
    start_slave();
    SetCurrentDirectoryW(saved_dir);
    wcscpy(App, saved_app);
    EXPECT_EQ(stdin_write, nullptr) << "the program in the current folder was started";
    if (stdin_write) {
        TerminateProcess(slave_process.hProcess, 1);
        close_slave_link();
    }
    EXPECT_NE(pane_text_now().find(L"CreateProcess: "), std::wstring::npos);
    stdin_write = windows.slave_in_write;
    DeleteFileW(planted.c_str());
}

// The command processor by full path: %ComSpec% when it is a full path to a file, else the
// system folder's cmd.exe; never one found in the current folder.
TEST_F(SlaveLink, TheCommandProcessorIsNamedByFullPath) {
    wchar_t saved[MAX_PATH + 1] = {}, system_dir[MAX_PATH + 1], path[MAX_PATH + 16];
    GetEnvironmentVariableW(L"ComSpec", saved, MAX_PATH + 1);
    GetSystemDirectoryW(system_dir, MAX_PATH + 1);
    std::wstring pipecmd = build_folder() + L"\\bin\\pipecmd.exe";
    SetEnvironmentVariableW(L"ComSpec", pipecmd.c_str());
    ASSERT_TRUE(command_processor_path(path, MAX_PATH + 16));
    EXPECT_EQ(std::wstring(path), pipecmd);
    const wchar_t* unusable_ones[] = {L"cmd.exe", L"C:\\no\\such\\cmd.exe", system_dir};
    for (const wchar_t* unusable : unusable_ones) {
        SetEnvironmentVariableW(L"ComSpec", unusable);
        ASSERT_TRUE(command_processor_path(path, MAX_PATH + 16));
        EXPECT_EQ(std::wstring(path), std::wstring(system_dir) + L"\\cmd.exe") << unusable;
    }
    EXPECT_FALSE(command_processor_path(path, 5));
    SetEnvironmentVariableW(L"ComSpec", saved[0] ? saved : nullptr);
}

}  // namespace
