// The print operation on a real rich-edit control: formatting, overwrite, colours that survive
// trimming, the size bound, the start marker, the timer and the log mirror.
#include "pane/pane.h"
#include "pane/pane_log.h"
#include "app/app.h"
#include "app/grid.h"
#include "settings/settings.h"
#include "input/input.h"
#include <richedit.h>
#include <gtest/gtest.h>
#include "window_checks.h"
#include <string>

namespace {

const COLORREF NORMAL = RGB(0, 0, 1);
const COLORREF RED = RGB(255, 0, 0);

class PaneWindow : public ::testing::Test {
protected:
    HWND saved_main = nullptr, saved_text = nullptr;
    int saved_beeps_max = 0, saved_logging = 0, saved_columns = 0;
    COLORREF saved_colour = 0;

    void SetUp() override {
        static HMODULE library = LoadLibraryW(L"Riched20.dll");
        ASSERT_NE(library, nullptr);
        saved_main = Main;
        saved_text = Text;
        saved_beeps_max = BeepsMax;
        saved_logging = Logging;
        saved_colour = ColorText;
        saved_columns = grid_columns;
        Main = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, NULL, NULL, GetModuleHandleW(NULL), NULL);
        ASSERT_NE(Main, nullptr);
        Text = nullptr;
        create_text(0);
        start_markers_pending = 0;
        beep_count = 0;
        Logging = 0;
        ColorText = NORMAL;
        set_output_colour(Text, SCF_ALL, NORMAL);
    }

    void TearDown() override {
        DestroyWindow(Text);
        DestroyWindow(Main);
        Main = saved_main;
        Text = saved_text;
        BeepsMax = saved_beeps_max;
        Logging = saved_logging;
        ColorText = saved_colour;
        grid_columns = saved_columns;
        start_markers_pending = 0;
    }

    void create_text(DWORD extra_style) {
        if (Text) DestroyWindow(Text);
        Text = CreateWindowExW(0, L"RichEdit20W", L"", WS_POPUP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | extra_style,
                               0, 0, 400, 300, NULL, NULL, GetModuleHandleW(NULL), NULL);
        ASSERT_NE(Text, nullptr);
    }


    void set_pane(const std::wstring& s) {
        SetWindowTextW(Text, s.c_str());
        set_output_colour(Text, SCF_ALL, NORMAL);
    }


    void colour_range(int from, int to, COLORREF colour) {
        SendMessageW(Text, EM_SETSEL, from, to);
        CHARFORMATW format = {};
        format.cbSize = sizeof format;
        format.dwMask = CFM_COLOR;
        format.crTextColor = colour;
        SendMessageW(Text, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
    }
};

TEST_F(PaneWindow, FormatsWideArgumentsAndPrintsPercentUnchanged) {
    print_to_output_pane(L"%s|%d ", L"abc", 5);
    print_to_output_pane(L"%s", L"100% done\r\n");
    EXPECT_EQ(pane_text_now(), L"abc|5 100% done\r");
}

TEST_F(PaneWindow, TooLongTextIsCutAtTheBuffer) {
    std::wstring big(5000, L'q');
    print_to_output_pane(L"%s", big.c_str());
    EXPECT_EQ(pane_text_now(), std::wstring(PANE_NEW_TEXT_CHARS - 1, L'q'));
}

TEST_F(PaneWindow, CarriageReturnsOverwriteTheLastLine) {
    set_pane(L"first\rCopying 10%");
    print_to_output_pane(L"%s", L"\rCopying 20%");
    EXPECT_EQ(pane_text_now(), L"first\rCopying 20%");
    set_pane(L"hello");
    print_to_output_pane(L"%s", L"\rxy\r\nmore");
    EXPECT_EQ(pane_text_now(), L"xyllo\rmore");
    set_pane(L"hello");
    print_to_output_pane(L"%s", L"\rxy\nmore");
    EXPECT_EQ(pane_text_now(), L"xy\rmore");
    set_pane(L"prev\r");
    print_to_output_pane(L"%s", L"x\r\n 10%\r 20%");
    EXPECT_EQ(pane_text_now(), L"prev\rx\r 20%");
    set_pane(L"");
    print_to_output_pane(L"%s", L"a\r\r\nb");
    EXPECT_EQ(pane_text_now(), L"a\rb");
}

TEST_F(PaneWindow, BackspacesActOnlyInsideOnePrint) {
    set_pane(L"keep");
    print_to_output_pane(L"%s", L"ab\b\bc");
    EXPECT_EQ(pane_text_now(), L"keepc");
    print_to_output_pane(L"%s", L"a\b");
    EXPECT_EQ(pane_text_now(), L"keepc");
    print_to_output_pane(L"%s", L"\bX");
    EXPECT_EQ(pane_text_now(), L"keepc\bX");
}

TEST_F(PaneWindow, OneBeepCountPerPrintWithBells) {
    BeepsMax = 5;
    print_to_output_pane(L"%s", L"\a\a\a");
    EXPECT_EQ(beep_count, 1);
    print_to_output_pane(L"%s", L"quiet");
    EXPECT_EQ(beep_count, 1);
    for (int i = 0; i < 6; i++) print_to_output_pane(L"\a");
    EXPECT_EQ(beep_count, 7);
    EXPECT_EQ(pane_text_now(), L"\a\a\aquiet\a\a\a\a\a\a");   // the bells stay in the text
}

TEST_F(PaneWindow, EveryPrintRestartsThePollTimer) {
    print_to_output_pane(L"x");
    EXPECT_EQ(poll_timer, (UINT_PTR)POLL_TIMER_ID);
    MSG msg;
    while (PeekMessageW(&msg, Main, WM_TIMER, WM_TIMER, PM_REMOVE)) {}
    Sleep(250);
    ASSERT_TRUE(PeekMessageW(&msg, Main, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(msg.wParam, (WPARAM)POLL_TIMER_ID);
}

TEST_F(PaneWindow, SelectionColourAppliesToAppendsUntilRestored) {
    print_to_output_pane(L"out\r\n");
    set_output_colour(Text, SCF_SELECTION, RED);
    print_to_output_pane(L"err\r\n");
    restore_normal_colour(Text, SCF_SELECTION);
    print_to_output_pane(L"ok");
    std::wstring p = pane_text_now();
    ASSERT_EQ(p, L"out\rerr\rok");
    EXPECT_EQ(colour_at(0), NORMAL);
    EXPECT_EQ(colour_at(4), RED);
    EXPECT_EQ(colour_at(6), RED);
    EXPECT_EQ(colour_at(8), NORMAL);
}

// A line rewritten by carriage returns (a progress meter) leaves the colours of everything else
// as they were; what the rewrite writes, and what comes after, take the colour then in force.
TEST_F(PaneWindow, RewritingALineKeepsTheColoursAroundIt) {
    const COLORREF GREEN = RGB(0, 200, 0);
    print_to_output_pane(L"out\r\n");
    set_output_colour(Text, SCF_SELECTION, RED);
    print_to_output_pane(L"err\r\n");
    set_output_colour(Text, SCF_SELECTION, GREEN);
    print_to_output_pane(L"dir\r\n");
    restore_normal_colour(Text, SCF_SELECTION);
    print_to_output_pane(L"%s", L"step 10%\rstep 20%\r\n");
    print_to_output_pane(L"after");
    ASSERT_EQ(pane_text_now(), L"out\rerr\rdir\rstep 20%\rafter");
    EXPECT_EQ(colour_at(0), NORMAL);
    EXPECT_EQ(colour_at(4), RED);
    EXPECT_EQ(colour_at(6), RED);
    EXPECT_EQ(colour_at(8), GREEN);
    EXPECT_EQ(colour_at(12), NORMAL);
    EXPECT_EQ(colour_at(17), NORMAL);   // the rewritten "2"
    EXPECT_EQ(colour_at(21), NORMAL);

    // A meter on standard error: rewritten in the error colour, the lines above untouched.
    set_output_colour(Text, SCF_SELECTION, RED);
    print_to_output_pane(L"%s", L"\r\n 50%");
    print_to_output_pane(L"%s", L"\r 90%");
    restore_normal_colour(Text, SCF_SELECTION);
    print_to_output_pane(L"%s", L"\r\nnext");
    ASSERT_EQ(pane_text_now(), L"out\rerr\rdir\rstep 20%\rafter\r 90%\rnext");
    EXPECT_EQ(colour_at(4), RED);
    EXPECT_EQ(colour_at(8), GREEN);
    EXPECT_EQ(colour_at(21), NORMAL);
    EXPECT_EQ(colour_at(28), RED);   // " 90%"
    EXPECT_EQ(colour_at(30), RED);
    EXPECT_EQ(colour_at(33), NORMAL);
}

TEST_F(PaneWindow, TrimmingDropsOldestLinesAndKeepsColours) {
    std::wstring s;
    for (int i = 0; i < 159; i++) s += std::wstring(99, (wchar_t)(L'A' + i % 26)) + L"\r";
    set_pane(s);
    ASSERT_EQ(pane_text_now().size(), 15900u);
    colour_range(15800, 15899, RED);   // the last line
    colour_range(200, 299, RED);       // the third line
    print_to_output_pane(L"%s", std::wstring(100, L'x').c_str());
    std::wstring p = pane_text_now();
    EXPECT_EQ(p.size(), 15900u);
    EXPECT_EQ(p.substr(0, 99), std::wstring(99, L'B'));
    EXPECT_EQ(colour_at(0), NORMAL);
    EXPECT_EQ(colour_at(100), RED);
    EXPECT_EQ(colour_at(15700), RED);
    EXPECT_EQ(colour_at(15798), RED);
}

TEST_F(PaneWindow, SizeBoundCountsThePaneAsSelectionsDo) {
    std::wstring s;
    for (int i = 0; i < 158; i++) s += std::wstring(99, L'a') + L"\r";
    s += std::wstring(91, L'b');   // 15,891 characters
    set_pane(s);
    print_to_output_pane(L"%s", std::wstring(100, L'c').c_str());
    EXPECT_EQ(pane_text_now().size(), 15991u);   // just below the bound: nothing removed
    print_to_output_pane(L"c");
    EXPECT_EQ(pane_text_now().size(), 15892u);   // one line gone
}

// Text put into the pane directly (echoes of commands that bypass the slave) can take it past
// the bound; the next print brings it back below, counting all of it.
TEST_F(PaneWindow, APaneBeyondTheBoundIsTrimmedBelowIt) {
    std::wstring s;
    for (int i = 0; i < 200; i++) s += std::wstring(99, (wchar_t)(L'A' + i % 26)) + L"\r";
    set_pane(s);
    GETTEXTLENGTHEX how = {GTL_NUMCHARS | GTL_PRECISE, 1200};
    ASSERT_EQ(SendMessageW(Text, EM_GETTEXTLENGTHEX, (WPARAM)&how, 0), 20000);
    print_to_output_pane(L"%s", std::wstring(100, L'x').c_str());
    std::wstring p = pane_text_now();
    EXPECT_EQ(p.size(), 15900u);
    EXPECT_EQ(p.substr(0, 99), std::wstring(99, (wchar_t)(L'A' + 42 % 26)));   // 42 lines gone
    EXPECT_EQ(p.substr(p.size() - 100), std::wstring(100, L'x'));
}

TEST_F(PaneWindow, ALineWithoutBreaksLosesAddedPlusSixteen) {
    create_text(WS_HSCROLL | ES_AUTOHSCROLL);   // wrapping one 15,000-character line is slow in some rich-edit builds
    std::wstring s;
    for (int i = 0; i < 15000; i++) s += (wchar_t)(L'a' + i % 26);
    set_pane(s);
    print_to_output_pane(L"%s", std::wstring(1000, L'Z').c_str());
    EXPECT_EQ(pane_text_now(), s.substr(1016) + std::wstring(1000, L'Z'));
}

TEST_F(PaneWindow, StartMarkerIsRemovedFromTheEcho) {
    start_markers_pending = 1;
    print_to_output_pane(L"%s", L"==> C:\\> ");
    EXPECT_EQ(start_markers_pending, 1);
    print_to_output_pane(L"%s", L" sTaRT\tnotepad\r\n");
    EXPECT_EQ(start_markers_pending, 0);
    EXPECT_EQ(pane_text_now(), L"==> C:\\> notepad\r");

    set_pane(L"");
    start_markers_pending = 1;
    print_to_output_pane(L"%s", L"==> C:\\>  sTaRT\tnotepad\r\n");
    EXPECT_EQ(start_markers_pending, 0);
    EXPECT_EQ(pane_text_now(), L"==> C:\\> notepad\r");

    // Before a quoted program the marker carries start's empty title.
    set_pane(L"");
    start_markers_pending = 1;
    print_to_output_pane(L"%s", L"==> C:\\>  sTaRT\t\"\"\t\"C:\\My Apps\\app.exe\" x\r\n");
    EXPECT_EQ(start_markers_pending, 0);
    EXPECT_EQ(pane_text_now(), L"==> C:\\> \"C:\\My Apps\\app.exe\" x\r");
}

TEST_F(PaneWindow, StartMarkerSplitBetweenTwoReads) {
    set_pane(L"older line\r");
    start_markers_pending = 1;
    print_to_output_pane(L"%s", L"==> C:\\>  sTa");
    EXPECT_EQ(start_markers_pending, 1);
    print_to_output_pane(L"%s", L"RT\tnotepad\r\n");
    EXPECT_EQ(start_markers_pending, 0);
    EXPECT_EQ(pane_text_now(), L"older line\r==> C:\\> notepad\r");
}

TEST_F(PaneWindow, StartMarkerElsewhereIsPrintedUnchanged) {
    start_markers_pending = 1;
    print_to_output_pane(L"%s", L"echo x sTaRT\ty\r\n");
    EXPECT_EQ(start_markers_pending, 1);
    EXPECT_EQ(pane_text_now(), L"echo x sTaRT\ty\r");
    start_markers_pending = 0;
    print_to_output_pane(L"%s", L"==> C:\\>  sTaRT\tz");
    EXPECT_EQ(pane_text_now(), L"echo x sTaRT\ty\r==> C:\\>  sTaRT\tz");
}

// A double-click selects the clicked word also far down a pane longer than one read of it.
TEST_F(PaneWindow, DoubleClickSelectsTheClickedWordInALongPane) {
    std::wstring s;
    for (int i = 0; i < 170; i++) s += std::wstring(99, (wchar_t)(L'a' + i % 26)) + L"\r";
    s.replace(16300, 10, L" clicked! ");
    set_pane(s);
    WNDPROC saved_proc = text_previous_proc;
    text_previous_proc = (WNDPROC)SetWindowLongPtrW(Text, GWLP_WNDPROC, (LONG_PTR)text_window_proc);
    SendMessageW(Text, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    CHARRANGE control_word = {16303, 16305};   // as if the control had taken part of the word
    SendMessageW(Text, EM_EXSETSEL, 0, (LPARAM)&control_word);
    SendMessageW(Text, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    CHARRANGE chosen = {};
    SendMessageW(Text, EM_EXGETSEL, 0, (LPARAM)&chosen);
    EXPECT_EQ(chosen.cpMin, 16301);
    EXPECT_EQ(chosen.cpMax, 16308);   // "clicked", without the delimiter "!"
    SetWindowLongPtrW(Text, GWLP_WNDPROC, (LONG_PTR)text_previous_proc);
    text_previous_proc = saved_proc;
}

TEST_F(PaneWindow, ReadWindowTextOfOtherWindowsAndSmallBuffers) {
    HWND edit = CreateWindowExW(0, L"EDIT", L"typed text", WS_POPUP, 0, 0, 100, 20, NULL, NULL,
                                GetModuleHandleW(NULL), NULL);
    wchar_t buf[5];
    EXPECT_EQ(read_window_text(edit, buf, 5), 4);
    EXPECT_STREQ(buf, L"type");
    DestroyWindow(edit);
    set_pane(L"line\rnext");
    wchar_t small[4];
    EXPECT_EQ(read_window_text(Text, small, 4), 3);
    EXPECT_STREQ(small, L"lin");
    EXPECT_EQ(read_window_text(Text, small, 0), 0);
}

std::string logged;
void capture(const char* bytes, int count) {
    EXPECT_LE(count, PANE_LOG_BYTES - 1);
    logged.append(bytes, count);
}

std::wstring from_utf8(const std::string& s) {
    std::wstring w(s.size() + 1, 0);
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], (int)w.size());
    w.resize(n > 0 ? n : 0);
    return w;
}

TEST(PaneLog, LongPrintsAreLoggedWholeInCharacterSlices) {
    std::wstring euros(3000, L'\x20AC');   // 9,000 bytes in UTF-8
    logged.clear();
    write_text_to_log(euros.c_str(), (int)euros.size(), CP_UTF8, capture);
    EXPECT_EQ(logged.size(), 9000u);
    EXPECT_EQ(from_utf8(logged), euros);

    std::wstring pair = std::wstring(1022, L'a') + L"\xD834\xDD1E" + L"b";
    logged.clear();
    write_text_to_log(pair.c_str(), (int)pair.size(), CP_UTF8, capture);
    EXPECT_EQ(from_utf8(logged), pair);
    EXPECT_EQ(logged.find("\xEF\xBF\xBD"), std::string::npos);

    logged.clear();
    write_text_to_log(L"100%\a", 5, 1252, capture);
    EXPECT_EQ(logged, "100%\a");
}

}  // namespace
