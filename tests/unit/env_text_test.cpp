// Environment sync: the command sent to the slave and the application of the listing, against a
// fake environment.
#include "logs/env_text.h"
#include <gtest/gtest.h>
#include "scratch_file.h"
#include <map>
#include <string>
#include <vector>

namespace {

// A fake environment that records every set.
struct FakeEnvironment {
    std::map<std::wstring, std::wstring> vars;
    std::vector<std::wstring> sets;
    static int get(void* c, const wchar_t* name, wchar_t* buffer, int capacity) {
        auto* env = (FakeEnvironment*)c;
        auto it = env->vars.find(name);
        if (it == env->vars.end()) return 0;
        int length = (int)it->second.size();
        if (length >= capacity) return capacity;   // the least a value that does not fit may report
        wcscpy(buffer, it->second.c_str());
        return length;
    }
    static void set(void* c, const wchar_t* name, const wchar_t* value) {
        auto* env = (FakeEnvironment*)c;
        env->vars[name] = value;
        env->sets.push_back(std::wstring(name) + L"=" + value);
    }
    EnvironmentAccess access() { return EnvironmentAccess{this, get, set}; }
    bool apply(const wchar_t* text) {
        std::vector<wchar_t> line(text, text + wcslen(text) + 1);
        return apply_listing_line(line.data(), access());
    }
};

TEST(SyncCommand, BothPathsQuotedSoAFolderWithABlankWorks) {
    wchar_t out[300];
    int n = build_sync_command(out, 300, L"C:\\Program Files\\Tavro\\tavroEnv.bat",
                               L"C:\\Program Files\\Tavro\\tavroEnv.dat", false);
    EXPECT_STREQ(L"\"C:\\Program Files\\Tavro\\tavroEnv.bat\" > \"C:\\Program Files\\Tavro\\tavroEnv.dat\"", out);
    EXPECT_EQ((int)wcslen(out), n);

    build_sync_command(out, 300, L"C:\\t\\tavroEnv.bat", L"C:\\t\\tavroEnv.dat", true);
    EXPECT_STREQ(L"\"C:\\t\\tavroEnv.bat\" > \"C:\\t\\tavroEnv.dat\"\r\n", out);

    // Quoted as names for the slave: "&" is no command separator, "%" names no variable.
    build_sync_command(out, 300, L"C:\\a&b 100%\\tavroEnv.bat", L"C:\\t\\tavroEnv.dat", false);
    EXPECT_STREQ(L"\"C:\\a&b 100%\"\"\\tavroEnv.bat\" > \"C:\\t\\tavroEnv.dat\"", out);

    // One character short of room for the line end: nothing half-built is sent.
    int exact = (int)wcslen(L"\"a\" > \"b\"\r\n") + 1;
    EXPECT_EQ(exact - 1, build_sync_command(out, exact, L"a", L"b", true));
    EXPECT_EQ(-1, build_sync_command(out, exact - 1, L"a", L"b", true));
    EXPECT_STREQ(L"", out);
    wchar_t one[1] = {L'#'};   // room for the terminator alone: nothing is written past it
    EXPECT_EQ(-1, build_sync_command(one, 1, L"a", L"b", false));
    EXPECT_EQ(one[0], 0);
}

TEST(SyncCommand, AddPathExtendsThePathInAQuotedAssignment) {
    wchar_t out[64];
    build_add_path_command(out, 64, L"C:\\R&D\\bin;%USERPROFILE%\\bin");
    EXPECT_STREQ(L"set \"PATH=%PATH%;C:\\R&D\\bin;%USERPROFILE%\\bin\"\r\n", out);
    EXPECT_EQ(build_add_path_command(out, 20, L"C:\\bin"), -1);   // too long: nothing half-built
    EXPECT_STREQ(L"", out);
}

TEST(ListingLines, ShapesAndTrailingBlanks) {
    const wchar_t* name;
    const wchar_t* value;
    wchar_t line[64];

    wcscpy(line, L"NAME=value   \t\r\n");
    ASSERT_EQ(LISTING_VARIABLE, parse_listing_line(line, &name, &value));
    EXPECT_STREQ(L"NAME", name);
    EXPECT_STREQ(L"value", value);

    wcscpy(line, L"=D:=D:\\data\n");
    ASSERT_EQ(LISTING_DRIVE, parse_listing_line(line, &name, &value));
    EXPECT_STREQ(L"=D:", name);
    EXPECT_STREQ(L"D:\\data", value);

    wcscpy(line, L"=z:=z:\\x");   // any drive letter, in either case
    ASSERT_EQ(LISTING_DRIVE, parse_listing_line(line, &name, &value));
    EXPECT_STREQ(L"=z:", name);
    wcscpy(line, L"=Z:=Z:\\");
    EXPECT_EQ(LISTING_DRIVE, parse_listing_line(line, &name, &value));
    for (const wchar_t* first_letter : {L"=A:=A:\\", L"=a:=a:\\"}) {
        wcscpy(line, first_letter);
        EXPECT_EQ(LISTING_DRIVE, parse_listing_line(line, &name, &value)) << first_letter;
    }

    wcscpy(line, L"A=b=c");   // split at the first "="
    ASSERT_EQ(LISTING_VARIABLE, parse_listing_line(line, &name, &value));
    EXPECT_STREQ(L"A", name);
    EXPECT_STREQ(L"b=c", value);

    for (const wchar_t* skipped : {L"=::=::\\", L"=ExitCode=00000000", L"=1:=x", L"just text", L"",
                                   L"  \r\n", L"=C:"}) {
        wcscpy(line, skipped);
        EXPECT_EQ(LISTING_SKIP, parse_listing_line(line, &name, &value)) << (const wchar_t*)skipped;
    }

    // The name a dropped line is reported by.
    wchar_t short_name[8];
    listing_line_name(L"PATH=C:\\bin", short_name, 8);
    EXPECT_STREQ(L"PATH", short_name);
    listing_line_name(L"LONGERNAME=x", short_name, 8);
    EXPECT_STREQ(L"LONGERN", short_name);
    listing_line_name(L"no equals", short_name, 8);
    EXPECT_STREQ(L"", short_name);
    listing_line_name(L"ABCDEFGH=x", short_name, 8);   // exactly the capacity: cut by one
    EXPECT_STREQ(L"ABCDEFG", short_name);
    listing_line_name(L"PATH=x", short_name, 0);   // no room: nothing written
    EXPECT_STREQ(L"ABCDEFG", short_name);
}

// A line as long as a listing line may be is read whole; a longer one is read to its end and
// flagged, so that its remainder is never taken for a line of its own.
TEST(ListingLines, LongLinesAreReadToTheirEnd) {
    ScratchFile listing("tavro_listing");
    ASSERT_TRUE(listing.file != nullptr);
    std::string longest_with_end = "Z=" + std::string(ENV_LINE_MAX - 3, 'z') + "\n";
    std::string longest = "A=" + std::string(ENV_LINE_MAX - 2, 'a');
    std::string too_long = "B=" + std::string(ENV_LINE_MAX, 'b');
    fputs((longest_with_end + longest + "\n" + too_long + "\nC=3").c_str(), listing.file);
    listing.bytes();
    std::vector<char> line(ENV_LINE_MAX + 1);
    bool too_long_flag;
    std::vector<std::pair<std::string, bool>> read;
    while (read.size() < 10 && read_listing_line(listing.file, line.data(), &too_long_flag))
        read.push_back({std::string(line.data()).substr(0, 2), too_long_flag});
    std::vector<std::pair<std::string, bool>> expected = {{"Z=", false}, {"A=", false}, {"B=", true}, {"C=", false}};
    EXPECT_EQ(expected, read);
}

TEST(ApplyListing, ChangedValuesOnlyNothingRemoved) {
    FakeEnvironment env;
    env.vars[L"KEEP"] = L"mine";

    EXPECT_TRUE(env.apply(L"PATH=C:\\bin;C:\\tools\r\n"));
    EXPECT_EQ(L"C:\\bin;C:\\tools", env.vars[L"PATH"]);
    EXPECT_FALSE(env.apply(L"PATH=C:\\bin;C:\\tools\r\n"));   // the same listing again: no set
    EXPECT_FALSE(env.apply(L"PATH=C:\\bin;C:\\tools   "));
    EXPECT_TRUE(env.apply(L"PATH=C:\\bin"));

    EXPECT_TRUE(env.apply(L"=D:=D:\\data"));
    EXPECT_EQ(L"D:\\data", env.vars[L"=D:"]);
    EXPECT_FALSE(env.apply(L"=::=::\\"));
    EXPECT_TRUE(env.apply(L"FOO="));
    EXPECT_TRUE(env.apply(L"FOO="));   // empty and missing look alike: always set
    EXPECT_EQ(L"", env.vars[L"FOO"]);
    EXPECT_FALSE(env.apply(L"just text"));
    EXPECT_FALSE(env.apply(L"\r\n"));
    EXPECT_TRUE(env.apply(L"NAME=value   "));
    EXPECT_EQ(L"value", env.vars[L"NAME"]);

    EXPECT_EQ(L"mine", env.vars[L"KEEP"]);
    std::vector<std::wstring> expected = {L"PATH=C:\\bin;C:\\tools", L"PATH=C:\\bin", L"=D:=D:\\data",
                                          L"FOO=", L"FOO=", L"NAME=value"};
    EXPECT_EQ(expected, env.sets);
}

TEST(ApplyListing, CurrentValueTooLongToCompareIsLeftAlone) {
    FakeEnvironment env;
    env.vars[L"BIG"] = std::wstring(ENV_VALUE_CHARS, L'x');
    EXPECT_FALSE(env.apply(L"BIG=small"));
    env.vars[L"FITS"] = std::wstring(ENV_VALUE_CHARS - 1, L'x');
    EXPECT_TRUE(env.apply(L"FITS=small"));
    EXPECT_EQ(L"small", env.vars[L"FITS"]);
}

}  // namespace
