// The reader on real anonymous pipes and a real rich-edit pane: tails, interleaving with standard
// error, the held prompt, paging, prompt tracking, split characters and discarding.
#include "slave/pager.h"
#include "slave/reader.h"
#include "input/input.h"
#include "slave/slave.h"
#include "pane/pane.h"
#include "app/app.h"
#include "logs/logs.h"
#include "settings/settings.h"
#include "app/commands.h"
#include <richedit.h>
#include <gtest/gtest.h>
#include "window_checks.h"
#include <string>

namespace {

const COLORREF NORMAL = RGB(0, 0, 1);
const COLORREF RED = RGB(255, 0, 0);

struct Pipe {
    HANDLE read = nullptr, write = nullptr;
    void open() { ASSERT_TRUE(CreatePipe(&read, &write, NULL, 1 << 16)); }
    void close() {
        if (read) CloseHandle(read);
        if (write) CloseHandle(write);
        read = write = nullptr;
    }
    void put(const std::string& bytes) {
        DWORD n = 0;
        ASSERT_TRUE(WriteFile(write, bytes.data(), (DWORD)bytes.size(), &n, NULL));
        ASSERT_EQ(n, bytes.size());
    }
    DWORD waiting() {
        DWORD n = 0;
        PeekNamedPipe(read, NULL, 0, NULL, &n, NULL);
        return n;
    }
};

class ReaderPipes : public ::testing::Test {
protected:
    Pipe out, err, in;
    HWND saved_main = nullptr, saved_text = nullptr, saved_prom = nullptr;
    HANDLE saved_handles[3] = {};
    int saved_code_page = 0, saved_highlight = 0, saved_output_page = 0;
    COLORREF saved_colour = 0;
    COLORREF saved_error_colour = 0;
    wchar_t saved_dir[MAX_PATH] = {}, saved_tracked[TRACKED_DIR_MAX + 1] = {}, saved_base[BASE_TITLE_MAX + 1] = {};

    void SetUp() override {
        static HMODULE library = LoadLibraryW(L"Riched20.dll");
        ASSERT_NE(library, nullptr);
        out.open();
        err.open();
        in.open();
        saved_handles[0] = stdout_read;
        saved_handles[1] = stderr_read;
        saved_handles[2] = stdin_write;
        stdout_read = out.read;
        stderr_read = err.read;
        stdin_write = in.write;
        saved_main = Main;
        saved_text = Text;
        saved_prom = Prom;
        saved_code_page = CodePage;
        saved_output_page = output_code_page;
        saved_highlight = HighlightErrs;
        saved_colour = ColorText;
        saved_error_colour = ErrorText;
        GetCurrentDirectoryW(MAX_PATH, saved_dir);
        wcscpy(saved_tracked, tracked_directory);
        wcscpy(saved_base, base_title);
        wcscpy(base_title, L"Tavro");
        Main = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, NULL, NULL, GetModuleHandleW(NULL), NULL);
        Text = CreateWindowExW(0, L"RichEdit20W", L"", WS_POPUP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL,
                               0, 0, 400, 300, NULL, NULL, GetModuleHandleW(NULL), NULL);
        Prom = CreateWindowExW(0, L"EDIT", L">", WS_POPUP, 0, 0, 20, 20, NULL, NULL, GetModuleHandleW(NULL), NULL);
        ASSERT_TRUE(Main && Text && Prom);
        CodePage = 1252;
        HighlightErrs = 0;
        ColorText = NORMAL;
        ErrorText = RED;
        set_output_colour(Text, SCF_ALL, NORMAL);
        pager.paging_mode = pager.discard_mode = false;
        pager.lines_left = 0;
        pager_start_for_line(L"");
        held_prompt[0] = 0;
        hide_at_first_prompt = false;
        output_log_open = error_log_open = false;
        empty_pending_tails();
        output_code_page = 1252;
    }

    void TearDown() override {
        empty_pending_tails();
        pager.paging_mode = pager.discard_mode = false;
        held_prompt[0] = 0;
        hide_at_first_prompt = false;
        output_log_open = error_log_open = false;
        stdout_read = saved_handles[0];
        stderr_read = saved_handles[1];
        stdin_write = saved_handles[2];
        out.close();
        err.close();
        in.close();
        DestroyWindow(Prom);
        DestroyWindow(Text);
        DestroyWindow(Main);
        Main = saved_main;
        Text = saved_text;
        Prom = saved_prom;
        CodePage = saved_code_page;
        output_code_page = saved_output_page;
        HighlightErrs = saved_highlight;
        ColorText = saved_colour;
        ErrorText = saved_error_colour;
        SetCurrentDirectoryW(saved_dir);
        wcscpy(tracked_directory, saved_tracked);
        wcscpy(base_title, saved_base);
    }


    std::wstring window_text(HWND window) {
        wchar_t buf[400];
        GetWindowTextW(window, buf, 400);
        return buf;
    }

    // As the main loop does: read standard output while it has bytes.
    void drain_out() {
        for (int guard = 0; out.waiting() && guard < 1000; guard++) read_slave_output(stdout_read);
    }


};

TEST_F(ReaderPipes, CrLfSplitAcrossReadsIsOneLineBreak) {
    out.put("abc\r");
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"abc");
    out.put("\ndef\r\n");
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"abc\rdef\r");
    // A run of carriage returns waits whole: "\r\r\n" is one line break however it is split.
    out.put("ghi\r\r");
    read_slave_output(stdout_read);
    out.put("\njkl\r\n");
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"abc\rdef\rghi\rjkl\r");
}

TEST_F(ReaderPipes, AnErrorLineBetweenACarriageReturnAndItsLineFeed) {
    HighlightErrs = 1;
    out.put("A\r");
    read_slave_output(stdout_read);
    err.put("E\r\n");
    read_slave_errors();
    out.put("\nB\r\n");
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"A\rE\rB\r");
}

TEST_F(ReaderPipes, UnfinishedLineWaitsWhileMoreIsWaitingButNeverStalls) {
    out.put("A\r\n" + std::string(1017, 'P') + "Q\r\n");
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"A");
    read_slave_output(stdout_read);   // a full read of one line break and one line: printed
    EXPECT_EQ(pane_text_now(), L"A\r" + std::wstring(1017, L'P') + L"Q");
    drain_out();
    EXPECT_EQ(pane_text_now(), L"A\r" + std::wstring(1017, L'P') + L"Q\r");
}

TEST_F(ReaderPipes, QuestionWithoutLineEndIsPrintedAtOnce) {
    out.put("Delete (Y/N)? ");
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"Delete (Y/N)? ");
}

TEST_F(ReaderPipes, StandardErrorGetsALineOfItsOwnInItsColour) {
    HighlightErrs = 1;
    out.put("A\r\n" + std::string(1017, 'P') + "Q\r\n");
    err.put("E\r\n");
    read_slave_output(stdout_read);
    read_slave_errors();
    drain_out();
    std::wstring expected = L"A\rE\r" + std::wstring(1017, L'P') + L"Q\r";
    ASSERT_EQ(pane_text_now(), expected);
    EXPECT_EQ(colour_at(0), NORMAL);
    EXPECT_EQ(colour_at(2), RED);
    EXPECT_EQ(colour_at(4), NORMAL);
    EXPECT_EQ(colour_at((int)expected.size() - 2), NORMAL);
}

TEST_F(ReaderPipes, ErrorsWaitingComeBeforeThePrompt) {
    HighlightErrs = 1;
    out.put("dir\r\n\r\n==> C:\\> ");
    err.put("oops\r\n");
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"dir\r");
    EXPECT_STREQ(held_prompt, L"\r\n==> C:\\> ");
    read_slave_errors();
    EXPECT_EQ(pane_text_now(), L"dir\roops\r\r==> C:\\> ");
    EXPECT_EQ(held_prompt[0], 0);
}

TEST_F(ReaderPipes, PromptIsNotHeldWithoutWaitingErrors) {
    HighlightErrs = 1;
    out.put("dir\r\n==> C:\\> ");
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"dir\r==> C:\\> ");
    EXPECT_EQ(held_prompt[0], 0);
}

TEST_F(ReaderPipes, OverlongLastLinesAreNotHeld) {
    HighlightErrs = 1;
    std::string dir = "C:\\" + std::string(300, 'd');
    out.put("x\r\n==> " + dir + "> ");
    err.put("E\r\n");
    wcscpy(tracked_directory, L"C:\\before");
    read_slave_output(stdout_read);
    EXPECT_EQ(held_prompt[0], 0);
    EXPECT_EQ(pane_text_now(), L"x\r==> C:\\" + std::wstring(300, L'd') + L"> ");
    EXPECT_STREQ(tracked_directory, L"C:\\before");   // too long to follow
}

TEST_F(ReaderPipes, PromptSetsDirectoryVariableAndTitle) {
    hide_at_first_prompt = true;
    out.put("ver\r\n\r\n==> C:\\windows> ");
    read_slave_output(stdout_read);
    EXPECT_STREQ(tracked_directory, L"C:\\windows");
    wchar_t buf[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, buf);
    EXPECT_EQ(_wcsicmp(buf, L"C:\\windows"), 0) << buf;
    ASSERT_GT(GetEnvironmentVariableW(L"=C:", buf, MAX_PATH), 0u);
    EXPECT_STREQ(buf, L"C:\\windows");
    EXPECT_EQ(window_text(Main), L"Tavro  C:\\windows");
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, Main, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(LOWORD(msg.wParam), CMD_APPLY_CMD_SHOW);
    EXPECT_FALSE(hide_at_first_prompt);

    output_log_open = true;
    out.put("\r\n==> C:\\windows\\system32\\drivers> ");
    read_slave_output(stdout_read);
    EXPECT_EQ(window_text(Main), L"Tavro  ...\\system32\\drivers  Logging output");
    EXPECT_FALSE(PeekMessageW(&msg, Main, WM_COMMAND, WM_COMMAND, PM_REMOVE));
}

TEST_F(ReaderPipes, TitleIndicatorsFollowTheLogs) {
    wchar_t title[100] = L"Tavro  80 x 25";
    error_log_open = true;
    set_title_with_logging_indicators(title, 100);
    EXPECT_EQ(window_text(Main), L"Tavro  80 x 25  Logging stderr");
}

TEST_F(ReaderPipes, CdEchoOfAnotherDriveSetsItsDirectory) {
    wchar_t buf[MAX_PATH];
    SetEnvironmentVariableW(L"=D:", NULL);
    wcscpy(tracked_directory, L"C:\\windows");
    out.put("==> C:\\windows> cd D:\r\nD:\\Data\r\n\r\n==> C:\\windows> ");
    read_slave_output(stdout_read);
    ASSERT_GT(GetEnvironmentVariableW(L"=D:", buf, MAX_PATH), 0u);
    EXPECT_STREQ(buf, L"D:\\Data");

    SetEnvironmentVariableW(L"=D:", NULL);
    wcscpy(tracked_directory, L"D:\\Other");
    EXPECT_EQ(track_prompt(L"cd D:\r\nD:\\Data\r\n"), 0);
    EXPECT_EQ(GetEnvironmentVariableW(L"=D:", buf, MAX_PATH), 0u);
}

// The slave writes its echo, its line breaks and its prompt one by one, and a read may end after
// any of them with nothing else waiting.
TEST_F(ReaderPipes, ThePromptAndACdEchoAreFollowedHoweverTheReadsFall) {
    wchar_t buf[MAX_PATH];
    SetEnvironmentVariableW(L"=D:", NULL);
    wcscpy(tracked_directory, L"C:\\before");
    for (const char* piece : {"==> C:\\before> cd D:", "\r\n", "D:\\Da", "ta\r\n", "\r\n", "==> C:\\windows> "}) {
        out.put(piece);
        read_slave_output(stdout_read);
    }
    EXPECT_STREQ(tracked_directory, L"C:\\windows");
    EXPECT_EQ(window_text(Main), L"Tavro  C:\\windows");
    ASSERT_GT(GetEnvironmentVariableW(L"=D:", buf, MAX_PATH), 0u);
    EXPECT_STREQ(buf, L"D:\\Data");

    // Taken once: the same echo does not set the variable again at the next prompt.
    SetEnvironmentVariableW(L"=D:", NULL);
    out.put("\r\n==> C:\\windows> ");
    read_slave_output(stdout_read);
    EXPECT_EQ(GetEnvironmentVariableW(L"=D:", buf, MAX_PATH), 0u);

    // Behind other text on its line, a path and ">" are no prompt.
    out.put("copy ");
    read_slave_output(stdout_read);
    out.put("C:\\x> ");
    read_slave_output(stdout_read);
    EXPECT_STREQ(tracked_directory, L"C:\\windows");
}

std::string numbered_lines(int from, int to) {
    std::string s;
    for (int i = from; i <= to; i++) s += "L" + std::to_string(i) + "\r\n";
    return s;
}

int line_breaks(const std::wstring& s) {
    int n = 0;
    for (wchar_t c : s) n += c == L'\r';
    return n;
}

TEST_F(ReaderPipes, PagingShows24Of30LinesThenWaits) {
    pager.paging_mode = true;
    pager.lines_left = 24;
    out.put(numbered_lines(1, 30));
    read_slave_output(stdout_read);
    std::wstring p = pane_text_now();
    EXPECT_EQ(line_breaks(p), 23);
    EXPECT_EQ(p.substr(p.size() - 3), L"L24");
    EXPECT_EQ(pager.lines_left, 0);
    out.put("more\r\n");
    read_slave_output(stdout_read);   // waiting for a key: nothing is read
    EXPECT_EQ(pane_text_now(), p);
    EXPECT_EQ(out.waiting(), 6u);
    pager.lines_left = 23;
    read_slave_output(stdout_read);
    p = pane_text_now();
    EXPECT_EQ(p.substr(p.size() - 13), L"L29\rL30\rmore\r");
    EXPECT_TRUE(pager.paging_mode);
}

TEST_F(ReaderPipes, QuietPromptEndsPaging) {
    pager.paging_mode = true;
    pager.lines_left = 10;
    SetWindowTextW(Prom, L"\x00BB");
    out.put("x\r\n==> C:\\windows> ");
    read_slave_output(stdout_read);
    EXPECT_FALSE(pager.paging_mode);
    EXPECT_EQ(window_text(Prom), L">");
}

// A prompt before a paged command's echo answers a line sent ahead of it ("/c" sends one): the
// paging ends at the prompt after the command's output.
TEST_F(ReaderPipes, APromptBeforeTheCommandsEchoDoesNotEndItsPaging) {
    pager_start_for_line(L"type log.txt | more");
    pager.lines_left = 10;
    out.put("\r\n==> C:\\> ");
    read_slave_output(stdout_read);
    EXPECT_TRUE(pager.paging_mode);
    out.put("type log.txt | more\r\nline 1\r\n\r\n==> C:\\> ");
    drain_out();
    EXPECT_FALSE(pager.paging_mode);
}

// The slave writes in the page it was told, by number: with Windows' UTF-8 option the ANSI page
// (CodePage 0) is UTF-8, and its characters come split between reads like any other's.
TEST_F(ReaderPipes, Utf8CharacterSplitBetweenReads) {
    CodePage = CP_ACP;
    output_code_page = CP_UTF8;
    out.put("ab\xE2\x82");
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"ab");
    out.put("\xAC" "cd");
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"ab\x20AC" L"cd");
}

TEST_F(ReaderPipes, LongUtf8TypeShowsNoReplacementCharacters) {
    output_code_page = CP_UTF8;
    const std::string line = "Zeile \xC3\x84\xC3\x96\xC3\x9C \xE2\x82\xAC \xF0\x9D\x84\x9E ";
    std::string pending;
    int written = 0;
    for (int i = 1; i <= 10000; i++) {
        pending += line + std::to_string(i) + "\r\n";
        if (pending.size() < 1777 && i < 10000) continue;
        out.put(pending);
        written += (int)pending.size();
        pending.clear();
        drain_out();
        ASSERT_EQ(pane_text_now().find(L'\xFFFD'), std::wstring::npos) << "after line " << i;
    }
    std::wstring p = pane_text_now();
    std::wstring last = L"Zeile \x00C4\x00D6\x00DC \x20AC \xD834\xDD1E 10000\r";
    ASSERT_GE(p.size(), last.size());
    EXPECT_EQ(p.substr(p.size() - last.size()), last);
}

TEST_F(ReaderPipes, DoubleByteCharacterSplitBetweenReads) {
    CPINFO info;
    if (!GetCPInfo(932, &info)) GTEST_SKIP() << "code page 932 not installed";
    output_code_page = 932;
    out.put("a\x82");
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"a");
    out.put("\xA0" "b");
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"a\x3042" L"b");
}

TEST_F(ReaderPipes, AStrayNulIsDroppedNotTheRestOfTheRead) {
    out.put(std::string("ab\0cd", 5));
    read_slave_output(stdout_read);
    EXPECT_EQ(pane_text_now(), L"abcd");
    EXPECT_EQ(out.waiting(), 0u);
}

TEST_F(ReaderPipes, DiscardingDropsOutputAndAsksForAFreshPrompt) {
    pager.paging_mode = true;
    pager.discard_mode = true;
    follow_code_page_at_echo("chcp 850", 850);   // an echo among what is dropped still counts
    out.put(std::string(3000, 'x') + "> chcp 850\r\n");
    std::wstring letters;
    for (int guard = 0; pager.discard_mode && guard < 20; guard++) {
        discard_output();
        letters += window_text(Prom);
    }
    EXPECT_FALSE(pager.discard_mode);
    EXPECT_FALSE(pager.paging_mode);
    EXPECT_EQ(output_code_page, 850);
    EXPECT_EQ(pane_text_now(), L"");
    EXPECT_EQ(out.waiting(), 0u);
    ASSERT_GE(letters.size(), 3u);
    EXPECT_NE(letters[0], letters[1]);      // the prompt display alternates while discarding
    EXPECT_TRUE(letters[0] == L'Q' || letters[0] == L'q');
    EXPECT_TRUE(letters[1] == L'Q' || letters[1] == L'q');
    EXPECT_EQ(window_text(Prom), L">");
    char sent[8] = {};
    DWORD n = 0;
    flush_slave_input();
    ASSERT_EQ(in.waiting(), 1u);
    ReadFile(in.read, sent, sizeof sent, &n, NULL);
    EXPECT_EQ(std::string(sent, n), "\n");
}

}  // namespace
