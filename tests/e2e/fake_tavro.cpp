// A stand-in with Tavro's window set, for the harness's own checks: the harness must find the
// windows, type, press keys, read the pane and the title, answer message boxes and clean up
// after a program that won't close and leaves a process behind, whatever Tavro itself does.
// Like a slave behind Tavro, it echoes each line submitted with Enter after its prompt
// "==> F:\fake> ", shows it as "[line]" and shows the prompt again. Some lines are commands:
//   title TEXT   the title becomes "Tavro TEXT"
//   box TEXT     a Yes/No message box; the answer is shown as "box: yes" or "box: no"
//   slow TEXT    "[TEXT]" and the prompt come half a second later
//   child        starts a copy of this program that does nothing for two minutes
//   stubborn     WM_CLOSE is ignored from now on
//   exit         the program ends with code 0
// Key-down messages in the input line are shown as "key N".
#include <windows.h>
#include <string.h>
#include <wchar.h>

static HWND main_window, pane, prom, edit;
static WNDPROC edit_previous;
static bool stubborn;

static const wchar_t PROMPT[] = L"==> F:\\fake> ";
static wchar_t slow_text[520];

static void append(const wchar_t* text) {
    SendMessageW(pane, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
    SendMessageW(pane, EM_REPLACESEL, FALSE, (LPARAM)text);
}

static void show(const wchar_t* line) {
    append(line);
    append(L"\r\n");
}

static void prompt() {
    append(L"\r\n");
    append(PROMPT);
}

static void start_child() {
    wchar_t path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return;
    wchar_t command_line[MAX_PATH + 32];
    _snwprintf(command_line, MAX_PATH + 31, L"\"%s\" --linger", path);
    command_line[MAX_PATH + 31] = 0;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (!CreateProcessW(NULL, command_line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        show(L"child failed");
        return;
    }
    wchar_t line[64];
    _snwprintf(line, 63, L"child %lu", (unsigned long)info.dwProcessId);
    line[63] = 0;
    show(line);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

static void submit() {
    wchar_t line[512];
    int n = GetWindowTextW(edit, line, 512);
    line[n > 0 ? n : 0] = 0;
    SetWindowTextW(edit, L"");
    show(line);
    wchar_t shown[520];
    if (wcsncmp(line, L"slow ", 5) == 0) {
        _snwprintf(slow_text, 519, L"[%s]", line + 5);
        slow_text[519] = 0;
        SetTimer(main_window, 1, 500, NULL);
        return;
    }
    _snwprintf(shown, 519, L"[%s]", line);
    shown[519] = 0;
    show(shown);
    if (wcsncmp(line, L"title ", 6) == 0) {
        wchar_t title[520];
        _snwprintf(title, 519, L"Tavro %s", line + 6);
        title[519] = 0;
        SetWindowTextW(main_window, title);
    } else if (wcsncmp(line, L"box ", 4) == 0) {
        int answer = MessageBoxW(main_window, line + 4, L"Fake box", MB_YESNO | MB_ICONQUESTION);
        show(answer == IDYES ? L"box: yes" : answer == IDNO ? L"box: no" : L"box: other");
    } else if (wcscmp(line, L"child") == 0) {
        start_child();
    } else if (wcscmp(line, L"stubborn") == 0) {
        stubborn = true;
    } else if (wcscmp(line, L"exit") == 0) {
        DestroyWindow(main_window);
        return;
    }
    prompt();
}

static LRESULT CALLBACK edit_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_KEYDOWN) {
        wchar_t line[32];
        _snwprintf(line, 31, L"\r\nkey %u", (unsigned)wparam);
        line[31] = 0;
        append(line);
        prompt();
    } else if (message == WM_CHAR && wparam == 13) {
        submit();
        return 0;
    }
    return CallWindowProcW(edit_previous, window, message, wparam, lparam);
}

static LRESULT CALLBACK main_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_TIMER:
        KillTimer(window, 1);
        show(slow_text);
        prompt();
        return 0;
    case WM_CLOSE:
        if (!stubborn) DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int show_command) {
    if (wcsstr(command_line, L"--linger")) {
        Sleep(120000);
        return 0;
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = main_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = L"Tavro";
    if (!RegisterClassW(&wc)) return -1;
    main_window = CreateWindowExW(0, L"Tavro", L"Tavro fake", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, NULL, NULL,
                                  instance, NULL);
    if (!main_window || !LoadLibraryW(L"Riched20.dll")) return -1;
    const DWORD child = WS_CHILD | WS_VISIBLE;
    pane = CreateWindowExW(0, L"RichEdit20W", PROMPT, child | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 2, 2, 620,
                           400, main_window, NULL, instance, NULL);
    prom = CreateWindowExW(0, L"EDIT", L">", child, 2, 410, 10, 20, main_window, NULL, instance, NULL);
    edit = CreateWindowExW(0, L"EDIT", L"", child | ES_AUTOHSCROLL, 14, 410, 600, 20, main_window, NULL, instance,
                           NULL);
    if (!pane || !prom || !edit) return -1;
    edit_previous = (WNDPROC)SetWindowLongPtrW(edit, GWLP_WNDPROC, (LONG_PTR)edit_proc);
    ShowWindow(main_window, show_command);
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return (int)msg.wParam;
}
