// Window size and placement arithmetic: the size dialog's entries, sizing to a grid, the
// halves and moves, and the two toggles on one, side-by-side and stacked monitors.
#include <gtest/gtest.h>
#include "app/placement_math.h"

namespace {

ScreenLayout one_monitor() {
    ScreenLayout s = {};
    s.primary_width = 1920;
    s.primary_height = 1080;
    s.full_screen_width = 1920;
    s.max_window_height = 1050;
    s.caption_height = 23;
    s.virtual_width = 1920;
    s.virtual_height = 1080;
    s.virtual_top = 0;
    return s;
}

ScreenLayout side_by_side() {
    ScreenLayout s = one_monitor();
    s.virtual_width = 3840;
    return s;
}

ScreenLayout stacked_below() {
    ScreenLayout s = one_monitor();
    s.virtual_height = 2160;
    return s;
}

ScreenLayout left_of_primary() {
    ScreenLayout s = side_by_side();
    s.virtual_left = -1920;
    return s;
}

ScreenLayout stacked_above() {
    ScreenLayout s = stacked_below();
    s.virtual_top = -1080;
    return s;
}

TEST(GridEntry, BelowTenColumnsOrTwoLinesIsRefused) {
    int columns = -1, lines = -1;
    EXPECT_FALSE(read_grid_entry(L"9", L"25", &columns, &lines));
    EXPECT_FALSE(read_grid_entry(L"80", L"1", &columns, &lines));
    EXPECT_FALSE(read_grid_entry(L"", L"", &columns, &lines));
    EXPECT_FALSE(read_grid_entry(L"abc", L"25", &columns, &lines));
    EXPECT_FALSE(read_grid_entry(L"-80", L"25", &columns, &lines));
    EXPECT_FALSE(read_grid_entry(L"000000000000080", L"25", &columns, &lines));   // 14 characters are read
    EXPECT_EQ(columns, -1);   // a refused entry stores nothing
    EXPECT_EQ(lines, -1);
    ASSERT_TRUE(read_grid_entry(L"10", L"2", &columns, &lines));
    EXPECT_EQ(columns, 10);
    EXPECT_EQ(lines, 2);
}

TEST(GridEntry, DecimalPrefixIsRead) {
    int columns = 0, lines = 0;
    ASSERT_TRUE(read_grid_entry(L" 132x", L"50", &columns, &lines));
    EXPECT_EQ(columns, 132);
    EXPECT_EQ(lines, 50);
    ASSERT_TRUE(read_grid_entry(L"00000000000080", L"+25", &columns, &lines));
    EXPECT_EQ(columns, 80);
    EXPECT_EQ(lines, 25);
    // Fourteen nines do not wrap round into a small or negative count, nor into a small window.
    for (const wchar_t* huge : {L"99999999999999", L"999999999", L"4294967376"}) {   // the last is 2^32 + 80
        ASSERT_TRUE(read_grid_entry(huge, huge, &columns, &lines));
        int width = 0, height = 0;
        grid_window_size(columns, lines, 8, 16, 17, 4, 1000, 850, 990, 790, &width, &height);
        EXPECT_GE(width, 1000) << (const wchar_t*)huge;
        EXPECT_GE(height, 850);
    }
}

TEST(GridWindowSize, AddsScrollBarFramesAndWhatTheWindowAddsAroundThePane) {
    int width = 0, height = 0;
    // 80 x 25 cells of 8 x 16; the window is 10 wider and 60 taller than the pane.
    grid_window_size(80, 25, 8, 16, 17, 4, 1000, 850, 990, 790, &width, &height);
    EXPECT_EQ(width, 80 * 8 + 17 + 2 * 4 + 10);
    EXPECT_EQ(height, 25 * 16 + 60);
    grid_window_size(0, 0, 8, 16, 0, 0, 100, 100, 500, 500, &width, &height);   // never below 0
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
}

TEST(SizeResults, HalvesTakeHalfTheFullScreenWidthAndLeaveTheStoredRectangle) {
    ScreenLayout s = one_monitor();
    s.full_screen_width = 1921;   // halves truncate
    WindowRect stored = {300, 40, 1000, 850}, target;
    bool keep_size = true;
    ASSERT_TRUE(size_result_placement(SIZE_LEFT_HALF, &stored, &s, &target, &keep_size));
    EXPECT_FALSE(keep_size);
    EXPECT_EQ(target.left, 0);
    EXPECT_EQ(target.top, 0);
    EXPECT_EQ(target.width, 960);
    EXPECT_EQ(target.height, 1050);
    ASSERT_TRUE(size_result_placement(SIZE_RIGHT_HALF, &stored, &s, &target, &keep_size));
    EXPECT_EQ(target.left, 960);
    EXPECT_EQ(target.width, 960);
    EXPECT_EQ(stored.left, 300);
    EXPECT_EQ(stored.width, 1000);
}

// A border of 7 pixels left, right and below (Windows 10): the halves' visible frames meet.
TEST(SizeResults, HalvesPlaceTheVisibleFrameInsideTheInvisibleBorder) {
    FrameMargins border = frame_margins({93, 40, 1014, 857}, {100, 40, 1000, 850}, 96);
    WindowRect left = window_around({0, 0, 960, 1050}, border), right = window_around({960, 0, 960, 1050}, border);
    EXPECT_TRUE(left.left == -7 && left.top == 0 && left.width == 974 && left.height == 1057 && right.left == 953);
    EXPECT_EQ(visible_frame(left, border).width, 960);
    EXPECT_EQ(frame_margins({0, 0, 200, 200}, {40, 0, 120, 200}, 96).left, 0);
}

TEST(SizeResults, MovesChangeTheStoredLeftAndKeepTheSize) {
    ScreenLayout s = one_monitor();
    WindowRect stored = {300, 40, 1000, 850}, target;
    bool keep_size = false;
    ASSERT_TRUE(size_result_placement(SIZE_MOVE_RIGHT, &stored, &s, &target, &keep_size));
    EXPECT_TRUE(keep_size);
    EXPECT_EQ(stored.left, 920);
    EXPECT_EQ(target.left, 920);
    EXPECT_EQ(target.top, 40);
    ASSERT_TRUE(size_result_placement(SIZE_MOVE_LEFT, &stored, &s, &target, &keep_size));
    EXPECT_EQ(stored.left, 0);
    EXPECT_EQ(target.left, 0);
    EXPECT_FALSE(size_result_placement(1, &stored, &s, &target, &keep_size));
    EXPECT_FALSE(size_result_placement(0, &stored, &s, &target, &keep_size));
}

TEST(ToggleRightLeft, FlipsBetweenTheRightEdgeAndZero) {
    ScreenLayout s = side_by_side();
    WindowRect r = {3840 - 800, 10, 800, 600};
    toggle_right_left_rect(&r, &s);
    EXPECT_EQ(r.left, 0);
    toggle_right_left_rect(&r, &s);
    EXPECT_EQ(r.left, 3040);
    r.left = 500;
    toggle_right_left_rect(&r, &s);
    EXPECT_EQ(r.left, 3040);
    r.left = -8;
    toggle_right_left_rect(&r, &s);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.width, 800);
    EXPECT_EQ(r.height, 600);
}

// A monitor left of the primary: Toggle Monitor reaches it and comes back, and the virtual screen's
// left edge, not 0, is where Toggle Right/Left goes.
TEST(ToggleMonitor, AMonitorLeftOfThePrimaryIsReachedAndLeft) {
    ScreenLayout s = left_of_primary();
    WindowRect r = {100, 10, 800, 600};
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, -1820);
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 100);
    r = {-1000, 10, 1500, 600};   // wide, on the left monitor: back onto the primary, fitting
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 1920 - 1500);
    r = {-1900, 10, 2000, 600};   // wider than the primary: at its left edge
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 0);
    r = {-10, 10, 800, 600};   // a frame's overhang is still the primary: over to the left one
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, -1920);
    r = {1000, 10, 1500, 600};
    r.left = -2000;
    toggle_right_left_rect(&r, &s);
    EXPECT_EQ(r.left, -1920);
    toggle_right_left_rect(&r, &s);
    EXPECT_EQ(r.left, 1920 - 1500);
}

TEST(ToggleMonitor, OneMonitorFallsToTheVerticalRulesAndEndsAtTheTop) {
    ScreenLayout s = one_monitor();
    WindowRect r = {100, 10, 1000, 850};
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.width, 1000);
    EXPECT_EQ(r.height, 850);
}

TEST(ToggleMonitor, HorizontalCorrectionsComeFirst) {
    ScreenLayout s = one_monitor();
    WindowRect r = {-20, 10, 1000, 850};
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 10);
    r = {1500, 10, 1000, 850};   // sticks out on the right
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 920);
    EXPECT_EQ(r.top, 10);
    r = {-20, 1080, 1000, 500};   // just below the screens and left of them: both mended in one step
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 1080 - 500 - 23);
    r = {920, 10, 1000, 850};   // flush with the right edge: nothing to mend, the vertical rules apply
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 920);
    EXPECT_EQ(r.top, 0);
}

TEST(ToggleMonitor, TooTallOrBelowTheScreensIsBroughtBack) {
    ScreenLayout s = one_monitor();
    WindowRect r = {100, 1200, 1000, 2000};
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.height, 1050);
    // Top first becomes 1080 - 1050 - 23 = 7, then the vertical rules put it at the top.
    EXPECT_EQ(r.top, 0);
}

TEST(ToggleMonitor, SideBySideGoesRightAndBack) {
    ScreenLayout s = side_by_side();
    WindowRect r = {100, 10, 1000, 850};
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 100 + 1920 + 1);
    EXPECT_EQ(r.top, 10);
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 101);
    // Near the primary's right edge: moved over, then pulled in to fit.
    r = {1500, 10, 800, 600};
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 3840 - 800);
    r = {1915, 10, 800, 600};   // its frame over the primary's right edge: back, never negative
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 0);
    r = {1910, 10, 800, 600};   // 10 pixels over are still the primary: over to the right
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 3840 - 800);
    s.virtual_width = 1920 + 100;   // a right monitor its left edge would not reach: the vertical rules
    r = {99, 10, 800, 600};
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 99);
    EXPECT_EQ(r.top, 0);
}

TEST(ToggleMonitor, StackedBelowGoesDownAndBack) {
    ScreenLayout s = stacked_below();
    WindowRect r = {100, 50, 1000, 850};
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 50 + 1080 + 1);
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.top, 51);
    r.top = 2160 - 1080 - 1;   // the lower monitor would not hold it: to the top
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.top, 0);
}

TEST(ToggleMonitor, StackedAboveGoesUpAndBack) {
    ScreenLayout s = stacked_above();
    WindowRect r = {100, 50, 1000, 850};
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.top, -1080);
    toggle_monitor_rect(&r, &s);
    EXPECT_EQ(r.top, 0);
}

}  // namespace
