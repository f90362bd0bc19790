// Environment sync through real listing files and the process's own environment.
#include "logs/env.h"
#include "logs/env_text.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <string>

namespace {

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
