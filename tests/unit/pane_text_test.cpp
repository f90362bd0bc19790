// The pane's text rules without a window: bell, backspace, size bound, start marker,
// carriage-return overwrite, ruler and log slicing.
#include "pane/pane_text.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>
#include <wchar.h>

namespace {

const wchar_t MARKER[] = L" sTaRT\t";

std::wstring backspaced(const std::wstring& s) {
    std::vector<wchar_t> buf(s.begin(), s.end());
    buf.push_back(0);
    int n = remove_backspaces(buf.data());
    EXPECT_EQ((size_t)n, wcslen(buf.data()));
    return buf.data();
}

// The control keeps one "\r" per line end, whatever the text that was put in.
std::wstring as_control_shows(const std::wstring& s) {
    std::vector<wchar_t> out(s.size() + 1);
    int n = pane_line_ends(s.data(), (int)s.size(), out.data(), (int)out.size());
    return std::wstring(out.data(), n);
}

struct Shown {
    std::vector<std::wstring> states;
};

void record(const PaneModel* model, void* context) {
    static_cast<Shown*>(context)->states.push_back(model->text);
}

// Steps 10 to 12 of a print over a pane that holds `pane` (line ends as lone "\r").
std::wstring print_over(const std::wstring& pane, const std::wstring& text, Shown* shown = nullptr) {
    std::vector<wchar_t> copy(16000, 0);
    wmemcpy(copy.data(), pane.data(), pane.size());
    PaneModel model = {copy.data(), (int)pane.size(), (int)copy.size(), 0, false};
    std::vector<wchar_t> t(text.begin(), text.end());
    t.push_back(0);
    collapse_cr_runs(t.data(), (int)text.size());
    Shown local;
    const wchar_t* rest = apply_carriage_returns(&model, t.data(), record, shown ? shown : &local);
    // Whatever is left is appended at the end of what the pane then shows.
    std::wstring result = std::wstring(model.text) + (rest ? rest : L"");
    return as_control_shows(result);
}

TEST(PaneText, OneBeepPerPrintUpToBeepsMax) {
    int count = 0;
    EXPECT_TRUE(bell_should_sound(L"\a\a\a", &count, 5));
    EXPECT_EQ(count, 1);
    EXPECT_FALSE(bell_should_sound(L"no bell", &count, 5));
    EXPECT_EQ(count, 1);
    for (int i = 2; i <= 5; i++) EXPECT_TRUE(bell_should_sound(L"x\a", &count, 5)) << i;
    EXPECT_FALSE(bell_should_sound(L"x\a", &count, 5));   // the sixth since the last key
    EXPECT_EQ(count, 6);
    count = 0;                                            // a key press
    EXPECT_TRUE(bell_should_sound(L"\a", &count, 5));
    int none = 0;
    EXPECT_FALSE(bell_should_sound(L"\a", &none, 0));
}

TEST(PaneText, BackspacesEatThePreviousCharacterOfTheSameText) {
    EXPECT_EQ(backspaced(L"ab\b\bc"), L"c");
    EXPECT_EQ(backspaced(L"a\b"), L"");
    EXPECT_EQ(backspaced(L"\bX"), L"\bX");
    EXPECT_EQ(backspaced(L"abc\bd"), L"abd");
    EXPECT_EQ(backspaced(L"x\b\by"), L"\by");     // the second one finds nothing before it
    EXPECT_EQ(backspaced(L"12345\b\b\b"), L"12");
    EXPECT_EQ(backspaced(L""), L"");
}

TEST(PaneText, SizeBoundDropsWholeOldestLines) {
    std::wstring pane;
    for (int i = 0; i < 159; i++) pane += std::wstring(99, (wchar_t)(L'A' + i % 26)) + L"\r";
    ASSERT_EQ(pane.size(), 15900u);
    int added = added_size(std::wstring(100, L'x').c_str(), 100);
    EXPECT_EQ(trim_count(pane.c_str(), (int)pane.size(), added, 15992), 100);
    // Line feeds count twice: 98 characters with two of them.
    std::wstring with_lf = std::wstring(48, L'y') + L"\n" + std::wstring(48, L'y') + L"\n";
    EXPECT_EQ(added_size(with_lf.c_str(), (int)with_lf.size()), 100);
    // Nothing goes while the total stays below the bound.
    EXPECT_EQ(trim_count(pane.c_str(), (int)pane.size(), 91, 15992), 0);
    EXPECT_EQ(trim_count(pane.c_str(), (int)pane.size(), 92, 15992), 100);
    EXPECT_EQ(trim_count(pane.c_str(), (int)pane.size(), 300, 15992), 300);
}

TEST(PaneText, SizeBoundWithoutLineEndsCutsAddedPlusSixteen) {
    std::wstring pane(15000, L'z');
    EXPECT_EQ(trim_count(pane.c_str(), 15000, 1000, 15992), 1016);
    // A pane whose only line end is soon: that line goes first, then blocks.
    std::wstring mixed = L"ab\r" + std::wstring(15000, L'z');
    EXPECT_EQ(trim_count(mixed.c_str(), (int)mixed.size(), 1000, 15992), 3 + 1016);
    EXPECT_EQ(trim_count(L"", 0, 8000, 15992), 0);
}

// The window decides exactly as the whole pane does, or declines: random panes of lines and of
// long unbroken runs, windows at and around the cut.
TEST(PaneText, TrimDecidedFromAWindowMatchesTheWholePane) {
    unsigned seed = 12345;
    auto next = [&seed](int n) { seed = seed * 1103515245u + 12345u; return (int)((seed >> 8) % (unsigned)n); };
    int decided = 0;
    for (int round = 0; round < 3000; round++) {
        std::wstring pane;
        int target = 15000 + next(1200);
        while ((int)pane.size() < target) {
            int line = next(5) == 0 ? 1 + next(3000) : next(120);
            pane += std::wstring(line, L'a');
            if (next(20)) pane += L"\r";
        }
        pane.resize(target);
        int length = (int)pane.size();
        int added = next(6) == 0 ? next(20000) : next(1100);
        int whole = trim_count(pane.c_str(), length, added, 15992);
        int must_go = length + added - 15992 + 1;
        int start = must_go - 1 - next(4) + next(4);
        if (start < 0) start = 0;
        if (start > length) start = length;
        int window_length = std::min(length - start, next(3) == 0 ? next(50) : 2048);
        int cut = trim_count_in_window(pane.c_str() + start, start, window_length, length, added, 15992);
        if (cut >= 0) {
            ASSERT_EQ(cut, whole) << "round " << round;
            decided++;
        }
        // The whole pane as its own window always decides.
        ASSERT_EQ(trim_count_in_window(pane.c_str(), 0, length, length, added, 15992), whole);
    }
    EXPECT_GT(decided, 1000);
}

TEST(PaneText, TrimWindowDeclinesWhatItCannotSee) {
    std::wstring line = std::wstring(99, L'a') + L"\r";
    std::wstring pane = line + line + std::wstring(15700, L'b');
    int length = (int)pane.size();
    ASSERT_EQ(length, 15900);
    // 100 characters must go: the first one is at 99, itself the first line's end.
    EXPECT_EQ(trim_count_in_window(pane.c_str() + 99, 99, 10, length, 191, 15992), 100);
    EXPECT_EQ(trim_count(pane.c_str(), length, 191, 15992), 100);
    // One more must go: the cut moves to the second line's end.
    EXPECT_EQ(trim_count_in_window(pane.c_str() + 100, 100, 100, length, 192, 15992), 200);
    // A window that starts behind the first character that must go cannot see its line end.
    EXPECT_EQ(trim_count_in_window(pane.c_str() + 100, 100, 10, length, 191, 15992), -1);
    EXPECT_EQ(trim_count_in_window(pane.c_str(), 0, 10, length, 191, 15992), -1);   // nor one that ends before it
    // No line end in the window: the unbroken rest needs the whole pane.
    EXPECT_EQ(trim_count_in_window(pane.c_str() + 208, 208, 500, length, 300, 15992), -1);
    // Below the bound nothing goes, whatever the window holds.
    EXPECT_EQ(trim_count_in_window(L"", 0, 0, 15000, 991, 15992), 0);
}

TEST(PaneText, SlowPaintsArePaintedLessOften) {
    // A quick paint keeps the floor of ten paints a second.
    EXPECT_DOUBLE_EQ(next_paint_gap(0.5, 100, 20, 500), 100);
    EXPECT_DOUBLE_EQ(next_paint_gap(0, 100, 20, 500), 100);
    // A 9 ms paint on a software display: painting keeps to a twentieth of the time.
    EXPECT_DOUBLE_EQ(next_paint_gap(9, 100, 20, 500), 180);
    // A very slow paint still leaves the pane painted twice a second.
    EXPECT_DOUBLE_EQ(next_paint_gap(60, 100, 20, 500), 500);
    // A clock that went backwards reads as a quick paint.
    EXPECT_DOUBLE_EQ(next_paint_gap(-3, 100, 20, 500), 100);
}

// The text after removal and the markers still owed.
std::pair<std::wstring, int> without_markers(const std::wstring& s, int pending) {
    std::vector<wchar_t> buf(s.begin(), s.end());
    buf.push_back(0);
    int n = remove_start_markers(buf.data(), (int)s.size(), &pending);
    EXPECT_EQ(buf[n], 0);
    return {std::wstring(buf.data(), n), pending};
}

TEST(PaneText, StartMarkerInOneReadOrAtTheStart) {
    const std::wstring QUOTED = L" sTaRT\t\"\"\t";
    typedef std::pair<std::wstring, int> Result;
    EXPECT_EQ(without_markers(L"==> C:\\> " + std::wstring(MARKER) + L"notepad\r\n", 1),
              Result(L"==> C:\\> notepad\r\n", 0));
    EXPECT_EQ(without_markers(std::wstring(MARKER) + L"notepad\r\n", 1), Result(L"notepad\r\n", 0));
    // Two window programs typed ahead, the second quoted: each echo loses its own form whole,
    // never the plain part of the quoted one with its "" left behind.
    EXPECT_EQ(without_markers(L"==> C:\\> " + std::wstring(MARKER) + L"a\r\n\r\n==> C:\\> " + QUOTED +
                                  L"\"C:\\b c\\d.exe\"\r\n",
                              2),
              Result(L"==> C:\\> a\r\n\r\n==> C:\\> \"C:\\b c\\d.exe\"\r\n", 0));
    EXPECT_EQ(without_markers(L"==> C:\\> " + QUOTED + L"\"x.exe\"\r\n==> C:\\> " + MARKER + L"y\r\n", 1),
              Result(L"==> C:\\> \"x.exe\"\r\n==> C:\\> " + std::wstring(MARKER) + L"y\r\n", 0));
    EXPECT_EQ(without_markers(std::wstring(MARKER) + L"x", 0), Result(std::wstring(MARKER) + L"x", 0));
}

TEST(PaneText, StartMarkerElsewhereIsLeft) {
    std::wstring s = std::wstring(L"echo x") + MARKER + L"y\r\n>" + MARKER;
    EXPECT_EQ(without_markers(s, 1), std::make_pair(s, 1));
    int length = 0;
    EXPECT_EQ(find_marker_after_prompt(s.c_str(), &length), -1);
}

TEST(PaneText, StartMarkerBehindAPromptAcrossTheJoin) {
    int length = 0;
    EXPECT_EQ(find_marker_after_prompt(L"older\r==> C:\\>  sTaRT\tnotepad\r\n", &length), 15);
    EXPECT_EQ(length, 7);
    EXPECT_EQ(find_marker_after_prompt(L"==> C:\\>  sTaRT\t\"\"\t\"a b\"", &length), 9);
    EXPECT_EQ(length, 10);
    EXPECT_EQ(find_marker_after_prompt(L" sTaRT\tx", &length), -1);
    EXPECT_EQ(find_marker_after_prompt(L">  sTaRT\tx", &length), 2);   // at the very start
    EXPECT_EQ(length, 7);
}

TEST(PaneText, CarriageReturnRunsBeforeALineFeedCollapse) {
    wchar_t a[] = L"a\r\r\nb\r\r\r\nc\r\rd\r";
    int n = collapse_cr_runs(a, (int)wcslen(a));
    EXPECT_EQ(std::wstring(a, n), L"a\r\nb\r\nc\r\rd\r");
    EXPECT_EQ(print_over(L"", L"a\r\r\nb"), L"a\rb");
    wchar_t ends[3];   // cut to its capacity
    EXPECT_EQ(pane_line_ends(L"\na\r\nb", 5, ends, 3), 2);
    EXPECT_STREQ(ends, L"\ra");
}

TEST(PaneText, BareCarriageReturnDetection) {
    EXPECT_FALSE(has_bare_cr(L"abc\r\n"));
    EXPECT_FALSE(has_bare_cr(L"abc\r"));
    EXPECT_FALSE(has_bare_cr(L"a\r\r\nb\n"));
    EXPECT_TRUE(has_bare_cr(L"\rX"));
    EXPECT_TRUE(has_bare_cr(L"a\r\r"));
    EXPECT_TRUE(has_bare_cr(L"x\r\n 10%\r 20%"));
}

TEST(PaneText, LineEndIsNotAnOverwrite) {
    Shown shown;
    EXPECT_EQ(print_over(L"", L"abc\r\n", &shown), L"abc\r");
    EXPECT_TRUE(shown.states.empty());
    EXPECT_EQ(print_over(L"", L"abc\r", &shown), L"abc\r");   // nothing after it yet
    EXPECT_TRUE(shown.states.empty());
}

TEST(PaneText, BareCarriageReturnRewritesTheLastLine) {
    EXPECT_EQ(print_over(L"old\rCopying 10%", L"\rCopying 20%"), L"old\rCopying 20%");
    EXPECT_EQ(print_over(L"hello", L"\rX"), L"Xello");
    // The part before the carriage return lands first and is then overwritten.
    EXPECT_EQ(print_over(L"", L"Copying 10%\rCopying 20%"), L"Copying 20%");
    // In the pane only the part that differs is replaced; a shared end never reaches into the
    // shared start.
    int from, old_end, new_end;
    text_difference(L"ab\rCopying 10%", 14, L"ab\rCopying 20%", 14, &from, &old_end, &new_end);
    EXPECT_EQ(std::vector<int>({from, old_end, new_end}), std::vector<int>({11, 12, 12}));
    text_difference(L"aa", 2, L"aaa", 3, &from, &old_end, &new_end);
    EXPECT_EQ(std::vector<int>({from, old_end, new_end}), std::vector<int>({2, 2, 3}));
}

TEST(PaneText, OverwriteEndsAtALineEnd) {
    Shown shown;
    EXPECT_EQ(print_over(L"hello", L"\rxy\r\nmore", &shown), L"xyllo\rmore");
    ASSERT_EQ(shown.states.size(), 1u);
    EXPECT_EQ(shown.states[0], L"xyllo");
}

TEST(PaneText, OverwriteContinuesThroughALineFeed) {
    EXPECT_EQ(print_over(L"hello", L"\rxy\nmore"), L"xy\rmore");
}

TEST(PaneText, OverwriteStartsBehindTheLastLineEnd) {
    EXPECT_EQ(print_over(L"prev\r", L"x\r\n 10%\r 20%"), L"prev\rx\r 20%");
    EXPECT_EQ(print_over(L"hello", L"\rAB\nCD\rE"), L"ABllo\rED");
    EXPECT_EQ(print_over(L"line1\rhello", L"\rX"), L"line1\rXello");
    EXPECT_EQ(print_over(L"\rhello", L"\rX"), L"\rXello");   // the line end is the pane's first character
}

TEST(PaneText, EveryBareCarriageReturnIsShown) {
    Shown shown;
    EXPECT_EQ(print_over(L"", L" 1%\r 2%\r 3%\r100%", &shown), L"100%");
    ASSERT_EQ(shown.states.size(), 3u);
    EXPECT_EQ(shown.states[0], L" 2%");
    EXPECT_EQ(shown.states[1], L" 3%");
    EXPECT_EQ(shown.states[2], L"100%");
}

TEST(PaneText, OverwriteStaysInsideTheModel) {
    std::vector<wchar_t> copy(8, 0);
    PaneModel model = {copy.data(), 0, 8, 0, false};
    model_append(&model, L"abcdef", 6);
    const wchar_t* rest = apply_carriage_returns(&model, L"\rXYZXYZXYZ\nmoremore", nullptr, nullptr);
    EXPECT_EQ(rest, nullptr);
    EXPECT_EQ(model.length, 7);
    EXPECT_EQ(std::wstring(model.text), L"XYZXYZX");
}

TEST(PaneText, RulerForTwentyFiveColumns) {
    wchar_t tens[1100], units[1100];
    build_ruler(25, tens, 1100, units, 1100);
    EXPECT_STREQ(tens, L"         1         2");
    EXPECT_STREQ(units, L"1234567890123456789012345");
    build_ruler(110, tens, 1100, units, 1100);
    EXPECT_EQ(std::wstring(tens).substr(90), L"         0         1");
    build_ruler(5000, tens, 1100, units, 1100);
    EXPECT_EQ(wcslen(units), 1023u);
    wchar_t small[4];
    build_ruler(25, small, 4, small, 4);
    EXPECT_STREQ(small, L"123");
    build_ruler(25, small, 1, small, 1);   // room for the terminator alone
    EXPECT_EQ(small[0], 0);
}

TEST(PaneText, LogSlicesKeepSurrogatePairsTogether) {
    std::wstring s(1022, L'a');
    s += (wchar_t)0xD834;
    s += (wchar_t)0xDD1E;
    s += L"tail";
    EXPECT_EQ(log_slice_length(s.c_str(), (int)s.size(), 1023), 1022);
    EXPECT_EQ(log_slice_length(s.c_str() + 1022, (int)s.size() - 1022, 1023), (int)s.size() - 1022);
    EXPECT_EQ(log_slice_length(s.c_str(), 1024, 1024), 1024);
    EXPECT_EQ(log_slice_length(L"abc", 3, 1023), 3);
    EXPECT_EQ(log_slice_length(s.c_str() + 1022, 2, 1), 1);   // a slice of one unit still moves on
}

}  // namespace
