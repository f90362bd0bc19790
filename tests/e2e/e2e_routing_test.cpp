// Where a submitted line goes (the pane itself, the shell, a program started directly, a
// separate cmd, the slave), the input line's keys that act on the slave (Ctrl+C, Ctrl+S) and
// two View commands, driven through Tavro's windows with pipecmd as the slave.
#include <gtest/gtest.h>
#include <functional>
#include "harness.h"

using namespace e2e;

namespace {

const COLORREF NORMAL_COLOUR = 0x404040;   // ColorText
const COLORREF BYPASS_COLOUR = 0xC08000;   // DoItText, not the default green

std::string list_settings() {
    return "[Fonts]\nDoItText=" + std::to_string((unsigned long)BYPASS_COLOUR) +
           "\nColorText=" + std::to_string((unsigned long)NORMAL_COLOUR) +
           "\n[Cmd Commands]\nNoCmd=cmd,\nCmdAndQuit=echo,\n";
}

DWORD the_slave(const Tavro& tavro) {
    std::vector<DWORD> pids = tavro.pipecmd_slaves();
    EXPECT_EQ(pids.size(), 1u);
    return pids.empty() ? 0 : pids[0];
}

}  // namespace

// ---- cls -----------------------------------------------------------------------

TEST(Routing, ClsClearsThePaneAndCapitalClsGoesToTheSlave) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker));
    ASSERT_TRUE(has_line(tavro.pane_text(), marker));

    tavro.type_line(L"cls");
    // Emptied, then the slave answers the line feed it was sent with a fresh prompt.
    ASSERT_TRUE(tavro.wait_until(
                                 [&] {
                               std::wstring pane = tavro.pane_text();
                               return pane.find(marker) == std::wstring::npos && ends_with(pane, tavro.first_prompt());
                           },
                           "the cleared pane with a prompt"));
    std::wstring pane = tavro.pane_text();
    EXPECT_EQ(pane.find(L"Connected to "), std::wstring::npos) << to_utf8(pane);
    EXPECT_EQ(pane.find(L"cls"), std::wstring::npos) << "the slave saw cls: " << to_utf8(pane);
    EXPECT_EQ(count_occurrences(pane, L"==> "), 1u) << to_utf8(pane);

    // Another case is not the pane's: the slave echoes it.
    ASSERT_TRUE(tavro.run_command(L"CLS"));
    pane = tavro.pane_text();
    EXPECT_NE(pane.find(tavro.first_prompt() + L"CLS\r"), std::wstring::npos) << to_utf8(pane);
    // And "cls" with more after it goes to the slave as well.
    ASSERT_TRUE(tavro.run_command(L"cls " + marker));
    EXPECT_NE(tavro.pane_text().find(tavro.first_prompt() + L"cls " + marker), std::wstring::npos);
}

// ---- The shell -------------------------------------------------------------------

TEST(Routing, AnHttpsAddressGoesToTheShellAndTheSlaveOnlyGetsALineEnd) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    std::wstring address = L"https://e2e.invalid/" + unique_marker();
    size_t prompts = count_occurrences(tavro.pane_text(), L"==> ");
    tavro.type_line(address);
    ASSERT_TRUE(tavro.wait_for_pane(address));
    ASSERT_TRUE(tavro.wait_for_fresh_prompt(prompts, 60000));
    std::wstring pane = tavro.pane_text();
    size_t at = pane.find(address);
    ASSERT_NE(at, std::wstring::npos);
    // Echoed directly behind the prompt; the slave itself never saw the address, so only the
    // shell's failure (when there is one) and the fresh prompt follow it.
    EXPECT_EQ(pane.rfind(tavro.first_prompt(), at), at - tavro.first_prompt().size()) << to_utf8(pane);
    size_t next_prompt = pane.find(L"==> ", at);
    ASSERT_NE(next_prompt, std::wstring::npos);
    std::wstring between = pane.substr(at + address.size(), next_prompt - at - address.size());
    size_t first = between.find_first_not_of(L" \r\n");
    if (first != std::wstring::npos) {
        EXPECT_EQ(between.compare(first, 5, L"Error"), 0) << to_utf8(between);
        EXPECT_NE(between.find(L"\nError"), std::wstring::npos) << to_utf8(between);
    }
    EXPECT_EQ(count_occurrences(pane, address), 1u) << to_utf8(pane);
}

// A program named cmd.exe in the slave's folder, as a download or an unpacked archive may hold:
// Tavro's own helpers must never run it. It leaves cmd.exe.ran when it runs.
static bool plant_cmd(Tavro& tavro) {
    std::wstring from = tests_folder() + L"\\tiny_console.exe";
    return CopyFileW(from.c_str(), tavro.path_in_folder(L"cmd.exe").c_str(), FALSE) != 0;
}

// ---- Bypass and separate cmd -----------------------------------------------------
// The slave's environment gets a variable that Tavro's own doesn't have: a command that the
// slave ran would see it.

class RoutingLists : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tavro.start_at_prompt(list_settings()));
        ASSERT_TRUE(tavro.run_command(L"set E2E_WHO=slave"));
    }
    Tavro tavro;
};

TEST_F(RoutingLists, ANoCmdCommandRunsDirectlyEchoedInTheBypassColour) {
    const std::wstring command = L"cmd /c echo [%E2E_WHO%] > bypass.txt";
    size_t prompts = count_occurrences(tavro.pane_text(), L"==> ");
    tavro.type_line(command);
    std::string bytes;
    ASSERT_TRUE(wait_for_file_text(tavro.path_in_folder(L"bypass.txt"), "]", &bytes));
    EXPECT_EQ(bytes.find("slave"), std::string::npos) << "run by the slave: " << bytes;
    ASSERT_TRUE(tavro.wait_for_fresh_prompt(prompts));

    std::wstring text;
    ASSERT_TRUE(tavro.pane_text_at_positions(&text));
    size_t echo = text.find(command);
    ASSERT_NE(echo, std::wstring::npos) << to_utf8(text);
    EXPECT_EQ(text.find(command, echo + 1), std::wstring::npos) << "echoed twice: " << to_utf8(text);
    size_t prompt = text.rfind(tavro.first_prompt(), echo);
    ASSERT_EQ(prompt + tavro.first_prompt().size(), echo) << to_utf8(text);
    COLORREF colour = 0;
    ASSERT_TRUE(tavro.pane_colour((LONG)echo, (LONG)(echo + command.size()), &colour));
    EXPECT_EQ(colour, BYPASS_COLOUR);
    ASSERT_TRUE(tavro.pane_colour((LONG)prompt, (LONG)echo, &colour));
    EXPECT_EQ(colour, NORMAL_COLOUR);
    // The prompt after it is back to the normal colour.
    size_t next = text.find(tavro.first_prompt(), echo);
    ASSERT_NE(next, std::wstring::npos) << to_utf8(text);
    ASSERT_TRUE(tavro.pane_colour((LONG)next, (LONG)(next + tavro.first_prompt().size()), &colour));
    EXPECT_EQ(colour, NORMAL_COLOUR);
}

TEST_F(RoutingLists, ACmdAndQuitCommandRunsInASeparateCmd) {
    ASSERT_TRUE(plant_cmd(tavro));
    const std::wstring command = L"echo [%E2E_WHO%] > sep.txt";
    size_t prompts = count_occurrences(tavro.pane_text(), L"==> ");
    tavro.type_line(command);
    std::string bytes;
    ASSERT_TRUE(wait_for_file_text(tavro.path_in_folder(L"sep.txt"), "]", &bytes));
    EXPECT_EQ(bytes.find("slave"), std::string::npos) << "run by the slave: " << bytes;
    ASSERT_TRUE(tavro.wait_for_fresh_prompt(prompts));

    std::wstring text;
    ASSERT_TRUE(tavro.pane_text_at_positions(&text));
    // Echoed directly behind the prompt, once, and the slave's answer to its line end follows.
    size_t echo = text.find(command);
    ASSERT_NE(echo, std::wstring::npos) << to_utf8(text);
    EXPECT_EQ(text.find(command, echo + 1), std::wstring::npos) << "echoed twice: " << to_utf8(text);
    EXPECT_EQ(text.rfind(tavro.first_prompt(), echo) + tavro.first_prompt().size(), echo) << to_utf8(text);
    EXPECT_EQ(text.compare(echo + command.size(), 1 + tavro.first_prompt().size(), L"\r" + tavro.first_prompt()), 0)
        << to_utf8(text);
    COLORREF colour = 0;
    ASSERT_TRUE(tavro.pane_colour((LONG)echo, (LONG)(echo + command.size()), &colour));
    EXPECT_EQ(colour, NORMAL_COLOUR);
    EXPECT_FALSE(file_exists(tavro.path_in_folder(L"cmd.exe.ran"))) << "the cmd.exe of the slave's folder ran";
}

// ---- Keys that act on the slave --------------------------------------------------

TEST(RoutingKeys, CtrlCAsksFirstAndYesInterruptsWithANewSlave) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    DWORD old_slave = the_slave(tavro);
    ASSERT_NE(old_slave, 0u);

    // No leaves everything as it was.
    tavro.type_char(3);
    HWND dialog = wait_for_dialog(tavro.pid());
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog_caption(dialog), L"Tavro: Interrupt?");
    EXPECT_NE(dialog_text(dialog).find(L"Terminate command?"), std::wstring::npos) << to_utf8(dialog_text(dialog));
    ASSERT_TRUE(press_button(dialog, L"No"));
    ASSERT_TRUE(tavro.wait_until([&] { return find_dialog(tavro.pid()) == NULL; }, "the box to close"));
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker));
    EXPECT_EQ(tavro.pane_text().find(L"**INTERRUPTED**"), std::wstring::npos);
    EXPECT_EQ(the_slave(tavro), old_slave);
    EXPECT_EQ(tavro.input_text(), L"");

    Process old_process(old_slave);
    ASSERT_TRUE(plant_cmd(tavro));
    tavro.type_char(3);
    dialog = wait_for_dialog(tavro.pid());
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(press_button(dialog, L"Yes"));
    ASSERT_TRUE(tavro.wait_for_pane(L"\t**INTERRUPTED**"));
    EXPECT_TRUE(old_process.wait_end(WAIT_MS)) << "the old slave still runs";
    DWORD new_slave = 0;
    ASSERT_TRUE(tavro.wait_until(
                                 [&] {
                               std::vector<DWORD> pids = tavro.pipecmd_slaves();
                               new_slave = pids.size() == 1 && pids[0] != old_slave ? pids[0] : 0;
                               return new_slave != 0;
                           },
                           "a new slave"));
    // The new slave shows its prompt after the notice and takes commands.
    ASSERT_TRUE(tavro.wait_for_prompt_after(L"**INTERRUPTED**", 60000));
    std::wstring second = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + second, 60000));
    EXPECT_TRUE(has_line(tavro.pane_text(), second));
    EXPECT_EQ(tavro.pipecmd_slaves().size(), 1u);
    EXPECT_FALSE(file_exists(tavro.path_in_folder(L"cmd.exe.ran"))) << "the cmd.exe of the slave's folder ran";
}

TEST(RoutingKeys, CtrlSPausesAndTheNextKeyResumesWithoutBeingTyped) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    ASSERT_EQ(tavro.prompt_text(), L">");

    tavro.type_char(19);
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.prompt_text() == L"\u00a7"; }, "the pause mark"));
    tavro.type_char(L'a');
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.prompt_text() == L">"; }, "the pause to end"));
    EXPECT_EQ(tavro.input_text(), L"");
    // Typing goes on as usual once resumed.
    tavro.type_char(L'b');
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.input_text() == L"b"; }, "the typed character"));
    tavro.type_char(27);
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.input_text().empty(); }, "an empty input line"));

    // Enter while paused only resumes: nothing is submitted.
    std::wstring marker = unique_marker();
    tavro.type_text(L"echo " + marker);
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.input_text() == L"echo " + marker; }, "the typed line"));
    tavro.type_char(19);
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.prompt_text() == L"\u00a7"; }, "the pause mark"));
    tavro.press_enter();
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.prompt_text() == L">"; }, "the pause to end"));
    EXPECT_EQ(tavro.input_text(), L"echo " + marker);
    // The next Enter submits the line; the earlier one had not.
    tavro.press_enter();
    ASSERT_TRUE(tavro.wait_for_line(marker));
    EXPECT_EQ(count_occurrences(tavro.pane_text(), L"> echo " + marker), 1u) << to_utf8(tavro.pane_text());
}

// ---- View commands ---------------------------------------------------------------

TEST(RoutingMenus, ShowMenuHidesTheMenuBarWithAHintAndShowsItAgain) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    ASSERT_TRUE(GetMenu(tavro.main_window()) != NULL);
    const std::wstring hint = L"You can always access the menus via Alt+F, Alt+E, Alt+V and Alt+H.";

    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_SHOW_MENU, 0);
    ASSERT_TRUE(tavro.wait_until([&] { return GetMenu(tavro.main_window()) == NULL; }, "the menu bar to go"));
    ASSERT_TRUE(tavro.wait_for_pane(hint));
    // The hint is followed by a prompt of the current folder.
    ASSERT_TRUE(tavro.wait_for_pane(hint + L"\r\n\r\n" + tavro.first_prompt()));
    EXPECT_EQ(count_occurrences(tavro.pane_text(), hint), 1u);

    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_SHOW_MENU, 0);
    ASSERT_TRUE(tavro.wait_until([&] { return GetMenu(tavro.main_window()) != NULL; }, "the menu bar to come back"));
    // Showing it prints nothing more.
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker));
    EXPECT_EQ(count_occurrences(tavro.pane_text(), hint), 1u);
    EXPECT_TRUE(has_line(tavro.pane_text(), marker));
}

TEST(RoutingMenus, PropertiesShowTheGridAndTheSlavesPid) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    DWORD slave = the_slave(tavro);
    ASSERT_NE(slave, 0u);

    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_PROPERTIES, 0);
    HWND dialog = wait_for_dialog(tavro.pid());
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog_caption(dialog), L"Tavro Properties");
    std::wstring text = dialog_text(dialog);
    EXPECT_NE(text.find(L" characters by "), std::wstring::npos) << to_utf8(text);
    EXPECT_NE(text.find(L"CMD's pid = " + std::to_wstring(slave)), std::wstring::npos) << to_utf8(text);
    // The grid is real: some columns by some lines.
    size_t by = text.find(L" characters by ");
    if (by != std::wstring::npos) {
        size_t line_start = text.find_last_of(L'\n', by);
        int columns = _wtoi(text.c_str() + (line_start == std::wstring::npos ? 0 : line_start + 1));
        int lines = _wtoi(text.c_str() + by + 15);
        EXPECT_GT(columns, 10) << to_utf8(text);
        EXPECT_GT(lines, 5) << to_utf8(text);
    }
    ASSERT_TRUE(press_button_id(dialog, IDOK));
    ASSERT_TRUE(tavro.wait_until([&] { return find_dialog(tavro.pid()) == NULL; }, "the box to close"));
    ASSERT_TRUE(tavro.run_command(L"echo " + unique_marker()));
}
