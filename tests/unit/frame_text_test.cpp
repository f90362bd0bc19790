// Start-up text logic: command line, derived file names, grid, start-up placement.
#include <gtest/gtest.h>
#include <utility>
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
    EXPECT_STREQ(n.previous_error_log, L"tavro.ero");
    EXPECT_STREQ(n.env_batch, L"tavroenv.bat");
}

TEST(FileNames, LongestPathStillFits) {
    std::wstring path = L"C:\\" + std::wstring(252, L'd') + L"\\t.exe";   // 262 > MAX_PATH: cut, never overrun
    DerivedNames n;
    derive_file_names(path.c_str(), L"ABCDEFGHIJKLMNO", &n);
    EXPECT_LT(wcslen(n.settings), (size_t)FRAME_NAME_CAP);
    EXPECT_EQ(std::wstring(n.settings).substr(wcslen(n.settings) - 4), L".ini");
}

TEST(Grid, ExampleWithoutScrollBar) {
    int columns, lines;
    grid_size(642, 407, false, 17, 8, 16, &columns, &lines);
    EXPECT_EQ(columns, 77);
    EXPECT_EQ(lines, 25);   // shown to users as 26
}

TEST(Grid, ScrollBarShownDoesNotChangeColumns) {
    // Client width shrinks by the bar when it appears; the count must stay put.
    int c1, l1, c2, l2;
    grid_size(642, 407, false, 17, 8, 16, &c1, &l1);
    grid_size(642 - 17, 407, true, 17, 8, 16, &c2, &l2);
    EXPECT_EQ(c1, c2);
}

// At 96 DPI the margins are 2, 4 and 5 pixels; at 150 % and 200 % they grow with the scaling.
TEST(Layout, MarginsGrowWithTheDpi) {
    struct Row {
        int dpi;
        ChildRect text, prom, edit;
    } rows[] = {
        {96, {2, 2, 638, 459}, {2, 460, 8, 18}, {10, 460, 628, 18}},
        {144, {3, 3, 637, 456}, {3, 458, 8, 19}, {11, 458, 626, 19}},
        {192, {4, 4, 636, 454}, {4, 456, 8, 20}, {12, 456, 624, 20}},
    };
    for (const Row& row : rows) {
        ChildRect text, prom, edit;
        child_layout(640, 480, 8, 16, row.dpi, &text, &prom, &edit);
        for (auto pair : {std::make_pair(text, row.text), std::make_pair(prom, row.prom), std::make_pair(edit, row.edit)}) {
            EXPECT_EQ(pair.first.x, pair.second.x) << row.dpi;
            EXPECT_EQ(pair.first.y, pair.second.y) << row.dpi;
            EXPECT_EQ(pair.first.width, pair.second.width) << row.dpi;
            EXPECT_EQ(pair.first.height, pair.second.height) << row.dpi;
        }
    }
    // Font heights keep their sign and round to the nearest pixel both ways.
    EXPECT_EQ(scale_for_dpi(-16, 144), -24);
    EXPECT_EQ(scale_for_dpi(-13, 120), -16);
    EXPECT_EQ(unscale_for_dpi(-24, 144), -16);
    EXPECT_EQ(unscale_for_dpi(scale_for_dpi(-11, 168), 168), -11);
    EXPECT_EQ(scale_for_dpi(5, 0), 5);   // no DPI known: as at 96
}

TEST(Layout, TabStopsInTwipsFromTheCell) {
    long stops[32];
    ASSERT_EQ(pane_tab_stops(8, 8, 96, stops, 32), 32);   // 64 pixels at 15 twips each
    EXPECT_EQ(stops[0], 960);
    EXPECT_EQ(stops[31], 32 * 960);
    // Each stop is rounded from its own column: the seventh of 9-pixel cells at 168 DPI is 540.
    ASSERT_EQ(pane_tab_stops(9, 1, 168, stops, 32), 32);
    EXPECT_EQ(stops[0], 77);
    EXPECT_EQ(stops[1], 154);
    EXPECT_EQ(stops[6], 540);
    EXPECT_EQ(pane_tab_stops(8, 0, 96, stops, 32), 0);   // tab width 0: the control's own tabs
    EXPECT_EQ(pane_tab_stops(1000, 40, 96, stops, 32), 27);   // no stop beyond a 24-bit position
    EXPECT_EQ(pane_tab_stops(8, 8, 96, stops, 5), 5);
}

TEST(Placement, LeftBeyondRemovedMonitorComesBack) {
    int left = 2300, top = 40, height = 800;
    startup_placement(&left, &top, &height, 1000, 1920, 0, 0, 1920, 1050);
    EXPECT_EQ(left, 380);
    EXPECT_EQ(top, 40);
    left = 1915;   // still within the last 10 pixels: moved, and never off the screens' left edge
    startup_placement(&left, &top, &height, 1000, 1920, 0, 0, 1920, 1050);
    EXPECT_EQ(left, 0);
    left = 1915;
    startup_placement(&left, &top, &height, 1000, 1920, -1280, 0, 3200, 1050);
    EXPECT_EQ(left, -5);   // a monitor on the left: it may stay there
}

TEST(Placement, LeftOnASecondMonitorStays) {
    int left = 2300, top = 40, height = 800;
    startup_placement(&left, &top, &height, 1000, 1920, 0, 0, 3840, 1050);
    EXPECT_EQ(left, 2300);
    // Monitors left of and above the primary have negative coordinates, and are kept.
    left = -1500, top = -700;
    startup_placement(&left, &top, &height, 1000, 1920, -1920, -1080, 3840, 1050);
    EXPECT_EQ(left, -1500);
    EXPECT_EQ(top, -700);
}

TEST(Placement, LeftOrTopBeyondARemovedMonitorOnTheLeftOrAboveComesBack) {
    int left = -1500, top = -700, height = 800;
    startup_placement(&left, &top, &height, 1000, 1920, 0, 0, 1920, 1050);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(top, 0);
    left = -995;   // 5 pixels still show: too few to take hold of
    startup_placement(&left, &top, &height, 1000, 1920, 0, 0, 1920, 1050);
    EXPECT_EQ(left, 0);
    left = -300;   // most of it shows
    startup_placement(&left, &top, &height, 1000, 1920, 0, 0, 1920, 1050);
    EXPECT_EQ(left, -300);
}

TEST(Placement, TallWindowIsClippedToTheTop) {
    int left = 10, top = 300, height = 2000;
    startup_placement(&left, &top, &height, 1000, 1920, 0, 0, 1920, 1050);
    EXPECT_EQ(height, 1050);
    EXPECT_EQ(top, 0);
}

}  // namespace
