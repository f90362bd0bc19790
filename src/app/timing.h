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
