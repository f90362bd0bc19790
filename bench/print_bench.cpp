// Times one print into the output pane, in this process, on a real rich-edit control: into an
// empty pane and into a pane filled to 15,900 characters, where the print has to trim the
// oldest lines first. Trimming that rewrote the pane would make the second much dearer.
//
//   print_bench [samples]     prints lines of milliseconds: "yield" (a 10 ms sleep), "empty",
//                             "full", a flood of prints ("flood_*"), the messages every print
//                             must send ("must_send") and the control's messages one by one on
//                             a full pane ("part_*")
#include "pane/pane.h"
#include "app/app.h"
#include "settings/settings.h"
#include <richedit.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>

static double now_ms() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

// Lines of 78 characters and a line break, as a busy pane holds them. The control keeps a line
// break as one "\r", so that is what the filler uses: the pane then holds exactly that many.
static std::wstring filled_pane(size_t characters) {
    std::wstring text;
    for (int n = 0; text.size() < characters; n++) {
        wchar_t line[96];
        _snwprintf(line, 95, L"filler line %06d ", n);
        line[95] = 0;
        std::wstring l = line;
        while (l.size() < 78) l.push_back((wchar_t)(L'a' + (l.size() + n) % 26));
        text += l + L"\r";
    }
    text.resize(characters);
    return text;
}

static int pane_length() { return GetWindowTextLengthW(Text); }

// Sets the pane's text and lets the control lay it out and paint it, as it has long done by the
// time a print comes in the program: the first message after a new text pays for laying out
// all of it, which no print in the program pays.
static void set_pane(const wchar_t* text) {
    SetWindowTextW(Text, text);
    SendMessageW(Text, EM_SETSEL, (WPARAM)-1, -1);
    SendMessageW(Text, EM_REPLACESEL, FALSE, (LPARAM)L"");
    SendMessageW(Text, WM_VSCROLL, SB_BOTTOM, 0);
    UpdateWindow(Text);
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

static void print_samples(const char* name, const double* samples, int n) {
    printf("%s", name);
    for (int i = 0; i < n; i++) printf(" %.3f", samples[i]);
    printf("\n");
}

int main(int argc, char** argv) {
    int samples = argc > 1 ? atoi(argv[1]) : 20;
    if (samples < 1) samples = 1;
    if (samples > 200) samples = 200;
    if (!LoadLibraryW(L"Riched20.dll")) {
        fprintf(stderr, "print_bench: Riched20.dll not loaded\n");
        return 1;
    }
    // The pane inside a main window, as the program has it: the print paints through the main window.
    Main = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 804, 604, NULL, NULL,
                           GetModuleHandleW(NULL), NULL);
    Text = CreateWindowExW(0, L"RichEdit20W", L"",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 2, 2,
                           800, 600, Main, NULL, GetModuleHandleW(NULL), NULL);
    if (!Main || !Text) {
        fprintf(stderr, "print_bench: windows not created\n");
        return 1;
    }
    Logging = 0;
    set_output_colour(Text, SCF_ALL, ColorText);

    // A line of output as the reader hands it over: about a hundred characters.
    std::wstring line(98, L'x');
    line += L"\r\n";
    std::wstring full = filled_pane(15900);

    static double yield[200], empty[200], filled[200];
    int trimmed = 0;
    for (int i = 0; i < samples; i++) {
        double t0 = now_ms();
        Sleep(10);
        yield[i] = now_ms() - t0;

        set_pane(L"");
        t0 = now_ms();
        print_to_output_pane(L"%s", line.c_str());
        empty[i] = now_ms() - t0;

        set_pane(full.c_str());
        int before = pane_length();
        t0 = now_ms();
        print_to_output_pane(L"%s", line.c_str());
        filled[i] = now_ms() - t0;
        if (pane_length() < before + (int)line.size() - 1) trimmed++;
    }

    // Where the time of a print into the full pane goes: the control's messages one by one,
    // each on a freshly filled pane.
    static double length_ms[200], read_ms[200], trim_ms[200], append_ms[200], scroll_ms[200];
    static wchar_t copy[PANE_COPY_CHARS];
    for (int i = 0; i < samples; i++) {
        set_pane(full.c_str());
        double t0 = now_ms();
        GETTEXTLENGTHEX how_long = {GTL_NUMCHARS | GTL_PRECISE, 1200};
        SendMessageW(Text, EM_GETTEXTLENGTHEX, (WPARAM)&how_long, 0);
        length_ms[i] = now_ms() - t0;
        t0 = now_ms();
        read_window_text(Text, copy, PANE_COPY_CHARS);
        read_ms[i] = now_ms() - t0;
        t0 = now_ms();
        SendMessageW(Text, EM_SETSEL, 0, 79);
        SendMessageW(Text, EM_REPLACESEL, FALSE, (LPARAM)L"");
        trim_ms[i] = now_ms() - t0;
        t0 = now_ms();
        SendMessageW(Text, EM_SETSEL, (WPARAM)-1, -1);
        SendMessageW(Text, EM_REPLACESEL, FALSE, (LPARAM)line.c_str());
        append_ms[i] = now_ms() - t0;
        t0 = now_ms();
        SendMessageW(Text, WM_VSCROLL, SB_BOTTOM, 0);
        scroll_ms[i] = now_ms() - t0;
    }
    // A flood as the program sees it: print after print of 100-character lines into a visible
    // pane, from empty until well past the bound. The pane fills up over the first ~160 prints.
    static double low[400], bound[400];
    int n_low = 0, n_bound = 0;
    set_pane(L"");
    for (int i = 0; i < 400; i++) {
        double t0 = now_ms();
        print_to_output_pane(L"%s", line.c_str());
        double t = now_ms() - t0;
        if (i < 100 && n_low < 200) low[n_low++] = t;
        if (i >= 200 && n_bound < 200) bound[n_bound++] = t;
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    // The messages every print has to send, alone: the poll timer stopped and started, the caret
    // to the end, the append of a read's worth of lines and the scroll to the bottom. Between
    // them, untimed and with redraw off (no paint is pending when the clock runs), the pane is
    // held at the bound and its view brought back to the bottom.
    static double must[200];
    std::wstring read_lines;
    for (int n = 0; read_lines.size() < 1000; n++) {
        wchar_t l[96];
        _snwprintf(l, 95, L"%08d flood line of text abcdefghijklmnopqrstuvwxyz 0123456789 ABCDEFGHIJ\r\n", n);
        l[95] = 0;
        read_lines += l;
    }
    UpdateWindow(Text);
    SendMessageW(Text, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < 200; i++) {
        int excess = pane_length() + (int)read_lines.size() - 15900;
        if (excess > 0) {
            SendMessageW(Text, EM_SETSEL, 0, excess);
            SendMessageW(Text, EM_REPLACESEL, FALSE, (LPARAM)L"");
        }
        SendMessageW(Text, EM_SETSEL, (WPARAM)-1, -1);
        SendMessageW(Text, WM_VSCROLL, SB_BOTTOM, 0);
        double t0 = now_ms();
        KillTimer(Main, POLL_TIMER_ID);
        SendMessageW(Text, EM_SETSEL, (WPARAM)-1, -1);
        SendMessageW(Text, EM_REPLACESEL, FALSE, (LPARAM)read_lines.c_str());
        SendMessageW(Text, WM_VSCROLL, SB_BOTTOM, 0);
        SetTimer(Main, POLL_TIMER_ID, POLL_PERIOD_MS, NULL);
        must[i] = now_ms() - t0;
    }
    SendMessageW(Text, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Text, NULL, FALSE);
    UpdateWindow(Text);

    print_samples("yield", yield, samples);
    print_samples("empty", empty, samples);
    print_samples("full", filled, samples);
    printf("trimmed %d of %d\n", trimmed, samples);
    print_samples("flood_filling", low, n_low);
    print_samples("flood_at_bound", bound, n_bound);
    print_samples("must_send", must, 200);
    print_samples("part_length", length_ms, samples);
    print_samples("part_read", read_ms, samples);
    print_samples("part_trim", trim_ms, samples);
    print_samples("part_append", append_ms, samples);
    print_samples("part_scroll", scroll_ms, samples);
    DestroyWindow(Text);
    DestroyWindow(Main);
    return 0;
}
