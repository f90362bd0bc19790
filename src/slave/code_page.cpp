// Text for the slave in its code page: converted so that no character becomes another, refused
// whole when the page lacks one, and the CHCP line that tells the slave the page.
#include "slave/slave.h"
#include "slave/reader.h"
#include "slave/slave_text.h"
#include "app/app.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include <stdio.h>

// UTF-8 and GB18030 have every character; WideCharToMultiByte takes neither WC_NO_BEST_FIT_CHARS
// nor a default-character flag for them, and fails on a surrogate without its partner when asked
// to (WC_ERR_INVALID_CHARS).
static bool has_every_character(int code_page) { return code_page == CP_UTF8 || code_page == 54936; }

int slave_bytes(int code_page, const wchar_t* text, int count, char* out, int capacity) {
    if (count == 0) return 0;
    BOOL used_default = FALSE;
    bool every = has_every_character(code_page);
    int n = WideCharToMultiByte((UINT)code_page, every ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, text, count,
                                out, capacity, NULL, every ? NULL : &used_default);
    return n > 0 && !used_default ? n : -1;
}

static bool slave_carries(const wchar_t* character, int units, void*) {
    return slave_bytes(slave_code_page, character, units, NULL, 0) > 0;
}

// One line in the error colour that names the character and the way to carry it, then the
// prompt imitation.
static void refuse(const wchar_t* text, int length) {
    unsigned long code = 0;
    int units = 0;
    int at = first_uncarried(text, length, slave_carries, NULL, &code, &units);
    wchar_t message[200];
    if (at >= 0 && units == 1 && code >= 0xD800 && code <= 0xDFFF)
        _snwprintf(message, 199, L"\nNot sent: U+%04lX is half of a character, which no code page carries.", code);
    else if (at >= 0)
        _snwprintf(message, 199,
                   L"\nNot sent: code page %d has no \"%.*s\" (U+%04lX). UTF-8 has every character: View > "
                   L"Code Page..., 8.",
                   slave_code_page, units, text + at, code);
    else
        _snwprintf(message, 199, L"\nNot sent: code page %d cannot carry this text.", slave_code_page);
    message[199] = 0;
    print_error_text(L"%s", message);
    print_prompt_imitation(true);
}

const char* convert_for_slave(const wchar_t* text) {
    const int cap = CONVERSION_BUFFER_BYTES - 1;
    int len = (int)wcslen(text);
    int need = slave_bytes(slave_code_page, text, len, NULL, 0);
    if (need < 0) {
        refuse(text, len);
        return NULL;
    }
    // Cut a text that would not fit at the longest prefix that does, on a character boundary.
    if (need > cap) {
        int lo = 0, hi = len;
        while (lo < hi) {
            int mid = (lo + hi + 1) / 2;
            if (slave_bytes(slave_code_page, text, mid, NULL, 0) <= cap) lo = mid; else hi = mid - 1;
        }
        len = lo;
        if (len && IS_HIGH_SURROGATE(text[len - 1])) len--;
    }
    int n = slave_bytes(slave_code_page, text, len, conversion_buffer, cap);
    conversion_buffer[n > 0 ? n : 0] = 0;
    return conversion_buffer;
}

bool send_text_to_slave(const wchar_t* text) {
    const char* bytes = convert_for_slave(text);
    return bytes && send_to_slave(bytes);
}

void send_code_page_line() {
    char line[32];
    snprintf(line, sizeof line, "CHCP %d\r\n", slave_code_page);
    follow_code_page_at_echo(line, slave_code_page);
    send_to_slave(line);
}
