// The slave command processor: start, feed, stop, interrupt, console window, direct runs.
#pragma once
#include <windows.h>

enum {
    CONVERSION_BUFFER_BYTES = 8192,   // bytes to and from the slave; a converted text holds at most 8191
    SEND_CHUNK_BYTES = 10,            // the slave is fed 10 bytes...
    SEND_CHUNK_PAUSE_MS = 50,         // ...every 50 ms
};

// Pipe ends: the program keeps all six until the slave is stopped.
extern HANDLE stdin_read, stdin_write;     // stdin_write is null while no slave runs
extern HANDLE stdout_read, stdout_write;
extern HANDLE stderr_read, stderr_write;
extern PROCESS_INFORMATION slave_process;
extern HWND slave_console;                 // null until found
extern bool hide_at_first_prompt;
extern char conversion_buffer[CONVERSION_BUFFER_BYTES];

void start_slave();
void stop_slave();
void interrupt_slave();
// Queues the bytes (NUL-terminated) for the slave; they go out from the message loop, 10 bytes
// every 50 ms while the slave takes them, complete and in order. Never waits on the pipe.
void send_to_slave(const char* bytes);
// Sends what waits now, paced, for a caller that needs it out before it goes on; gives up (the
// rest stays queued) once the slave has taken nothing for a second.
void flush_slave_input();
void send_prompt_line();
HWND find_slave_console_window();
bool run_program_directly(wchar_t* command_line, int show_command);
// Converts text with CodePage into conversion_buffer (at most 8191 bytes, cut at a character
// boundary, always terminated) and returns it.
const char* convert_for_slave(const wchar_t* text);
