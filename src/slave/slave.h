// The slave command processor: start, feed, stop, interrupt, console window, direct runs.
#pragma once
#include <windows.h>

enum {
    CONVERSION_BUFFER_BYTES = 8192,   // a text converted for the slave holds at most 8191 bytes
    SEND_CHUNK_BYTES = 10,            // the slave is fed 10 bytes...
    SEND_CHUNK_PAUSE_MS = 50,         // ...every 50 ms
    SEND_QUEUE_BYTES = 65536,         // typed ahead beyond this is refused, not cut
};

// The program's own pipe ends. The slave's ends are closed as soon as it has inherited them:
// the program never reads or writes them, and only without them does it see a slave that has
// gone (a broken pipe) instead of a pipe that nobody empties.
extern HANDLE stdin_write;                 // null while no slave runs
extern HANDLE stdout_read, stderr_read;
extern PROCESS_INFORMATION slave_process;
extern HWND slave_console;                 // null until found
extern bool hide_at_first_prompt;
extern DWORD slave_start_error;            // why the last start failed; 0 after a start
extern char conversion_buffer[CONVERSION_BUFFER_BYTES];

// What the pipe has waiting, without reading it; 0 for no pipe or a broken one.
DWORD bytes_waiting(HANDLE pipe);

void start_slave();
void stop_slave();
void interrupt_slave();
// Closes the program's ends of the link and the slave's process handles.
void close_slave_link();
// Makes a pipe's write end non-blocking, so that a write into a full pipe takes what fits and
// returns at once. Every write end the program feeds goes through here.
bool make_write_end_nonblocking(HANDLE write_end);
// Queues the bytes (NUL-terminated) for the slave; they go out from the message loop, 10 bytes
// every 50 ms, complete and in order. Never waits on the pipe. False, with a message in the pane,
// when the queue has no room for them.
bool send_to_slave(const char* bytes);
// Queues first and then second as one: both or, when they don't fit, neither.
bool send_to_slave_as_one(const char* first, const char* second);
// Bytes queued and not yet written into the pipe.
size_t slave_input_queued();
// Sends what waits now, paced, for a caller that needs it out before it goes on; gives up (the
// rest stays queued) once the pipe has taken nothing for a second.
void flush_slave_input();
// The set-up lines of a fresh slave: its prompt, its code page, then the AddPath line.
void send_prompt_line();
// "CHCP" with the slave code page; the reader takes the slave's output in it after the echo.
void send_code_page_line();
HWND find_slave_console_window();
bool run_program_directly(wchar_t* command_line, int show_command);
// The command processor by full path (see slave.cpp); false when there is none.
bool command_processor_path(wchar_t* path, int capacity);
// Converts text into the slave's code page (slave_code_page) in conversion_buffer (at most 8191
// bytes, cut at a character boundary, always terminated) and returns it. A text holding a character
// that the page does not have is not converted at all: NULL, with an error line in the pane that
// names the character, and the prompt imitation.
const char* convert_for_slave(const wchar_t* text);
// convert_for_slave, then send_to_slave; false when the text was refused or the queue was full.
bool send_text_to_slave(const wchar_t* text);
// count units of text in code_page, into out (capacity bytes; NULL and 0 to measure): the number
// of bytes, or -1 when a character is not in the page (never another character in its place, nor
// a default one) or out is too small.
int slave_bytes(int code_page, const wchar_t* text, int count, char* out, int capacity);
