// The output log, the error log and environment sync, driven through Main's commands and the
// input line.
#include <gtest/gtest.h>
#include "harness.h"

using namespace e2e;

static bool wait_title_without(Tavro& tavro, const std::wstring& needle, DWORD timeout_ms = WAIT_MS) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        std::wstring title = tavro.title();
        if (!title.empty() && title.find(needle) == std::wstring::npos) return true;
        if (GetTickCount64() >= deadline) break;
        Sleep(POLL_MS);
    }
    printf("e2e: the title still holds \"%s\": \"%s\"\n", to_utf8(needle).c_str(), to_utf8(tavro.title()).c_str());
    fflush(stdout);
    return false;
}

static size_t find_in(const std::string& bytes, const std::string& needle, size_t from = 0) {
    return bytes.find(needle, from);
}

// ---- Output log ----------------------------------------------------------------------

TEST(OutputLog, CapturesWhatThePaneShowsBetweenItsBanners) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start());
    ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    // FileLog is left at its default, base + ".log". Text left there from before must go: the
    // mode "wb" starts the file afresh.
    std::wstring default_log = tavro.path_in_folder(L"tavro.log");
    ASSERT_TRUE(write_file(default_log, "old text\r\n"));
    ASSERT_TRUE(tavro.run_command(L"echo before-" + unique_marker()));
    ASSERT_TRUE(tavro.start_output_log());
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker));
    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_STOP_LOGGING, 0);
    ASSERT_TRUE(wait_title_without(tavro, L"Logging output"));
    std::string after = "after-" + to_utf8(unique_marker());
    ASSERT_TRUE(tavro.run_command(utf16(("echo " + after).c_str())));

    std::string bytes;
    ASSERT_TRUE(read_file(default_log, &bytes));
    size_t begun = find_in(bytes, "++Logging begun at ");
    size_t output = find_in(bytes, "\r\n" + to_utf8(marker) + "\r\n");
    size_t ended = find_in(bytes, "--Logging ended at ");
    ASSERT_EQ(begun, 0u) << bytes;
    ASSERT_NE(output, std::string::npos) << bytes;
    ASSERT_NE(ended, std::string::npos) << bytes;
    EXPECT_LT(output, ended) << bytes;
    // "++Logging begun at MM/DD/YY HH:MM:SS++", the end banner likewise, each a line of its own.
    EXPECT_EQ(bytes.compare(begun + 19 + 17, 4, "++\r\n"), 0) << bytes;
    EXPECT_EQ(bytes.compare(ended + 19 + 17, 4, "--\r\n"), 0) << bytes;
    EXPECT_EQ(bytes.size(), ended + 19 + 17 + 4) << bytes;
    // Nothing from before the start or after the stop.
    EXPECT_EQ(find_in(bytes, "before-"), std::string::npos) << bytes;
    EXPECT_EQ(find_in(bytes, after), std::string::npos) << bytes;
    EXPECT_EQ(find_in(bytes, "old text"), std::string::npos) << bytes;
}

// File > Start Logging: the Open dialog offers FileLog; an existing file asks Yes (append),
// No (overwrite) or Cancel (no log).
TEST(OutputLog, StartLoggingAsksWhetherToAppendToAnExistingFile) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start());
    ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    std::wstring log = tavro.path_in_folder(L"tavro.log");
    struct Case {
        const wchar_t* answer;
        bool logs;
        const char* begins;
    } cases[] = {{L"Yes", true, "old text\r\n++Logging begun at "},
                 {L"No", true, "++Logging begun at "},
                 {L"Cancel", false, "old text\r\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.answer));
        ASSERT_TRUE(write_file(log, "old text\r\n"));
        PostMessageW(tavro.main_window(), WM_COMMAND, CMD_START_LOGGING, 0);
        HWND open = wait_for_dialog(tavro.pid());
        ASSERT_TRUE(open);
        ASSERT_TRUE(press_button_id(open, IDOK));   // the offered name, FileLog's default
        HWND box = NULL;
        ASSERT_TRUE(tavro.wait_until([&] {
            box = find_dialog(tavro.pid());
            return box && dialog_text(box).find(L"append") != std::wstring::npos;
        }, "the append question"));
        EXPECT_EQ(dialog_caption(box), log);
        ASSERT_TRUE(press_button(box, c.answer));
        if (c.logs) {
            ASSERT_TRUE(tavro.wait_for_title(L"Logging output"));
            PostMessageW(tavro.main_window(), WM_COMMAND, CMD_STOP_LOGGING, 0);
            ASSERT_TRUE(wait_title_without(tavro, L"Logging output"));
        } else {
            ASSERT_TRUE(tavro.wait_until([&] { return !find_dialog(tavro.pid()); }, "the box closing"));
            // A command's round trip: had a log been opened, the title would say so by now.
            ASSERT_TRUE(tavro.run_command(L"echo " + unique_marker()));
            EXPECT_EQ(tavro.title().find(L"Logging output"), std::wstring::npos) << to_utf8(tavro.title());
        }
        std::string bytes;
        ASSERT_TRUE(read_file(log, &bytes));
        EXPECT_EQ(bytes.compare(0, strlen(c.begins), c.begins), 0) << bytes;
    }
}

// ---- Error log -------------------------------------------------------------------------

TEST(ErrorLog, HoldsTheSlavesStandardErrorAndViewErrorsPrintsIt) {
    Tavro tavro;
    StartOptions options;
    options.extra_settings = "ErrorLog=1\n[Fonts]\nHighlightErrs=1\n";
    ASSERT_TRUE(tavro.start(options));
    ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    ASSERT_TRUE(tavro.wait_for_title(L"Logging stderr"));
    const std::wstring error = L"The system cannot find the path specified.";
    ASSERT_TRUE(tavro.run_command(L"cd zq-missing-" + unique_marker()));
    ASSERT_TRUE(tavro.wait_for_pane(error));
    size_t prompts = count_occurrences(tavro.pane_text(), tavro.first_prompt());

    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_VIEW_ERRORS, 0);
    ASSERT_TRUE(tavro.wait_for_pane(L"\tError Log"));
    ASSERT_TRUE(tavro.wait_for_pane_count(error, 2));
    // The log's text and then a prompt line of Tavro's own.
    ASSERT_TRUE(tavro.wait_for_pane_count(tavro.first_prompt(), prompts + 1));
    std::wstring pane = tavro.pane_text();
    size_t header = pane.find(L"\tError Log");
    EXPECT_NE(pane.find(error, header), std::wstring::npos) << to_utf8(pane);

    // Log Errors turns it off, which closes the file with its end banner.
    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_LOG_ERRORS, 0);
    ASSERT_TRUE(wait_title_without(tavro, L"Logging stderr"));
    std::string bytes;
    ASSERT_TRUE(read_file(tavro.path_in_folder(L"tavro.err"), &bytes));
    EXPECT_EQ(find_in(bytes, "++Error Logging begun at "), 0u) << bytes;
    size_t raw = find_in(bytes, to_utf8(error) + "\r\n");
    size_t ended = find_in(bytes, "--Error Logging ended at ");
    ASSERT_NE(raw, std::string::npos) << bytes;
    ASSERT_NE(ended, std::string::npos) << bytes;
    EXPECT_LT(raw, ended) << bytes;
    // Only standard error: the echo of the command is not in it.
    EXPECT_EQ(find_in(bytes, "zq-missing-"), std::string::npos) << bytes;
}

TEST(ErrorLog, ViewErrorsWithoutALogSaysSo) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start());
    ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_VIEW_ERRORS, 0);
    ASSERT_TRUE(tavro.wait_for_pane(L"File not found: " + tavro.path_in_folder(L"tavro.err")));
    EXPECT_EQ(tavro.pane_text().find(L"\tError Log"), std::wstring::npos);
}

// The error log is rotated as Tavro starts on a new day: yesterday's log becomes the ".ero"
// file (the one before it is gone) and the day is recorded; a second start that day keeps it.
TEST(ErrorLog, AStartOnANewDayMakesTheLogThePreviousDays) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char today[16];
    snprintf(today, sizeof today, "%02u/%02u/%02u", now.wMonth, now.wDay, now.wYear % 100);
    struct Case {
        const char* last_rotation;
        bool rotates;
    } cases[] = {{"01/01/20", true}, {today, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.last_rotation);
        Tavro tavro;
        StartOptions options;
        options.extra_settings = std::string("OldErrorLog=1\nTruncDateErr=") + c.last_rotation + "\n";
        options.files = {{L"tavro.err", "the last day's errors\r\n"}, {L"tavro.ero", "the day before\r\n"}};
        ASSERT_TRUE(tavro.start(options));
        ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
        ASSERT_TRUE(tavro.close_window());
        std::string err, ero, settings;
        bool has_err = read_file(tavro.path_in_folder(L"tavro.err"), &err);
        ASSERT_TRUE(read_file(tavro.path_in_folder(L"tavro.ero"), &ero));
        ASSERT_TRUE(read_file(tavro.settings_path(), &settings));
        EXPECT_NE(settings.find(std::string("TruncDateErr=") + today + "\r\n"), std::string::npos) << settings;
        if (c.rotates) {
            EXPECT_FALSE(has_err) << err;
            EXPECT_EQ(ero, "the last day's errors\r\n");
        } else {
            EXPECT_EQ(err, "the last day's errors\r\n");
            EXPECT_EQ(ero, "the day before\r\n");
        }
    }
}

// ---- Environment sync ------------------------------------------------------------------

// cmd.exe is on the bypass list, so "cmd /c ..." runs directly from Tavro with Tavro's environment.
static StartOptions with_bypassed_cmd() {
    StartOptions options;
    options.extra_settings = "[Cmd Commands]\nNoCmd=cmd,\n";
    return options;
}

static bool install_environment_batch(const Tavro& tavro) {
    std::wstring from = bin_folder() + L"\\tavroEnv.bat";
    if (CopyFileW(from.c_str(), tavro.path_in_folder(L"tavroEnv.bat").c_str(), FALSE)) return true;
    printf("e2e: cannot copy %s (error %lu)\n", to_utf8(from).c_str(), (unsigned long)GetLastError());
    return false;
}

// What TAVROTEST reads as in Tavro's own environment, seen by a cmd.exe it starts itself.
static std::string tavro_sees(Tavro& tavro, const wchar_t* file) {
    std::wstring path = tavro.path_in_folder(file);
    DeleteFileW(path.c_str());
    tavro.type_line(std::wstring(L"cmd /c echo %TAVROTEST%> ") + file);
    std::string bytes;
    if (!wait_for_file(path, WAIT_MS)) return "(no file)";
    // The file exists once cmd.exe opened it; its text follows.
    ULONGLONG deadline = GetTickCount64() + WAIT_MS;
    while (read_file(path, &bytes) && bytes.find('\n') == std::string::npos && GetTickCount64() < deadline)
        Sleep(POLL_MS);
    while (!bytes.empty() && (unsigned char)bytes.back() <= ' ') bytes.pop_back();
    return bytes;
}

TEST(EnvironmentSync, CopiesTheSlavesVariablesIntoTavroAndUnsetRemovesThemFromBoth) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start(with_bypassed_cmd()));
    ASSERT_TRUE(install_environment_batch(tavro));
    ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    EXPECT_EQ(tavro_sees(tavro, L"envcheck0.txt"), "%TAVROTEST%");
    ASSERT_TRUE(tavro.run_command(L"set TAVROTEST=hello"));

    size_t prompts = count_occurrences(tavro.pane_text(), tavro.first_prompt());
    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_SYNC_ENV, 0);
    ASSERT_TRUE(tavro.wait_for_pane_count(tavro.first_prompt(), prompts + 1));
    EXPECT_EQ(tavro_sees(tavro, L"envcheck1.txt"), "hello");
    EXPECT_EQ(tavro.pane_text().find(L"Cannot update"), std::wstring::npos) << to_utf8(tavro.pane_text());
    std::string listing;
    ASSERT_TRUE(read_file(tavro.path_in_folder(L"tavroEnv.dat"), &listing));
    EXPECT_NE(listing.find("TAVROTEST=hello"), std::string::npos) << listing;

    // "/u" removes it from Tavro and has the slave remove it too.
    prompts = count_occurrences(tavro.pane_text(), tavro.first_prompt());
    tavro.type_line(L"/u TAVROTEST");
    // The echo line itself: "set TAVROTEST=hello" further up holds the same text.
    ASSERT_TRUE(tavro.wait_for_line(tavro.first_prompt() + L"set TAVROTEST="));
    ASSERT_TRUE(tavro.wait_for_pane_count(tavro.first_prompt(), prompts + 1));
    EXPECT_EQ(tavro_sees(tavro, L"envcheck9.txt"), "%TAVROTEST%");
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker + L"%TAVROTEST%"));
    EXPECT_TRUE(has_line(tavro.pane_text(), marker + L"%TAVROTEST%")) << to_utf8(tavro.pane_text());
}

TEST(EnvironmentSync, SlashEReadsTheListingThatTheSlaveWrites) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start(with_bypassed_cmd()));
    ASSERT_TRUE(install_environment_batch(tavro));
    ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    ASSERT_TRUE(tavro.run_command(L"set TAVROTEST=hello"));
    size_t prompts = count_occurrences(tavro.pane_text(), tavro.first_prompt());
    tavro.type_line(L"/e");
    ASSERT_TRUE(tavro.wait_for_pane_count(tavro.first_prompt(), prompts + 1));
    EXPECT_EQ(tavro_sees(tavro, L"envcheck1.txt"), "hello");
}

// A batch that keeps the listing open for two seconds, as a slow machine or a long environment
// does: the sync waits for the slave to finish it instead of giving up after a second.
TEST(EnvironmentSync, WaitsForAListingTheSlaveIsStillWriting) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start(with_bypassed_cmd()));
    std::string batch = "@echo off\r\nset\r\n\"" + to_utf8(tests_folder() + L"\\tiny_console.exe") + "\" sleep 2000\r\n";
    ASSERT_TRUE(write_file(tavro.path_in_folder(L"tavroEnv.bat"), batch));
    ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    ASSERT_TRUE(tavro.run_command(L"set TAVROTEST=slow"));
    size_t prompts = count_occurrences(tavro.pane_text(), tavro.first_prompt());
    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_SYNC_ENV, 0);
    ASSERT_TRUE(tavro.wait_for_pane_count(tavro.first_prompt(), prompts + 1));
    EXPECT_EQ(tavro_sees(tavro, L"envcheck1.txt"), "slow");
    EXPECT_EQ(tavro.pane_text().find(L"Cannot update"), std::wstring::npos) << to_utf8(tavro.pane_text());
}
