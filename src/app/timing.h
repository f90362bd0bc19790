// Timer resolution. Windows rounds sleeps and timers to the system tick, about 15.6 ms unless a
// process asks for a finer one, and since Windows 10 2004 that request holds for the asking
// process alone. The program's pacing (a 10 ms yield after each print, 10 bytes every 50 ms to
// the slave) is measured in milliseconds, so it asks for 1 ms while output flows or bytes wait
// to be sent, and gives it back once idle, so that an idle Tavro costs the system nothing.
#pragma once
#include <windows.h>

enum { FINE_TIMER_LINGER_MS = 1000 };   // idle this long before the resolution is given back

// Output flows or bytes wait: 1 ms resolution from now on, and the time is noted.
void hold_fine_timer();
// From the poll timer: gives the resolution back when nothing was noted for idle_ms.
void release_fine_timer_if_idle(DWORD idle_ms = FINE_TIMER_LINGER_MS);
bool fine_timer_held();
// Milliseconds from a steady clock finer than GetTickCount64's, which follows the system tick.
double now_ms();

// The waits the one thread makes on purpose. Nothing is served while it sleeps, so each is as short
// as what it waits for allows. (The paste retries and the environment sync's tries name theirs
// beside their counts.)
enum {
    PRINT_YIELD_MS = 10,          // after each print: the slave runs on and the pane paints
    REWRITE_STEP_MS = 1,          // between the states of a line rewritten by carriage returns, so each shows
    SEND_RETRY_MS = 1,            // a full input pipe, emptied by the slave while we wait
    CONSOLE_SEARCH_STEP_MS = 50, CONSOLE_SEARCH_TRIES = 11,   // the console appears after the process
    CONSOLE_SETTLE_MS = 100,      // a console hidden at once may still be shown by its own start-up
    RESTART_GAP_MS = 50,          // the old console goes before the new slave starts, and it before we go on
    STOP_CLOSE_MS = 100,          // the slave reads the exit line, or its console takes WM_CLOSE
    STOP_SETTLE_MS = 100,         // the slave and what runs in it end before its pipes are closed
    QUIT_STOP_MS = 100,           // a slave stopped at quitting is gone before the program ends
    PROMPT_SETTLE_MS = 100,       // a prompt ends paging only when no output follows it this soon
    PAGER_QUIT_SETTLE_MS = 100,   // "q": output still on its way counts as waiting
    // Discarding ends after about 250 ms without output: a first wait, then steps of looking.
    DISCARD_FIRST_MS = 50, DISCARD_QUIET_STEP_MS = 20, DISCARD_QUIET_STEPS = 10,
    CLEAR_SETTLE_MS = 100,        // after Clear Screen: the slave's fresh prompt comes before what follows
    COPY_SETTLE_MS = 25,          // the clipboard is released before another program asks for it
};
