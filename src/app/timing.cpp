// Timer resolution held while the slave's pipes are busy, and a steady millisecond clock.
#include "app/timing.h"
#include <mmsystem.h>

static bool held;
static double last_activity_ms;

double now_ms() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart && !QueryPerformanceFrequency(&frequency)) return (double)GetTickCount64();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return (double)count.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

void hold_fine_timer() {
    last_activity_ms = now_ms();
    if (!held) held = timeBeginPeriod(1) == TIMERR_NOERROR;
}

void release_fine_timer_if_idle(DWORD idle_ms) {
    if (!held || now_ms() - last_activity_ms < idle_ms) return;
    timeEndPeriod(1);
    held = false;
}

bool fine_timer_held() { return held; }
