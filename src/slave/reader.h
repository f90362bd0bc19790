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
extern bool paging_mode, discard_mode;
extern int lines_left;

void read_slave_output(HANDLE pipe);
int track_prompt(const wchar_t* text);
void discard_output();
void empty_pending_tails();
