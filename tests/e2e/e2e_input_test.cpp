// The input line as a user drives it: typing that lands in it from the output pane, the
// history keys (Up, Down, F3, F7 and the recall commands), and the slash commands.
#include <gtest/gtest.h>
#include "harness.h"

using namespace e2e;

// Everything posted before this has been handled once a character posted now has arrived.
static bool settle(Tavro& tavro, const std::wstring& before) {
    tavro.type_char(L'#');
    bool ok = tavro.wait_for_input(before + L"#");
    tavro.type_char(8);
    return ok && tavro.wait_for_input(before);
}

class InputLine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tavro.start());
        ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    }
    Tavro tavro;
};

TEST_F(InputLine, CharactersSentToThePaneLandInTheInputLineAndEnterSubmits) {
    std::wstring marker = unique_marker();
    std::wstring line = L"echo " + marker;
    for (wchar_t c : line) PostMessageW(tavro.pane(), WM_CHAR, (WPARAM)c, 1);
    ASSERT_TRUE(tavro.wait_for_input(line));
    // The output itself stays as it was: nothing typed is inserted into the pane.
    EXPECT_EQ(count_occurrences(tavro.pane_text(), marker), 0u) << to_utf8(tavro.pane_text());
    PostMessageW(tavro.pane(), WM_CHAR, 13, 1);
    ASSERT_TRUE(tavro.wait_for_line(marker));
    EXPECT_TRUE(tavro.wait_for_input(L""));
}

TEST_F(InputLine, UpAndDownWalkTheHistory) {
    std::wstring first = L"echo " + unique_marker(), second = L"echo " + unique_marker();
    ASSERT_TRUE(tavro.run_command(first));
    ASSERT_TRUE(tavro.run_command(second));
    // Down from the newest entry empties the line; a recalled line then runs like a typed one.
    std::pair<UINT, std::wstring> steps[] = {
        {VK_UP, second}, {VK_UP, first}, {VK_DOWN, second}, {VK_DOWN, L""}, {VK_UP, second}};
    for (const auto& step : steps) {
        tavro.press_key(step.first);
        ASSERT_TRUE(tavro.wait_for_input(step.second)) << to_utf8(step.second);
    }
    tavro.press_enter();
    ASSERT_TRUE(tavro.wait_for_pane_count(second.substr(5), 4));
}

TEST_F(InputLine, F3CompletesAPartialCommandFromThePreviousOne) {
    ASSERT_TRUE(tavro.run_command(L"echo abcdef"));
    tavro.type_text(L"echo abc");
    ASSERT_TRUE(tavro.wait_for_input(L"echo abc"));
    tavro.press_key(VK_F3);
    ASSERT_TRUE(tavro.wait_for_input(L"echo abcdef"));
    // Nothing is left to copy once the line is as long as the previous command.
    tavro.press_key(VK_F3);
    ASSERT_TRUE(settle(tavro, L"echo abcdef"));
}

// ---- F7 and the recall commands -------------------------------------------------

struct PopupSearch {
    DWORD pid;
    HWND found;
};

static BOOL CALLBACK match_popup(HWND window, LPARAM context) {
    PopupSearch* search = (PopupSearch*)context;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[16];
    if (pid != search->pid || !IsWindowVisible(window) || !GetClassNameW(window, cls, 16)) return TRUE;
    if (lstrcmpW(cls, L"#32768") != 0) return TRUE;
    search->found = window;
    return FALSE;
}

// A popup menu of Tavro's on the screen.
static HWND find_popup(DWORD pid) {
    PopupSearch search{pid, NULL};
    EnumWindows(match_popup, (LPARAM)&search);
    return search.found;
}

static bool wait_popup(DWORD pid, bool shown, DWORD timeout_ms = WAIT_MS) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if ((find_popup(pid) != NULL) == shown) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(POLL_MS);
    }
}

TEST_F(InputLine, F7ShowsThePreviousCommandsAndALetterChoosesOne) {
    std::wstring older = L"echo " + unique_marker(), newer = L"echo " + unique_marker();
    ASSERT_TRUE(tavro.run_command(older));
    ASSERT_TRUE(tavro.run_command(newer));
    tavro.type_text(L"rem ");
    ASSERT_TRUE(tavro.wait_for_input(L"rem "));
    tavro.press_key(VK_F7);
    ASSERT_TRUE(wait_popup(tavro.pid(), true)) << "no popup menu appeared";
    HWND popup = find_popup(tavro.pid());
    // The menu's loop takes the keys of Tavro's thread: B is the second newest entry.
    PostMessageW(popup, WM_CHAR, L'b', 1);
    ASSERT_TRUE(wait_popup(tavro.pid(), false)) << "the popup menu stayed";
    // Inserted at the caret; the line keeps what was typed.
    ASSERT_TRUE(tavro.wait_for_input(L"rem " + older));
}

TEST_F(InputLine, EscapeClosesTheF7PopupAndLeavesTheLineAlone) {
    std::wstring only = L"echo " + unique_marker();
    ASSERT_TRUE(tavro.run_command(only));
    tavro.type_text(L"rem x");
    ASSERT_TRUE(tavro.wait_for_input(L"rem x"));
    tavro.press_key(VK_F7);
    ASSERT_TRUE(wait_popup(tavro.pid(), true)) << "no popup menu appeared";
    HWND popup = find_popup(tavro.pid());
    PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(popup, WM_KEYUP, VK_ESCAPE, 1 | (3u << 30));
    ASSERT_TRUE(wait_popup(tavro.pid(), false)) << "the popup menu stayed";
    ASSERT_TRUE(settle(tavro, L"rem x"));
}

TEST_F(InputLine, RecallCommandsInsertAnEntryAtTheCaretWithoutClearingTheLine) {
    std::wstring older = L"echo " + unique_marker(), newer = L"echo " + unique_marker();
    ASSERT_TRUE(tavro.run_command(older));
    ASSERT_TRUE(tavro.run_command(newer));
    tavro.type_text(L"rem ");
    ASSERT_TRUE(tavro.wait_for_input(L"rem "));
    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_HISTORY_FIRST, 0);   // the newest entry
    ASSERT_TRUE(tavro.wait_for_input(L"rem " + newer));
    tavro.type_char(27);
    ASSERT_TRUE(tavro.wait_for_input(L""));
    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_HISTORY_FIRST + 1, 0);   // the one before it
    ASSERT_TRUE(tavro.wait_for_input(older));
    // The history cursor stays on the recalled entry: Down goes on from it.
    tavro.press_key(VK_DOWN);
    ASSERT_TRUE(tavro.wait_for_input(newer));
}

// ---- Slash commands ---------------------------------------------------------------

class SlashCommands : public InputLine {};

TEST_F(SlashCommands, HelpPrintsItsText) {
    size_t prompts = count_occurrences(tavro.pane_text(), tavro.first_prompt());
    tavro.type_line(L"/?");
    ASSERT_TRUE(tavro.wait_for_line(L"/r\tprint a ruler across the screen"));
    std::wstring pane = tavro.pane_text();
    EXPECT_TRUE(has_line(pane, L"/?\tprint this help message")) << to_utf8(pane);
    EXPECT_TRUE(has_line(pane, L"/u\tunset environemt variable in TAVRO & cmd - Usage is /u [env-variable-name]"))
        << to_utf8(pane);
    // Echoed with its blank; the empty rest goes to the slave, which answers with a prompt.
    EXPECT_NE(pane.find(L"/? "), std::wstring::npos) << to_utf8(pane);
    EXPECT_TRUE(tavro.wait_for_pane_count(tavro.first_prompt(), prompts + 1));
}
