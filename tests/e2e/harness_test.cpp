// The harness's own checks: its text helpers, and its driving of a stand-in program with
// Tavro's window set, so that a failing end-to-end test points at Tavro, not at the harness.
#include <gtest/gtest.h>
#include "harness.h"

using namespace e2e;

// ---- Text helpers ------------------------------------------------------------

TEST(HarnessText, SettingsFileHasSectionsKeysAndCrLf) {
    SettingsText s;
    s.app = L"Z:\\build\\bin\\pipecmd.exe";
    s.with_serial = true;
    s.serial = 12245933;
    s.left = 10;
    s.top = 20;
    s.width = 640;
    s.height = 480;
    EXPECT_EQ(settings_file_text(s),
              "[Window]\r\nTop=20\r\nHeight=480\r\nLeft=10\r\nWidth=640\r\n"
              "[Misc]\r\nApp=Z:\\build\\bin\\pipecmd.exe\r\nVolSerialNbr=12245933\r\n");
}

TEST(HarnessText, SettingsFileFontsSerialAndExtraLines) {
    SettingsText s;
    s.font = L"DejaVu Sans Mono";
    s.font_size = -16;
    s.with_serial = true;
    s.serial = (int)0xF00DCAFEu;   // serial numbers above 2^31 are written negative, as %d does
    s.extra = "[Fonts]\nTabWidth=4\r\n[Misc]\nCmdShow=1";
    std::string text = settings_file_text(s);
    EXPECT_NE(text.find("[Fonts]\r\nName=DejaVu Sans Mono\r\nSize=-16\r\n[Misc]\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("App="), std::string::npos);
    EXPECT_NE(text.find("VolSerialNbr=-267531522\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n[Fonts]\r\nTabWidth=4\r\n[Misc]\r\nCmdShow=1\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("\r\r"), std::string::npos);
}

TEST(HarnessText, EightBitAndUtf8) {
    EXPECT_EQ(to_8bit(L"C:\\Caf\u00e9\u20ac"), "C:\\Caf\xe9?");
    EXPECT_EQ(to_utf8(L"a\u00e9\u20ac"), "a\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(to_utf8(std::wstring(L"\xD83D\xDE00", 2)).size(), sizeof(wchar_t) == 2 ? 4u : 6u);
}

TEST(HarnessText, LinesEndWithCrLfCrOrLf) {
    std::vector<std::wstring> lines = split_lines(L"one\r\ntwo\rthree\nfour");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], L"two");
    EXPECT_EQ(lines[3], L"four");
    EXPECT_EQ(split_lines(L"x\r\n").size(), 2u);   // an empty line after the last end
    EXPECT_TRUE(has_line(L"==> C:\\> echo M\r\nM\r\n", L"M"));
    EXPECT_FALSE(has_line(L"==> C:\\> echo M\r\n", L"M"));
}

TEST(HarnessText, CountsAndSlices) {
    EXPECT_EQ(count_occurrences(L"==> a> x ==> b> ", L"==> "), 2u);
    EXPECT_EQ(count_occurrences(L"aaaa", L"aa"), 2u);   // not overlapping
    EXPECT_EQ(count_occurrences(L"abc", L""), 0u);
    EXPECT_EQ(rest_of_line_after(L"x\r\nConnected to pipecmd 1.0\r\n==> ", L"Connected to "), L"pipecmd 1.0");
    EXPECT_EQ(rest_of_line_after(L"nothing", L"Connected to "), L"");
    EXPECT_EQ(text_before(L"notice\r\nConnected to ", L"Connected to "), L"notice\r\n");
    EXPECT_EQ(count_nonblank_lines(L"notice\r\n\r\n  \n\tdisclaimer\r\n"), 2u);
    EXPECT_EQ(prompt_for(L"C:\\Work"), L"==> C:\\Work> ");
    EXPECT_EQ(lower_ascii(L"C:\\Users\\Ab"), L"c:\\users\\ab");
}

// ---- Driving a stand-in -------------------------------------------------------

static StartOptions stand_in() {
    StartOptions options;
    options.program = tests_folder() + L"\\tavro_e2e_fake.exe";
    return options;
}

class HarnessStandIn : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tavro.start(stand_in())); }
    Tavro tavro;
};

TEST_F(HarnessStandIn, FindsTheWindowSet) {
    wchar_t cls[64];
    ASSERT_TRUE(GetClassNameW(tavro.pane(), cls, 64));
    EXPECT_STREQ(cls, L"RichEdit20W");
    RECT prom, edit;
    ASSERT_TRUE(GetWindowRect(tavro.prompt_display(), &prom));
    ASSERT_TRUE(GetWindowRect(tavro.input_line(), &edit));
    EXPECT_LT(prom.right - prom.left, edit.right - edit.left);
    EXPECT_EQ(tavro.title(), L"Tavro fake");
}

TEST_F(HarnessStandIn, WritesSettingsBesideTheProgram) {
    std::string settings;
    ASSERT_TRUE(read_file(tavro.settings_path(), &settings));
    std::string app = "App=" + to_8bit(pipecmd_exe_path()) + "\r\n";
    EXPECT_NE(settings.find(app), std::string::npos) << settings;
    std::string serial = "VolSerialNbr=" + std::to_string((int)tavro.volume_serial()) + "\r\n";
    EXPECT_NE(settings.find(serial), std::string::npos) << settings;
    EXPECT_TRUE(file_exists(tavro.path_in_folder(L"tavro.exe")));
}

TEST_F(HarnessStandIn, TypedLinesArriveOnceAndKeysArrive) {
    tavro.type_line(L"hello world");
    ASSERT_TRUE(tavro.wait_for_line(L"[hello world]"));
    tavro.press_key(VK_F5);
    ASSERT_TRUE(tavro.wait_for_line(L"key 116"));
    tavro.type_text(L"abc");
    tavro.type_char(8);   // backspace
    tavro.type_line(L"d");
    ASSERT_TRUE(tavro.wait_for_line(L"[abd]"));
    std::wstring pane = tavro.pane_text();
    EXPECT_EQ(count_occurrences(pane, L"[hello world]"), 1u);
    // One Enter, one submission: an empty line would show as "[]".
    EXPECT_FALSE(has_line(pane, L"[]")) << to_utf8(pane);
    EXPECT_TRUE(has_line(pane, L"key 13"));
}

TEST_F(HarnessStandIn, RunCommandWaitsForTheOutputAndTheNextPrompt) {
    ASSERT_TRUE(tavro.run_command(L"slow late output"));
    std::wstring pane = tavro.pane_text();
    EXPECT_TRUE(has_line(pane, L"[late output]")) << to_utf8(pane);
    // The same command again: the earlier echo and prompt don't count.
    ASSERT_TRUE(tavro.run_command(L"slow late output"));
    pane = tavro.pane_text();
    EXPECT_EQ(count_occurrences(pane, L"[late output]"), 2u) << to_utf8(pane);
    EXPECT_EQ(pane.compare(pane.size() - 13, 13, L"==> F:\\fake> "), 0) << to_utf8(pane);
    // An empty line: the stand-in's own echo is a prompt too, so wait for its answer instead.
    tavro.type_line(L"");
    EXPECT_TRUE(tavro.wait_for_line(L"[]"));
    // No prompt while a message box waits.
    EXPECT_FALSE(tavro.run_command(L"box Hold on", 500));
    HWND box = wait_for_dialog(tavro.pid());
    ASSERT_NE(box, (HWND)NULL);
    EXPECT_TRUE(press_button(box, L"Yes"));
    EXPECT_TRUE(tavro.wait_for_line(L"box: yes"));
}

TEST_F(HarnessStandIn, FollowsTheTitle) {
    tavro.type_line(L"title e2e one");
    EXPECT_TRUE(tavro.wait_for_title(L"e2e one"));
    EXPECT_FALSE(tavro.wait_for_title(L"never so", 300));
}

TEST_F(HarnessStandIn, AnswersMessageBoxes) {
    EXPECT_EQ(find_dialog(tavro.pid()), (HWND)NULL);
    tavro.type_line(L"box Proceed now?");
    HWND box = wait_for_dialog(tavro.pid());
    ASSERT_NE(box, (HWND)NULL);
    EXPECT_EQ(dialog_caption(box), L"Fake box");
    EXPECT_NE(dialog_text(box).find(L"Proceed now?"), std::wstring::npos) << to_utf8(dialog_text(box));
    EXPECT_FALSE(press_button(box, L"Maybe"));
    EXPECT_TRUE(press_button(box, L"no"));
    ASSERT_TRUE(tavro.wait_for_line(L"box: no"));

    tavro.type_line(L"box Again?");
    box = wait_for_dialog(tavro.pid());
    ASSERT_NE(box, (HWND)NULL);
    EXPECT_TRUE(press_button_id(box, IDYES));
    ASSERT_TRUE(tavro.wait_for_line(L"box: yes"));
}

TEST_F(HarnessStandIn, WaitsFailWhenTheTextNeverComes) {
    EXPECT_FALSE(tavro.wait_for_pane(L"never shown", 300));
    EXPECT_FALSE(tavro.wait_for_line(L"never", 300));
    EXPECT_FALSE(tavro.wait_for_pane_count(L"[", 1, 300));
    EXPECT_FALSE(tavro.wait_for_exit(300));
}

TEST_F(HarnessStandIn, SeesTheProgramEnd) {
    tavro.type_line(L"exit");
    ASSERT_TRUE(tavro.wait_for_exit());
    EXPECT_EQ(tavro.exit_code(), 0u);
    EXPECT_FALSE(tavro.running());
    // Waiting on an ended program fails at once instead of running into the timeout.
    ULONGLONG before = GetTickCount64();
    EXPECT_FALSE(tavro.wait_for_pane(L"never shown", 10000));
    EXPECT_LT(GetTickCount64() - before, 5000u);
}

TEST(HarnessCleanup, ClosingEndsTheProgramAndRemovesTheFolder) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start(stand_in()));
    Process program(tavro.pid());
    std::wstring folder = tavro.folder();
    ASSERT_TRUE(file_exists(folder));
    EXPECT_TRUE(tavro.close());
    EXPECT_TRUE(program.wait_end(0));
    EXPECT_FALSE(file_exists(folder));
}

TEST(HarnessCleanup, TerminatesAStubbornProgramAndWhatItStarted) {
    Tavro tavro;
    StartOptions options = stand_in();
    options.close_wait_ms = 2000;
    ASSERT_TRUE(tavro.start(options));
    tavro.type_line(L"child");
    ASSERT_TRUE(tavro.wait_for_pane(L"child "));
    std::vector<ProcessEntry> children = descendants_of(tavro.pid());
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(rest_of_line_after(tavro.pane_text(), L"child "), std::to_wstring(children[0].pid));
    Process child(children[0].pid), program(tavro.pid());
    tavro.type_line(L"stubborn");
    ASSERT_TRUE(tavro.wait_for_line(L"[stubborn]"));
    std::wstring folder = tavro.folder();

    EXPECT_FALSE(tavro.close());   // it had to terminate both
    EXPECT_TRUE(program.wait_end(0));
    EXPECT_TRUE(child.wait_end(0));
    EXPECT_FALSE(file_exists(folder));
}

TEST(HarnessCleanup, StartFailsForAMissingProgram) {
    Tavro tavro;
    StartOptions options;
    options.program = tests_folder() + L"\\no-such-program.exe";
    EXPECT_FALSE(tavro.start(options));
    EXPECT_TRUE(tavro.folder().empty());
}
