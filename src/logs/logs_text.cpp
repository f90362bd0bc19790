#include "logs/logs_text.h"
#include <stdlib.h>
#include <string.h>

// The remainder first: negating the smallest int would overflow.
static int two_digits(int n) { return abs(n % 100); }

void format_log_date(char* out, const LogStamp& s) {
    snprintf(out, LOG_DATE_CHARS + 1, "%02d/%02d/%02d", two_digits(s.month), two_digits(s.day),
             two_digits(s.year));
}

void format_log_time(char* out, const LogStamp& s) {
    snprintf(out, LOG_TIME_CHARS + 1, "%02d:%02d:%02d", two_digits(s.hour), two_digits(s.minute),
             two_digits(s.second));
}

void format_log_date_wide(wchar_t* out, const LogStamp& s) {
    char date[LOG_DATE_CHARS + 1];
    format_log_date(date, s);
    int i = 0;
    for (; date[i]; i++) out[i] = (wchar_t)(unsigned char)date[i];
    out[i] = 0;
}

int format_banner(char* out, int capacity, BannerKind kind, const LogStamp& stamp) {
    static const char* const formats[] = {
        "++Logging begun at %s %s++\r\n",
        "--Logging ended at %s %s--\r\n",
        "++Error Logging begun at %s %s++\r\n",
        "--Error Logging ended at %s %s--\r\n",
    };
    if (capacity <= 0) return 0;
    char date[LOG_DATE_CHARS + 1], time[LOG_TIME_CHARS + 1];
    format_log_date(date, stamp);
    format_log_time(time, stamp);
    snprintf(out, (size_t)capacity, formats[kind], date, time);
    return (int)strlen(out);   // what the buffer holds, cut or not
}

int write_banner(FILE* file, BannerKind kind, const LogStamp& stamp) {
    char banner[LOG_BANNER_BYTES];
    int n = format_banner(banner, sizeof banner, kind, stamp);
    return (int)fwrite(banner, 1, (size_t)n, file);
}

bool rotation_due(const wchar_t* today, const wchar_t* last_rotation) {
    return wcscmp(today, last_rotation) != 0;
}
