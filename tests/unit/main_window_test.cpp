// Main's commands and the children's keys on real windows in-process: Main has the program's
// own window procedure, the pane and the input line their own, the slave is a pair of pipes.
// A thread timer answers the message boxes and the data-entry dialog inside their modal loops;
// the shell's open action is recorded instead of run.
#include <gtest/gtest.h>
#include <windows.h>
#include <richedit.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/commands.h"
#include "app/grid.h"
#include "dialogs/dialogs.h"
#include "input/input.h"
#include "logs/logs_text.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include "slave/pager.h"
#include "slave/reader.h"
#include "slave/slave.h"
#include "window_checks.h"

namespace {

struct Box {
    std::wstring caption, text;
};
std::vector<Box> boxes;                    // message boxes seen, in order
int box_answer;                            // the button pressed in them
std::vector<std::wstring> dialog_prompts;  // prompts of the data-entry dialogs seen
std::wstring dialog_entry;                 // typed into the data-entry dialog, then OK
bool dialog_cancel;

std::vector<std::pair<std::wstring, std::wstring>> opened;   // file and directory given to the shell
INT_PTR open_result;

HINSTANCE record_open(HWND, const wchar_t* file, const wchar_t* directory) {
    opened.push_back({file, directory ? directory : L"(none)"});
    return (HINSTANCE)open_result;
}

BOOL CALLBACK collect_static(HWND child, LPARAM text) {
    wchar_t name[16], part[1024];
    GetClassNameW(child, name, 16);
    if (lstrcmpiW(name, L"Static") == 0 && GetWindowTextW(child, part, 1024) > 0) *(std::wstring*)text += part;
    return TRUE;
}

RECT popup;   // where the last popup menu opened; it is closed at once

BOOL CALLBACK answer_box(HWND window, LPARAM) {
    wchar_t name[16];
    GetClassNameW(window, name, 16);
    if (IsWindowVisible(window) && lstrcmpW(name, L"#32768") == 0) {
        GetWindowRect(window, &popup);
        EndMenu();
        return FALSE;
    }
    if (window == current_dialog || !IsWindowVisible(window) || lstrcmpW(name, L"#32770") != 0) return TRUE;
    Box box;
    wchar_t caption[300] = {};
    GetWindowTextW(window, caption, 300);
    box.caption = caption;
    EnumChildWindows(window, collect_static, (LPARAM)&box.text);
    boxes.push_back(box);
    SendMessageW(window, WM_COMMAND, box_answer, 0);
    return FALSE;
}

void CALLBACK drive(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND dialog = current_dialog) {
        wchar_t prompt[300] = {};
        GetDlgItemTextW(dialog, 141, prompt, 300);
        dialog_prompts.push_back(prompt);
        SetDlgItemTextW(dialog, 101, dialog_entry.c_str());
        int button = dialog_cancel ? IDCANCEL : IDOK;
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(dialog, button));
        return;
    }
    EnumThreadWindows(GetCurrentThreadId(), answer_box, 0);
}

class MainWindow : public ::testing::Test {
protected:
    TestWindowSet windows;
    HINSTANCE saved_instance;
    HMODULE resources = nullptr;
    wchar_t saved_help[FILE_NAME_CHARS], saved_directory[TRACKED_DIR_MAX + 1];
    int saved_code_page, saved_slave_code_page, saved_lines;
    HANDLE slave_out_write = nullptr;
    UINT_PTR timer = 0;
    std::wstring temp;
    HINSTANCE (*saved_open)(HWND, const wchar_t*, const wchar_t*);

    void SetUp() override {
        saved_instance = instance;
        lstrcpyW(saved_help, help_page_name);
        lstrcpyW(saved_directory, tracked_directory);
        saved_code_page = CodePage, saved_slave_code_page = slave_code_page, saved_lines = grid_lines;

        ASSERT_TRUE(windows.open());
        slave_out_write = windows.slave_out_write;
        pager.paging_mode = pager.discard_mode = output_paused = false;
        pager.lines_left = 0;
        grid_lines = 30;
        focus_redirect = 0;
        saved_open = shell_open;
        shell_open = record_open;
        opened.clear();
        open_result = 42;
        boxes.clear();
        box_answer = IDOK;
        dialog_prompts.clear();
        dialog_entry.clear();
        dialog_cancel = false;
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        temp = folder;
        lstrcpyW(tracked_directory, folder);
        // The data-entry dialog's template comes from tavro.exe beside the tests.
        wchar_t path[MAX_PATH + 32];
        DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring exe(path, n);
        exe = exe.substr(0, exe.find_last_of(L"\\/"));
        exe = exe.substr(0, exe.find_last_of(L"\\/")) + L"\\bin\\tavro.exe";
        resources = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (resources) instance = (HINSTANCE)resources;
        timer = SetTimer(nullptr, 0, 30, drive);
        ASSERT_NE(timer, 0u);
    }
    void TearDown() override {
        if (timer) KillTimer(nullptr, timer);
        set_keys(false, false);
        windows.close();
        pump();
        instance = saved_instance;
        if (resources) FreeLibrary(resources);
        lstrcpyW(help_page_name, saved_help);
        lstrcpyW(tracked_directory, saved_directory);
        CodePage = saved_code_page, slave_code_page = saved_slave_code_page, grid_lines = saved_lines;
        pager.paging_mode = pager.discard_mode = output_paused = false;
        shell_open = saved_open;
        focus_redirect = 0;
    }

    static void pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    static void set_keys(bool shift, bool control) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = keys[VK_LSHIFT] = shift ? 0x80 : 0;
        keys[VK_CONTROL] = keys[VK_LCONTROL] = control ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    void command(int id) { SendMessageW(Main, WM_COMMAND, id, 0); }
    std::string sent() { return windows.sent(); }
    std::wstring pane() { return pane_text_now(); }
    void select_in_pane(const std::wstring& text, long from, long to) {
        SetWindowTextW(Text, text.c_str());
        CHARRANGE range = {from, to};
        SendMessageW(Text, EM_EXSETSEL, 0, (LPARAM)&range);
    }
};

// Moved to a monitor at 200 %: the font, the margins, the caption and the menus' offsets double,
// the window takes the rectangle Windows suggests.
TEST_F(MainWindow, ADpiChangeRemakesTheFontAndTheMarginsAtTheSuggestedRectangle) {
    LOGFONTW saved_logfont = logfont;
    HFONT saved_font = font;
    int saved_size = Size, saved_width = cell_width, saved_height = cell_height;
    font = nullptr;
    Size = -16;
    RECT suggested = {30, 40, 730, 540}, r;
    SendMessageW(Main, WM_DPICHANGED, MAKEWPARAM(192, 192), (LPARAM)&suggested);
    EXPECT_EQ(logfont.lfHeight, -32);
    int caption = screen.caption_height;
    GetWindowRect(Main, &r);
    EXPECT_TRUE(EqualRect(&r, &suggested));
    GetWindowRect(Text, &r);
    MapWindowPoints(nullptr, Main, (POINT*)&r, 2);
    EXPECT_EQ(r.left, 4);
    EXPECT_EQ(r.top, 4);
    POINT client = {0, 0}, click = {60, 40};   // the View menu opens 120 pixels in, the pane's 8 off
    ClientToScreen(Main, &client), ClientToScreen(Text, &click);
    show_menu_popup(2);
    EXPECT_EQ(popup.left, client.x + 120);
    SendMessageW(Text, WM_RBUTTONUP, 0, MAKELPARAM(60, 40));
    EXPECT_TRUE(popup.left == click.x - 8 && popup.top == click.y - 8);
    SendMessageW(Main, WM_DPICHANGED, MAKEWPARAM(96, 96), (LPARAM)&suggested);
    EXPECT_LT(screen.caption_height, caption);
    DeleteObject(font);
    font = saved_font, logfont = saved_logfont;
    Size = saved_size, cell_width = saved_width, cell_height = saved_height;
}

std::vector<UINT> reached;   // messages that reached the rich-edit control's own procedure
WNDPROC control_proc;
LRESULT CALLBACK record_control(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    reached.push_back(message);
    return CallWindowProcW(control_proc, window, message, wparam, lparam);
}

// Windows' rich-edit control has shortcuts that Wine's lacks; the pane lets it have only moving,
// selecting, copying and select all, and Shift+Insert pastes into the input line.
TEST_F(MainWindow, ThePaneLetsTheControlHaveOnlyMovingSelectingAndCopying) {
    control_proc = text_previous_proc;
    text_previous_proc = record_control;
    struct Key {
        UINT message;
        WPARAM key;
        bool shift, control, reaches;
    } keys[] = {
        {WM_KEYDOWN, VK_HOME, 1, 1, 1}, {WM_KEYUP, VK_PRIOR, 0, 0, 1}, {WM_KEYDOWN, 'C', 0, 1, 1},
        {WM_KEYDOWN, 'E', 0, 1, 0},     {WM_KEYDOWN, '2', 0, 1, 0},    {WM_KEYDOWN, 'A', 1, 1, 0},
        {WM_KEYUP, VK_SHIFT, 0, 1, 0},  {WM_SYSKEYDOWN, 'X', 0, 0, 0}, {WM_CHAR, 25, 0, 1, 0},
        {WM_IME_CHAR, 0x4E2D, 0, 0, 0},
    };
    for (const Key& k : keys) {
        reached.clear();
        set_keys(k.shift, k.control);
        SendMessageW(Text, k.message, k.key, 0);
        pump();
        EXPECT_EQ(!reached.empty() && reached[0] == k.message, k.reaches) << k.message << " " << k.key;
    }
    EXPECT_EQ(text_of(Edit), L"\x4E2D");   // an input method's character goes to the input line
    select_in_pane(L"pasted text", 0, 6);
    SendMessageW(Text, WM_CHAR, 3, 0);   // copied
    SetWindowTextW(Edit, L"");
    set_keys(true, false);
    SendMessageW(Text, WM_KEYDOWN, VK_INSERT, 0);
    pump();   // the paste waits while the clipboard is busy
    EXPECT_EQ(text_of(Edit), L"pasted");
    text_previous_proc = control_proc;
}

// The tab stops are paragraph formats in twips on the whole pane; the text colour is the default
// format too: text after Clear Screen keeps both.
TEST_F(MainWindow, TabStopsAndTheTextColourHoldAfterClearScreen) {
    int saved_tab = TabWidth, saved_cell = cell_width;
    COLORREF saved_colour = ColorText;
    auto second_stop = [](long at) {
        SendMessageW(Text, EM_SETSEL, at, at);
        PARAFORMAT format = {};
        format.cbSize = sizeof format;
        SendMessageW(Text, EM_GETPARAFORMAT, 0, (LPARAM)&format);
        return format.cTabCount == MAX_TAB_STOPS ? format.rgxTabs[1] : 0;
    };
    auto default_colour = [] {
        CHARFORMATW format = {};
        format.cbSize = sizeof format;
        SendMessageW(Text, EM_GETCHARFORMAT, SCF_DEFAULT, (LPARAM)&format);
        return format.crTextColor;
    };
    cell_width = 8, TabWidth = 4, ColorText = RGB(200, 200, 0);
    SetWindowTextW(Text, L"a\tb\rc");
    configure_pane();
    EXPECT_EQ(default_colour(), RGB(200, 200, 0));
    EXPECT_EQ(second_stop(4), 8 * 8 * 15);   // 15 twips a pixel at 96 DPI
    command(CMD_CLEAR_SCREEN);
    print_to_output_pane(L"%s", L"x\ty");
    EXPECT_EQ(colour_at(0), RGB(200, 200, 0));
    EXPECT_EQ(second_stop(2), 8 * 8 * 15);
    sent();
    TabWidth = saved_tab, cell_width = saved_cell, ColorText = saved_colour;
}

TEST_F(MainWindow, HelpOpensTheLocalPageThenTheOnlinePageThenSaysNeitherOpened) {
    std::wstring page = temp + L"tavro_main_window_test.html";
    HANDLE file = CreateFileW(page.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    lstrcpyW(help_page_name, page.c_str());
    command(CMD_HELP);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, page);
    EXPECT_TRUE(boxes.empty());

    // The page does not open: the online page next, and when that fails too, the box.
    opened.clear();
    open_result = 2;
    command(CMD_HELP);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].first, page);
    EXPECT_EQ(opened[1].first.rfind(L"https://", 0), 0u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Tavro Help");
    EXPECT_EQ(boxes[0].text, L"Cannot find tavro.html help file");

    // No page beside the program: straight to the online page.
    DeleteFileW(page.c_str());
    opened.clear();
    boxes.clear();
    open_result = 42;
    command(CMD_HELP);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first.rfind(L"https://", 0), 0u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainWindow, OpenSelectedTextTakesOneTo255Characters) {
    // Nothing selected, or 256 characters: the box, nothing opened or sent.
    select_in_pane(L"some output", 3, 3);
    command(CMD_OPEN_SELECTED);
    std::wstring long_text(256, L'a');
    select_in_pane(long_text, 0, 256);
    command(CMD_OPEN_SELECTED);
    ASSERT_EQ(boxes.size(), 2u);
    for (const Box& box : boxes) {
        EXPECT_EQ(box.caption, L"Invalid Selection");
        EXPECT_EQ(box.text, L"Selected text must be of length > 0 and < 256");
    }
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(sent(), "");

    // 255 characters that name no file go to the shell, in the slave's directory.
    select_in_pane(long_text, 0, 255);
    command(CMD_OPEN_SELECTED);
    EXPECT_EQ(boxes.size(), 2u);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, std::wstring(255, L'a'));
    EXPECT_EQ(opened[0].second, temp);
    EXPECT_EQ(focus_redirect, 1);   // the next two focus events go to the pane
}

TEST_F(MainWindow, OpenSelectedTextChangesToADirectoryAndOpensAFile) {
    std::wstring folder = temp.substr(0, temp.size() - 1);   // without its closing "\"
    select_in_pane(L"x " + folder + L"\r\nnext", 2, 2 + (long)folder.size() + 1);   // the line break too
    command(CMD_OPEN_SELECTED);
    std::string expected = "cd \"";
    for (wchar_t c : folder) expected += (char)c;
    EXPECT_EQ(sent(), expected + "\"\r\n");
    EXPECT_TRUE(opened.empty());
    // Names with characters that the command processor would take for its own: quoted.
    for (std::wstring name : {L"amp&dir", L"car^et", L"a b", L"100%"}) {
        std::wstring path = temp + name;
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        select_in_pane(path, 0, (long)path.size());
        command(CMD_OPEN_SELECTED);
        RemoveDirectoryW(path.c_str());
        std::string line = "cd \"";
        for (wchar_t c : path) line += (char)c;
        if (name == L"100%") line += "\"\"";   // no "%...%" in it can name a variable
        EXPECT_EQ(sent(), line + "\"\r\n");
    }
    // Characters the slave's code page lacks: not sent (best fit would make it cd "x"&calc&"y").
    slave_code_page = 1252;
    std::wstring lookalike = temp + L"x\xFF02\xFF06" L"calc\xFF06\xFF02y";
    ASSERT_TRUE(CreateDirectoryW(lookalike.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    select_in_pane(lookalike, 0, (long)lookalike.size());
    command(CMD_OPEN_SELECTED);
    RemoveDirectoryW(lookalike.c_str());
    EXPECT_EQ(sent(), "");
    EXPECT_TRUE(opened.empty());

    std::wstring file = temp + L"tavro_open_selected.txt";
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    select_in_pane(file, 0, (long)file.size());
    command(CMD_OPEN_SELECTED);
    DeleteFileW(file.c_str());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, file);
    EXPECT_EQ(sent(), "");

    // The shell refuses: the system's message in the pane.
    SetLastError(ERROR_FILE_NOT_FOUND);
    open_result = 2;
    select_in_pane(file, 0, (long)file.size());
    command(CMD_OPEN_SELECTED);
    EXPECT_NE(pane().find(L"Error: "), std::wstring::npos);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainWindow, CodePageEntryOf8StoresUtf8AndTellsTheSlaveUtf8) {
    if (!resources) GTEST_SKIP() << "tavro.exe not built beside the tests";
    CodePage = 0;
    dialog_entry = L"8";
    command(CMD_CODE_PAGE);
    ASSERT_EQ(dialog_prompts.size(), 1u);
    EXPECT_EQ(dialog_prompts[0], L"Code Page (0=ANSI,1=OEM,8=UTF8)");
    EXPECT_EQ(CodePage, 65001);
    EXPECT_EQ(sent(), "CHCP 65001\r\n");
    dialog_entry = L"0";
    command(CMD_CODE_PAGE);
    EXPECT_EQ(CodePage, 0);
    EXPECT_EQ(sent(), "CHCP " + std::to_string(GetACP()) + "\r\n");
    // A page the conversions cannot use would lose every command and every line of output.
    for (const wchar_t* unusable : {L"1200", L"5"}) {
        dialog_entry = unusable;
        command(CMD_CODE_PAGE);
        EXPECT_EQ(CodePage, 0);
        EXPECT_EQ(sent(), "");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, L"Tavro: Code Page");
        EXPECT_NE(boxes[0].text.find(std::wstring(L"Code page ") + unusable + L" cannot be used"), std::wstring::npos);
        boxes.clear();
    }
    // Shift+Ctrl+C, in the input line or in the pane, opens the same entry.
    dialog_cancel = true;
    set_keys(true, true);
    SendMessageW(Edit, WM_CHAR, 3, 0);
    pump();
    SendMessageW(Text, WM_CHAR, 3, 0);
    pump();
    set_keys(false, false);
    EXPECT_EQ(dialog_prompts.size(), 6u);
    EXPECT_EQ(CodePage, 0);
    EXPECT_EQ(sent(), "");
    EXPECT_TRUE(boxes.empty());   // no interrupt question
}

TEST_F(MainWindow, PipeThruMoreStartsPagingOnlyOnOutputThatWaits) {
    command(CMD_PIPE_MORE);
    EXPECT_FALSE(pager.paging_mode);
    EXPECT_EQ(text_of(Prom), L">");
    DWORD done;
    WriteFile(slave_out_write, "x\r\n", 3, &done, nullptr);
    pager_start_for_line(L"dir | more");   // an earlier paged command, its echo still awaited,
    pager.paging_mode = false;             // whose paging "f" ended
    // F12 in the input line posts the same command.
    SendMessageW(Edit, WM_KEYDOWN, VK_F12, 0);
    pump();
    EXPECT_TRUE(pager.paging_mode);
    EXPECT_FALSE(pager_awaiting_echo());   // the output is coming already: the next prompt ends it
    EXPECT_EQ(pager.lines_left, 29);
    EXPECT_EQ(text_of(Prom), L"\u00bb");
    // Discarding ("q" answered) starts over as a fresh page.
    pager.discard_mode = true;
    pager.lines_left = 0;
    command(CMD_PIPE_MORE);
    EXPECT_FALSE(pager.discard_mode);
    EXPECT_EQ(pager.lines_left, 29);
}

TEST_F(MainWindow, CtrlCCopiesTheSelectionAndAsksBeforeInterruptingWithout) {
    select_in_pane(L"hello world", 0, 5);
    SendMessageW(Text, WM_CHAR, 3, 0);
    ASSERT_TRUE(OpenClipboard(Main));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::wstring copied = data ? (const wchar_t*)GlobalLock(data) : L"";
    if (data) GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied, L"hello");
    EXPECT_TRUE(boxes.empty());
    // Nothing selected: the question, answered No.
    box_answer = IDNO;
    select_in_pane(L"hello world", 2, 2);
    SendMessageW(Text, WM_CHAR, 3, 0);
    SendMessageW(Edit, WM_CHAR, 3, 0);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, L"Tavro: Interrupt?");
    EXPECT_EQ(boxes[1].text, L"Terminate command?");
}

TEST_F(MainWindow, NameCompletionCyclesThroughTheFolderAndStartsOverWhenTheLineChanges) {
    std::wstring root = temp + L"tavro_completion_" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const wchar_t* files[] = {L"alpha1.txt", L"alpha2.txt", L"beta.txt"};
    for (const wchar_t* name : files) {
        HANDLE h = CreateFileW((root + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    CreateDirectoryW((root + L"\\alphadir").c_str(), nullptr);
    CreateDirectoryW((root + L"\\alphadir\\inner").c_str(), nullptr);
    auto line = [&](const std::wstring& text) {
        SetWindowTextW(Edit, text.c_str());
        SendMessageW(Edit, EM_SETSEL, text.size(), text.size());
    };
    auto press = [&](wchar_t c) {
        SendMessageW(Edit, WM_CHAR, c, 0);
        return text_of(Edit);
    };
    std::wstring folder = L"type " + root + L"\\";

    line(folder + L"al");
    std::wstring first = press(6);
    std::set<std::wstring> seen = {first, press(6), press(6)};
    EXPECT_EQ(seen, (std::set<std::wstring>{folder + L"alpha1.txt", folder + L"alpha2.txt", folder + L"alphadir"}));
    EXPECT_EQ(press(6), first);   // after the last match, the first again
    DWORD start = 0, end = 0;
    SendMessageW(Edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    EXPECT_EQ(end, (DWORD)(folder.size() + 2));   // the caret stays after what was typed

    // Typed over at the same caret: a new cycle for the new word.
    line(folder + L"be");
    EXPECT_EQ(press(6), folder + L"beta.txt");
    // The caret moved to the end of an offered name: that name alone matches now.
    line(first);
    EXPECT_EQ(press(6), first);
    EXPECT_EQ(press(6), first);
    // Directories only: with Ctrl+D, and on a cd line whatever the key; "." and ".." never.
    line(folder + L"al");
    EXPECT_EQ(press(4), folder + L"alphadir");
    EXPECT_EQ(press(4), folder + L"alphadir");
    line(L"cd /d " + root + L"\\alphadir\\");
    EXPECT_EQ(press(6), L"cd /d " + root + L"\\alphadir\\inner");
    EXPECT_EQ(press(6), L"cd /d " + root + L"\\alphadir\\inner");
    // No match: the line stays as typed.
    line(folder + L"zz");
    EXPECT_EQ(press(6), folder + L"zz");
    // A drive word completes in that drive's current directory, after the ":".
    wchar_t saved_directory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved_directory);
    ASSERT_TRUE(SetCurrentDirectoryW(root.c_str()));
    std::wstring drive = L"type " + root.substr(0, 2);
    line(drive + L"be");
    EXPECT_EQ(press(6), drive + L"beta.txt");
    SetCurrentDirectoryW(saved_directory);

    SetWindowTextW(Edit, L"");
    SendMessageW(Edit, WM_CHAR, 13, 0);   // Enter closes the listing
    sent();
    RemoveDirectoryW((root + L"\\alphadir\\inner").c_str());
    RemoveDirectoryW((root + L"\\alphadir").c_str());
    for (const wchar_t* name : files) DeleteFileW((root + L"\\" + name).c_str());
    RemoveDirectoryW(root.c_str());
}

// The error log's files are named for this test; the settings it touches are put back.
struct ErrorLogFiles {
    wchar_t saved_current[FILE_NAME_CHARS], saved_previous[FILE_NAME_CHARS];
    int saved_error_log = ErrorLog, saved_highlight = HighlightErrs;
    std::wstring current, previous;
    explicit ErrorLogFiles(const std::wstring& folder) {
        lstrcpyW(saved_current, error_log_name);
        lstrcpyW(saved_previous, previous_error_log_name);
        current = folder + L"tavro_main_window_test.err";
        previous = folder + L"tavro_main_window_test.ero";
        lstrcpyW(error_log_name, current.c_str());
        lstrcpyW(previous_error_log_name, previous.c_str());
        DeleteFileW(current.c_str());   // left by a run that ended before its clean-up
        DeleteFileW(previous.c_str());
    }
    ~ErrorLogFiles() {
        DeleteFileW(current.c_str());
        DeleteFileW(previous.c_str());
        lstrcpyW(error_log_name, saved_current);
        lstrcpyW(previous_error_log_name, saved_previous);
        ErrorLog = saved_error_log, HighlightErrs = saved_highlight;
    }
    static void write(const std::wstring& name, const char* text) {
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD done;
        WriteFile(h, text, lstrlenA(text), &done, nullptr);
        CloseHandle(h);
    }
};

TEST_F(MainWindow, LogErrorsWithoutShowErrorsInColorOnlyAsksToTurnItOn) {
    ErrorLogFiles files(temp);
    HighlightErrs = 0;
    ErrorLog = 0;
    command(CMD_LOG_ERRORS);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Error");
    EXPECT_EQ(boxes[0].text, L"You must turn on 'View > Show Errors in Color' to be able to log errors.");
    EXPECT_EQ(ErrorLog, 0);
    EXPECT_EQ(GetFileAttributesW(files.current.c_str()), INVALID_FILE_ATTRIBUTES);
}

// A UTF-8 character that the pieces of a long line split comes out whole.
TEST_F(MainWindow, ViewErrorsShowsThePreviousLogFirstUnderOneHeader) {
    ErrorLogFiles files(temp);
    ErrorLog = 0;
    CodePage = CP_UTF8;
    ErrorLogFiles::write(files.previous, "older error\r\n");
    std::string current = "newer error\r\n";
    for (int i = 0; i <= LOG_FILE_LINE_BYTES / 3; i++) current += "\xE2\x82\xAC";   // the last one cut
    ErrorLogFiles::write(files.current, (current + "\r\n").c_str());
    command(CMD_VIEW_ERRORS);
    EXPECT_NE(pane().find(std::wstring(LOG_FILE_LINE_BYTES / 3 + 1, L'\u20AC') + L"\r"), std::wstring::npos);
    std::wstring text = pane();
    size_t header = text.find(L"\tError Log");
    ASSERT_NE(header, std::wstring::npos) << std::string(text.begin(), text.end());
    EXPECT_EQ(text.find(L"\tError Log", header + 1), std::wstring::npos);
    size_t older = text.find(L"older error"), newer = text.find(L"newer error");
    ASSERT_NE(older, std::wstring::npos);
    ASSERT_NE(newer, std::wstring::npos);
    EXPECT_LT(header, older);
    EXPECT_LT(older, newer);
}

TEST_F(MainWindow, FunctionKeysOfTheInputLine) {
    add_to_history(L"dir abc def");
    auto key = [&](UINT vk) {
        SendMessageW(Edit, WM_KEYDOWN, vk, 0);
        pump();
    };
    auto line = [&](const wchar_t* text, int caret) {
        SetWindowTextW(Edit, text);
        SendMessageW(Edit, EM_SETSEL, caret, caret);
    };
    line(L"", 0);
    key(VK_F1);
    key(VK_F1);
    EXPECT_EQ(text_of(Edit), L"di");
    line(L"dir ", 4);
    key(VK_F2);
    SendMessageW(Edit, WM_CHAR, L'd', 0);
    EXPECT_EQ(text_of(Edit), L"dir abc ");
    line(L"xxabc", 0);
    key(VK_F4);
    SendMessageW(Edit, WM_CHAR, L'b', 0);
    EXPECT_EQ(text_of(Edit), L"bc");
    line(L"", 0);
    key(VK_F5);
    EXPECT_EQ(text_of(Edit), L"dir ");
    line(L"", 0);
    key(VK_F6);
    EXPECT_EQ(text_of(Edit), L"def");
    set_keys(true, false);
    line(L"", 0);
    key(VK_F5);
    EXPECT_EQ(text_of(Edit), L"abc ");
    line(L"", 0);
    key(VK_F6);
    EXPECT_EQ(text_of(Edit), L"abc def");
    set_keys(false, false);

    // F8 walks back through entries that begin with the typed text; Shift or Ctrl walks forwards.
    add_to_history(L"dir one");
    add_to_history(L"echo x");
    add_to_history(L"dir two");
    line(L"dir", 3);
    key(VK_F8);
    EXPECT_EQ(text_of(Edit), L"dir two");
    key(VK_F8);
    EXPECT_EQ(text_of(Edit), L"dir one");
    key(VK_F8);
    EXPECT_EQ(text_of(Edit), L"dir abc def");
    set_keys(false, true);
    key(VK_F8);
    EXPECT_EQ(text_of(Edit), L"dir one");
    set_keys(true, false);
    key(VK_F8);
    EXPECT_EQ(text_of(Edit), L"dir two");
    set_keys(false, false);
    history_cursor_to_end();
}

}  // namespace
