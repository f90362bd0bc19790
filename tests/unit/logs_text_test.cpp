// Log banners, the raw error-byte write and the daily rotation.
#include "app/app.h"
#include "logs/log_files.h"
#include "logs/logs.h"
#include "logs/logs_text.h"
#include "settings/settings.h"
#include <gtest/gtest.h>
#include <string>

namespace {

std::string file_bytes(const wchar_t* path) {
    std::string bytes;
    FILE* f = _wfopen(path, L"rb");
    if (!f) return "<missing>";
    char chunk[512];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
    fclose(f);
    return bytes;
}

void put_file(const wchar_t* path, const std::string& bytes) {
    FILE* f = _wfopen(path, L"wb");
    ASSERT_TRUE(f != nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

std::wstring temp_folder(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring folder = std::wstring(dir) + name;
    CreateDirectoryW(folder.c_str(), NULL);
    return folder;
}

TEST(LogBanners, DateFirstTwoDigitFieldsYearModuloHundred) {
    LogStamp s = {2026, 3, 7, 9, 5, 2};
    char date[LOG_DATE_CHARS + 1], time[LOG_TIME_CHARS + 1];
    format_log_date(date, s);
    format_log_time(time, s);
    EXPECT_STREQ("03/07/26", date);
    EXPECT_STREQ("09:05:02", time);

    LogStamp late = {2000, 12, 31, 23, 59, 59};
    char out[LOG_BANNER_BYTES];
    EXPECT_EQ(40, format_banner(out, sizeof out, OUTPUT_LOG_BEGIN, late));
    EXPECT_STREQ("++Logging begun at 12/31/00 23:59:59++\r\n", out);
    format_banner(out, sizeof out, OUTPUT_LOG_END, late);
    EXPECT_STREQ("--Logging ended at 12/31/00 23:59:59--\r\n", out);
    format_banner(out, sizeof out, ERROR_LOG_BEGIN, s);
    EXPECT_STREQ("++Error Logging begun at 03/07/26 09:05:02++\r\n", out);
    format_banner(out, sizeof out, ERROR_LOG_END, s);
    EXPECT_STREQ("--Error Logging ended at 03/07/26 09:05:02--\r\n", out);

    // A small buffer gets a cut, terminated banner.
    char small[10];
    EXPECT_EQ(9, format_banner(small, sizeof small, OUTPUT_LOG_BEGIN, s));
    EXPECT_STREQ("++Logging", small);

    wchar_t wide[LOG_DATE_CHARS + 1];
    format_log_date_wide(wide, s);
    EXPECT_STREQ(L"03/07/26", wide);
}

TEST(Rotation, DecidedByAnyDifferenceOfTheDate) {
    EXPECT_TRUE(rotation_due(L"03/08/26", L"03/07/26"));
    EXPECT_TRUE(rotation_due(L"03/07/26", L"00/00/00"));
    EXPECT_TRUE(rotation_due(L"03/06/26", L"03/07/26"));   // an earlier date too
    EXPECT_TRUE(rotation_due(L"03/07/27", L"03/07/26"));
    EXPECT_FALSE(rotation_due(L"03/07/26", L"03/07/26"));
}

TEST(Rotation, NewDayMovesTheErrorLogSameDayChangesNothing) {
    std::wstring folder = temp_folder(L"tavro_rotation_test");
    std::wstring err = folder + L"\\tavro.err", ero = folder + L"\\tavro.ero";
    wcscpy(error_log_name, err.c_str());
    wcscpy(previous_error_log_name, ero.c_str());
    bool saved_save = save_enabled;
    save_enabled = false;   // no settings file is written from a test
    put_file(err.c_str(), "today's errors");
    put_file(ero.c_str(), "older errors");
    wcscpy(TruncDateErr, L"03/06/26");

    EXPECT_TRUE(rotate_error_log_for(L"03/07/26"));
    EXPECT_STREQ(L"03/07/26", TruncDateErr);
    EXPECT_EQ("<missing>", file_bytes(err.c_str()));
    EXPECT_EQ("today's errors", file_bytes(ero.c_str()));

    put_file(err.c_str(), "later the same day");
    EXPECT_FALSE(rotate_error_log_for(L"03/07/26"));
    EXPECT_EQ("later the same day", file_bytes(err.c_str()));
    EXPECT_EQ("today's errors", file_bytes(ero.c_str()));

    // No error log at all: the previous one still goes, the date is stored.
    DeleteFileW(err.c_str());
    EXPECT_TRUE(rotate_error_log_for(L"03/08/26"));
    EXPECT_EQ("<missing>", file_bytes(ero.c_str()));
    EXPECT_STREQ(L"03/08/26", TruncDateErr);

    save_enabled = saved_save;
    error_log_name[0] = previous_error_log_name[0] = 0;
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
