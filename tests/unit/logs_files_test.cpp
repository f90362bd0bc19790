// The output log and the error log on disk, driven through the operations the window calls.
#include "app/app.h"
#include "logs/log_files.h"
#include "logs/logs.h"
#include "settings/settings.h"
#include <gtest/gtest.h>
#include <regex>
#include <string>

namespace {

std::string file_bytes(const std::wstring& path) {
    std::string bytes;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return "<missing>";
    char chunk[512];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
    fclose(f);
    return bytes;
}

void put_file(const std::wstring& path, const std::string& bytes) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_TRUE(f != nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

const char STAMP[] = "\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d";

std::string banner(const char* start, const char* end) {
    return std::string(start) + STAMP + end + "\r\n";
}

class LogFiles : public ::testing::Test {
protected:
    std::wstring folder;
    void SetUp() override {
        wchar_t dir[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        folder = std::wstring(dir) + L"tavro log files";
        CreateDirectoryW(folder.c_str(), NULL);
        wcscpy(FileLog, (folder + L"\\out.log").c_str());
        wcscpy(error_log_name, (folder + L"\\tavro.err").c_str());
        wcscpy(previous_error_log_name, (folder + L"\\tavro.ero").c_str());
        DeleteFileW(FileLog);
        DeleteFileW(error_log_name);
        DeleteFileW(previous_error_log_name);
        Logging = ErrorLog = 0;
        HighlightErrs = 1;
    }
    void TearDown() override {
        close_logs_at_exit();
        DeleteFileW(FileLog);
        DeleteFileW(error_log_name);
        DeleteFileW(previous_error_log_name);
        RemoveDirectoryW(folder.c_str());
        Logging = ErrorLog = HighlightErrs = 0;
    }
};

TEST_F(LogFiles, OutputLogAppendKeepsOverwriteReplaces) {
    open_output_log(L"wb");
    EXPECT_EQ(1, Logging);
    EXPECT_TRUE(output_log_open);
    write_output_log("dir\r\n100% done\n", 15);
    // On disk at once, while the log is still open.
    EXPECT_NE(file_bytes(FileLog).find("dir\r\n100% done\n"), std::string::npos);
    stop_logging();
    EXPECT_EQ(0, Logging);
    EXPECT_FALSE(output_log_open);
    write_output_log("not logged", 10);
    std::string first = banner("\\+\\+Logging begun at ", "\\+\\+") + "dir\r\n100% done\n" +
                        banner("--Logging ended at ", "--");
    EXPECT_TRUE(std::regex_match(file_bytes(FileLog), std::regex(first))) << file_bytes(FileLog);

    open_output_log(L"ab");   // as at start-up: a new begin banner after the old content
    write_output_log("more", 4);
    close_logs_at_exit();
    EXPECT_TRUE(std::regex_match(file_bytes(FileLog),
                                 std::regex(first + banner("\\+\\+Logging begun at ", "\\+\\+") + "more" +
                                            banner("--Logging ended at ", "--"))))
        << file_bytes(FileLog);

    open_output_log(L"wb");
    stop_logging();
    EXPECT_TRUE(std::regex_match(file_bytes(FileLog),
                                 std::regex(banner("\\+\\+Logging begun at ", "\\+\\+") +
                                            banner("--Logging ended at ", "--"))));
}

TEST_F(LogFiles, ErrorLogHoldsOneBannerPairPerSlaveRun) {
    begin_error_log();
    EXPECT_EQ(1, ErrorLog);
    EXPECT_TRUE(error_log_open);
    const char read1[] = {'b', 'a', 'd', '\r', '\n', '\0', 'x'};
    write_error_bytes(read1, sizeof read1);   // as it came, the NUL and what follows it too
    EXPECT_NE(file_bytes(error_log_name).find("bad\r\n"), std::string::npos);
    end_error_log();   // the slave stops: closed, still on
    EXPECT_EQ(1, ErrorLog);
    EXPECT_FALSE(error_log_open);
    write_error_bytes("lost", 4);
    begin_error_log();   // the next slave start
    write_error_bytes("again", 5);
    log_errors_command();   // turned off
    EXPECT_EQ(0, ErrorLog);
    EXPECT_FALSE(error_log_open);
    std::string begun = banner("\\+\\+Error Logging begun at ", "\\+\\+");
    std::string ended = banner("--Error Logging ended at ", "--");
    EXPECT_TRUE(std::regex_match(file_bytes(error_log_name),
                                 std::regex(begun + std::string("bad\r\n\0x", 7) + ended + begun + "again" + ended)))
        << file_bytes(error_log_name);
}

TEST_F(LogFiles, ClearErrorsWhileLoggingLeavesOnlyABeginBanner) {
    begin_error_log();
    write_error_bytes("old error", 9);
    FILE* previous = _wfopen(previous_error_log_name, L"wb");
    ASSERT_TRUE(previous != nullptr);
    fclose(previous);
    clear_errors();
    EXPECT_EQ("<missing>", file_bytes(previous_error_log_name));
    EXPECT_EQ(1, ErrorLog);
    close_logs_at_exit();
    EXPECT_TRUE(std::regex_match(file_bytes(error_log_name),
                                 std::regex(banner("\\+\\+Error Logging begun at ", "\\+\\+") +
                                            banner("--Error Logging ended at ", "--"))))
        << file_bytes(error_log_name);

    // Off: both files go and nothing is created.
    ErrorLog = 0;
    clear_errors();
    EXPECT_EQ("<missing>", file_bytes(error_log_name));
}

TEST_F(LogFiles, NewDayMovesTheErrorLogSameDayChangesNothing) {
    std::wstring err = error_log_name, ero = previous_error_log_name;
    bool saved_save = save_enabled;
    save_enabled = false;   // no settings file is written from a test
    put_file(err, "today's errors");
    put_file(ero, "older errors");
    wcscpy(TruncDateErr, L"03/06/26");

    EXPECT_TRUE(rotate_error_log_for(L"03/07/26"));
    EXPECT_STREQ(L"03/07/26", TruncDateErr);
    EXPECT_EQ("<missing>", file_bytes(err));
    EXPECT_EQ("today's errors", file_bytes(ero));

    put_file(err, "later the same day");
    EXPECT_FALSE(rotate_error_log_for(L"03/07/26"));
    EXPECT_EQ("later the same day", file_bytes(err));
    EXPECT_EQ("today's errors", file_bytes(ero));

    // No error log at all: the previous one still goes, the date is stored.
    DeleteFileW(err.c_str());
    EXPECT_TRUE(rotate_error_log_for(L"03/08/26"));
    EXPECT_EQ("<missing>", file_bytes(ero));
    EXPECT_STREQ(L"03/08/26", TruncDateErr);

    // A settings file that cannot be written (a folder holds its name) never keeps the date, and every
    // start reads the old one again: the logs' own dates stop a second rotation on the same day.
    wchar_t saved_ini[MAX_PATH + 32];
    wcscpy(saved_ini, settings_file_name);
    put_file(err, "older errors");
    const FILETIME in_2015 = {0, 0x01D00000};
    HANDLE file = CreateFileW(err.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &in_2015);
    CloseHandle(file);
    OldErrorLog = 1;
    rotate_error_log();   // today's first start
    wcscpy(settings_file_name, folder.c_str());
    wcscpy(TruncDateErr, L"03/08/26");
    rotate_error_log();   // no error log since: the previous one was made today
    EXPECT_EQ("older errors", file_bytes(ero));
    DeleteFileW(ero.c_str());   // as after a first start that found no error log
    put_file(err, "later errors");
    rotate_error_log();
    EXPECT_EQ("later errors", file_bytes(err));
    wcscpy(settings_file_name, saved_ini);
    save_enabled = saved_save;
}

}  // namespace
