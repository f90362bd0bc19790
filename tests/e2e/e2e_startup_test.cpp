// Tavro from start to end, driven through its windows with pipecmd as the slave: start-up,
// the first command, the ways it ends, and the first-start disclaimer.
#include <gtest/gtest.h>
#include <richedit.h>
#include "harness.h"

using namespace e2e;

static std::wstring trimmed(const std::wstring& text) {
    size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

static std::string listing(const std::vector<ProcessEntry>& processes) {
    std::string out;
    for (const ProcessEntry& p : processes)
        out += to_utf8(p.exe) + " (pid " + std::to_string(p.pid) + ", parent " + std::to_string(p.parent) + ") ";
    return out;
}

// The one slave of a started Tavro, held open so its end can be seen.
static Process the_slave(const Tavro& tavro) {
    std::vector<ProcessEntry> slaves = tavro.slaves();
    EXPECT_EQ(slaves.size(), 1u) << listing(slaves);
    return Process(slaves.empty() ? 0 : slaves[0].pid);
}

// Tavro with pipecmd as its slave, settings of this volume, its first prompt shown.
class Started : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tavro.start());
        ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    }
    Tavro tavro;
};

TEST_F(Started, ConnectsToTheSlaveAndShowsItsPrompt) {
    std::wstring pane = tavro.pane_text();
    // The slave's banner follows on the same line.
    EXPECT_NE(trimmed(rest_of_line_after(pane, L"Connected to ")), L"") << to_utf8(pane);
    size_t connected = pane.find(L"Connected to ");
    ASSERT_NE(connected, std::wstring::npos);
    EXPECT_GT(pane.find(tavro.first_prompt()), connected);
    // Known volume: no disclaimer, only the pane's one-line notice before the connection.
    EXPECT_EQ(count_nonblank_lines(text_before(pane, L"Connected to ")), 1u) << to_utf8(pane);
    EXPECT_EQ(tavro.title().rfind(L"Tavro", 0), 0u) << to_utf8(tavro.title());
    EXPECT_TRUE(tavro.running());
    // Nothing is dragged into or out of the pane: a drop would edit it.
    EXPECT_TRUE(GetWindowLongW(tavro.pane(), GWL_STYLE) & ES_NOOLEDRAGDROP);
}

TEST_F(Started, EchoShowsItsOutputLine) {
    std::wstring marker = unique_marker();
    tavro.type_line(L"echo " + marker);
    // The output line alone, besides the echo of the command after the prompt.
    ASSERT_TRUE(tavro.wait_for_line(marker));
    std::wstring pane = tavro.pane_text();
    EXPECT_GE(count_occurrences(pane, marker), 2u) << to_utf8(pane);
    EXPECT_EQ(tavro.input_text(), L"");
}

TEST_F(Started, CommandsFollowEachOtherAtNewPrompts) {
    std::wstring first = unique_marker(), second = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + first));
    ASSERT_TRUE(tavro.run_command(L"echo " + second));
    std::vector<std::wstring> lines = split_lines(tavro.pane_text());
    size_t a = lines.size(), b = lines.size();
    for (size_t i = 0; i < lines.size(); i++) {
        if (lines[i] == first) a = i;
        if (lines[i] == second) b = i;
    }
    ASSERT_LT(a, lines.size());
    ASSERT_LT(b, lines.size());
    EXPECT_LT(a, b);
    // Each output is followed by a prompt of the same folder.
    bool prompt_after = false;
    for (size_t i = b + 1; i < lines.size(); i++) prompt_after = prompt_after || lines[i].rfind(tavro.first_prompt(), 0) == 0;
    EXPECT_TRUE(prompt_after) << to_utf8(tavro.pane_text());
}

TEST_F(Started, ClosingTheWindowEndsTavroAndItsSlave) {
    Process slave = the_slave(tavro);
    ASSERT_TRUE(slave.valid());
    ASSERT_TRUE(tavro.close_window());
    EXPECT_LT(tavro.exit_code(), 0xC0000000u) << "Tavro crashed";
    EXPECT_TRUE(slave.wait_end(WAIT_MS)) << "the slave (pid " << slave.pid() << ") still runs";
    EXPECT_TRUE(tavro.close()) << "something was left running";
}

TEST_F(Started, ExitInTheSlaveEndsTavro) {
    Process slave = the_slave(tavro);
    ASSERT_TRUE(slave.valid());
    tavro.type_line(L"exit");
    ASSERT_TRUE(tavro.wait_for_exit());
    EXPECT_LT(tavro.exit_code(), 0xC0000000u) << "Tavro crashed";
    EXPECT_TRUE(slave.wait_end(WAIT_MS)) << "the slave (pid " << slave.pid() << ") still runs";
    EXPECT_TRUE(tavro.close()) << "something was left running";
}

TEST(StartUp, ASlaveThatCannotStartIsReportedAndEndsTheProgramAsAFailure) {
    Tavro tavro;
    StartOptions options;
    options.app = L"C:\\nonexistent\\nothing.exe";
    options.wait_for_windows = false;
    ASSERT_TRUE(tavro.start(options));
    HWND box = wait_for_dialog(tavro.pid(), START_WAIT_MS);
    ASSERT_TRUE(box != NULL) << "Tavro ended without a word";
    EXPECT_NE(dialog_text(box).find(L"Cannot start the command processor C:\\nonexistent\\nothing.exe."),
              std::wstring::npos) << to_utf8(dialog_text(box));
    // Behind the box the pane says it too, before anything meant for the slave.
    ASSERT_TRUE(tavro.find_windows());
    std::wstring pane = tavro.pane_text();
    EXPECT_LT(pane.find(L"CreateProcess: "), pane.find(L"Connected to ")) << to_utf8(pane);
    ASSERT_TRUE(press_button(box, L"OK"));
    ASSERT_TRUE(tavro.wait_for_exit());
    EXPECT_NE(tavro.exit_code(), 0u) << "a failure reported as success";
    EXPECT_LT(tavro.exit_code(), 0xC0000000u) << "Tavro crashed";
    EXPECT_TRUE(tavro.close()) << "something was left running";
}

// ---- The disclaimer: nothing is saved until Enter is pressed ---------------------

// A first start: no settings file, so the default slave "cmd.exe", which is pipecmd beside Tavro.
static StartOptions first_start() {
    StartOptions options;
    options.settings = Settings::none;
    options.slave_as_cmd = true;
    return options;
}

static void expect_disclaimer(Tavro& tavro) {
    std::wstring pane = tavro.pane_text();
    std::wstring before = text_before(pane, L"Connected to ");
    ASSERT_NE(before.size(), pane.size()) << to_utf8(pane);
    // The notice line, then the disclaimer, which asks for Enter.
    EXPECT_GT(count_nonblank_lines(before), 1u) << to_utf8(pane);
    EXPECT_NE(before.find(L"Enter"), std::wstring::npos) << to_utf8(pane);
}

TEST(FirstStart, ShowsTheDisclaimerAndSavesNothingWhenClosed) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start(first_start()));
    ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    expect_disclaimer(tavro);
    EXPECT_FALSE(file_exists(tavro.settings_path()));
    ASSERT_TRUE(tavro.close_window());
    EXPECT_FALSE(file_exists(tavro.settings_path()));
}

TEST(FirstStart, SavesTheSettingsOnceEnterWasPressed) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start(first_start()));
    ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    expect_disclaimer(tavro);
    // Enter accepts.
    ASSERT_TRUE(tavro.run_command(L"echo " + unique_marker()));
    ASSERT_TRUE(tavro.close_window());
    std::string settings;
    ASSERT_TRUE(read_file(tavro.settings_path(), &settings));
    EXPECT_NE(settings.find("[Misc]\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("App=cmd.exe\r\n"), std::string::npos) << settings;
    // The volume is remembered, so the next start shows no disclaimer.
    EXPECT_NE(settings.find("VolSerialNbr=" + std::to_string((int)tavro.volume_serial()) + "\r\n"), std::string::npos)
        << settings;
}

TEST(MovedToAnotherVolume, ShowsTheDisclaimerAndLeavesTheSettingsAlone) {
    Tavro tavro;
    StartOptions options;
    options.settings = Settings::other_volume;
    ASSERT_TRUE(tavro.start(options));
    std::string before;
    ASSERT_TRUE(read_file(tavro.settings_path(), &before));
    ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    expect_disclaimer(tavro);
    ASSERT_TRUE(tavro.close_window());
    std::string after;
    ASSERT_TRUE(read_file(tavro.settings_path(), &after));
    EXPECT_EQ(after, before);
}
