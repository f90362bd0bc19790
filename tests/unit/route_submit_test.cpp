// Submission through the input line procedure, with the slave's input pipe read back. Main has
// the program's own window procedure, so the commands a submission sends it really run.
#include <gtest/gtest.h>
#include <richedit.h>
#include "input/input.h"
#include "app/app.h"
#include "app/grid.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include "slave/pager.h"
#include "slave/reader.h"
#include "slave/slave.h"
#include "window_checks.h"
#include <string>

namespace {

class Submission : public ::testing::Test {
protected:
    TestWindowSet windows;
    HANDLE slave_out_write = nullptr;

    void SetUp() override {
        ASSERT_TRUE(windows.open());
        slave_out_write = windows.slave_out_write;
        pager.paging_mode = pager.discard_mode = output_paused = bypass_now = false;
        start_markers_pending = 0;
        pager.lines_left = 0;
        ::Run[0] = 0;
        grid_lines = 30;
        grid_columns = 100;
        TabWidth = 8;
    }
    void TearDown() override {
        windows.close();
        pager.paging_mode = pager.discard_mode = output_paused = false;
        pager_start_for_line(L"");
    }

    std::string sent() { return windows.sent(); }
    std::wstring pane() { return pane_text_now(); }
    void type_char(wchar_t c) { SendMessageW(Edit, WM_CHAR, c, 0); }
    std::string submit(const wchar_t* line) {
        SetWindowTextW(Edit, line);
        type_char(13);
        return sent();
    }
};

TEST_F(Submission, LinesReachTheSlaveAndSetPaging) {
    save_enabled = false;
    EXPECT_EQ(submit(L""), "\r\n");
    EXPECT_TRUE(save_enabled);
    EXPECT_EQ(submit(L"dir |  more"), "dir |  more\r\n");
    EXPECT_EQ(text_of(Edit), L"");
    EXPECT_TRUE(pager.paging_mode);
    EXPECT_TRUE(pager_awaiting_echo());   // no prompt ends the paging before the command's echo
    EXPECT_EQ(pager.lines_left, 29);
    EXPECT_EQ(text_of(Prom), L"\u00bb");
    grid_lines = 1;   // a pane one line high still shows a line per page
    submit(L"dir | more");
    EXPECT_EQ(pager.lines_left, 1);
    EXPECT_EQ(submit(L"dir"), "dir\r\n");
    EXPECT_FALSE(pager.paging_mode);
    EXPECT_EQ(text_of(Prom), L">");
    EXPECT_EQ(start_markers_pending, 0);
    EXPECT_TRUE(command_buffer[0] == 0);
}

// What goes to the slave is in its code page or not at all; a "chcp" typed alone is followed, on
// both sides of the pipe.
TEST_F(Submission, LinesGoInTheSlavesCodePageOrNotAtAll) {
    int saved_code_page = CodePage, saved_slave_page = slave_code_page;
    std::wstring saved_directory = tracked_directory;
    wcscpy(tracked_directory, L"C:\\x");
    CodePage = 0;
    slave_code_page = 1252;
    EXPECT_EQ(submit(L"echo x\xFF06md y"), "");   // best fit would send cmd's own "&"
    EXPECT_EQ(pane(), L"\rNot sent: code page 1252 has no \"\xFF06\" (U+FF06). UTF-8 has every character: "
                      L"View > Code Page..., 8.\r\r==> C:\\x> ");
    EXPECT_EQ(colour_at(1), ErrorText);
    SendMessageW(Edit, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(text_of(Edit), L"echo x\xFF06md y");   // nothing typed is lost
    EXPECT_EQ(submit(L"echo \xD83D"), "");           // half a character, in any page
    EXPECT_NE(pane().find(L"Not sent: U+D83D is half of a character"), std::wstring::npos);
    slave_code_page = 65001;                         // CodePage 0 where the ANSI page is UTF-8
    EXPECT_EQ(submit(L"echo caf\x00E9 \x4E2D"), "echo caf\xC3\xA9 \xE4\xB8\xAD\r\n");

    output_code_page = 65001;
    empty_pending_tails();   // a fresh slave, whose console starts in the OEM page
    EXPECT_EQ(output_code_page, (int)GetOEMCP());
    slave_code_page = output_code_page = 1252;
    EXPECT_EQ(submit(L"chcp 850"), "chcp 850\r\n");
    EXPECT_EQ(submit(L"echo caf\x00E9"), "echo caf\x82\r\n");
    EXPECT_EQ(CodePage, 850);
    for (const wchar_t* other : {L"chcp 1200", L"chcp 1", L"chcp 437 > nul"}) submit(other);
    EXPECT_EQ(slave_code_page, 850);
    std::string answer = "==> C:\\Jos\xE9> chcp 850\r\nActive code page: 850\r\n\r\n==> C:\\Jos\x82> ";
    DWORD done;
    WriteFile(slave_out_write, answer.data(), (DWORD)answer.size(), &done, nullptr);
    SetWindowTextW(Text, L"");
    read_slave_output(stdout_read);
    // The old page up to the end of the echo, the new one after it.
    EXPECT_EQ(pane(), L"==> C:\\Jos\x00E9> chcp 850\rActive code page: 850\r\r==> C:\\Jos\x00E9> ");
    empty_pending_tails();
    CodePage = saved_code_page, slave_code_page = saved_slave_page;
    wcscpy(tracked_directory, saved_directory.c_str());
}

TEST_F(Submission, ClearScreenAndBypassSendOnlyALineEnd) {
    SetWindowTextW(Text, L"old output");
    EXPECT_EQ(submit(L"cls"), "\n");   // Clear Screen's fresh prompt, nothing of the line
    EXPECT_EQ(pane(), L"");
    EXPECT_EQ(submit(L"CLS"), "CLS\r\n");
    wchar_t saved[CMD_LIST_BUFFER];
    wcscpy(saved, NoCmd);
    set_command_list(NoCmd, L"tavro_no_such_program,");
    // Run directly (it fails to start here): the slave gets only a fresh prompt.
    SetWindowTextW(Text, L"");
    EXPECT_EQ(submit(L"tavro_no_such_program /x"), "\r\n");
    wcscpy(NoCmd, saved);
    EXPECT_EQ(pane().find(L"tavro_no_such_program /x"), 0u);   // the echo, then the error
}

TEST_F(Submission, SlashWordsAreTakenOffTheFrontOfTheLine) {
    COLORREF saved_error = ErrorText, saved_bypass = DoItText;
    ErrorText = RGB(255, 0, 0);
    DoItText = RGB(0, 0, 255);
    // "/c" clears without an echo and keeps the rest of the line.
    SetWindowTextW(Text, L"old output");
    EXPECT_EQ(submit(L"/c echo hi"), "\necho hi\r\n");
    EXPECT_EQ(pane(), L"");
    // Tab widths are echoed; "/0" and unknown words change nothing.
    EXPECT_EQ(submit(L"/12 /0 /x echo hi"), "echo hi\r\n");
    EXPECT_EQ(TabWidth, 12);
    EXPECT_EQ(pane(), L"/12 /0 /x ");
    // "//" stops the pass: the next slash word reaches the slave.
    SetWindowTextW(Text, L"");
    EXPECT_EQ(submit(L"// //this"), "//this\r\n");
    EXPECT_EQ(pane(), L"// ");
    // "/r" echoed, and the ruler for the grid's width on the lines below.
    SetWindowTextW(Text, L"");
    grid_columns = 25;
    EXPECT_EQ(submit(L"/r"), "\r\n");
    EXPECT_EQ(pane(), L"/r \r         1         2\r1234567890123456789012345");
    // "/u" without a name: its line in the error colour, and the usage remark to the slave.
    SetWindowTextW(Text, L"");
    EXPECT_EQ(submit(L"/u"), "rem\t\tError: Usage is /u [environ-valiable]\r\n");
    EXPECT_EQ(pane().find(L"/u "), 0u);
    EXPECT_EQ(colour_at(0), RGB(255, 0, 0));
    EXPECT_EQ(colour_at(1), RGB(255, 0, 0));
    // "/!" is not echoed by itself; the bypass echo shows the whole line in the bypass colour.
    SetWindowTextW(Text, L"");
    EXPECT_EQ(submit(L"/! tavro_no_such_program_either"), "\r\n");
    EXPECT_FALSE(bypass_now);
    EXPECT_EQ(pane().find(L"/! tavro_no_such_program_either"), 0u);
    EXPECT_EQ(colour_at(0), RGB(0, 0, 255));
    ErrorText = saved_error, DoItText = saved_bypass;
}

// Ctrl+Backspace, the key and then character 127 (Windows) or 8 (Wine), deletes the word before the
// caret; character 127 alone does the same.
TEST_F(Submission, CtrlBackspaceDeletesTheWordBeforeTheCaret) {
    auto control = [](bool down) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = keys[VK_LCONTROL] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    };
    SetWindowTextW(Edit, L"dir abc  def");
    SendMessageW(Edit, EM_SETSEL, 12, 12);
    for (wchar_t made : {127, 8}) {
        control(true);
        SendMessageW(Edit, WM_KEYDOWN, VK_BACK, 0);
        control(false);
        type_char(made);
    }
    EXPECT_EQ(text_of(Edit), L"dir ");
    SendMessageW(Edit, EM_SETSEL, 0, 2);   // a selection goes alone
    type_char(127);
    EXPECT_EQ(text_of(Edit), L"r ");
}

TEST_F(Submission, CtrlBackslashTurnsSlashesAndKeepsTheSelection) {
    SetWindowTextW(Edit, L"cd a/b/c /d");
    SendMessageW(Edit, EM_SETSEL, 3, 6);
    type_char(28);
    EXPECT_EQ(text_of(Edit), L"cd a\\b\\c \\d");
    DWORD start = 0, end = 0;
    SendMessageW(Edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    EXPECT_EQ(start, 3u);
    EXPECT_EQ(end, 6u);
}

TEST_F(Submission, MacroExpandsBeforeSending) {
    bool existed = macro_store_exists();
    ASSERT_TRUE(existed || create_macro_store());
    clear_macros();
    ASSERT_TRUE(add_macro(L"ls", L"ls.exe  -T%t -C -w%c"));
    EXPECT_EQ(submit(L"LS -l"), "ls.exe  -T8 -C -w100 -l\r\n");
    clear_macros();
    if (!existed) free_macros();   // without a store, expansion is off again
}

// A file that lookup takes for a window program: its header names the GUI subsystem.
std::wstring make_window_program(std::string* narrow) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = std::wstring(temp) + L"tavro_route_gui.exe";
    unsigned char bytes[0x200] = {'M', 'Z'};
    bytes[0x3C] = 0x80;
    bytes[0x80 + 0x5C] = 2;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done;
    WriteFile(file, bytes, sizeof bytes, &done, nullptr);
    CloseHandle(file);
    narrow->clear();
    for (wchar_t c : path) *narrow += (char)c;
    return path;
}

TEST_F(Submission, WindowProgramGoesBehindTheStartMarker) {
    std::string narrow;
    std::wstring path = make_window_program(&narrow);
    // A quoted path gets an empty title first: start takes a first quoted argument for its title.
    std::wstring line = L"\"" + path + L"\" x";
    EXPECT_EQ(submit(line.c_str()), " sTaRT\t\"\"\t\"" + narrow + "\" x\r\n");
    EXPECT_EQ(start_markers_pending, 1);
    EXPECT_EQ(submit((path + L" x").c_str()), " sTaRT\t" + narrow + " x\r\n");
    EXPECT_EQ(start_markers_pending, 2);

    // A queue too full for the command takes neither it nor its marker.
    ASSERT_TRUE(send_to_slave(std::string(SEND_QUEUE_BYTES - 100, 'x').c_str()));
    size_t queued = slave_input_queued();
    SetWindowTextW(Edit, (path + L" " + std::wstring(200, L'y')).c_str());
    type_char(13);
    EXPECT_EQ(slave_input_queued(), queued);
    EXPECT_EQ(start_markers_pending, 2);
    EXPECT_NE(pane().find(L"Typed too far ahead"), std::wstring::npos);
    HANDLE pipe = stdin_write;
    stdin_write = nullptr;   // with no slave to take them, what waits is dropped
    flush_slave_input();
    stdin_write = pipe;
    EXPECT_EQ(slave_input_queued(), 0u);
    DeleteFileW(path.c_str());
}

TEST_F(Submission, PausedOutputConsumesTheNextCharacter) {
    type_char(19);
    EXPECT_TRUE(output_paused);
    EXPECT_EQ(text_of(Prom), L"\u00a7");
    SetWindowTextW(Edit, L"dir");
    type_char(13);   // only resumes
    EXPECT_FALSE(output_paused);
    EXPECT_EQ(text_of(Prom), L">");
    EXPECT_EQ(sent(), "");
    EXPECT_EQ(text_of(Edit), L"dir");
    type_char(19);
    type_char(19);   // a second Ctrl+S toggles back
    EXPECT_FALSE(output_paused);
}

TEST_F(Submission, WaitingPagerQuitsOnlyWithOutputPending) {
    pager.paging_mode = true;
    pager.lines_left = 0;
    type_char(L'q');
    EXPECT_FALSE(pager.discard_mode);
    EXPECT_TRUE(pager.paging_mode);
    DWORD done;
    WriteFile(slave_out_write, "x\r\n", 3, &done, nullptr);
    type_char(L'Q');
    EXPECT_TRUE(pager.discard_mode);
    EXPECT_EQ(text_of(Edit), L"");   // the answer is not typed
    for (int guard = 0; pager.discard_mode && guard < 10; guard++) discard_output();
    // The rest read already, behind a page of one line, goes too, and a fresh prompt is asked for.
    sent();
    SetWindowTextW(Text, L"");
    pager.paging_mode = true;
    pager.lines_left = 1;
    WriteFile(slave_out_write, "a\r\nb\r\n\r\n==> C:\\> ", 19, &done, nullptr);
    read_slave_output(stdout_read);
    type_char(L'q');
    ASSERT_TRUE(pager.discard_mode);
    discard_output();
    EXPECT_FALSE(pager.paging_mode || pager.discard_mode);
    EXPECT_EQ(pane(), L"a");
    EXPECT_EQ(sent(), "\n");
}

TEST_F(Submission, FWhileThePagerWaitsEndsPagingAndShowsTheRest) {
    pager.paging_mode = true;
    pager.lines_left = 0;
    SetWindowTextW(Prom, L"\u00bb");
    DWORD done;
    WriteFile(slave_out_write, "rest\r\n", 6, &done, nullptr);
    type_char(L'F');
    EXPECT_FALSE(pager.paging_mode);
    EXPECT_EQ(text_of(Prom), L">");
    EXPECT_EQ(text_of(Edit), L"");   // the answer is not typed
    EXPECT_NE(pane().find(L"rest"), std::wstring::npos);
}

TEST_F(Submission, EscapeEmptiesTheLineAndTheHistoryStartsFromTheNewest) {
    submit(L"older");
    submit(L"newer");
    for (int i = 0; i < 2; i++) SendMessageW(Edit, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(text_of(Edit), L"older");
    type_char(27);
    EXPECT_EQ(text_of(Edit), L"");
    SendMessageW(Edit, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(text_of(Edit), L"newer");
}

// What the editing keys and the history put into the line arrives whole: it does not answer a
// pending F2 or F4, the pause or the pager, which only a key typed by the user answers.
TEST_F(Submission, InsertedTextIsNotTakenForTypedKeys) {
    auto key = [](WPARAM k) { SendMessageW(Edit, WM_KEYDOWN, k, 0); };
    submit(L"older");
    submit(L"echo hi");
    key(VK_F2);
    type_char(27);
    key(VK_UP);
    EXPECT_EQ(text_of(Edit), L"echo hi");
    type_char(L'x');   // answers F2: nothing of "older" lies beyond the line's length
    EXPECT_EQ(text_of(Edit), L"echo hi");

    submit(L"abcdef");
    key(VK_F4);
    key(VK_F2);
    type_char(L'e');
    EXPECT_EQ(text_of(Edit), L"abcd");
    SendMessageW(Edit, EM_SETSEL, 0, 0);
    type_char(L'c');   // F4 was still armed
    EXPECT_EQ(text_of(Edit), L"cd");

    type_char(27);
    type_char(19);
    key(VK_UP);
    EXPECT_EQ(text_of(Edit), L"abcdef");
    EXPECT_TRUE(output_paused);
    type_char(L'x');
    EXPECT_FALSE(output_paused);
    EXPECT_EQ(text_of(Edit), L"abcdef");

    type_char(27);
    pager.paging_mode = true;
    pager.lines_left = 0;
    key(VK_UP);
    EXPECT_EQ(text_of(Edit), L"abcdef");
    EXPECT_EQ(pager.lines_left, 0);   // the pager still waits for the user
    type_char(27);
}

}  // namespace
