// Text side of the output log and the error log: banners, dates, the rotation decision and the
// raw error-byte write. No system headers beyond the C library.
#pragma once
#include <stdio.h>
#include <wchar.h>

enum {
    LOG_DATE_CHARS = 8,          // MM/DD/YY
    LOG_TIME_CHARS = 8,          // HH:MM:SS
    LOG_BANNER_BYTES = 64,       // the longest banner with its terminator fits
    LOG_FILE_LINE_BYTES = 8191,  // View Errors reads the logs in pieces of this size
    LOG_FILE_LINE_CHARS = 2046,  // one piece widened
};

struct LogStamp {
    int year, month, day, hour, minute, second;   // year in full (2026), month 1-12
};

enum BannerKind { OUTPUT_LOG_BEGIN, OUTPUT_LOG_END, ERROR_LOG_BEGIN, ERROR_LOG_END };

// "MM/DD/YY" and "HH:MM:SS"; out holds at least 9 characters.
void format_log_date(char* out, const LogStamp& stamp);
void format_log_time(char* out, const LogStamp& stamp);
void format_log_date_wide(wchar_t* out, const LogStamp& stamp);
// The banner line with its "\r\n"; returns its length in bytes.
int format_banner(char* out, int capacity, BannerKind kind, const LogStamp& stamp);
int write_banner(FILE* file, BannerKind kind, const LogStamp& stamp);

// The error log moves to the previous error log when today's date differs in any way from the
// date of the last rotation (an earlier date too).
bool rotation_due(const wchar_t* today, const wchar_t* last_rotation);
