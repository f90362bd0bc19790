// Start-up text logic: command line, derived file names, grid, start-up placement.
#include <gtest/gtest.h>
#include "app/frame_text.h"
#include <string>

namespace {

struct Parsed {
    std::wstring instance, command;
};

Parsed parse(std::initializer_list<const wchar_t*> args) {
    std::vector<const wchar_t*> argv = {L"tavro.exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    wchar_t instance[FRAME_INSTANCE_CAP], command[FRAME_STARTUP_CAP];
    parse_command_line((int)argv.size(), argv.data(), instance, command);
    return {instance, command};
}

TEST(CommandLine, InstanceAndCommandSplitFromArguments) {
    Parsed p = parse({L"-i", L"Work", L"dir", L"/w"});
    EXPECT_EQ(p.instance, L"Work");
    EXPECT_EQ(p.command, L"dir /w ");
}

TEST(CommandLine, InstanceNameIsCutAtFifteen) {
    EXPECT_EQ(parse({L"-i", L"ABCDEFGHIJKLMNOPQRST"}).instance, L"ABCDEFGHIJKLMNO");
    EXPECT_EQ(parse({L"/I", L"x"}).instance, L"x");
}

TEST(CommandLine, KMakesEverythingAfterItTheCommand) {
    Parsed p = parse({L"-k", L"-i", L"x"});
    EXPECT_EQ(p.instance, L"");
    EXPECT_EQ(p.command, L"-i x ");
    EXPECT_EQ(parse({L"/K", L"ver"}).command, L"ver ");
    EXPECT_EQ(parse({L"-Kfoo", L"ver"}).command, L"ver ");
}

TEST(CommandLine, OptionsAfterTheCommandJoinIt) {
    Parsed p = parse({L"echo", L"-i", L"x"});
    EXPECT_EQ(p.instance, L"");
    EXPECT_EQ(p.command, L"echo -i x ");
}

TEST(CommandLine, UnknownOptionAndDanglingInstanceAreIgnored) {
    EXPECT_EQ(parse({L"-x"}).command, L"");
    Parsed p = parse({L"-i"});
    EXPECT_EQ(p.instance, L"");
    EXPECT_EQ(p.command, L"");
    EXPECT_EQ(parse({L"-"}).command, L"");
}

TEST(CommandLine, OverlongCommandIsCutAtItsCapacity) {
    std::wstring huge(5000, L'a');
    Parsed p = parse({huge.c_str(), L"tail"});
    EXPECT_EQ(p.command.size(), (size_t)FRAME_STARTUP_CAP - 1);
    EXPECT_EQ(p.command, std::wstring(FRAME_STARTUP_CAP - 1, L'a'));
}

TEST(FileNames, InstanceOnlyInSettingsAndLogs) {
    DerivedNames n;
    derive_file_names(L"C:\\Tools\\tavro.exe", L"Work", &n);
    EXPECT_STREQ(n.settings, L"C:\\Tools\\tavroWork.ini");
    EXPECT_STREQ(n.output_log, L"C:\\Tools\\tavroWork.log");
    EXPECT_STREQ(n.error_log, L"C:\\Tools\\tavroWork.err");
    EXPECT_STREQ(n.previous_error_log, L"C:\\Tools\\tavroWork.ero");
    EXPECT_STREQ(n.command, L"C:\\Tools\\tavro.ing");
    EXPECT_STREQ(n.help_page, L"C:\\Tools\\tavro.html");
    EXPECT_STREQ(n.env_batch, L"C:\\Tools\\tavroEnv.bat");
    EXPECT_STREQ(n.env_data, L"C:\\Tools\\tavroEnv.dat");
}

TEST(FileNames, CutAtTheLastDotOfTheWholePath) {
    DerivedNames n;
    derive_file_names(L"C:\\My.Tools\\tavro", L"", &n);
    EXPECT_STREQ(n.settings, L"C:\\My.ini");
    EXPECT_STREQ(n.command, L"C:\\My.ing");
}

TEST(FileNames, BuiltInNamesWhenThePathIsUnknown) {
    DerivedNames n;
    builtin_file_names(&n);
    EXPECT_STREQ(n.settings, L"tavro.ini");
    EXPECT_STREQ(n.command, L"tavro.ing");
    EXPECT_STREQ(n.output_log, L"tavro.log");
    EXPECT_STREQ(n.error_log, L"tavro.err");
    EXPECT_STREQ(n.previous_error_log, L"tavro.ero");
    EXPECT_STREQ(n.help_page, L"tavro.html");
    EXPECT_STREQ(n.env_batch, L"tavroenv.bat");
    EXPECT_STREQ(n.env_data, L"tavroenv.dat");
}

TEST(FileNames, LongestPathStillFits) {
    std::wstring path = L"C:\\" + std::wstring(252, L'd') + L"\\t.exe";   // 262 > MAX_PATH: cut, never overrun
    DerivedNames n;
    derive_file_names(path.c_str(), L"ABCDEFGHIJKLMNO", &n);
    EXPECT_LT(wcslen(n.settings), (size_t)FRAME_NAME_CAP);
    EXPECT_EQ(std::wstring(n.settings).substr(wcslen(n.settings) - 4), L".ini");
    path = L"C:\\" + std::wstring(257, L'd');   // exactly 260 and no dot: nothing lost
    derive_file_names(path.c_str(), L"", &n);
    EXPECT_EQ(std::wstring(n.settings), path + L".ini");
    // The copies that build the names: a one-character buffer holds the terminator alone, and a
    // buffer with no terminator within its capacity is neither read past nor written.
    wchar_t one[1] = {L'x'}, full[3] = {L'a', L'b', L'c'};
    copy_text(one, 1, L"abc");
    append_text(full, 3, L"x");
    EXPECT_EQ(one[0], 0);
    EXPECT_EQ(std::wstring(full, 3), L"abc");
}

TEST(Grid, ExampleWithoutScrollBar) {
    int columns, lines;
    grid_size(642, 407, false, 17, 8, 16, &columns, &lines);
    EXPECT_EQ(columns, 77);
    EXPECT_EQ(lines, 25);   // shown to users as 26
    grid_size(642, 407, false, 17, 1, 0, &columns, &lines);   // a cell of 0 counts nothing
    EXPECT_EQ(columns, 623);
    EXPECT_EQ(lines, 0);
    grid_size(642, 407, false, 17, 0, 1, &columns, &lines);
    EXPECT_EQ(columns, 0);
    EXPECT_EQ(lines, 400);
}

TEST(Grid, ScrollBarShownDoesNotChangeColumns) {
    // Client width shrinks by the bar when it appears; the count must stay put.
    int c1, l1, c2, l2;
    grid_size(642, 407, false, 17, 8, 16, &c1, &l1);
    grid_size(642 - 17, 407, true, 17, 8, 16, &c2, &l2);
    EXPECT_EQ(c1, c2);
}

// At 200 % the margins of 2, 4 and 5 pixels are 4, 8 and 10; font heights keep their sign.
TEST(Layout, MarginsGrowWithTheDpi) {
    ChildRect text, prom, edit;
    child_layout(640, 480, 8, 16, 192, &text, &prom, &edit);
    EXPECT_EQ(text.x, 4);
    EXPECT_EQ(text.height, 480 - 16 - 10);
    EXPECT_EQ(prom.y, 480 - 16 - 8);
    EXPECT_EQ(prom.height, 16 + 4);
    EXPECT_EQ(edit.width, 640 - 8 - 8);
    EXPECT_EQ(scale_for_dpi(-13, 120), -16);
    EXPECT_EQ(unscale_for_dpi(-24, 144), -16);
    EXPECT_EQ(scale_for_dpi(5, 0), 5);   // no DPI known: 96
    EXPECT_EQ(unscale_for_dpi(5, 0), 5);
    EXPECT_EQ(scale_for_dpi(96, 1), 1);
}

TEST(Layout, TabStopsInTwipsFromTheCell) {
    long stops[32];
    ASSERT_EQ(pane_tab_stops(9, 1, 168, stops, 32), 32);
    EXPECT_EQ(stops[6], 540);   // each rounded from its own column, not 7 x 77
    EXPECT_EQ(pane_tab_stops(8, 0, 96, stops, 32), 0);   // width 0: the control's own tabs
    EXPECT_EQ(pane_tab_stops(1000, 40, 96, stops, 32), 27);   // no stop beyond 24 bits
    EXPECT_EQ(pane_tab_stops(0xFFFFFF, 1, 1440, stops, 32), 1);   // the largest stop is kept
    EXPECT_EQ(stops[0], 0xFFFFFF);
    EXPECT_EQ(pane_tab_stops(1, 1, 1, stops, 2), 2);
    EXPECT_EQ(stops[1], 2 * 1440);
    EXPECT_EQ(pane_tab_stops(0, 8, 96, stops, 32), 0);
    EXPECT_EQ(pane_tab_stops(8, 8, 0, stops, 32), 0);
}

TEST(Placement, LeftBeyondRemovedMonitorComesBack) {
    int left = 2300, top = 40, height = 800;
    startup_placement(&left, &top, &height, 1000, 1920, 0, 0, 1920, 1050);
    EXPECT_EQ(left, 380);
    EXPECT_EQ(top, 40);
    left = 1910;   // still within the last 10 pixels: moved, and never negative
    startup_placement(&left, &top, &height, 1000, 1920, 0, 0, 1920, 1050);
    EXPECT_EQ(left, 0);
}

TEST(Placement, LeftOnASecondMonitorStays) {
    int left = 2300, top = 40, height = 800;
    startup_placement(&left, &top, &height, 1000, 1920, 0, 0, 3840, 1050);
    EXPECT_EQ(left, 2300);
    left = -1500, top = -700;   // monitors left of and above the primary
    startup_placement(&left, &top, &height, 1000, 1920, -1920, -1080, 3840, 1050);
    EXPECT_EQ(left, -1500);
    EXPECT_EQ(top, -700);
    startup_placement(&left, &top, &height, 1000, 1920, 0, 0, 1920, 1050);   // removed since
    EXPECT_EQ(left, 0);
    EXPECT_EQ(top, 0);
}

TEST(Placement, TallWindowIsClippedToTheTop) {
    int left = 10, top = 300, height = 2000;
    startup_placement(&left, &top, &height, 1000, 1920, 0, 0, 1920, 1050);
    EXPECT_EQ(height, 1050);
    EXPECT_EQ(top, 0);
}

}  // namespace
