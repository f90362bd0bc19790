// The real dialogs driven in-process: a thread timer fires inside the dialog's own modal loop,
// finds it through current_dialog, fills its boxes and presses its buttons. The templates come
// from tavro.exe beside the tests, loaded as a data file.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "app/grid.h"
#include "app/placement.h"
#include "app/version.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs.h"
#include "app/commands.h"
#include "settings/settings.h"

namespace {

struct Step {
    std::vector<std::pair<int, std::wstring>> set;   // control id, text
    int press;                                        // button id sent as WM_COMMAND
};

std::vector<Step> steps;
size_t next_step;
std::vector<std::wstring> seen_prompt, seen_value, seen_second;
std::vector<int> watched;               // more controls recorded when the dialog first shows
std::vector<std::wstring> seen_watched;
std::wstring seen_box;                  // text of a message box the dialog raised
std::vector<std::wstring> cut_labels;   // labels of the dialog too wide for their controls
int ticks;

// A label whose text, in the dialog's font, is wider than the label: the end would not show.
BOOL CALLBACK note_cut_label(HWND child, LPARAM) {
    wchar_t name[16], text[300];
    GetClassNameW(child, name, 16);
    if (lstrcmpiW(name, L"Static") != 0 || GetWindowTextW(child, text, 300) <= 0) return TRUE;
    HDC dc = GetDC(child);
    HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageW(child, WM_GETFONT, 0, 0));
    RECT needed = {0, 0, 0, 0}, client;
    DrawTextW(dc, text, -1, &needed, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(child, dc);
    GetClientRect(child, &client);
    if (needed.right > client.right) cut_labels.push_back(text);
    return TRUE;
}

BOOL CALLBACK collect_static(HWND child, LPARAM text) {
    wchar_t name[16], part[1024];
    GetClassNameW(child, name, 16);
    if (lstrcmpiW(name, L"Static") == 0 && GetWindowTextW(child, part, 1024) > 0) *(std::wstring*)text += part;
    return TRUE;
}

// A message box on top of the dialog: note its text and answer it.
BOOL CALLBACK answer_message_box(HWND window, LPARAM found) {
    wchar_t name[16];
    GetClassNameW(window, name, 16);
    if (window == current_dialog || !IsWindowVisible(window) || lstrcmpW(name, L"#32770") != 0) return TRUE;
    seen_box.clear();
    EnumChildWindows(window, collect_static, (LPARAM)&seen_box);
    SendMessageW(window, WM_COMMAND, IDOK, 0);
    *(bool*)found = true;
    return FALSE;
}

std::wstring control_text(HWND dialog, int id) {
    wchar_t text[300] = {};
    GetDlgItemTextW(dialog, id, text, 300);
    return text;
}

void CALLBACK drive(HWND, UINT, UINT_PTR, DWORD) {
    if (++ticks > 200 && current_dialog) {   // a step that never ends the dialog: don't hang
        EndDialog(current_dialog, 0);
        return;
    }
    HWND dialog = current_dialog;
    if (!dialog) return;
    bool found = false;
    EnumThreadWindows(GetCurrentThreadId(), answer_message_box, (LPARAM)&found);
    if (found || next_step >= steps.size()) return;
    if (next_step == 0) {
        seen_prompt.push_back(control_text(dialog, 141));
        seen_value.push_back(control_text(dialog, 101));
        seen_second.push_back(control_text(dialog, 102));
        for (int id : watched) seen_watched.push_back(control_text(dialog, id));
        EnumChildWindows(dialog, note_cut_label, 0);
    }
    const Step& step = steps[next_step++];
    for (auto& s : step.set) SetDlgItemTextW(dialog, s.first, s.second.c_str());
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(step.press, BN_CLICKED), (LPARAM)GetDlgItem(dialog, step.press));
}

struct RealDialog : ::testing::Test {
    std::wstring program;
    HMODULE resources = NULL;
    HINSTANCE saved_instance = NULL;
    UINT_PTR timer = 0;

    void SetUp() override {
        wchar_t path[MAX_PATH + 32];
        DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
        ASSERT_GT(n, 0u);
        program.assign(path, n);
        program = program.substr(0, program.find_last_of(L"\\/"));
        program = program.substr(0, program.find_last_of(L"\\/")) + L"\\bin\\tavro.exe";
        resources = LoadLibraryExW(program.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        if (!resources) GTEST_SKIP() << "tavro.exe not built beside the tests";
        saved_instance = instance;
        instance = (HINSTANCE)resources;
        steps.clear();
        next_step = 0;
        ticks = 0;
        seen_prompt.clear();
        seen_value.clear();
        seen_second.clear();
        watched.clear();
        seen_watched.clear();
        seen_box.clear();
        cut_labels.clear();
        timer = SetTimer(NULL, 0, 30, drive);
        ASSERT_NE(timer, 0u);
    }
    void TearDown() override {
        if (timer) KillTimer(NULL, timer);
        if (resources) {
            instance = saved_instance;
            FreeLibrary(resources);
        }
        MSG msg;   // what the dialogs posted to a missing Main or Text
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        }
    }
};

// The manifest as Windows reads it from the program: resource 1 of type RT_MANIFEST (24). It and
// the version record carry the version of version.h.
TEST_F(RealDialog, TheManifestAsksForNoElevationCommonControls6TheSystemsItKnowsAndPerMonitorDpiAndCarriesTheVersion) {
    HRSRC found = FindResourceW(resources, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    std::string m((const char*)LockResource(LoadResource(resources, found)), SizeofResource(resources, found));
    for (const char* part : {"level=\"asInvoker\"", "Common-Controls\" version=\"6.0.0.0\"",
                             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                             ">PerMonitorV2,", "WindowsSettings\">true</dpiAware>",
                             "name=\"Tavro\" version=\"" TAVRO_VERSION_TEXT ".0.0\""})
        EXPECT_NE(m.find(part), std::string::npos) << part;

    std::vector<char> record(GetFileVersionInfoSizeW(program.c_str(), NULL));
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, (DWORD)record.size(), record.data()));
    void* value;
    UINT size;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", &value, &size));
    for (DWORD ms : {((VS_FIXEDFILEINFO*)value)->dwFileVersionMS, ((VS_FIXEDFILEINFO*)value)->dwProductVersionMS})
        EXPECT_EQ(ms, (DWORD)MAKELONG(TAVRO_VERSION_MINOR, TAVRO_VERSION_MAJOR));
    for (std::wstring name : {L"FileVersion", L"ProductVersion"}) {
        ASSERT_TRUE(VerQueryValueW(record.data(), (L"\\StringFileInfo\\040904b0\\" + name).c_str(), &value, &size));
        EXPECT_STREQ((const wchar_t*)value, TAVRO_VERSION_WIDE) << name;
    }
}

TEST_F(RealDialog, DataEntryShowsPromptAndTextAndReturnsTheEntryOnOk) {
    steps = {{{{101, L"dir,copy"}}, IDOK}};
    lstrcpyW(shared_edit_buffer, L"cls,");
    EXPECT_TRUE(data_entry_dialog(L"&Commands to run in separate cmd /c"));
    EXPECT_STREQ(shared_edit_buffer, L"dir,copy");
    ASSERT_EQ(seen_prompt.size(), 1u);
    EXPECT_EQ(seen_prompt[0], L"&Commands to run in separate cmd /c");
    EXPECT_EQ(seen_value[0], L"cls,");
    EXPECT_EQ(current_dialog, (HWND)NULL);
}

TEST_F(RealDialog, DataEntryCancelEmptiesTheBuffer) {
    steps = {{{{101, L"8"}}, IDCANCEL}};
    lstrcpyW(shared_edit_buffer, L"4");
    EXPECT_FALSE(data_entry_dialog(L"&Enter Tab Width:"));
    EXPECT_STREQ(shared_edit_buffer, L"");
    EXPECT_EQ(current_dialog, (HWND)NULL);
}

TEST_F(RealDialog, DataEntryReturnsAtMost2046Characters) {
    steps = {{{{101, std::wstring(3000, L'z')}}, IDOK}};
    shared_edit_buffer[0] = 0;
    EXPECT_TRUE(data_entry_dialog(L"x"));
    EXPECT_EQ(std::wstring(shared_edit_buffer).size(), 2046u);
}

TEST_F(RealDialog, SizeDialogShowsGridAndKeepsOpenOnTooSmallEntries) {
    int saved_columns = grid_columns, saved_lines = grid_lines;
    grid_columns = 80;
    grid_lines = 24;
    steps = {{{{101, L"9"}, {102, L"30"}}, IDOK},
             {{{101, L"40"}, {102, L"1"}}, IDOK},
             {{{101, L"10"}, {102, L"2"}}, IDOK}};
    window_size_command();
    EXPECT_EQ(next_step, 3u);   // the first two OKs left the dialog open
    ASSERT_EQ(seen_value.size(), 1u);
    EXPECT_EQ(seen_value[0], L"80");
    EXPECT_EQ(seen_second[0], L"25");
    EXPECT_EQ(grid_columns, 10);
    EXPECT_EQ(grid_lines, 2);
    EXPECT_EQ(current_dialog, (HWND)NULL);
    // "&Width in Columns:" and "&Height in Lines:" show whole.
    EXPECT_TRUE(cut_labels.empty()) << (cut_labels.empty() ? "" : std::string(cut_labels[0].begin(), cut_labels[0].end()));
    grid_columns = saved_columns;
    grid_lines = saved_lines;
}

TEST_F(RealDialog, SizeDialogCancelChangesNothing) {
    int saved_columns = grid_columns, saved_lines = grid_lines;
    grid_columns = 80;
    grid_lines = 24;
    steps = {{{{101, L"120"}, {102, L"40"}}, IDCANCEL}};
    window_size_command();
    EXPECT_EQ(next_step, 1u);
    EXPECT_EQ(grid_columns, 80);
    EXPECT_EQ(grid_lines, 24);
    grid_columns = saved_columns;
    grid_lines = saved_lines;
}

// The command dialogs read the command file first and write it after OK; they run here on a
// file of their own in the temporary folder.
struct CommandFileDialog : RealDialog {
    wchar_t saved_name[MAX_PATH + 32];
    wchar_t name[MAX_PATH + 32];

    void SetUp() override {
        RealDialog::SetUp();
        if (IsSkipped()) return;
        lstrcpyW(saved_name, command_file_name);
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        wsprintfW(name, L"%sdialogs_test_%lu.ing", folder, GetCurrentProcessId());
        lstrcpyW(command_file_name, name);
    }
    void TearDown() override {
        if (!IsSkipped()) {
            DeleteFileW(name);
            lstrcpyW(command_file_name, saved_name);
            clear_macros();
            set_command_list(CmdAndQuit, L"");
        }
        RealDialog::TearDown();
    }
    void write_file(const char* text) {
        HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written;
        WriteFile(file, text, lstrlenA(text), &written, NULL);
        CloseHandle(file);
    }
    std::string read_back() {
        HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        if (file == INVALID_HANDLE_VALUE) return "";
        char buffer[8192];
        DWORD got = 0;
        ReadFile(file, buffer, sizeof buffer, &got, NULL);
        CloseHandle(file);
        return std::string(buffer, got);
    }
};

TEST_F(CommandFileDialog, ListDialogShowsTheFileAsChangedByHandAndStoresTheNormalisedEntry) {
    set_command_list(CmdAndQuit, L"old,");
    write_file("[Cmd Commands]\r\nCmdAndQuit=vi,\r\n");
    steps = {{{{101, L",,cls,ver"}}, IDOK}};
    edit_command_list(CMD_EDIT_CMD_C);
    ASSERT_EQ(seen_value.size(), 1u);
    EXPECT_EQ(seen_value[0], L"vi,");
    EXPECT_EQ(seen_prompt[0], L"&Commands to run in separate cmd /c");
    EXPECT_STREQ(command_list_text(CmdAndQuit), L"cls,ver,");
    EXPECT_NE(read_back().find("CmdAndQuit=cls,ver,\r\n"), std::string::npos);
}

TEST_F(CommandFileDialog, CancelledListDialogWritesNothing) {
    write_file("[Cmd Commands]\r\nKeepCmd=vi,\r\n");
    steps = {{{{101, L"cls"}}, IDCANCEL}};
    edit_command_list(CMD_EDIT_CMD_K);
    EXPECT_EQ(seen_prompt.at(0), L"&Commands to run in separate cmd /k");
    EXPECT_STREQ(command_list_text(KeepCmd), L"vi,");
    EXPECT_EQ(read_back(), "[Cmd Commands]\r\nKeepCmd=vi,\r\n");
    set_command_list(KeepCmd, L"");
}

TEST_F(CommandFileDialog, MacroRowsCloseUpAndComeBackInTheFirstRows) {
    write_file("");
    steps = {{{{101, L"ls"}, {102, L"dir /w"}, {105, L"ll"}, {106, L"dir %c"}, {107, L"name only"}}, IDOK}};
    edit_macros();
    ASSERT_EQ(macro_count(), 2);
    EXPECT_STREQ(macro_name(0), L"ls");
    EXPECT_STREQ(macro_name(1), L"ll");
    EXPECT_STREQ(macro_expansion(1), L"dir %c");
    EXPECT_EQ(seen_box, L"");
    std::string file = read_back();
    EXPECT_NE(file.find("ls\tdir /w"), std::string::npos);
    EXPECT_NE(file.find("ll\tdir %c"), std::string::npos);
    EXPECT_EQ(file.find("name only"), std::string::npos);

    // Opened again: the two macros fill rows 1 and 2, row 3 is empty; Cancel keeps them.
    next_step = 0;
    ticks = 0;
    watched = {103, 104, 105};
    steps = {{{}, IDCANCEL}};
    edit_macros();
    ASSERT_EQ(seen_watched.size(), 3u);
    EXPECT_EQ(seen_value.at(1), L"ls");
    EXPECT_EQ(seen_watched[0], L"ll");
    EXPECT_EQ(seen_watched[1], L"dir %c");
    EXPECT_EQ(seen_watched[2], L"");
    EXPECT_EQ(macro_count(), 2);
}

TEST_F(CommandFileDialog, MacrosBeyondThePoolAreDroppedWithAMessageNamingThem) {
    write_file("");
    std::wstring long_one(1500, L'a'), too_long(1000, L'b');
    steps = {{{{101, L"first"}, {102, long_one}, {103, L"second"}, {104, too_long}, {105, L"third"},
               {106, L"echo 3"}}, IDOK}};
    edit_macros();
    ASSERT_EQ(macro_count(), 2);
    EXPECT_STREQ(macro_name(0), L"first");
    EXPECT_STREQ(macro_name(1), L"third");
    EXPECT_NE(seen_box.find(L"second"), std::wstring::npos) << std::string(seen_box.begin(), seen_box.end());
    EXPECT_EQ(seen_box.find(L"third"), std::wstring::npos);
    std::string file = read_back();
    EXPECT_NE(file.find("third\techo 3"), std::string::npos);
    EXPECT_EQ(file.find("second"), std::string::npos);
}

}  // namespace
