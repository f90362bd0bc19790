// A window program for the end-to-end tests: shows a small window, writes "started.txt" (and the
// file its argument names, if any) in its current directory, and ends when "stop.txt" appears there (or after a minute, so that it never
// outlives a test run for long), writing "ended.txt" as its last act.
#include <windows.h>

static const UINT_PTR POLL_TIMER = 1;
static const DWORD GIVE_UP_MS = 60000;
static ULONGLONG started_at;

static void touch(const char* name) {
    HANDLE f = CreateFileA(name, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD wrote = 0;
    WriteFile(f, "tiny_gui\r\n", 10, &wrote, NULL);
    CloseHandle(f);
}

static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_TIMER:
        if (GetFileAttributesA("stop.txt") != INVALID_FILE_ATTRIBUTES || GetTickCount64() - started_at > GIVE_UP_MS)
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int show) {
    started_at = GetTickCount64();
    WNDCLASSA cls = {};
    cls.lpfnWndProc = window_proc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursor(NULL, IDC_ARROW);
    cls.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    cls.lpszClassName = "TinyGui";
    if (!RegisterClassA(&cls)) return 1;
    HWND window = CreateWindowA("TinyGui", "tiny_gui", WS_OVERLAPPEDWINDOW, 40, 40, 200, 100, NULL, NULL, instance, NULL);
    if (!window) return 1;
    ShowWindow(window, show);
    SetTimer(window, POLL_TIMER, 100, NULL);
    touch("started.txt");
    while (*arguments == ' ' || *arguments == '\t') arguments++;
    if (*arguments) touch(arguments);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    touch("ended.txt");
    return 0;
}
