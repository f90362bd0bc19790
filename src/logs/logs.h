// Output log, error log and environment sync.
#pragma once

extern bool output_log_open;   // the output log file is open (title shows "  Logging output")
extern bool error_log_open;    // error logging is on and its file open ("  Logging stderr")

// Mirror of one print, already converted to CodePage bytes.
void write_output_log(const char* bytes, int count);
// Raw standard-error bytes of the slave, appended while error logging is on.
void write_error_bytes(const char* bytes, int count);
void end_error_log();          // closing banner, file closed, ErrorLog stays on
void close_logs_at_exit();
void rotate_error_log();       // once a day the error log becomes the previous error log

// Menu commands and internal signals of Main.
void log_errors_command();                      // 2
void view_errors();                             // 3
void clear_errors();                            // 4
void begin_error_log();                         // 5
void start_logging_command();                   // 6
void stop_logging();                            // 7
void open_output_log(const wchar_t* mode);      // 8, with "ab" at start-up
void auto_truncate_command();                   // 9

// Copies the slave's environment into the program's (command 34 sends it with a line end).
void sync_environments(bool line_end);
