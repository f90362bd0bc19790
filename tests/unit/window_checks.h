// What the tests on real windows read back: the pane's text and colours, a window's text, and
// the bytes the program sent to a slave whose input pipe the test holds.
#pragma once
#include <windows.h>
#include <richedit.h>
#include <string>
#include "app/app.h"
#include "input/input.h"
#include "pane/pane.h"
#include "slave/slave.h"

inline std::wstring pane_text_now() {
    static wchar_t text[PANE_COPY_CHARS];
    int n = read_window_text(Text, text, PANE_COPY_CHARS);
    return std::wstring(text, n > 0 ? n : 0);
}

inline std::wstring text_of(HWND window) {
    wchar_t text[600];
    int n = GetWindowTextW(window, text, 600);
    return std::wstring(text, n > 0 ? n : 0);
}

// The colour of the pane's character at position (line ends count one).
inline COLORREF colour_at(size_t position) {
    SendMessageW(Text, EM_SETSEL, position, position + 1);
    CHARFORMATW format = {};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR;
    SendMessageW(Text, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
    return format.crTextColor;
}

// Everything queued for the slave, once the queue has drained into the pipe, read off its end.
inline std::string bytes_sent(HANDLE slave_in_read) {
    flush_slave_input();
    DWORD pending = 0;
    std::string bytes;
    if (PeekNamedPipe(slave_in_read, nullptr, 0, nullptr, &pending, nullptr) && pending) {
        bytes.resize(pending);
        DWORD got = 0;
        ReadFile(slave_in_read, &bytes[0], pending, &got, nullptr);
        bytes.resize(got);
    }
    return bytes;
}

// The program's window set on windows of the test's own (Main with the program's procedure, the
// input line and the pane subclassed as the program does), and a slave whose pipe ends the test
// holds. close() puts back the program's state that open() replaced.
struct TestWindowSet {
    HWND main = nullptr, text = nullptr, prom = nullptr, edit = nullptr;
    WNDPROC edit_proc = nullptr, text_proc = nullptr;
    HANDLE in_write = nullptr, out_read = nullptr;
    HANDLE slave_in_read = nullptr, slave_in_write = nullptr, slave_out_read = nullptr, slave_out_write = nullptr;

    bool open() {
        static ATOM main_class = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = main_window_proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"TavroTestMain";
            return RegisterClassW(&wc);
        }();
        main = Main, text = Text, prom = Prom, edit = Edit;
        edit_proc = edit_previous_proc, text_proc = text_previous_proc;
        in_write = stdin_write, out_read = stdout_read;
        LoadLibraryW(L"Riched20.dll");
        Main = CreateWindowW(L"TavroTestMain", L"", WS_OVERLAPPED, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
        Text = CreateWindowW(L"RichEdit20W", L"", WS_CHILD | ES_MULTILINE, 0, 20, 280, 100, Main, nullptr, nullptr,
                             nullptr);
        Prom = CreateWindowW(L"EDIT", L">", WS_CHILD, 0, 0, 10, 10, Main, nullptr, nullptr, nullptr);
        Edit = CreateWindowW(L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 10, 0, 280, 20, Main, nullptr, nullptr, nullptr);
        if (!main_class || !Main || !Text || !Prom || !Edit) return false;
        text_previous_proc = (WNDPROC)SetWindowLongPtrW(Text, GWLP_WNDPROC, (LONG_PTR)text_window_proc);
        edit_previous_proc = (WNDPROC)SetWindowLongPtrW(Edit, GWLP_WNDPROC, (LONG_PTR)edit_window_proc);
        if (!CreatePipe(&slave_in_read, &slave_in_write, nullptr, 0) ||
            !CreatePipe(&slave_out_read, &slave_out_write, nullptr, 0))
            return false;
        stdin_write = slave_in_write, stdout_read = slave_out_read;
        return make_write_end_nonblocking(slave_in_write);
    }

    void close() {
        // Main's own WM_DESTROY would save the settings and tell the slave to exit.
        if (Main) SetWindowLongPtrW(Main, GWLP_WNDPROC, (LONG_PTR)DefWindowProcW);
        DestroyWindow(Main);
        Main = main, Text = text, Prom = prom, Edit = edit;
        edit_previous_proc = edit_proc, text_previous_proc = text_proc;
        stdin_write = in_write, stdout_read = out_read;
        for (HANDLE h : {slave_in_read, slave_in_write, slave_out_read, slave_out_write})
            if (h) CloseHandle(h);
    }

    std::string sent() { return bytes_sent(slave_in_read); }
};
