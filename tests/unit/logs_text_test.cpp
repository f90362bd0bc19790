// Log banners, the raw error-byte write and the rotation decision.
#include "logs/logs_text.h"
#include <gtest/gtest.h>
#include "scratch_file.h"
#include <string>

namespace {

TEST(LogBanners, DateFirstTwoDigitFieldsYearModuloHundred) {
    LogStamp s = {2026, 3, 7, 9, 5, 2};
    char date[LOG_DATE_CHARS + 1], time[LOG_TIME_CHARS + 1];
    format_log_date(date, s);
    format_log_time(time, s);
    EXPECT_STREQ("03/07/26", date);
    EXPECT_STREQ("09:05:02", time);
    format_log_date(date, LogStamp{-2026, -3, -2147483647 - 1, 0, 0, 0});   // a sign never widens a field
    EXPECT_STREQ("03/48/26", date);

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
    EXPECT_EQ(39, format_banner(out, 40, OUTPUT_LOG_BEGIN, late));   // one short of the line end
    EXPECT_EQ(0, format_banner(small, 0, OUTPUT_LOG_BEGIN, s));   // no room: nothing written
    EXPECT_STREQ("++Logging", small);
    EXPECT_EQ(0, format_banner(small, 1, OUTPUT_LOG_BEGIN, s));
    EXPECT_STREQ("", small);

    ScratchFile scratch("tavro_banner");
    ASSERT_TRUE(scratch.file != nullptr);
    EXPECT_EQ(40, write_banner(scratch.file, OUTPUT_LOG_BEGIN, late));
    EXPECT_EQ("++Logging begun at 12/31/00 23:59:59++\r\n", scratch.bytes());

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

}  // namespace
