// Output reader: turns the slave's bytes into pane text, holds unfinished lines, pages,
// and tracks the prompt (directory, title).
#pragma once
#include <windows.h>

enum {
    READ_CHUNK_BYTES = 1020,     // one read of the slave's output
    DISCARD_CHUNK_BYTES = 1023,
    TAIL_CHARS = 1024,           // a pending tail never holds more than 1020 characters
    HELD_PROMPT_CHARS = 268,
    TRACKED_DIR_MAX = 260,
};

extern wchar_t tracked_directory[TRACKED_DIR_MAX + 1];   // empty until the first prompt
extern wchar_t held_prompt[HELD_PROMPT_CHARS];
extern DWORD available_count;                             // what the last PeekNamedPipe saw
// The code page the slave writes in now: a console starts in the OEM code page, and the slave
// writes in the one CHCP names from the echo of that line on.
extern int output_code_page;

void read_slave_output(HANDLE pipe);
// Standard error in the error colour, then the prompt held back for it: the main loop's step.
void read_slave_errors();
int track_prompt(const wchar_t* text);
// Reads and drops one piece of standard output; ends the discarding, with what the reader still
// holds, once the slave has been quiet for a while.
void discard_output();
bool output_held_back();   // standard output read but not shown yet (the pager's rest, an unfinished line)
void empty_pending_tails();   // also: the next slave writes in the OEM code page until told otherwise
// The slave has been sent line, a CHCP line for code_page: its output is in that page from the
// end of the line's echo on (at once when the line cannot be awaited).
void follow_code_page_at_echo(const char* line, int code_page);
