// Command history buffer and the copy keys that read from it.
#include <gtest/gtest.h>
#include "input/edit_keys_text.h"
#include "input/history_text.h"
#include <string>
#include <vector>

namespace {

struct HistoryTest : ::testing::Test {
    History h;
    void SetUp() override { history_reset(&h); }
    void add(std::initializer_list<const wchar_t*> lines) {
        for (auto l : lines) history_add(&h, l);
    }
    int count() {
        int n = 0;
        for (int i = 0; i < h.end; i++) n += h.buffer[i] == 0;
        return n;
    }
};

TEST_F(HistoryTest, RepeatsOfTheNewestAndBlankLinesAreNotStored) {
    add({L"dir", L"dir"});
    EXPECT_EQ(count(), 1);
    add({L"cls", L"dir"});
    EXPECT_EQ(count(), 3);
    add({L"   ", L"", L"\t"});
    EXPECT_EQ(count(), 3);
    EXPECT_TRUE(history_at_end(&h));
    add({L"DIR"});   // case counts
    EXPECT_EQ(count(), 4);
    history_back(&h);
    add({L"DIR"});   // a repeat still puts the cursor after the newest
    EXPECT_TRUE(history_at_end(&h));
}

TEST_F(HistoryTest, OldestEntriesMakeRoomAndTheNewestSurvives) {
    for (int i = 0; i < 200; i++) history_add(&h, (L"command number " + std::to_wstring(i)).c_str());
    EXPECT_STREQ(history_newest(&h), L"command number 199");
    EXPECT_LT(h.end, HISTORY_CHARS);
    h.cursor = 0;
    std::wstring oldest = history_at_cursor(&h);
    EXPECT_NE(oldest, L"command number 0");
    std::wstring huge(1015, L'x');
    history_add(&h, huge.c_str());   // fits as the only entry
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(std::wstring(history_newest(&h)), huge);
}

TEST_F(HistoryTest, LineThatCanNeverFitLeavesTheHistoryAlone) {
    add({L"keep me"});
    std::wstring huge(HISTORY_CHARS, L'y');
    history_add(&h, huge.c_str());
    EXPECT_STREQ(history_newest(&h), L"keep me");
    EXPECT_EQ(count(), 1);
}

TEST_F(HistoryTest, UpUpDownReturnsToTheNewest) {
    add({L"one", L"two", L"three"});
    history_back(&h);
    EXPECT_STREQ(history_at_cursor(&h), L"three");
    history_back(&h);
    EXPECT_STREQ(history_at_cursor(&h), L"two");
    history_forward(&h);
    EXPECT_STREQ(history_at_cursor(&h), L"three");
    history_forward(&h);
    EXPECT_TRUE(history_at_end(&h));
    EXPECT_STREQ(history_at_cursor(&h), L"");
    history_back(&h), history_back(&h), history_back(&h), history_back(&h);
    EXPECT_TRUE(history_at_start(&h));
    EXPECT_STREQ(history_at_cursor(&h), L"one");
}

TEST_F(HistoryTest, EmptyHistoryMovesNowhere) {
    history_back(&h);
    EXPECT_TRUE(history_at_start(&h));
    EXPECT_STREQ(history_previous_command(&h), L"");
    EXPECT_EQ(history_prefix_search(&h, L"", 0, false), nullptr);
}

TEST_F(HistoryTest, PreviousCommandLeavesTheCursor) {
    add({L"abc", L"abcdef"});
    EXPECT_STREQ(history_previous_command(&h), L"abcdef");
    EXPECT_TRUE(history_at_end(&h));
    h.cursor = 0;   // at the oldest entry the previous command is the oldest itself
    EXPECT_STREQ(history_previous_command(&h), L"abc");
}

TEST_F(HistoryTest, PrefixSearchSkipsTheIdenticalEntryAndIgnoresCase) {
    add({L"dir /s", L"cls", L"DIR /W", L"dir"});
    EXPECT_STREQ(history_prefix_search(&h, L"dir", 3, false), L"DIR /W");
    EXPECT_STREQ(history_prefix_search(&h, L"DIR /W", 3, false), L"dir /s");
    EXPECT_EQ(history_prefix_search(&h, L"dir /s", 3, false), nullptr);   // does not wrap
    history_cursor_to_end(&h);
    EXPECT_STREQ(history_prefix_search(&h, L"", 0, false), L"dir");
    EXPECT_STREQ(history_prefix_search(&h, L"dir", 0, false), L"DIR /W");
    add({L"ZIP a"});
    EXPECT_STREQ(history_prefix_search(&h, L"zip", 3, false), L"ZIP a");
}

TEST_F(HistoryTest, PopupListsTheTwentySixNewestNewestFirst) {
    for (int i = 0; i < 30; i++) history_add(&h, (L"cmd" + std::to_wstring(i)).c_str());
    wchar_t items[HISTORY_POPUP_MAX][HISTORY_POPUP_TEXT + 8];
    ASSERT_EQ(history_popup_items(&h, items), 26);
    EXPECT_STREQ(items[0], L"&A\tcmd29");
    EXPECT_STREQ(items[25], L"&Z\tcmd4");
    EXPECT_TRUE(history_at_start(&h));   // left at the oldest
    EXPECT_STREQ(history_recall(&h, 1), L"cmd29");
    EXPECT_STREQ(history_recall(&h, 26), L"cmd4");
    EXPECT_STREQ(history_recall(&h, 40), L"cmd0");   // stops at the oldest
}

TEST_F(HistoryTest, PopupShortensLongEntries) {
    std::wstring entry;
    for (int i = 0; i < 100; i++) entry += (wchar_t)(L'a' + i % 26);
    history_add(&h, entry.c_str());
    history_add(&h, std::wstring(79, L'q').c_str());
    wchar_t items[HISTORY_POPUP_MAX][HISTORY_POPUP_TEXT + 8];
    ASSERT_EQ(history_popup_items(&h, items), 2);
    EXPECT_EQ(std::wstring(items[0]), L"&A\t" + std::wstring(79, L'q'));
    EXPECT_EQ(std::wstring(items[1]), L"&B\t" + entry.substr(0, 38) + L"..." + entry.substr(62));
    wchar_t none[HISTORY_POPUP_MAX][HISTORY_POPUP_TEXT + 8];
    history_reset(&h);
    EXPECT_EQ(history_popup_items(&h, none), 0);
}

TEST(CopyKeys, F1AndF3FollowTheLineLength) {
    EXPECT_EQ(f1_character(L"abcdef", 0), L'a');
    EXPECT_EQ(f1_character(L"abcdef", 2), L'c');
    EXPECT_EQ(f1_character(L"abcdef", 6), 0);
    EXPECT_STREQ(f3_text(L"abcdef", 3), L"def");
    EXPECT_STREQ(f3_text(L"abcdef", 9), L"");
}

TEST(CopyKeys, F2CopiesUpToTheCharacter) {
    wchar_t out[64];
    copy_up_to(L"abcdef", 0, L'e', out, 64);
    EXPECT_STREQ(out, L"abcd");
    copy_up_to(L"abcdef", 0, L'a', out, 64);
    EXPECT_STREQ(out, L"a");
    copy_up_to(L"abcabc", 0, L'a', out, 64);
    EXPECT_STREQ(out, L"abc");
    copy_up_to(L"abcdef", 6, L'x', out, 64);
    EXPECT_STREQ(out, L"");
    copy_up_to(L"abcdef", 1, L'z', out, 64);
    EXPECT_STREQ(out, L"");
    wchar_t small[3];
    copy_up_to(L"abcdef", 0, L'e', small, 3);
    EXPECT_STREQ(small, L"ab");
}

TEST(CopyKeys, F4DeletesUpToTheCharacter) {
    EXPECT_EQ(delete_up_to(L"abcdef", 0, L'd'), 3);   // leaves "def"
    EXPECT_EQ(delete_up_to(L"dabcdef", 0, L'd'), 4);  // a match at the caret is skipped
    EXPECT_EQ(delete_up_to(L"abcdef", 0, L'z'), -1);
    EXPECT_EQ(delete_up_to(L"abc", 7, L'a'), -1);
}

TEST(CopyKeys, CtrlBackspaceTakesTheWordBeforeTheCaret) {
    EXPECT_EQ(word_start_before(L"dir abc  def", 9), 4u);   // with the blanks before the caret
    EXPECT_EQ(word_start_before(L"cd C:\\foo\\x.txt", 15), 3u);   // a path is one word
    EXPECT_EQ(word_start_before(L"x\ty", 3), 2u);
    EXPECT_EQ(word_start_before(L"abc def", 40), 4u);   // a caret past the end counts from the end
    EXPECT_EQ(word_start_before(L"dir", 3), 0u);   // the line's first word
}

TEST(CopyKeys, F5QuotesWordsThatNeedIt) {
    wchar_t out[64];
    f5_text(L"\"my prog\" arg", false, out, 64);
    EXPECT_STREQ(out, L"\"my prog\" ");
    f5_text(L"  copy a b", false, out, 64);
    EXPECT_STREQ(out, L"copy ");
    f5_text(L"copy a+b c", true, out, 64);
    EXPECT_STREQ(out, L"\"a+b\" ");
    f5_text(L"dir", true, out, 64);
    EXPECT_STREQ(out, L" ");
    f5_text(L"dir", false, out, 4);   // room for a quote pair, the blank and the terminator
    EXPECT_STREQ(out, L"d ");
    f5_text(L"dir", false, out, 3);
    EXPECT_STREQ(out, L"");
}

TEST(CopyKeys, F6TakesTheLastWordOrTheRest) {
    wchar_t out[64];
    f6_text(L"copy a b", false, out, 64);
    EXPECT_STREQ(out, L"b");
    f6_text(L"type \"my file.txt\"", false, out, 64);
    EXPECT_STREQ(out, L"\"my file.txt\"");
    f6_text(L"echo x  ", false, out, 64);
    EXPECT_STREQ(out, L"x  ");
    f6_text(L"copy a b", true, out, 64);
    EXPECT_STREQ(out, L"a b");
    f6_text(L"dir", true, out, 64);
    EXPECT_STREQ(out, L"");
    f6_text(L"echo broken\"", false, out, 64);   // no opening quote: from the last blank
    EXPECT_STREQ(out, L"broken\"");
    f6_text(L"", false, out, 64);
    EXPECT_STREQ(out, L"");
}

TEST(WordSelection, NumbersSpanCommaAndDotGroups) {
    // What the control picked (a piece between delimiters) and what the double click selects.
    struct {
        const wchar_t* text;
        long p, q;
        const wchar_t* selected;
    } cases[] = {
        {L"total 1,234,567.89 bytes", 8, 9, L"1,234,567.89"},
        {L"12,345", 3, 6, L"12,345"},         // a number at the very start of the text
        {L"1,5 x", 0, 1, L"1,5"},             // clicked on its first group
        {L"1.234,567", 6, 9, L"1.234,567"},   // a dot group reached walking back
        {L"12,045", 3, 6, L"12,045"},         // a group that starts with 0
        {L"a1,234", 0, 2, L"a1"},             // a word that only ends in a digit is no number
        {L"x -12,345", 2, 5, L"-12,345"},     // a minus sign starts a number
    };
    for (const auto& c : cases) {
        long p = c.p, q = c.q;
        select_word(c.text, wcslen(c.text), L">|<,;!()&[]", &p, &q, false, 0, 0);
        EXPECT_EQ(std::wstring(c.text + p, q - p), c.selected) << c.text;
    }
}

TEST(WordSelection, DelimitersEndWordsAndBlanksSelectTheirRun) {
    // What the control picked (p, q), a previous selection to join (join, from, to), and what
    // the double click selects: never reversed, whatever the run of delimiters around it.
    struct {
        const wchar_t* text;
        long p, q;
        bool join;
        long from, to, start, end;
    } cases[] = {
        {L"a (word) b    c", 4, 5, false, 0, 0, 3, 7},
        {L"a (word) b    c", 11, 11, false, 0, 0, 10, 14},   // a run of blanks
        {L"a (word) b    c", 4, 5, true, 0, 1, 0, 7},
        {L"a (word) b    c", 4, 5, true, 5, 12, 3, 12},      // a previous one beyond
        {L"ab cd", 0, 3, false, 0, 0, 0, 2},   // the control's word with the blank after it: left out
        {L"ab,cd", 0, 3, false, 0, 0, 0, 2},   // or with the delimiter after it
        {L" ,,x", 1, 1, false, 0, 0, 3, 4},    // on delimiters: the word behind them
        {L"a ;;", 2, 3, false, 0, 0, 4, 4},    // nothing behind them: empty, at their end
        {L"ab,,cd", 2, 2, false, 0, 0, 0, 2},  // a delimiter right after a word: the word
    };
    for (auto c : cases) {
        select_word(c.text, wcslen(c.text), L">|<,;!()&[]", &c.p, &c.q, c.join, c.from, c.to);
        EXPECT_EQ(c.p, c.start) << c.text;
        EXPECT_EQ(c.q, c.end) << c.text;
    }
    // A piece of the pane: nothing before it is read, nor anything after its length.
    std::vector<wchar_t> piece = {L' ', L'1', L','};
    long p = 0, q = 0;
    select_word(piece.data(), piece.size(), L">|<,;!()&[]", &p, &q, false, 0, 0);
    EXPECT_EQ(q, 1);
    p = 1, q = 2;
    select_word(piece.data(), piece.size(), L">|<,;!()&[]", &p, &q, false, 0, 0);
    EXPECT_EQ(p, 1);
    EXPECT_EQ(q, 2);
}

}  // namespace
