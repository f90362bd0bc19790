// The output pager: the slave's output a page at a time, a key between pages, the rest dropped on
// "q". Its state changes here only: the reader pages through it, the input line starts it for a
// command and answers it, the window starts it on output already waiting (F12).
#pragma once
#include <windows.h>
#include "slave/reader_text.h"

struct PagerState {
    bool paging_mode;    // output is shown a page at a time; the prompt display shows "»"
    int lines_left;      // line feeds the page may still show; 0 while paging: waiting for a key
    bool discard_mode;   // "q" with output waiting: it is read and dropped until the slave is quiet
};
extern PagerState pager;   // read anywhere; changed only by the functions below

// Waiting for a key: nothing is read from either pipe.
bool pager_waiting();
// A line about to go to the slave: paging starts when it pipes into more, and then no prompt
// ends it before the line's echo; any other line ends paging.
void pager_start_for_line(const wchar_t* line);
// F12 and Edit > Pipe output thru more: pages output already waiting (also after "q").
void pager_start_on_waiting_output();
// A character typed while the pager waits answers it; false when it does not wait.
bool pager_answer_key(wchar_t c);
// The reader's piece of standard output (or standard error): what goes past the page waits in tail.
int pager_cut_page(wchar_t* text, int length, int capacity, PendingTail* tail);
// Standard output as it is printed: the paged line's echo.
void pager_note_output(const wchar_t* text, int length);
bool pager_awaiting_echo();
// The slave is at its prompt: paging ends unless output follows within PROMPT_SETTLE_MS.
void pager_prompt_seen();
// Discarding is over or the slave is stopped: everything flows again.
void pager_stop();
