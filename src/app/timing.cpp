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

// Windows 11 keeps a process whose windows are all minimised or hidden on the default tick, fine
// resolution asked for or not, unless it opts out of that power throttling; Tavro minimised still
// prints its output at its pace. SetProcessInformation is missing before Windows 8, so it is
// looked up.
static void keep_fine_timer_when_hidden() {
    struct PowerThrottling {
        ULONG version, control_mask, state_mask;
    } throttling = {1, 0x4 /* PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION */, 0};
    typedef BOOL(WINAPI * SetInformation)(HANDLE, int, LPVOID, DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    SetInformation set = kernel ? (SetInformation)(void*)GetProcAddress(kernel, "SetProcessInformation") : NULL;
    if (set) set(GetCurrentProcess(), 4 /* ProcessPowerThrottling */, &throttling, sizeof throttling);
}

void hold_fine_timer() {
    last_activity_ms = now_ms();
    if (held) return;
    static bool opted_out;
    if (!opted_out) keep_fine_timer_when_hidden();
    opted_out = true;
    held = timeBeginPeriod(1) == TIMERR_NOERROR;
}

void release_fine_timer_if_idle(DWORD idle_ms) {
    if (!held || now_ms() - last_activity_ms < idle_ms) return;
    timeEndPeriod(1);
    held = false;
}

bool fine_timer_held() { return held; }
