// Program lookup and name completion as the user meets them: a window program typed as a
// command doesn't hold up the slave, and Ctrl+F, Ctrl+D and Ctrl+R complete names from the
// current directory and the PATH.
#include <gtest/gtest.h>
#include "harness.h"

using namespace e2e;

// Waits until the input line holds one of the texts and says which; empty on a timeout.
static std::wstring wait_for_input_among(Tavro& tavro, const std::vector<std::wstring>& texts,
                                         DWORD timeout_ms = WAIT_MS) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    std::wstring now;
    for (;;) {
        now = tavro.input_text();
        for (const std::wstring& t : texts)
            if (now == t) return now;
        if (GetTickCount64() >= deadline) break;
        Sleep(POLL_MS);
    }
    printf("e2e: the input line holds \"%s\", none of the expected texts\n", to_utf8(now).c_str());
    fflush(stdout);
    return std::wstring();
}

static bool copy_test_program(const Tavro& tavro, const wchar_t* name) {
    std::wstring from = tests_folder() + L"\\" + name;
    if (CopyFileW(from.c_str(), tavro.path_in_folder(name).c_str(), FALSE)) return true;
    printf("e2e: cannot copy %s (error %lu)\n", to_utf8(from).c_str(), (unsigned long)GetLastError());
    return false;
}

class Lookup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tavro.start_at_prompt());
    }
    Tavro tavro;
};

// ---- Window programs ---------------------------------------------------------------

static std::vector<ProcessEntry> processes_named(const wchar_t* exe) {
    std::vector<ProcessEntry> found;
    for (const ProcessEntry& p : list_processes())
        if (lower_ascii(p.exe) == exe) found.push_back(p);
    return found;
}

TEST_F(Lookup, AWindowProgramStartsWithoutHoldingUpTheSlave) {
    ASSERT_TRUE(copy_test_program(tavro, L"tiny_gui.exe"));
    // The output log gets the slave's echo as it came, marker included, so it shows that the
    // slave was told to start the program rather than to wait for it.
    ASSERT_TRUE(tavro.start_output_log());
    size_t prompts = count_occurrences(tavro.pane_text(), tavro.first_prompt());
    tavro.type_line(L"tiny_gui.exe");
    ASSERT_TRUE(wait_for_file(tavro.path_in_folder(L"started.txt")));
    // The slave is back at its prompt while the program still runs: it ends only on stop.txt.
    ASSERT_TRUE(tavro.wait_for_pane_count(tavro.first_prompt(), prompts + 1));
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker));
    EXPECT_FALSE(file_exists(tavro.path_in_folder(L"ended.txt")));
    std::wstring pane = tavro.pane_text();
    // The echo shows the command as typed, without the marker that made the slave start it.
    EXPECT_EQ(pane.find(L"sTaRT"), std::wstring::npos) << to_utf8(pane);
    EXPECT_TRUE(has_line(pane, tavro.first_prompt() + L"tiny_gui.exe")) << to_utf8(pane);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(tavro.main_window(), WM_COMMAND, CMD_STOP_LOGGING, 0, SMTO_NORMAL, WAIT_MS, &result);
    std::string log;
    ASSERT_TRUE(read_file(tavro.path_in_folder(L"tavro.log"), &log));
    EXPECT_NE(log.find(" sTaRT\ttiny_gui.exe\r\n"), std::string::npos) << log;

    std::vector<ProcessEntry> running = processes_named(L"tiny_gui.exe");
    EXPECT_EQ(running.size(), 1u);
    std::vector<Process> held;
    for (const ProcessEntry& p : running) held.push_back(Process(p.pid));
    ASSERT_TRUE(write_file(tavro.path_in_folder(L"stop.txt"), "stop\r\n"));
    EXPECT_TRUE(wait_for_file(tavro.path_in_folder(L"ended.txt")));
    for (Process& p : held) EXPECT_TRUE(p.wait_end(WAIT_MS)) << "tiny_gui.exe still runs";
}

// A path with a blank must be quoted; start must not take it for the window's title.
TEST_F(Lookup, AWindowProgramNamedByAQuotedPathStartsWithItsArgument) {
    std::wstring folder = tavro.path_in_folder(L"My Apps");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL));
    ASSERT_TRUE(CopyFileW((tests_folder() + L"\\tiny_gui.exe").c_str(), (folder + L"\\tiny_gui.exe").c_str(), FALSE));
    std::wstring line = L"\"" + folder + L"\\tiny_gui.exe\" quoted.txt";
    tavro.type_line(line);
    ASSERT_TRUE(wait_for_file(tavro.path_in_folder(L"quoted.txt")));
    ASSERT_TRUE(tavro.wait_for_prompt_after(line));
    std::wstring pane = tavro.pane_text();
    EXPECT_TRUE(has_line(pane, tavro.first_prompt() + line)) << to_utf8(pane);
    EXPECT_EQ(pane.find(L"sTaRT"), std::wstring::npos) << to_utf8(pane);
    ASSERT_TRUE(write_file(tavro.path_in_folder(L"stop.txt"), "stop\r\n"));
    EXPECT_TRUE(wait_for_file(tavro.path_in_folder(L"ended.txt")));
}

TEST_F(Lookup, AConsoleProgramRunsInTheSlaveWhichWaitsForIt) {
    ASSERT_TRUE(copy_test_program(tavro, L"tiny_console.exe"));
    ASSERT_TRUE(tavro.run_command(L"tiny_console.exe one two"));
    std::wstring pane = tavro.pane_text();
    EXPECT_TRUE(has_line(pane, L"tiny_console ran with 2 argument(s)")) << to_utf8(pane);
    EXPECT_TRUE(has_line(pane, tavro.first_prompt() + L"tiny_console.exe one two")) << to_utf8(pane);
    // Its output comes before the next prompt.
    size_t output = pane.find(L"tiny_console ran with 2");
    ASSERT_NE(output, std::wstring::npos);
    EXPECT_NE(pane.find(tavro.first_prompt(), output), std::wstring::npos) << to_utf8(pane);
}

// ---- File and directory completion --------------------------------------------------

TEST_F(Lookup, CtrlFOffersEachMatchInTurnAndThenTheFirstAgain) {
    ASSERT_TRUE(write_file(tavro.path_in_folder(L"zqcomp_one.txt"), "1\r\n"));
    ASSERT_TRUE(write_file(tavro.path_in_folder(L"zqcomp_two.txt"), "2\r\n"));
    const std::wstring one = L"type zqcomp_one.txt", two = L"type zqcomp_two.txt";
    tavro.type_text(L"type zq");
    ASSERT_TRUE(tavro.wait_for_input(L"type zq"));
    tavro.type_char(6);
    std::wstring first = wait_for_input_among(tavro, {one, two});
    ASSERT_FALSE(first.empty());
    std::wstring second = first == one ? two : one;
    tavro.type_char(6);
    ASSERT_TRUE(tavro.wait_for_input(second));
    // After the last match the cycle starts over.
    tavro.type_char(6);
    ASSERT_TRUE(tavro.wait_for_input(first));
    // The completed line runs.
    tavro.press_enter();
    ASSERT_TRUE(tavro.wait_for_line(first == one ? L"1" : L"2"));
}

TEST_F(Lookup, CompletionAfterCdOffersDirectoriesOnly) {
    ASSERT_TRUE(write_file(tavro.path_in_folder(L"zqmixed_file.txt"), "x\r\n"));
    ASSERT_TRUE(CreateDirectoryW(tavro.path_in_folder(L"zqmixed_dir").c_str(), NULL));
    tavro.type_text(L"cd zqmixed");
    ASSERT_TRUE(tavro.wait_for_input(L"cd zqmixed"));
    // Ctrl+F on a cd line completes directories, as Ctrl+D would.
    tavro.type_char(6);
    ASSERT_TRUE(tavro.wait_for_input(L"cd zqmixed_dir"));
    tavro.type_char(6);
    ASSERT_TRUE(tavro.wait_for_input(L"cd zqmixed_dir"));
    EXPECT_NE(tavro.input_text(), L"cd zqmixed_file.txt");
}

// ---- Program completion ----------------------------------------------------------------

TEST_F(Lookup, CtrlROffersAProgramFromTheCurrentDirectoryWithABlank) {
    ASSERT_TRUE(copy_test_program(tavro, L"tiny_console.exe"));
    // Not an executable name: never offered.
    ASSERT_TRUE(write_file(tavro.path_in_folder(L"tiny_co_notes.txt"), "notes\r\n"));
    tavro.type_text(L"tiny_co");
    ASSERT_TRUE(tavro.wait_for_input(L"tiny_co"));
    tavro.type_char(18);
    ASSERT_TRUE(tavro.wait_for_input(L"tiny_console.exe "));
    // No further program anywhere on the PATH: back to what was typed, silently.
    tavro.type_char(18);
    ASSERT_TRUE(tavro.wait_for_input(L"tiny_co"));
    // And the next press starts over with the first match.
    tavro.type_char(18);
    ASSERT_TRUE(tavro.wait_for_input(L"tiny_console.exe "));
    tavro.press_enter();
    ASSERT_TRUE(tavro.wait_for_line(L"tiny_console ran with 0 argument(s)"));
}

TEST_F(Lookup, CtrlRWithAPathSearchesOnlyThatDirectory) {
    ASSERT_TRUE(CreateDirectoryW(tavro.path_in_folder(L"zqtools").c_str(), NULL));
    std::wstring from = tests_folder() + L"\\tiny_console.exe";
    ASSERT_TRUE(CopyFileW(from.c_str(), tavro.path_in_folder(L"zqtools\\tiny_console.exe").c_str(), FALSE));
    tavro.type_text(L"zqtools\\tiny");
    ASSERT_TRUE(tavro.wait_for_input(L"zqtools\\tiny"));
    tavro.type_char(18);
    ASSERT_TRUE(tavro.wait_for_input(L"zqtools\\tiny_console.exe "));
    tavro.type_char(18);
    ASSERT_TRUE(tavro.wait_for_input(L"zqtools\\tiny"));
}
