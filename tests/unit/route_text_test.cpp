// Submission text logic: first word, macro expansion, route order, pager and pause answers.
#include <gtest/gtest.h>
#include "input/route_text.h"
#include <string>
#include <vector>

namespace {

struct Word {
    std::wstring word;
    size_t end;
};

Word word_of(const wchar_t* line, size_t cap = COMMAND_BUFFER_CHARS) {
    wchar_t word[COMMAND_BUFFER_CHARS];
    size_t end = first_word(line, word, cap);
    return {word, end};
}

TEST(FirstWord, BlanksQuotesAndEnds) {
    EXPECT_EQ(word_of(L"dir /w").word, L"dir");
    EXPECT_EQ(word_of(L"dir /w").end, 3u);
    EXPECT_EQ(word_of(L"  \t\x01notepad x").word, L"notepad");   // codes up to 32 are blanks
    Word quoted = word_of(L"  \"C:\\Program Files\\x.exe\" -a");
    EXPECT_EQ(quoted.word, L"C:\\Program Files\\x.exe");
    EXPECT_EQ(quoted.end, 26u);   // just after the closing quote
    EXPECT_EQ(word_of(L"\"unterminated word").word, L"unterminated word");
    EXPECT_EQ(word_of(L"\"\" rest").word, L"");
    EXPECT_EQ(word_of(L"   ").word, L"");
    EXPECT_EQ(word_of(L"").end, 0u);
    EXPECT_EQ(word_of(L"abcdef", 4).word, L"abc");   // cut to the word buffer
    EXPECT_EQ(word_of(L"abcdef", 4).end, 6u);
}

struct Macros {
    std::vector<const wchar_t*> names, bodies;
    std::wstring expand(const wchar_t* line, int tab = 8, int columns = 100, size_t cap = COMMAND_BUFFER_CHARS) {
        MacroList list = {names.data(), bodies.data(), (int)names.size()};
        std::vector<wchar_t> out(cap + 1, L'#');
        if (!expand_macro(&list, line, tab, columns, out.data(), cap)) return L"<none>";
        EXPECT_EQ(out[cap], L'#');   // nothing written past the capacity
        return out.data();
    }
};

TEST(MacroExpansion, TabWidthAndColumnsInEitherOrder) {
    Macros m{{L"ls", L"w"}, {L"ls.exe  -T%t -C -w%c", L"mode %c,%t"}};
    EXPECT_EQ(m.expand(L"ls -l"), L"ls.exe  -T8 -C -w100 -l");
    EXPECT_EQ(m.expand(L"w"), L"mode 100,8");
    EXPECT_EQ(m.expand(L"  LS  -a b", 4, 80), L"ls.exe  -T4 -C -w80  -a b");   // name without case, rest with blanks
    EXPECT_EQ(m.expand(L"\"ls\" x"), L"ls.exe  -T8 -C -w100 x");
    EXPECT_EQ(m.expand(L"lsx"), L"<none>");
    EXPECT_EQ(m.expand(L"dir"), L"<none>");
}

TEST(MacroExpansion, PercentSignsAndOtherConversions) {
    Macros m{{L"p", L"s", L"d", L"x", L"x"}, {L"echo 100%% %t", L"echo %s %n %x%", L"a%d b%d c%d", L"first", L"second"}};
    EXPECT_EQ(m.expand(L"p"), L"echo 100% 8");
    // Conversions that take no integer are copied as they stand: a body is never a raw format.
    EXPECT_EQ(m.expand(L"s"), L"echo %s %n %x%");
    EXPECT_EQ(m.expand(L"d", 8, 100), L"a100 b8 c%d");   // no "%t": columns first; only two numbers
    EXPECT_EQ(m.expand(L"x"), L"first");                 // the first equal name wins
}

TEST(MacroExpansion, WidthFlagsAndNegativeNumbers) {
    wchar_t out[64];
    format_macro_body(L"[%3d][%-3d]", 7, 5, out, 64);
    EXPECT_STREQ(out, L"[  5][7  ]");
    format_macro_body(L"[%03d]%t", -4, 9, out, 64);
    EXPECT_STREQ(out, L"[-04]9");
    format_macro_body(L"[%d]", 0, 0, out, 64);
    EXPECT_STREQ(out, L"[0]");
}

TEST(MacroExpansion, OverlongResultIsCut) {
    std::wstring body(3000, L'b');
    Macros m{{L"big"}, {body.c_str()}};
    std::wstring r = m.expand(L"big tail");
    EXPECT_EQ(r.size(), (size_t)COMMAND_BUFFER_CHARS - 1);
    EXPECT_EQ(r, std::wstring(COMMAND_BUFFER_CHARS - 1, L'b'));
    Macros small{{L"m"}, {L"abc%t"}};
    EXPECT_EQ(small.expand(L"m rest", 1234, 1, 6), L"abc12");
}

Route route(const wchar_t* buffer, bool bypass = false, const wchar_t* quit = L",", const wchar_t* keep = L",",
            const wchar_t* no = L",") {
    wchar_t word[COMMAND_BUFFER_CHARS];
    first_word(buffer, word, COMMAND_BUFFER_CHARS);
    return decide_route(buffer, word, bypass, quit, keep, no);
}

TEST(RouteDecision, ClearScreenOnlyForExactCls) {
    EXPECT_EQ(route(L"cls"), ROUTE_CLEAR_SCREEN);
    EXPECT_EQ(route(L"CLS"), ROUTE_SLAVE);
    EXPECT_EQ(route(L"cls x"), ROUTE_SLAVE);
    EXPECT_EQ(route(L" cls"), ROUTE_SLAVE);
    EXPECT_EQ(route(L"cls", true), ROUTE_CLEAR_SCREEN);   // tested before the bypass
}

TEST(RouteDecision, ShellOpenOnWordOnly) {
    EXPECT_EQ(route(L"https://example.org/a b"), ROUTE_SHELL_OPEN);
    EXPECT_EQ(route(L"HTTP://example.org"), ROUTE_SHELL_OPEN);
    EXPECT_EQ(route(L"start https://example.org"), ROUTE_SLAVE);
    EXPECT_EQ(route(L"page.html"), ROUTE_SHELL_OPEN);
    EXPECT_EQ(route(L"page.htm x"), ROUTE_SHELL_OPEN);
    EXPECT_EQ(route(L"PAGE.HTML"), ROUTE_SLAVE);
    EXPECT_EQ(route(L"ftp://x"), ROUTE_SLAVE);
    EXPECT_EQ(route(L"page.html", true, L",", L",", L",page.html,"), ROUTE_SHELL_OPEN);
}

TEST(RouteDecision, ListsInOrder) {
    EXPECT_EQ(route(L"edit x", false, L",edit,", L",", L",edit,"), ROUTE_BYPASS);
    EXPECT_EQ(route(L"edit x", false, L",edit,", L",edit,"), ROUTE_CMD_AND_QUIT);
    EXPECT_EQ(route(L"edit x", false, L",", L",edit,"), ROUTE_KEEP_CMD);
    EXPECT_EQ(route(L"edit x", true), ROUTE_BYPASS);
    EXPECT_EQ(route(L"edit.exe x", false, L",edit,"), ROUTE_SLAVE);   // with and without extension differ
    EXPECT_EQ(route(L"Edit x", false, L",edit,"), ROUTE_SLAVE);       // case counts
    EXPECT_EQ(route(L"\"my tool\" x", false, L",", L",", L",my tool,"), ROUTE_BYPASS);
    EXPECT_EQ(route(L"", false, L",,", L",,", L",,"), ROUTE_SLAVE);   // an empty line is in no list
}

TEST(RouteDecision, MacroNameDecidesAfterExpansion) {
    // Routing gets the word computed before expansion.
    EXPECT_EQ(decide_route(L"notepad.exe x", L"np", false, L",", L",", L",np,"), ROUTE_BYPASS);
    EXPECT_EQ(decide_route(L"notepad.exe x", L"np", false, L",", L",", L",notepad.exe,"), ROUTE_SLAVE);
}

// A line the user types that changes the slave's code page, which Tavro then follows.
TEST(RouteDecision, ATypedChcpNamesItsPage) {
    EXPECT_EQ(chcp_line_page(L"  CHCP\t65535 \r\n"), 65535);
    EXPECT_EQ(chcp_line_page(L"chcp 00437"), 437);
    for (const wchar_t* line : {L"chcp", L"chcp ", L"chcp850", L"chcp 65536", L"chcp 100000", L"chcp 850 > nul",
                                L"chcp 8a", L"echo chcp 850", L""})
        EXPECT_EQ(chcp_line_page(line), 0) << line;
}

TEST(PagerAndPause, WaitingPagerAnswers) {
    EXPECT_FALSE(pager_answer(false, 0, 25, L'f').waiting);
    EXPECT_FALSE(pager_answer(true, 3, 25, L'f').waiting);
    for (wchar_t f : {L'f', L'F'}) {
        PagerAnswer a = pager_answer(true, 0, 25, f);
        EXPECT_TRUE(a.waiting && a.end_paging && a.read && !a.quit);
        EXPECT_EQ(a.lines_left, 24);
    }
    PagerAnswer q = pager_answer(true, 0, 25, L'Q');
    EXPECT_TRUE(q.waiting && q.quit && !q.read && !q.end_paging);
    PagerAnswer enter = pager_answer(true, 0, 25, 13);
    EXPECT_TRUE(enter.read && !enter.end_paging);
    EXPECT_EQ(enter.lines_left, 1);
    PagerAnswer space = pager_answer(true, 0, 40, L' ');
    EXPECT_TRUE(space.read);
    EXPECT_EQ(space.lines_left, 39);
    // A pane of one line, or none yet, still pages on a line at a time.
    EXPECT_EQ(pager_answer(true, 0, 1, L' ').lines_left, 1);
    EXPECT_EQ(pager_answer(true, 0, 0, L' ').lines_left, 1);
}

TEST(PagerAndPause, PauseEndsOnAnyOtherCharacter) {
    EXPECT_EQ(pause_answer(true, L'a'), PAUSE_RESUME_AND_CONSUME);
    EXPECT_EQ(pause_answer(true, 13), PAUSE_RESUME_AND_CONSUME);
    EXPECT_EQ(pause_answer(true, 19), PAUSE_NOT_PAUSED);
    EXPECT_EQ(pause_answer(false, L'a'), PAUSE_NOT_PAUSED);
}

TEST(PagerAndPause, PagingWaitsForTheEchoOfItsCommand) {
    EchoWatch watch;
    auto fed = [&](const wchar_t* text) { return echo_watch_feed(&watch, text, (int)wcslen(text)); };
    echo_watch_start(&watch, L"type log.txt | more  ");
    EXPECT_TRUE(fed(L"\r\n==> C:\\> type log.txt | mo"));   // a prompt before it; the echo split
    EXPECT_FALSE(fed(L"re \r\nline\r\n"));
    echo_watch_start(&watch, L"dir | more");
    EXPECT_TRUE(fed(L"dir | more than that\r\n"));   // inside a line: not the echo
    // A tab matches a blank, a letter the slave's code page lacks matches anything.
    echo_watch_start(&watch, L"type \x00E9.txt\t| more");
    EXPECT_FALSE(fed(L"> type ?.txt | more\n"));
    // An echo longer than the key is matched on its last characters.
    echo_watch_start(&watch, L"echo 0123456789012345678901234567890123456789");
    EXPECT_FALSE(fed(L"==> C:\\> echo 0123456789012345678901234567890123456789\r\n"));
    // Every character of the key counts, and a line end forgets the line before it.
    echo_watch_start(&watch, L"dir");
    EXPECT_TRUE(fed(L"dx\r\nir\r\nxir\r\n"));
    std::vector<wchar_t> piece = {L'd', L'i'};   // read only within its length
    EXPECT_TRUE(echo_watch_feed(&watch, piece.data(), (int)piece.size()));
    // A line end is no blank: a line that is the key without its leading blank is not the echo.
    echo_watch_start(&watch, L"echo 0123456789012345678901234567890");
    EXPECT_TRUE(fed(L"\r\n0123456789012345678901234567890\r\n"));
}

TEST(JoinBounded, PrefixAndCut) {
    wchar_t out[10];
    EXPECT_EQ(join_bounded(out, 10, L"cmd /c ", L"dir"), 9u);
    EXPECT_STREQ(out, L"cmd /c di");
    join_bounded(out, 10, L"", L"ab");
    EXPECT_STREQ(out, L"ab");
    EXPECT_EQ(join_bounded(out, 4, L"cmd /c ", L"dir"), 3u);   // a prefix longer than the room
    EXPECT_STREQ(out, L"cmd");
}

// Names put into a line for the slave are quoted, and no "%...%" in them can name a variable;
// names that no file can have give nothing to send.
TEST(NamesForTheSlave, QuotedSoThatCmdTakesThemAsTheyStand) {
    const wchar_t* rows[][2] = {
        {L"C:\\t\\amp&dir", L"cd \"C:\\t\\amp&dir\"\r\n"},
        {L"C:\\x%OS%y", L"cd \"C:\\x%\"\"OS%\"\"y\"\r\n"},
        {L"D:", L"cd D:\r\n"},   // a drive alone: the slave shows its current folder
        {L"a\"b", L""},
        {L"a\rdir", L""},
    };
    for (auto& row : rows) {
        wchar_t out[30];
        EXPECT_EQ(build_cd_line(out, 30, row[0]), row[1][0] ? (int)wcslen(row[1]) : -1);
        EXPECT_STREQ(out, row[1]);
    }
    wchar_t out[8] = L"cd ";
    EXPECT_EQ(append_quoted_name(out, 8, 3, L"toolong"), -1);   // no room: the text before it stays
    EXPECT_STREQ(out, L"cd ");
    EXPECT_EQ(build_cd_line(out, 0, L"C:\\"), -1);   // no room at all: nothing written
    EXPECT_STREQ(out, L"cd ");
}

}  // namespace
