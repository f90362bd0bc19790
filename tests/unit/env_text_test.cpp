// Environment sync: the command sent to the slave and the application of the listing.
#include "logs/env.h"
#include "logs/env_text.h"
#include <gtest/gtest.h>
#include <windows.h>
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
        if (length >= capacity) return length + 1;
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
}

TEST(SyncCommand, AddPathExtendsThePathInAQuotedAssignment) {
    wchar_t out[64];
    build_add_path_command(out, 64, L"C:\\R&D\\bin;%USERPROFILE%\\bin");
    EXPECT_STREQ(L"set \"PATH=%PATH%;C:\\R&D\\bin;%USERPROFILE%\\bin\"\r\n", out);
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

    wcscpy(line, L"A=b=c");   // split at the first "="
    ASSERT_EQ(LISTING_VARIABLE, parse_listing_line(line, &name, &value));
    EXPECT_STREQ(L"A", name);
    EXPECT_STREQ(L"b=c", value);

    for (const wchar_t* skipped : {L"=::=::\\", L"=ExitCode=00000000", L"=1:=x", L"just text", L"",
                                   L"  \r\n", L"=C:"}) {
        wcscpy(line, skipped);
        EXPECT_EQ(LISTING_SKIP, parse_listing_line(line, &name, &value)) << (const wchar_t*)skipped;
    }
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

std::wstring variable(const wchar_t* name, bool* exists) {
    wchar_t buffer[256];
    SetLastError(0);
    DWORD n = GetEnvironmentVariableW(name, buffer, 256);
    *exists = n > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    return n > 0 && n < 256 ? std::wstring(buffer) : std::wstring();
}

TEST(ApplyListing, RoundTripThroughARealListingFile) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"tavro env test.dat";
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_TRUE(f != nullptr);
    fputs("TAVRO_TEST_PATH=C:\\bin;C:\\tools\r\n"
          "TAVRO_TEST_BLANKS=value   \r\n"
          "\r\n"
          "just text\r\n"
          "=::=::\\\r\n"
          "=Q:=Q:\\data\r\n",
          f);
    fclose(f);
    SetEnvironmentVariableW(L"TAVRO_TEST_KEEP", L"kept");

    f = _wfopen(path.c_str(), L"r");
    ASSERT_TRUE(f != nullptr);
    EXPECT_EQ(3, apply_environment_listing(f));
    fclose(f);
    bool exists;
    EXPECT_EQ(L"C:\\bin;C:\\tools", variable(L"TAVRO_TEST_PATH", &exists));
    EXPECT_EQ(L"value", variable(L"TAVRO_TEST_BLANKS", &exists));
    EXPECT_EQ(L"Q:\\data", variable(L"=Q:", &exists));
    EXPECT_EQ(L"kept", variable(L"TAVRO_TEST_KEEP", &exists));
    variable(L"just text", &exists);
    EXPECT_FALSE(exists);

    // The same listing again changes nothing.
    f = _wfopen(path.c_str(), L"r");
    ASSERT_TRUE(f != nullptr);
    EXPECT_EQ(0, apply_environment_listing(f));
    fclose(f);

    DeleteFileW(path.c_str());
    SetEnvironmentVariableW(L"TAVRO_TEST_PATH", NULL);
    SetEnvironmentVariableW(L"TAVRO_TEST_BLANKS", NULL);
    SetEnvironmentVariableW(L"TAVRO_TEST_KEEP", NULL);
    SetEnvironmentVariableW(L"=Q:", NULL);
}

// A line longer than the listing's lines may be (a long PATH) is dropped whole and named: set
// cut short, it would break the variable, and its remainder would become a variable of its own.
TEST(ApplyListing, AnOverlongLineIsDroppedWholeAndNamed) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"tavro env long.dat";
    std::string exact = "TAVRO_TEST_EXACT=";
    exact += std::string(ENV_LINE_MAX - exact.size(), 'e');
    std::string long_value = std::string(8084, 'p') + "X=junk";
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_TRUE(f != nullptr);
    fputs(("TAVRO_TEST_LONG=" + long_value + "\r\nTAVRO_TEST_AFTER=ok\r\n" + exact + "\r\n").c_str(), f);
    fclose(f);
    SetEnvironmentVariableW(L"TAVRO_TEST_LONG", L"old");

    f = _wfopen(path.c_str(), L"r");
    ASSERT_TRUE(f != nullptr);
    wchar_t dropped[100];
    EXPECT_EQ(2, apply_environment_listing(f, dropped, 100));
    fclose(f);
    EXPECT_STREQ(L"TAVRO_TEST_LONG", dropped);
    bool exists;
    EXPECT_EQ(L"old", variable(L"TAVRO_TEST_LONG", &exists));
    EXPECT_EQ(L"ok", variable(L"TAVRO_TEST_AFTER", &exists));
    wchar_t value[ENV_VALUE_CHARS];
    EXPECT_EQ((DWORD)(ENV_LINE_MAX - 17), GetEnvironmentVariableW(L"TAVRO_TEST_EXACT", value, ENV_VALUE_CHARS));
    variable((std::wstring(11, L'p') + L"X").c_str(), &exists);   // the remainder as a variable
    EXPECT_FALSE(exists);

    DeleteFileW(path.c_str());
    for (const wchar_t* name : {L"TAVRO_TEST_LONG", L"TAVRO_TEST_AFTER", L"TAVRO_TEST_EXACT"})
        SetEnvironmentVariableW(name, NULL);
}

}  // namespace
