// Naming the programs Tavro starts: which names are bare, which is the command processor, and
// which search folders are safe.
#include "slave/slave_text.h"
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(SlaveText, TheProgramOfACommandLine) {
    struct Case {
        const wchar_t* line;
        const wchar_t* name;
        const wchar_t* rest;
        bool folder, processor;
    } cases[] = {
        {L"cmd.exe", L"cmd.exe", L"", false, true},
        {L"  CMD /k echo", L"CMD", L" /k echo", false, true},
        {L"\"cmd.exe\" /q", L"cmd.exe", L" /q", false, true},
        {L"cmdx.exe", L"cmdx.exe", L"", false, false},
        {L"amd.exe", L"amd.exe", L"", false, false},
        {L"cmd.exe.bat", L"cmd.exe.bat", L"", false, false},
        {L".\\cmd.exe", L".\\cmd.exe", L"", true, false},
        {L"\\cmd.exe", L"\\cmd.exe", L"", true, false},
        {L"C:\\Windows\\System32\\cmd.exe /d", L"C:\\Windows\\System32\\cmd.exe", L" /d", true, false},
        {L"\"C:\\Program Files\\a b.exe\" -x", L"C:\\Program Files\\a b.exe", L" -x", true, false},
        {L"\"unclosed", L"unclosed", L"", false, false},
    };
    for (const Case& c : cases) {
        int start = -1, length = -1;
        const wchar_t* rest = nullptr;
        split_program(c.line, &start, &length, &rest);
        EXPECT_EQ(std::wstring(c.line + start, length), c.name) << c.line;
        EXPECT_STREQ(rest, c.rest) << c.line;
        EXPECT_EQ(names_a_folder(c.line + start, length), c.folder) << c.line;
        EXPECT_EQ(is_command_processor_name(c.line + start, length), c.processor) << c.line;
    }
}

TEST(SlaveText, CommandLineJoinedWithQuotesOrNotAtAll) {
    wchar_t out[32];
    EXPECT_TRUE(join_command_line(L"C:\\a b\\cmd.exe", L" /k x", out, 32));
    EXPECT_STREQ(out, L"\"C:\\a b\\cmd.exe\" /k x");
    EXPECT_TRUE(join_command_line(L"C:\\c.exe", L"", out, 11));   // 10 characters and the end
    EXPECT_FALSE(join_command_line(L"C:\\cc.exe", L"", out, 11));
    EXPECT_STREQ(out, L"");
    EXPECT_FALSE(join_command_line(L"C:\\c.exe", L"", nullptr, 0));   // no room at all: nothing written
}

TEST(SlaveText, OnlyAbsolutePathEntriesAreSearched) {
    wchar_t out[64];
    keep_absolute_path_entries(L".;C:\\bin;bin;\"C:\\Program Files\\x\";;\\\\srv\\tools;\\rooted;D:rel;E:/ok", out,
                               64);
    EXPECT_STREQ(out, L"C:\\bin;C:\\Program Files\\x;\\\\srv\\tools;E:/ok");
    // Letters only, either case, and the shortest share.
    keep_absolute_path_entries(L"@:\\a;A:\\b;Z:\\c;[:\\d;`:\\e;a:\\f;z:\\g;{:\\h;\\\\s;C:\\", out, 64);
    EXPECT_STREQ(out, L"A:\\b;Z:\\c;a:\\f;z:\\g;\\\\s;C:\\");
    wchar_t exact[6];
    keep_absolute_path_entries(L"C:\\ab", exact, 6);
    EXPECT_STREQ(exact, L"C:\\ab");
    keep_absolute_path_entries(L"C:\\abc", exact, 6);
    EXPECT_STREQ(exact, L"");
    // An entry that does not fit is left out whole; the ones after it may still fit.
    keep_absolute_path_entries(L"C:\\a;C:\\very\\long\\folder;D:\\b", out, 12);
    EXPECT_STREQ(out, L"C:\\a;D:\\b");
    EXPECT_TRUE(is_absolute_path(L"c:\\x"));
    EXPECT_FALSE(is_absolute_path(L"c:x"));
    EXPECT_FALSE(is_absolute_path(L"\\\\"));
}

TEST(SlaveText, SystemFolderPathsMoveToSysnative) {
    wchar_t out[64];
    EXPECT_TRUE(move_to_folder(L"c:\\windows\\SYSTEM32\\cmd.exe", L"C:\\Windows\\System32\\",
                               L"C:\\Windows\\Sysnative", out, 64));
    EXPECT_STREQ(out, L"C:\\Windows\\Sysnative\\cmd.exe");
    EXPECT_TRUE(move_to_folder(L"C:\\Windows\\System32\\cmd.exe", L"C:\\Windows\\System32",
                               L"C:\\Windows\\Sysnative\\", out, 64));
    EXPECT_STREQ(out, L"C:\\Windows\\Sysnative\\cmd.exe");
    EXPECT_FALSE(move_to_folder(L"C:\\Windows\\System32\\", L"C:\\Windows\\System32", L"C:\\Windows\\Sysnative",
                                out, 64));
    EXPECT_FALSE(move_to_folder(L"\\cmd.exe", L"\\", L"C:\\Windows\\Sysnative", out, 64));
    EXPECT_FALSE(move_to_folder(L"C:\\Windows\\System32x\\cmd.exe", L"C:\\Windows\\System32",
                                L"C:\\Windows\\Sysnative", out, 64));
    EXPECT_FALSE(move_to_folder(L"C:\\Windows\\System32\\sub\\cmd.exe", L"C:\\Windows\\System32",
                                L"C:\\Windows\\Sysnative", out, 64));
    EXPECT_FALSE(move_to_folder(L"D:\\Tools\\tcc.exe", L"C:\\Windows\\System32", L"C:\\Windows\\Sysnative", out,
                                64));
    EXPECT_FALSE(move_to_folder(L"C:\\Windows\\System32\\cmd.exe", L"C:\\Windows\\System32",
                                L"C:\\Windows\\Sysnative", out, 28));
}

// A code page of Latin-1 alone: one unit up to U+00FF.
bool latin1_carries(const wchar_t* character, int units, void* calls) {
    ++*(int*)calls;
    return units == 1 && character[0] <= 0xFF;
}

TEST(SlaveText, TheFirstCharacterTheCodePageLacks) {
    struct Case {
        std::wstring text;
        int length, at, units, calls;
        unsigned long code_point;
    } cases[] = {
        {L"caf\x00E9", 4, -1, 0, 4, 0},
        {L"x\xFF06md", 4, 1, 1, 2, 0xFF06},
        {L"a\xDBFF\xDFFF" L"b", 4, 1, 2, 2, 0x10FFFF},   // a pair is one character
        {L"ab\xD83D\xDE00", 3, 2, 1, 3, 0xD83D},         // cut by the length: half of one
        {L"\xDE00x", 2, 0, 1, 1, 0xDE00},
        {L"\xD83D\xE000", 2, 0, 1, 1, 0xD83D},            // no low surrogate after it
    };
    for (const Case& c : cases) {
        int calls = 0, units = 0;
        unsigned long code_point = 0;
        EXPECT_EQ(first_uncarried(c.text.c_str(), c.length, latin1_carries, &calls, &code_point, &units), c.at);
        EXPECT_EQ(calls, c.calls);
        EXPECT_TRUE(c.at < 0 || (units == c.units && code_point == c.code_point)) << c.at;
    }
}

}  // namespace
