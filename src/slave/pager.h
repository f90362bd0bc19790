// The output pager: a page of the slave's output at a time, a key between pages, the rest dropped
// on "q". Only these functions change its state: the reader pages through it, the input line
// starts and answers it, the window starts it on output already waiting (F12).
#pragma once
#include <windows.h>
#include "slave/reader_text.h"

struct PagerState {
    bool paging_mode;    // shown a page at a time; the prompt display shows "»"
    int lines_left;      // line feeds the page may still show; 0 while paging: waiting for a key
    bool discard_mode;   // read and dropped until the slave is quiet
};
extern PagerState pager;

bool pager_waiting();   // for a key: nothing is read from either pipe
// A line for the slave pages when it pipes into more, and no prompt before its echo ends that.
void pager_start_for_line(const wchar_t* line);
void pager_start_on_waiting_output();   // also after "q"
bool pager_answer_key(wchar_t c);       // false when the pager does not wait
// The reader's piece: what goes past the page waits in the tail.
int pager_cut_page(wchar_t* text, int length, int capacity, PendingTail* tail);
void pager_note_output(const wchar_t* text, int length);   // standard output as printed
bool pager_awaiting_echo();
void pager_prompt_seen();   // ends paging unless output follows within PROMPT_SETTLE_MS
void pager_stop();          // discarding over or the slave stopped: everything flows
