#include <gtest/gtest.h>

#include <string.h>
#include <wchar.h>

#include <string>

#include "../../tools/pipecmd/pipecmd_logic.h"

namespace {

// Feeds text in chunks of `chunk` bytes and collects the finished lines,
// joined by "|", the way pipecmd reads a pipe that delivers 10 bytes a time.
std::string assemble(const char* text, size_t chunk) {
  static LineAssembler la;
  line_reset(&la);
  std::string lines;
  size_t n = strlen(text);
  for (size_t at = 0; at < n; at += chunk) {
    size_t len = n - at < chunk ? n - at : chunk;
    const char* p = text + at;
    while (len > 0) {
      size_t used = line_feed(&la, p, len);
      p += used;
      len -= used;
      if (la.complete) {
        lines += std::string(la.bytes, la.len) + "|";
        line_reset(&la);
      }
    }
  }
  if (line_finish(&la)) lines += std::string(la.bytes, la.len) + "|";
  return lines;
}

TEST(PipecmdLines, AssemblesLinesFromTenByteChunks) {
  // The prompt line Tavro sends first, 10 bytes every 50 ms.
  EXPECT_EQ(assemble("prompt $Q$Q$G$S$p$g$s\r\nCHCP 437\r\n", 10),
            "prompt $Q$Q$G$S$p$g$s|CHCP 437|");
  // CR and LF land in different chunks: one line end, not two.
  EXPECT_EQ(assemble("123456789\r\nabc\r\n", 10), "123456789|abc|");
  // Several lines in one chunk, including blank ones.
  EXPECT_EQ(assemble("a\r\nb\n\r\nc\r\n", 10), "a|b||c|");
  EXPECT_EQ(assemble("\n", 10), "|");
  // A last line without a line end still counts at the end of input.
  EXPECT_EQ(assemble("dir\r\nexit", 10), "dir|exit|");
  EXPECT_EQ(assemble("one byte at a time\r\n", 1), "one byte at a time|");
  EXPECT_EQ(assemble("", 10), "");
}

TEST(PipecmdLines, KeepsTheStartMarkerAndStopsAfterTheLineEnd) {
  static LineAssembler la;
  line_reset(&la);
  const char data[] = " sTaRT\tnotepad\r\nnext";
  size_t used = line_feed(&la, data, sizeof data - 1);
  ASSERT_TRUE(la.complete);
  EXPECT_EQ(used, 16u);  // the rest stays for whoever reads next
  EXPECT_STREQ(la.bytes, " sTaRT\tnotepad");
}

TEST(PipecmdLines, OverlongLineIsMarkedAndBounded) {
  static LineAssembler la;
  static char big[PIPECMD_LINE_MAX + 100];
  memset(big, 'x', sizeof big);
  line_reset(&la);
  line_feed(&la, big, sizeof big);
  EXPECT_FALSE(la.complete);
  line_feed(&la, "\n", 1);
  ASSERT_TRUE(la.complete);
  EXPECT_TRUE(la.too_long);
  EXPECT_EQ(la.len, (size_t)PIPECMD_LINE_MAX);
  EXPECT_EQ(la.bytes[PIPECMD_LINE_MAX], 0);
  line_reset(&la);
  EXPECT_FALSE(la.too_long);
  EXPECT_FALSE(line_finish(&la));  // nothing pending at end of input
}

long test_lookup(void*, const wchar_t* name, size_t len, wchar_t* value,
                 size_t cap) {
  const wchar_t* v = nullptr;
  if (len == 4 && equal_nocase(name, L"HOME", 4)) v = L"C:\\Users\\me";
  if (len == 1 && name[0] == L'E') v = L"";
  if (len == 4 && wcsncmp(name, L"LONG", 4) == 0) v = L"0123456789";
  if (!v) {
    if (cap) value[0] = L'?';  // a lookup may leave something in the space it was given
    return -1;
  }
  size_t n = wcslen(v);
  size_t copy = n < cap ? n : cap - 1;
  wmemcpy(value, v, copy);
  value[copy] = 0;
  return (long)n;
}

std::wstring expand(const wchar_t* in, size_t cap = 256, bool* ok = nullptr) {
  wchar_t out[256];
  wmemset(out, L'#', 255);
  out[255] = 0;
  bool fits = expand_vars(in, out, cap, test_lookup, nullptr);
  if (ok) *ok = fits;
  return out;
}

TEST(PipecmdVars, ExpandsKnownAndKeepsUnknownNames) {
  EXPECT_EQ(expand(L"cd %HOME%\\src"), L"cd C:\\Users\\me\\src");
  EXPECT_EQ(expand(L"%home%%HOME%"), L"C:\\Users\\meC:\\Users\\me");
  EXPECT_EQ(expand(L"x%E%y"), L"xy");
  EXPECT_EQ(expand(L"echo %NOPE% done"), L"echo %NOPE% done");
  // The closing % of an unknown name may open the next reference.
  EXPECT_EQ(expand(L"%NOPE%HOME%"), L"%NOPEC:\\Users\\me");
  EXPECT_EQ(expand(L"set PATH=%%HOME%%;x"), L"set PATH=%C:\\Users\\me%;x");
}

TEST(PipecmdVars, LeavesUnterminatedAndEmptyReferences) {
  EXPECT_EQ(expand(L"100% sure"), L"100% sure");
  EXPECT_EQ(expand(L"a %HOME"), L"a %HOME");
  EXPECT_EQ(expand(L"%%"), L"%%");
  EXPECT_EQ(expand(L"%"), L"%");
  EXPECT_EQ(expand(L""), L"");
}

TEST(PipecmdVars, ReportsAResultThatDoesNotFit) {
  bool ok = true;
  EXPECT_EQ(expand(L"ab%LONG%", 8, &ok), L"ab");
  EXPECT_FALSE(ok);
  expand(L"%LONG%", 11, &ok);  // ten characters and the terminator fit
  EXPECT_TRUE(ok);
  EXPECT_EQ(expand(L"abcdefghij", 5, &ok), L"abcd");
  EXPECT_FALSE(ok);
  EXPECT_EQ(expand(L"ab%NOPE%", 3, &ok), L"ab");
  EXPECT_FALSE(ok);
  EXPECT_EQ(expand(L"abc", 1, &ok), L"");
}

std::wstring prompt(const wchar_t* fmt, const wchar_t* cwd = L"C:\\Work") {
  wchar_t out[64];
  expand_prompt(fmt, cwd, out, 64);
  return out;
}

TEST(PipecmdPrompt, ExpandsDollarCodesInAnyCase) {
  EXPECT_EQ(prompt(L"$Q$Q$G$S$p$g$s"), L"==> C:\\Work> ");
  EXPECT_EQ(prompt(kDefaultPrompt), L"C:\\Work>");
  EXPECT_EQ(prompt(L"$n$L$b$$$_x"), L"C<|$\r\nx");
  EXPECT_EQ(prompt(L"$A$C$F"), L"&()");
  EXPECT_EQ(prompt(L"$e$h"), L"\x1b\b");
  // Unknown codes and a lone $ at the end give nothing.
  EXPECT_EQ(prompt(L"a$Zb$"), L"ab");
  EXPECT_EQ(prompt(L"$P$G", L"D:\\"), L"D:\\>");
}

TEST(PipecmdPrompt, CutsToTheBuffer) {
  wchar_t out[8];
  expand_prompt(L"$P$G", L"C:\\Windows\\System32", out, 8);
  EXPECT_STREQ(out, L"C:\\Wind");
}

TEST(PipecmdParse, RecognisesTheStartBuiltin) {
  const wchar_t* a = start_arguments(L" sTaRT\tnotepad");
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a, L"notepad");
  a = start_arguments(L"START /b x");
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a, L"/b x");
  a = start_arguments(L"start");
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a, L"");
  a = start_arguments(L"\t start  \"title\" prog.exe");
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a, L"\"title\" prog.exe");
  EXPECT_EQ(start_arguments(L"starter"), nullptr);
  EXPECT_EQ(start_arguments(L"echo start"), nullptr);
  EXPECT_EQ(start_arguments(L"star"), nullptr);
}

TEST(PipecmdParse, MatchesBuiltinNamesAtTheirDelimiters) {
  const wchar_t* a = match_builtin(L"cd..", L"cd");
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a, L"..");
  a = match_builtin(L"CD\\", L"cd");
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a, L"\\");
  a = match_builtin(L"Echo", L"echo");
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a, L"");
  EXPECT_EQ(match_builtin(L"cdrom", L"cd"), nullptr);
  EXPECT_EQ(match_builtin(L"settings.exe", L"set"), nullptr);
  EXPECT_EQ(match_builtin(L"c", L"cd"), nullptr);
  // Variable names are compared with their terminators: "%cd%" is CD, "%cdx%" is not.
  EXPECT_TRUE(equal_nocase(L"cd", L"CD", 3));
  EXPECT_FALSE(equal_nocase(L"cdx", L"CD", 3));
  EXPECT_STREQ(skip_line_start(L" @ @echo off"), L"echo off");
}

TEST(PipecmdParse, FindsOperatorsOutsideQuotes) {
  EXPECT_TRUE(has_operators(L"echo hi > out.txt"));
  EXPECT_TRUE(has_operators(L"dir | more"));
  EXPECT_TRUE(has_operators(L"cd x && dir"));
  EXPECT_TRUE(has_operators(L"echo a^&b"));
  EXPECT_FALSE(has_operators(L"echo \"a > b\""));
  EXPECT_FALSE(has_operators(L"cd \"C:\\Program Files\""));
}

TEST(PipecmdParse, RecognisesDriveSwitches) {
  EXPECT_EQ(drive_switch(L"d:"), L'D');
  EXPECT_EQ(drive_switch(L"  Z:  "), L'Z');
  EXPECT_EQ(drive_switch(L"d:\\"), 0);
  EXPECT_EQ(drive_switch(L"d:x"), 0);
  EXPECT_EQ(drive_switch(L"1:"), 0);
  EXPECT_EQ(drive_switch(L":"), 0);
  EXPECT_EQ(path_drive(L"c:\\x"), L'C');
  EXPECT_EQ(path_drive(L"\\\\srv\\share"), 0);
}

TEST(PipecmdParse, ParsesCdArguments) {
  static CdRequest r;
  ASSERT_TRUE(parse_cd(L"", &r));
  EXPECT_EQ(r.kind, CD_SHOW);
  ASSERT_TRUE(parse_cd(L"   ", &r));
  EXPECT_EQ(r.kind, CD_SHOW);
  ASSERT_TRUE(parse_cd(L" d:", &r));
  EXPECT_EQ(r.kind, CD_SHOW_DRIVE);
  EXPECT_EQ(r.drive, L'D');
  // With /d a bare drive is a change to that drive's directory.
  ASSERT_TRUE(parse_cd(L" /D d:", &r));
  EXPECT_EQ(r.kind, CD_CHANGE);
  EXPECT_TRUE(r.switch_drive);
  EXPECT_STREQ(r.path, L"d:");
  ASSERT_TRUE(parse_cd(L"/d\"C:\\Program Files\"", &r));
  EXPECT_TRUE(r.switch_drive);
  EXPECT_STREQ(r.path, L"C:\\Program Files");
  // Quotes go, inner blanks stay, trailing blanks are cut.
  ASSERT_TRUE(parse_cd(L" \"My Dir\"\\sub  \t", &r));
  EXPECT_EQ(r.kind, CD_CHANGE);
  EXPECT_FALSE(r.switch_drive);
  EXPECT_STREQ(r.path, L"My Dir\\sub");
  ASSERT_TRUE(parse_cd(L"..", &r));
  EXPECT_STREQ(r.path, L"..");
  ASSERT_TRUE(parse_cd(L" /dir", &r));  // a folder named "/dir", not /d
  EXPECT_FALSE(r.switch_drive);
  EXPECT_STREQ(r.path, L"/dir");
}

TEST(PipecmdParse, RejectsAnOverlongCdPath) {
  static CdRequest r;
  static wchar_t big[PIPECMD_LINE_MAX + 10];
  wmemset(big, L'a', PIPECMD_LINE_MAX + 5);
  big[PIPECMD_LINE_MAX + 5] = 0;
  EXPECT_FALSE(parse_cd(big, &r));
  big[PIPECMD_LINE_MAX] = 0;
  EXPECT_TRUE(parse_cd(big, &r));
}

TEST(PipecmdParse, ParsesSetArguments) {
  static SetRequest r;
  parse_set(L"", &r);
  EXPECT_EQ(r.kind, SET_LIST);
  parse_set(L" pa ", &r);
  EXPECT_EQ(r.kind, SET_PREFIX);
  EXPECT_STREQ(r.name, L"pa");
  parse_set(L" PATH=%PATH%;C:\\Tools", &r);
  EXPECT_EQ(r.kind, SET_ASSIGN);
  EXPECT_STREQ(r.name, L"PATH");
  EXPECT_STREQ(r.value, L"%PATH%;C:\\Tools");
  parse_set(L" X=", &r);  // removes X
  EXPECT_EQ(r.kind, SET_ASSIGN);
  EXPECT_STREQ(r.name, L"X");
  EXPECT_STREQ(r.value, L"");
  parse_set(L" X=a=b ", &r);
  EXPECT_STREQ(r.value, L"a=b ");
  parse_set(L" \"Y=two words\" ignored", &r);
  EXPECT_EQ(r.kind, SET_ASSIGN);
  EXPECT_STREQ(r.name, L"Y");
  EXPECT_STREQ(r.value, L"two words");
  parse_set(L" =x", &r);
  EXPECT_EQ(r.kind, SET_BAD);
  parse_set(L" /a n=1+1", &r);
  EXPECT_EQ(r.kind, SET_OTHER);
}

TEST(PipecmdParse, SortsAndFiltersEnvironmentEntries) {
  EXPECT_TRUE(env_entry_less(L"ALPHA=z", L"beta=a"));
  EXPECT_FALSE(env_entry_less(L"beta=a", L"ALPHA=z"));
  // The name decides, not the value: "A" sorts before "AB".
  EXPECT_TRUE(env_entry_less(L"A=zzz", L"AB=a"));
  EXPECT_FALSE(env_entry_less(L"path=1", L"PATH=2"));
  EXPECT_TRUE(env_entry_has_prefix(L"PATHEXT=.COM", L"path"));
  EXPECT_TRUE(env_entry_has_prefix(L"PATH=x", L""));
  EXPECT_FALSE(env_entry_has_prefix(L"PA=x", L"PATH"));
}

TEST(PipecmdParse, ParsesTasklistForOneProcess) {
  unsigned long pid = 0;
  EXPECT_TRUE(parse_tasklist_pid(L"tasklist /NH /FI \"PID eq 1234\"", &pid));
  EXPECT_EQ(pid, 1234ul);
  EXPECT_TRUE(parse_tasklist_pid(L"TASKLIST /nh /fi \"pid eq 7\"", &pid));
  EXPECT_EQ(pid, 7ul);
  EXPECT_FALSE(parse_tasklist_pid(L"tasklist", &pid));
  EXPECT_FALSE(parse_tasklist_pid(L"tasklist /FI \"PID eq x\"", &pid));
  EXPECT_FALSE(parse_tasklist_pid(L"tasklist /FI \"PID eq 12ab\"", &pid));
  EXPECT_FALSE(parse_tasklist_pid(L"tasklist /FI \"PID eq \"", &pid));
  EXPECT_FALSE(parse_tasklist_pid(L"echo PID eq 5", &pid));
  wchar_t line[64];
  format_task_line(L"pipecmd.exe", 1234, line, 64);
  EXPECT_STREQ(line, L"pipecmd.exe                   1234\r\n");
  format_task_line(L"a_very_long_image_name_that_goes_on.exe", 5, line, 64);
  EXPECT_STREQ(line, L"a_very_long_image_name_th        5\r\n");
  format_task_line(L"x.exe", 5, line, 8);
  EXPECT_STREQ(line, L"x.exe  ");
}

TEST(PipecmdParse, ParsesEchoAndNumbers) {
  const wchar_t* text = nullptr;
  EXPECT_EQ(parse_echo(L"", &text), ECHO_STATE);
  EXPECT_EQ(parse_echo(L"   ", &text), ECHO_STATE);
  EXPECT_EQ(parse_echo(L" OFF ", &text), ECHO_OFF);
  EXPECT_EQ(parse_echo(L" on", &text), ECHO_ON);
  ASSERT_EQ(parse_echo(L".", &text), ECHO_TEXT);
  EXPECT_STREQ(text, L"");
  ASSERT_EQ(parse_echo(L" hello  world", &text), ECHO_TEXT);
  EXPECT_STREQ(text, L"hello  world");
  ASSERT_EQ(parse_echo(L"  two", &text), ECHO_TEXT);
  EXPECT_STREQ(text, L" two");
  ASSERT_EQ(parse_echo(L".on", &text), ECHO_TEXT);
  EXPECT_STREQ(text, L"on");
  unsigned long v = 0;
  EXPECT_TRUE(parse_number(L" 65001 ", &v));
  EXPECT_EQ(v, 65001ul);
  EXPECT_FALSE(parse_number(L"", &v));
  EXPECT_FALSE(parse_number(L"12x", &v));
  EXPECT_FALSE(parse_number(L"99999999999", &v));
}

TEST(PipecmdParse, ParsesItsOwnCommandLine) {
  wchar_t cmd[64];
  InvocationKind kind;
  ASSERT_TRUE(parse_invocation(L"", &kind, cmd, 64));
  EXPECT_EQ(kind, INVOKE_INTERACTIVE);
  ASSERT_TRUE(parse_invocation(L" /d /q /C taskkill /PID 12", &kind, cmd, 64));
  EXPECT_EQ(kind, INVOKE_RUN_AND_EXIT);
  EXPECT_STREQ(cmd, L"taskkill /PID 12");
  // /s, or other than two quotes: the outer quotes go.
  ASSERT_TRUE(parse_invocation(L"/s /k \"\"C:\\a b\\x.exe\" y\"", &kind, cmd, 64));
  EXPECT_EQ(kind, INVOKE_RUN_AND_STAY);
  EXPECT_STREQ(cmd, L"\"C:\\a b\\x.exe\" y");
  ASSERT_TRUE(parse_invocation(L"/more +3 a.txt", &kind, cmd, 64));
  EXPECT_EQ(kind, INVOKE_MORE);
  EXPECT_STREQ(cmd, L"+3 a.txt");
  // Text after the closing quote stays; blanks at the end go.
  ASSERT_TRUE(parse_invocation(L"/s /c \"dir\" x \t", &kind, cmd, 64));
  EXPECT_STREQ(cmd, L"dir x");
  ASSERT_TRUE(parse_invocation(L"/q", &kind, cmd, 64));
  EXPECT_STREQ(cmd, L"");
  EXPECT_FALSE(parse_invocation(L"/c 0123456789", &kind, cmd, 8));
}

TEST(PipecmdParse, ReplacesMoreAsACommandOnly) {
  wchar_t out[128];
  ASSERT_TRUE(replace_more(L"type x.txt | more", L"P /more", out, 128));
  EXPECT_STREQ(out, L"type x.txt | P /more");
  ASSERT_TRUE(replace_more(L"@MORE.COM < x.txt&dir|more/e", L"P /more", out, 128));
  EXPECT_STREQ(out, L"@P /more < x.txt&dir|P /more/e");
  ASSERT_TRUE(replace_more(L"echo more | find \"| more\" | moreover", L"P", out, 128));
  EXPECT_STREQ(out, L"echo more | find \"| more\" | moreover");
  EXPECT_FALSE(replace_more(L"dir | more", L"a much longer replacement", out, 12));
  // A last "| more" goes: the platform's processor then runs no pipeline.
  ASSERT_TRUE(drop_final_more(L"type x.txt |  MORE.com ", out, 128));
  EXPECT_STREQ(out, L"type x.txt");
  for (const wchar_t* kept : {L"dir | more /e", L"dir | moreover", L"echo \"a | more\"", L"dir || more",
                              L"| more", L"more < x.txt", L"type x | more | sort"})
    EXPECT_FALSE(drop_final_more(kept, out, 128)) << kept;
  EXPECT_FALSE(drop_final_more(L"type x.txt | more", out, 10));
}

}  // namespace
