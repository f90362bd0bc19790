// The reader's text rules without pipes: tails, paging, split multi-byte characters,
// prompt recognition, the cd echo and the title.
#include "slave/reader_text.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <wchar.h>

namespace {

std::wstring tail_of(const PendingTail& t) {
    EXPECT_EQ(t.text[t.length], 0);
    return std::wstring(t.text, t.length);
}

void set_tail(PendingTail* t, const std::wstring& s) {
    wmemcpy(t->text, s.data(), s.size());
    t->length = (int)s.size();
    t->text[t->length] = 0;
}

// One read as the reader handles it when no paging is on: the tail goes first, then the new text.
std::wstring read_piece(PendingTail* tail, const std::wstring& converted, bool more_waiting) {
    wchar_t text[2048];
    int n = tail_to_text(tail, text, 2048);
    wmemcpy(text + n, converted.data(), converted.size());
    n += (int)converted.size();
    text[n] = 0;
    n = hold_unfinished(text, n, tail, more_waiting);
    EXPECT_EQ(text[n], 0);
    return std::wstring(text, n);
}

TEST(ReaderText, CrLfSplitAcrossReadsGivesOneLineBreak) {
    PendingTail tail;
    tail_clear(&tail);
    EXPECT_EQ(read_piece(&tail, L"abc\r", false), L"abc");
    EXPECT_EQ(tail_of(tail), L"\r");
    EXPECT_EQ(read_piece(&tail, L"\ndef\r\n", false), L"\r\ndef\r\n");
    EXPECT_EQ(tail.length, 0);
}

TEST(ReaderText, UnfinishedLineWaitsWhileMoreIsComing) {
    PendingTail tail;
    tail_clear(&tail);
    EXPECT_EQ(read_piece(&tail, L"one\r\ntwo\r\nthr", true), L"one\r\ntwo");
    EXPECT_EQ(tail_of(tail), L"\r\nthr");
    // The slave stopped mid-line (a question): printed at once.
    EXPECT_EQ(read_piece(&tail, L"ee\r\nContinue (Y/N)? ", false), L"\r\nthree\r\nContinue (Y/N)? ");
    EXPECT_EQ(tail.length, 0);
    // A lone line feed as line end is the cut point itself.
    EXPECT_EQ(read_piece(&tail, L"a\nb", true), L"a");
    EXPECT_EQ(tail_of(tail), L"\nb");
    tail_clear(&tail);
    EXPECT_EQ(read_piece(&tail, L"\nz", true), L"");   // a line feed first waits with its line too
}

TEST(ReaderText, ALineBreakAtTheStartIsHeldUnlessTheReadIsFull) {
    PendingTail tail;
    tail_clear(&tail);
    EXPECT_EQ(read_piece(&tail, L"\r\npartial", true), L"");
    EXPECT_EQ(tail_of(tail), L"\r\npartial");
    tail_clear(&tail);
    std::wstring full = L"\r\n" + std::wstring(PIECE_LIMIT - 2, L'x');
    EXPECT_EQ(read_piece(&tail, full, true), full);
    EXPECT_EQ(tail.length, 0);
}

TEST(ReaderText, OtherStreamsLineBreakComesFirst) {
    PendingTail out;
    set_tail(&out, L"\r\nP");
    EXPECT_EQ(take_leading_line_break(&out), 2);
    EXPECT_EQ(tail_of(out), L"P");
    EXPECT_EQ(take_leading_line_break(&out), 0);
    set_tail(&out, L"\r\n");   // the line break alone
    EXPECT_EQ(take_leading_line_break(&out), 2);
    EXPECT_EQ(tail_of(out), L"");
    set_tail(&out, L"\nQ");
    EXPECT_EQ(take_leading_line_break(&out), 1);
    EXPECT_EQ(tail_of(out), L"Q");
    set_tail(&out, L"\r");      // a line end whose line feed has not come: that line feed is owed
    EXPECT_EQ(take_leading_line_break(&out), 2);
    EXPECT_EQ(tail_of(out), L"");
    EXPECT_TRUE(out.line_feed_owed);
    wchar_t next[8] = L"\nR";
    EXPECT_EQ(drop_owed_line_feed(&out, next, 0), 0);   // nothing read yet: still owed
    EXPECT_EQ(drop_owed_line_feed(&out, next, 2), 1);
    EXPECT_STREQ(next, L"R");
    EXPECT_FALSE(out.line_feed_owed);
    out.line_feed_owed = true;
    tail_clear(&out);   // a stream started afresh owes nothing
    EXPECT_FALSE(out.line_feed_owed);
}

std::wstring numbered_lines(int from, int to) {
    std::wstring s;
    for (int i = from; i <= to; i++) s += L"L" + std::to_wstring(i) + L"\r\n";
    return s;
}

TEST(ReaderText, PagingShows24Of30Lines) {
    PendingTail tail;
    tail_clear(&tail);
    std::wstring piece = numbered_lines(1, 30);
    wchar_t text[2048];
    wmemcpy(text, piece.data(), piece.size());
    int lines_left = 24;
    int n = page_text(text, (int)piece.size(), 2048, &tail, &lines_left);
    std::wstring shown(text, n);
    EXPECT_EQ(shown, numbered_lines(1, 23) + L"L24");
    EXPECT_EQ(tail_of(tail), L"\r\n" + numbered_lines(25, 30));
    EXPECT_EQ(lines_left, 0);
    // The next page (a key with 23 lines left) takes the six waiting lines.
    lines_left = 23;
    n = tail_to_text(&tail, text, 2048);
    EXPECT_EQ(std::wstring(text), L"\r\n" + numbered_lines(25, 30));
    n = page_text(text, n, 2048, &tail, &lines_left);
    EXPECT_EQ(std::wstring(text, n), L"\r\n" + numbered_lines(25, 30));
    EXPECT_EQ(lines_left, 16);   // the leading line break counts as one of the line feeds
    set_tail(&tail, L"x");
    text[0] = L'#';
    EXPECT_EQ(tail_to_text(&tail, text, 1), 0);   // room for the terminator alone
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(tail_to_text(&tail, nullptr, 0), 0);   // no room at all
}

TEST(ReaderText, PagingSkipsALeadingLineBreakAndKeepsTheHeldTail) {
    PendingTail tail;
    tail_clear(&tail);
    wchar_t text[2048] = L"\r\nA\r\nB\r\nC";
    int lines_left = 2;
    int n = page_text(text, (int)wcslen(text), 2048, &tail, &lines_left);
    EXPECT_EQ(std::wstring(text, n), L"\r\nA\r\nB");
    EXPECT_EQ(tail_of(tail), L"\r\nC");

    wchar_t more[2048] = L"A\nB\nC";
    set_tail(&tail, L"\nD");
    lines_left = 1;
    n = page_text(more, (int)wcslen(more), 2048, &tail, &lines_left);
    EXPECT_EQ(std::wstring(more, n), L"A");
    EXPECT_EQ(tail_of(tail), L"\nB\nC\nD");

    wchar_t small[8] = L"A\nB\nCC";   // the held tail goes after the cut-off part as far as the text has room
    set_tail(&tail, L"\nDE");
    lines_left = 1;
    EXPECT_EQ(page_text(small, 6, 8, &tail, &lines_left), 1);
    EXPECT_EQ(tail_of(tail), L"\nB\nCC\n");

    wchar_t exact[2048] = L"A\r\nB\r\n\n";   // exactly the lines left, shown whole; the last "\n" lies past the length
    tail_clear(&tail);
    lines_left = 2;
    EXPECT_EQ(page_text(exact, 6, 2048, &tail, &lines_left), 6);
    EXPECT_EQ(lines_left, 0);
    EXPECT_EQ(tail.length, 0);
}

TEST(ReaderText, SplitUtf8SequencesAreCarried) {
    auto incomplete = [](const char* s) {
        return incomplete_tail_length((const unsigned char*)s, (int)strlen(s), ENCODING_UTF8, nullptr, nullptr);
    };
    EXPECT_EQ(incomplete("abc\xE2\x82"), 2);
    EXPECT_EQ(incomplete("abc\xE2"), 1);
    EXPECT_EQ(incomplete("abc\xE2\x82\xAC"), 0);
    EXPECT_EQ(incomplete("\xF0\x9D\x84"), 3);
    EXPECT_EQ(incomplete("\xF0\x9D\x84\x9E"), 0);
    EXPECT_EQ(incomplete("x\xC3"), 1);
    EXPECT_EQ(incomplete("x\xC3\xA4"), 0);
    // Lead bytes at the edges of their lengths, and the bytes just outside them.
    EXPECT_TRUE(incomplete("x\xC2") == 1 && incomplete("x\xDF") == 1 && incomplete("x\xE0") == 1);
    EXPECT_TRUE(incomplete("x\xEF\xBF") == 2 && incomplete("x\xF4\x8F\xBF") == 3);
    EXPECT_TRUE(incomplete("x\xC1") == 0 && incomplete("x\xF5\x80") == 0);
    EXPECT_EQ(incomplete("\xEF\xBB"), 2);   // the byte-order mark's lead byte, and U+F000 to U+FFFF
    EXPECT_EQ(incomplete("plain"), 0);
    EXPECT_EQ(incomplete("\x80\x80\x80\x80"), 0);   // malformed: nothing to wait for
    EXPECT_EQ(incomplete("\xFF"), 0);
    EXPECT_EQ(incomplete_tail_length(nullptr, 0, ENCODING_UTF8, nullptr, nullptr), 0);
    EXPECT_EQ(incomplete_tail_length((const unsigned char*)"\xE2", 1, ENCODING_SINGLE_BYTE, nullptr, nullptr), 0);
}

bool shift_jis_lead(unsigned char b, void*) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

TEST(ReaderText, SplitDoubleByteCharactersAreCarried) {
    auto incomplete = [](const char* s) {
        return incomplete_tail_length((const unsigned char*)s, (int)strlen(s), ENCODING_DOUBLE_BYTE,
                                      shift_jis_lead, nullptr);
    };
    EXPECT_EQ(incomplete("a\x81"), 1);
    EXPECT_EQ(incomplete("\x81\x40\x81"), 1);
    EXPECT_EQ(incomplete("\x81\x81"), 0);      // a trail byte with a lead byte's value
    EXPECT_EQ(incomplete("\x81\x81\x81"), 1);
    EXPECT_EQ(incomplete("abc"), 0);
    EXPECT_EQ(incomplete_tail_length((const unsigned char*)"\x81", 1, ENCODING_DOUBLE_BYTE, nullptr, nullptr), 0);
}

TEST(ReaderText, SplitGb18030SequencesAreCarried) {
    auto incomplete = [](const char* s) {
        std::vector<unsigned char> bytes(s, s + strlen(s));   // no terminator to read past
        return incomplete_tail_length(bytes.data(), (int)bytes.size(), ENCODING_GB18030, nullptr, nullptr);
    };
    EXPECT_EQ(incomplete("\x81"), 1);
    EXPECT_EQ(incomplete("\x81\x40"), 0);
    EXPECT_EQ(incomplete("\x81\x30\x81"), 3);
    EXPECT_EQ(incomplete("\x81\x30\x81\x30"), 0);
    EXPECT_EQ(incomplete("a\x81\x30"), 2);
}

int prompt_of(const std::wstring& s, std::wstring* dir, bool starts_line = false) {
    int start, length;
    int k = parse_prompt(s.c_str(), (int)s.size(), starts_line, &start, &length);
    *dir = start >= 0 ? s.substr(start, length) : L"<none>";
    return k;
}

std::string utf16le(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) bytes += {(char)(c & 0xFF), (char)(c >> 8)};
    return bytes;
}

// Each piece as text, and a "|" where it ends: 8-bit bytes widened one by one (as a Latin-1 code
// page would), UTF-16 as UTF-16.
void widen_piece(const unsigned char* bytes, int count, bool utf16, void* context) {
    std::wstring* out = (std::wstring*)context;
    EXPECT_TRUE(!utf16 || count % 2 == 0);
    for (int i = 0; i < count; i += utf16 ? 2 : 1) *out += (wchar_t)(utf16 ? bytes[i] | bytes[i + 1] << 8 : bytes[i]);
    *out += L'|';
}

// The reads of one stream (its bytes, and whether more output waits behind them) as the reader
// decodes them, each handing its kept bytes on to the next.
std::wstring decode_reads(const std::vector<std::pair<std::string, bool>>& reads, StreamDecoding* decoding,
                          ByteEncoding encoding = ENCODING_SINGLE_BYTE) {
    std::wstring out;
    std::string carried;
    for (const auto& read : reads) {
        std::string bytes = carried + read.first;
        int keep = decode_read((unsigned char*)&bytes[0], (int)bytes.size(), decoding, read.second, encoding, nullptr,
                               nullptr, widen_piece, &out);
        EXPECT_TRUE(keep >= 0 && keep <= DECODE_KEEP_MAX && keep <= (int)bytes.size());
        carried = bytes.substr(bytes.size() - keep);
    }
    return out;
}

TEST(ReaderText, Utf16OutputIsDecodedUntilThePrompt) {
    const std::string prompt = "\r\n==> C:\\> ";
    const std::wstring text = L"Caption\r\n\x4E2D\x6587 C:\\Windows\r\n";
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, bool>> reads;
        std::wstring shown;
        ByteEncoding encoding = ENCODING_SINGLE_BYTE;
    } cases[] = {
        {"a byte-order mark after the echo",
         {{"wmic\r\n\xFF\xFE" + utf16le(text) + prompt + "dir\r\n", false}},
         L"wmic\r\n|" + text + L"|\r\n==> C:\\> dir\r\n|"},
        {"a byte and a NUL, three times over, at a line start",
         {{"wsl -l\r\n" + utf16le(L"Ubuntu\r\n") + prompt, false}},
         L"wsl -l\r\n|Ubuntu\r\n|\r\n==> C:\\> |"},
        {"the mark split between reads", {{"x\r\n\xFF", true}, {"\xFE" + utf16le(L"\x4E2D"), false}},
         L"x\r\n|\x4E2D|"},
        {"a character split between reads",
         {{"\xFF\xFE\x2D", true}, {"\x4E" + utf16le(L"!") + prompt, false}},
         L"\x4E2D!|\r\n==> C:\\> |"},
        {"the prompt split between reads",
         {{"\xFF\xFE" + utf16le(L"ok\r\n") + "\r\n==", true}, {"> C:\\> ", false}},
         L"ok\r\n|\r\n|==> C:\\> |"},
        {"a read that ends just after the prompt's drive",
         {{"\xFF\xFE" + utf16le(L"ok\r\n") + "\r\n==> C:", true}, {"\\> dir\r\n", false}},
         L"ok\r\n|\r\n|==> C:\\> dir\r\n|"},
        {"the slave's line break read alone, nothing waiting, before its prompt",
         {{"\xFF\xFE" + utf16le(L"ok\r\n"), false}, {"\r\n", false}, {"==> C:\\> ", false}},
         L"ok\r\n|\r\n|==> C:\\> |"},
        {"8-bit text of an odd length after the tool's output, then the prompt cut off by the read",
         {{"\xFF\xFE" + utf16le(L"ok\r\n") + "x\r\n\r\n=", true}, {"=> C:\\> ", false}},
         L"ok\r\n|x\r\n\r\n==> C:\\> |"},
        {"CJK whose bytes look like a letter, a colon and a backslash",
         {{"\xFF\xFE" + utf16le(L"\x516C\x5C3A x\r\n") + prompt, false}},
         L"\x516C\x5C3A x\r\n|\r\n==> C:\\> |"},
        {"the prompt in the next read", {{"\xFF\xFE" + utf16le(L"ok\r\n"), true}, {"\r\n==> C:\\> ", false}},
         L"ok\r\n|\r\n==> C:\\> |"},
        {"a 0xFF that starts no mark", {{"\xFF" "abcdefghij", true}, {"\r\n", false}}, L"\xFF" L"abcdefghij\r\n|"},
        {"a Cyrillic line first, without a mark",
         {{"wsl -l\r\n" + utf16le(L"\x0414\x0438\x0441\x0442\x0440:\r\nUbuntu\r\n") + prompt, false}},
         L"wsl -l\r\n|\x0414\x0438\x0441\x0442\x0440:\r\nUbuntu\r\n|\r\n==> C:\\> |"},
        {"CJK first, then a blank and Latin letters",
         {{utf16le(L"\x9002\x7528\x4E8E Linux \x7684:\r\n"), false}},
         L"\x9002\x7528\x4E8E Linux \x7684:\r\n|"},
        {"Arabic, Thai, and Greek with an ASCII blank, each on a line of its own",
         {{utf16le(L"\x0627\x0628\x062A") + "\r\n" + utf16le(L"\x0E20\x0E21\x0E22") + "\r\n" +
               utf16le(L"\x1F00 \x1F01"), false}},
         L"\x0627\x0628\x062A|\r\n|\x0E20\x0E21\x0E22|\r\n|\x1F00 \x1F01|"},
        {"no run: other scripts from unit to unit, as binary output has",
         {{"\x01\x03\x02\x04\x03\x05\r\n", false}}, L"\x01\x03\x02\x04\x03\x05\r\n|"},
        {"CJK alone, its line end inside the look",
         {{utf16le(std::wstring(14, L'\x30D5') + L"\r\n"), false}}, std::wstring(14, L'\x30D5') + L"\r\n|"},
        {"CJK alone beyond the look: taken for 8-bit, and the next line for UTF-16 by the line end",
         {{utf16le(std::wstring(20, L'\x4E2D') + L"\r\nUbuntu \x4E2D\r\n"), false}},
         L"-N-N-N-N-N-N-N-N-N-N-N-N-N-N-N-N-N-N-N-N\r\n|Ubuntu \x4E2D\r\n|"},
        {"8-bit tabs, backspaces, bells, escapes and carriage returns where high bytes would be",
         {{"1\t2\t3\t\r\n4\b5\b6\b\r\n7\a8\a9\a\r\na\x1b" "b\x1b" "c\x1b\r\n1\r2\r3\r4\r\n", true}},
         L"1\t2\t3\t\r\n4\b5\b6\b\r\n7\a8\a9\a\r\na\x1b" L"b\x1b" L"c\x1b\r\n1\r2\r3\r4\r\n|"},
        {"a prompt of the user's own, without the arrows",
         {{"\xFF\xFE" + utf16le(L"ok\r\n") + "\r\nD:\\work>", false}},
         L"ok\r\n|\r\nD:\\work>|"},
        {"stray NULs are dropped, the rest kept", {{std::string("ab\0cd\r\nx\0y\0z\r\n", 14), false}},
         L"abcd\r\nxyz\r\n|"},
        {"not at a line start", {{"ab\xFF\xFE" "c", false}}, L"ab\xFF\xFE" L"c|"},
        {"a NUL first: a line of NULs and blanks", {{std::string("\0 \0 \0 \0 x", 9), false}}, L"    x|"},
        {"NUL, line feed, NUL: no UTF-16 line end at a stream's start", {{std::string("\0\n\0ab", 5), false}},
         L"\nab|"},
        {"a UTF-8 character split between reads goes on whole, past a NUL too",
         {{std::string("a\0\xE2\x82", 4), false}, {"\xAC", false}},
         L"a|\xE2\x82\xAC|",
         ENCODING_UTF8},
    };
    for (const Case& c : cases) {
        StreamDecoding decoding;
        decoding_reset(&decoding);
        EXPECT_EQ(decode_reads(c.reads, &decoding, c.encoding), c.shown) << c.what;
    }
    // The prompt ends it: 8-bit output follows as it is.
    StreamDecoding decoding;
    decoding_reset(&decoding);
    decode_reads({{"\xFF\xFE" + utf16le(L"a") + prompt, false}}, &decoding);
    EXPECT_FALSE(decoding.utf16);
    EXPECT_EQ(decode_reads({{"\x4E\x2D\r\n", false}}, &decoding), L"N-\r\n|");
    // Never more handed on than the carry holds, however the bytes fall: here a UTF-16 part of an
    // odd length before eight bytes that may begin the prompt.
    unsigned char odd[] = {0xFF, 0xFE, 'A', 0, 0, '\r', '\n', '=', '=', '>', ' ', 'C', ':'};
    std::wstring ignored;
    decoding_reset(&decoding);
    EXPECT_LE(decode_read(odd, sizeof odd, &decoding, true, ENCODING_SINGLE_BYTE, nullptr, nullptr, widen_piece, &ignored),
              DECODE_KEEP_MAX);
}

// Where the output of a slave told a new code page switches to it: past the echo of its CHCP line
// and the line end, however the reads fall; -1 in every read before.
TEST(ReaderText, ACodePageTakesEffectAfterTheEchoOfItsLine) {
    struct Case {
        const char* line;
        std::vector<std::string> reads;
        int found;   // where, in the last read
    } cases[] = {
        {"CHCP 1252\r\n", {"==> C:\\Jos\x82> CHCP 1252\r\nActive code page: 1252\r\n"}, 24},
        {" chcp \t 850 ", {"> ch", "CP  8", "50 \t\r", "\n\xE9"}, 1},
        {"chcp 850", {"> cchcp 850\n"}, 12},
        {"chcp 850", {"chcp 8500\r\nchcp 85\r\nchcp 850x\r\nchcp 850 x\r\nchcp\r\n850\r\n"}, -1},
    };
    for (const Case& c : cases) {
        ChcpEcho echo;
        ASSERT_TRUE(chcp_echo_await(&echo, c.line, 850));
        for (size_t r = 0; r < c.reads.size(); r++)
            EXPECT_EQ(chcp_echo_find(&echo, (const unsigned char*)c.reads[r].data(), (int)c.reads[r].size()),
                      r + 1 == c.reads.size() ? c.found : -1) << c.line << r;
        EXPECT_EQ(chcp_echo_find(&echo, (const unsigned char*)"chcp 850\n", 9), c.found < 0 ? 9 : -1);   // once
        EXPECT_EQ(echo.code_page, 850);
    }
    ChcpEcho echo;
    EXPECT_TRUE(chcp_echo_await(&echo, "chcp 12345678901", 850));   // just fits
    EXPECT_EQ(chcp_echo_find(&echo, (const unsigned char*)"chcp 123", 8), -1);
    EXPECT_FALSE(chcp_echo_await(&echo, " \r\n", 850));   // nothing to await, nor half an old echo
    EXPECT_EQ(chcp_echo_find(&echo, (const unsigned char*)"45678901\n", 9), -1);
    EXPECT_FALSE(chcp_echo_await(&echo, "chcp 123456789012", 850));
}

TEST(ReaderText, PromptLineGivesItsDirectoryAndLength) {
    std::wstring dir;
    EXPECT_EQ(prompt_of(L"dir\r\n\r\n==> C:\\Work> ", &dir), 14);
    EXPECT_EQ(dir, L"C:\\Work");
    EXPECT_EQ(prompt_of(L"x\n==> C:\\> ", &dir), 10);
    EXPECT_EQ(dir, L"C:\\");
    EXPECT_EQ(prompt_of(L"no line feed C:\\> ", &dir), 0);
    EXPECT_EQ(prompt_of(L"a\r\nwait: 5s", &dir), 0);
    EXPECT_EQ(prompt_of(L"a\r\n1:\\x> ", &dir), 0);
    EXPECT_EQ(prompt_of(L"a\n:\\x> ", &dir), 0);
    EXPECT_EQ(prompt_of(L"a\nC:", &dir), 0);
    // A path without ">" still counts for k, but names no directory.
    EXPECT_EQ(prompt_of(L"a\ncopied to D:\\out", &dir), 17);
    EXPECT_EQ(dir, L"<none>");
    std::wstring long_dir = L"C:\\" + std::wstring(300, L'd');
    EXPECT_EQ(prompt_of(L"\n==> " + long_dir + L"> ", &dir), 310);
    EXPECT_EQ(dir, long_dir);
    // A piece without a line feed: a prompt when it starts a line and its path ends in ">".
    EXPECT_EQ(prompt_of(L"==> C:\\Work> ", &dir, true), 13);
    EXPECT_EQ(dir, L"C:\\Work");
    EXPECT_EQ(prompt_of(L"C:\\> ", &dir, true), 5);
    EXPECT_EQ(dir, L"C:\\");
    EXPECT_EQ(prompt_of(L"D:\\Data", &dir, true), 0);
    EXPECT_EQ(prompt_of(L":\\x> ", &dir, true), 0);
    EXPECT_EQ(prompt_of(L"==> C:\\Work> ", &dir, false), 0);
    EXPECT_EQ(prompt_of(L"\r\n==> C:\\Work> ", &dir, false), 14);
}

TEST(ReaderText, CdEchoOfAnotherDrive) {
    wchar_t letter = 0, value[261];
    EXPECT_TRUE(parse_drive_echo(L"==> C:\\> cd D:\r\nD:\\Data\r\n\r\n==> C:\\> ", L'C', &letter, value, 261));
    EXPECT_EQ(letter, L'D');
    EXPECT_STREQ(value, L"D:\\Data");
    EXPECT_FALSE(parse_drive_echo(L"==> D:\\x> cd D:\r\nD:\\Data\r\n", L'D', &letter, value, 261));
    EXPECT_FALSE(parse_drive_echo(L"==> d:\\x> cd D:\r\nD:\\Data\r\n", L'd', &letter, value, 261));
    EXPECT_TRUE(parse_drive_echo(L"cd e:\r\nE:\\Some Dir \t\r\n", 0, &letter, value, 261));
    EXPECT_EQ(letter, L'E');
    EXPECT_STREQ(value, L"E:\\Some Dir");
    EXPECT_FALSE(parse_drive_echo(L"cd D:\r\nE:\\x\r\n", L'C', &letter, value, 261));
    EXPECT_FALSE(parse_drive_echo(L"cd D:\r\nD:\\Data", L'C', &letter, value, 261));
    EXPECT_FALSE(parse_drive_echo(L"CD D:\r\nD:\\Data\r\n", L'C', &letter, value, 261));
    EXPECT_FALSE(parse_drive_echo(L"cd D:\\x\r\nD:\\x\r\n", L'C', &letter, value, 261));
    EXPECT_FALSE(parse_drive_echo(L"cd D", L'C', &letter, value, 261));
    EXPECT_FALSE(parse_drive_echo(L"cd D:\r\nD:\\Data\r\n", L'C', &letter, value, 7));
    // Lines typed ahead: the second echo is the one for another drive.
    EXPECT_TRUE(parse_drive_echo(L"==> C:\\> cd x\r\n\r\n==> C:\\> cd e:\r\nE:\\\r\n", L'C', &letter, value, 261));
    EXPECT_STREQ(value, L"E:\\");
}

// What the prompt tracking keeps between pieces: whole lines since the last prompt, bounded.
TEST(ReaderText, PromptWatchKeepsTheLinesSinceThePrompt) {
    PromptWatch watch;
    watch_reset(&watch);
    wchar_t letter = 0, value[261];
    EXPECT_TRUE(watch_shown(&watch, L"x\r\n", 3));
    EXPECT_TRUE(watch_shown(&watch, L"==> C:\\> ", 9));
    watch_prompt_line(&watch, 9);
    EXPECT_STREQ(watch.recent, L"==> C:\\> ");
    EXPECT_FALSE(watch_shown(&watch, L"cd D:", 5));
    EXPECT_FALSE(watch_shown(&watch, L"\r\nD:\\Data", 9));
    EXPECT_FALSE(watch_take_drive_echo(&watch, L'C', &letter, value, 261));   // its line is not over
    EXPECT_FALSE(watch_shown(&watch, L"\r", 1));
    EXPECT_TRUE(watch_take_drive_echo(&watch, L'C', &letter, value, 261));
    EXPECT_STREQ(value, L"D:\\Data");
    EXPECT_FALSE(watch_take_drive_echo(&watch, L'C', &letter, value, 261));
    // Over its bound it drops whole lines from the front, or everything for a line that long.
    std::wstring lines = std::wstring(400, L'a') + L"\r\n" + std::wstring(300, L'b') + L"\r\nc";
    watch_shown(&watch, lines.c_str(), (int)lines.size());
    EXPECT_EQ(std::wstring(watch.recent), std::wstring(300, L'b') + L"\r\nc");
    std::wstring one_line(RECENT_OUTPUT_CHARS + 5, L'd');
    watch_shown(&watch, one_line.c_str(), (int)one_line.size());
    EXPECT_EQ(watch.recent_length, 0);
    EXPECT_TRUE(watch_shown(&watch, L"\n", 1) == false && watch_shown(&watch, L"", 0));
    // Just over its bound: the line that the cut falls in goes, the next one is kept whole.
    watch_reset(&watch);
    watch_shown(&watch, L"ab\ncd", 5);
    std::wstring rest(RECENT_OUTPUT_CHARS - 2, L'e');
    watch_shown(&watch, rest.c_str(), (int)rest.size());
    EXPECT_EQ(std::wstring(watch.recent), L"cd" + rest);
    watch_prompt_line(&watch, 1);   // a prompt line of one character
    EXPECT_STREQ(watch.recent, L"e");
}

std::wstring title_for(const wchar_t* dir) {
    wchar_t title[400];
    build_prompt_title(L"Tavro", dir, title, 400);
    return title;
}

TEST(ReaderText, TitleShortensLongDirectories) {
    EXPECT_EQ(title_for(L"C:\\Users\\me\\Projects\\tavro"), L"Tavro  ...\\Projects\\tavro");
    EXPECT_EQ(title_for(L"C:\\Windows"), L"Tavro  C:\\Windows");
    EXPECT_EQ(title_for(L"C:\\"), L"Tavro  C:\\");
    EXPECT_EQ(title_for(L"C:\\Program Files"), L"Tavro  C:\\Program Files");
    EXPECT_EQ(title_for(L"C:\\Users\\me"), L"Tavro  C:\\Users\\me");
    EXPECT_EQ(title_for(L"C:\\Users\\longusername"), L"Tavro  ...\\longusername");
    EXPECT_EQ(title_for(L"C:\\Users\\abcdefghi"), L"Tavro  ...\\abcdefghi");   // ten characters from the "\\"
    EXPECT_EQ(title_for(L"D:\\a\\b"), L"Tavro  D:\\a\\b");
    EXPECT_EQ(title_for(L"nothing"), L"Tavro");
}

TEST(ReaderText, LoggingIndicatorsFollowTheTitle) {
    wchar_t title[400] = L"Tavro  C:\\";
    append_logging_indicators(title, 400, true, false);
    EXPECT_STREQ(title, L"Tavro  C:\\  Logging output");
    append_logging_indicators(title, 400, false, true);
    EXPECT_STREQ(title, L"Tavro  C:\\  Logging output  Logging stderr");
    wchar_t small[12] = L"Tavro";
    append_logging_indicators(small, 12, true, true);
    EXPECT_STREQ(small, L"Tavro  Logg");
    build_prompt_title(L"Tavro", L"C:\\", small, 1);   // room for the terminator alone
    EXPECT_STREQ(small, L"");
    append_logging_indicators(nullptr, 0, true, true);   // no room at all: nothing written
}

}  // namespace
