// What the tests on real windows read back: the pane's text and colours, a window's text, and
// the bytes the program sent to a slave whose input pipe the test holds.
#pragma once
#include <windows.h>
#include <richedit.h>
#include <string>
#include "app/app.h"
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
