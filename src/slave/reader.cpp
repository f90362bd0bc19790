// Output reader: reads the slave's pipes without blocking, prints whole lines, pages, and follows
// the slave's prompt. The text rules live in reader_text.cpp.
#include "slave/reader.h"
#include "slave/reader_text.h"
#include "slave/pager.h"
#include "slave/slave.h"
#include "app/app.h"
#include "app/commands.h"
#include "app/timing.h"
#include "logs/logs.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include <richedit.h>
#include <string.h>
#include <wchar.h>
#include <wctype.h>

wchar_t tracked_directory[TRACKED_DIR_MAX + 1];
wchar_t held_prompt[HELD_PROMPT_CHARS];
DWORD available_count;
int output_code_page = (int)GetOEMCP();

enum {
    TEXT_CHARS = 2048,
    TITLE_CHARS = BASE_TITLE_MAX + TRACKED_DIR_MAX + 64,
};

static_assert((int)PIECE_LIMIT == (int)READ_CHUNK_BYTES, "one read's text is one read's bytes at most");
static_assert(sizeof(PendingTail::text) / sizeof(wchar_t) == TAIL_CHARS, "tail buffer size");

// What one pipe still owes the pane: text held back, the bytes handed on to its next read (a
// character whose end has not been read yet), and how its bytes are decoded.
struct StreamState {
    PendingTail tail;
    unsigned char carry[DECODE_KEEP_MAX];
    int carry_count;
    StreamDecoding decoding;
};

static StreamState out_state, err_state;
static PromptWatch out_watch;   // what the prompt tracking keeps of standard output between pieces
static ChcpEcho chcp_echo;      // a code page the slave has been told, and the echo it takes effect after
static unsigned discard_toggle;
// The bytes of one read: the reader's own, so that a read can never overwrite a line being
// converted for the slave.
static unsigned char read_bytes[DECODE_KEEP_MAX + DISCARD_CHUNK_BYTES + 1];
static_assert(READ_CHUNK_BYTES <= DISCARD_CHUNK_BYTES, "a read and its carried bytes fit the read buffer");

static void clear_stream(StreamState* s) {
    tail_clear(&s->tail);
    s->carry_count = 0;
    decoding_reset(&s->decoding);
}

void empty_pending_tails() {
    clear_stream(&out_state);
    clear_stream(&err_state);
    watch_reset(&out_watch);
    // The next slave has a console of its own, which starts in the OEM code page.
    output_code_page = (int)GetOEMCP();
    chcp_echo_clear(&chcp_echo);
}

void follow_code_page_at_echo(const char* line, int code_page) {
    if (!chcp_echo_await(&chcp_echo, line, code_page)) output_code_page = code_page;
}

// Prints the line break that starts a stream's tail, ahead of the other stream's text.
static void print_leading_line_break(StreamState* s) {
    int line_break = take_leading_line_break(&s->tail);
    const wchar_t* text = line_break == 2 ? L"\r\n" : L"\n";
    if (!line_break) return;
    print_to_output_pane(L"%s", text);
    if (s == &out_state) watch_shown(&out_watch, text, line_break);
}

static bool is_lead_byte(unsigned char byte, void*) { return IsDBCSLeadByteEx((UINT)output_code_page, byte) != 0; }

static ByteEncoding encoding_of(int code_page) {
    if (code_page == CP_UTF8) return ENCODING_UTF8;
    if (code_page == 54936) return ENCODING_GB18030;
    CPINFO info;
    if (GetCPInfo((UINT)code_page, &info) && info.MaxCharSize == 2) return ENCODING_DOUBLE_BYTE;
    return ENCODING_SINGLE_BYTE;
}

struct Converted {
    wchar_t* text;
    int length;
};

// At most one character per byte: the text stays within PIECE_LIMIT plus its terminator.
static void convert_piece(const unsigned char* bytes, int count, bool utf16, void* context) {
    Converted* c = (Converted*)context;
    if (utf16) {
        for (int i = 0; i + 1 < count && c->length < PIECE_LIMIT; i += 2)
            c->text[c->length++] = (wchar_t)(bytes[i] | bytes[i + 1] << 8);
        return;
    }
    int w = MultiByteToWideChar((UINT)output_code_page, 0, (const char*)bytes, count, c->text + c->length,
                                PIECE_LIMIT + 1 - c->length);
    if (w > 0) c->length += w;
}

// Reads at most room bytes after the stream's carried ones, logs standard error raw, and decodes
// everything but what is handed on to the next read into text at n. Returns the new text length;
// *got is what ReadFile delivered.
static int read_and_convert(HANDLE pipe, StreamState* self, bool is_out, int room, wchar_t* text, int n,
                            DWORD* got) {
    unsigned char* bytes = read_bytes;
    int carried = self->carry_count;
    memcpy(bytes, self->carry, carried);
    *got = 0;
    if (!ReadFile(pipe, bytes + carried, (DWORD)room, got, NULL)) *got = 0;
    if (*got) hold_fine_timer();
    // The error log keeps the bytes as they came, NULs and all.
    if (!is_out && *got > 0) write_error_bytes((const char*)bytes + carried, (int)*got);
    int total = carried + (int)*got;
    Converted converted = {text, n};
    int from = 0;
    // The new code page begins after the echo of its CHCP line, within this read or a later one.
    int echo_end = is_out ? chcp_echo_find(&chcp_echo, bytes + carried, (int)*got) : -1;
    if (echo_end >= 0) {
        int split = carried + echo_end;
        from = split - decode_read(bytes, split, &self->decoding, true, encoding_of(output_code_page), is_lead_byte,
                                   NULL, convert_piece, &converted);
        output_code_page = chcp_echo.code_page;
    }
    int keep = decode_read(bytes + from, total - from, &self->decoding, *got < available_count,
                           encoding_of(output_code_page), is_lead_byte, NULL, convert_piece, &converted);
    memcpy(self->carry, bytes + total - keep, keep);
    self->carry_count = keep;
    text[converted.length] = 0;
    return converted.length;
}

void read_slave_output(HANDLE pipe) {
    if (pager.paging_mode && pager.lines_left == 0) return;
    available_count = bytes_waiting(pipe);
    ZeroMemory(read_bytes, sizeof read_bytes);
    bool is_out = pipe == stdout_read;
    StreamState* self = is_out ? &out_state : &err_state;
    StreamState* other = is_out ? &err_state : &out_state;

    // A prompt still held back from an earlier read goes before any newer output of its stream.
    if (is_out && held_prompt[0]) {
        print_to_output_pane(L"%s", held_prompt);
        held_prompt[0] = 0;
    }
    print_leading_line_break(other);

    wchar_t text[TEXT_CHARS];
    int n = tail_to_text(&self->tail, text, TEXT_CHARS);
    if (n < PIECE_LIMIT) {
        int room = PIECE_LIMIT - n - self->carry_count;
        DWORD got = 0;
        bool read = room > 0 && available_count;
        if (read) n = read_and_convert(pipe, self, is_out, room, text, n, &got);
        n = drop_owed_line_feed(&self->tail, text, n);
        n = hold_unfinished(text, n, &self->tail, read && got < available_count);
        n = pager_cut_page(text, n, TEXT_CHARS, &self->tail);
    }
    if (n == 0) return;
    if (is_out) pager_note_output(text, n);

    if (is_out && self->tail.length) watch_shown(&out_watch, text, n);
    if (is_out && self->tail.length == 0) {
        int k = track_prompt(text);
        // The slave's prompt ends what a tool wrote in UTF-16, on both streams.
        if (k) decoding_reset(&err_state.decoding);
        // Errors still waiting belong before the prompt that follows them. The carriage return of
        // the prompt's line break goes with it, or the pane would get two line breaks for one. A
        // prompt too long for the held-prompt buffer is printed with its text instead.
        int hold = k > 0 && k < n && text[n - k - 1] == 13 ? k + 1 : k;
        if (k && hold < HELD_PROMPT_CHARS && hold <= n && HighlightErrs && n >= 2 && text[n - 2] == '>' &&
            text[n - 1] == ' ' && bytes_waiting(stderr_read)) {
            wmemcpy(held_prompt, text + n - hold, hold);
            held_prompt[hold] = 0;
            n -= hold;
            text[n] = 0;
        }
    }
    if (n > 0) print_to_output_pane(L"%s", text);
}

void read_slave_errors() {
    set_output_colour(Text, SCF_SELECTION, ErrorText);
    read_slave_output(stderr_read);
    restore_normal_colour(Text, SCF_SELECTION);
    // A prompt held back for these errors follows them.
    if (held_prompt[0]) {
        print_to_output_pane(L"%s", held_prompt);
        held_prompt[0] = 0;
    }
}

// The slave is at its prompt in directory: follow it with the program's own directory, the
// per-drive variable and the title; a quiet prompt ends paging.
static void follow_prompt(const wchar_t* directory, int length) {
    wchar_t dir[TRACKED_DIR_MAX + 1];
    wmemcpy(dir, directory, length);
    dir[length] = 0;
    SetCurrentDirectoryW(dir);
    wmemcpy(tracked_directory, dir, length + 1);
    wchar_t name[4] = {'=', (wchar_t)towupper(dir[0]), ':', 0};
    SetEnvironmentVariableW(name, dir);

    pager_prompt_seen();
    wchar_t title[TITLE_CHARS];
    build_prompt_title(base_title, tracked_directory, title, TITLE_CHARS);
    set_title_with_logging_indicators(title, TITLE_CHARS);
    if (hide_at_first_prompt) {
        PostMessageW(Main, WM_COMMAND, CMD_APPLY_CMD_SHOW, 0);
        hide_at_first_prompt = false;
    }
}

int track_prompt(const wchar_t* text) {
    int length = (int)wcslen(text);
    bool starts_line = watch_shown(&out_watch, text, length);
    int dir_start, dir_length;
    int k = parse_prompt(text, length, starts_line, &dir_start, &dir_length);
    // A directory longer than the tracked one can hold is not followed at all: a cut path would
    // name some other directory.
    if (dir_length > 0 && dir_length <= TRACKED_DIR_MAX) follow_prompt(text + dir_start, dir_length);

    // The echo and its answer may have come in pieces.
    wchar_t letter, value[TRACKED_DIR_MAX + 1];
    if (watch_take_drive_echo(&out_watch, tracked_directory[0], &letter, value, TRACKED_DIR_MAX + 1)) {
        wchar_t name[4] = {'=', letter, ':', 0};
        SetEnvironmentVariableW(name, value);
    }
    if (dir_start >= 0) watch_prompt_line(&out_watch, k);
    return k;
}

bool output_held_back() { return out_state.tail.length > 0; }

void discard_output() {
    DWORD waiting = bytes_waiting(stdout_read);
    available_count = waiting;
    DWORD got = 0;
    if (waiting && !ReadFile(stdout_read, read_bytes, DISCARD_CHUNK_BYTES, &got, NULL)) got = 0;
    // Dropped, an awaited CHCP echo still switches the page.
    if (chcp_echo_find(&chcp_echo, read_bytes, (int)got) >= 0)
        output_code_page = chcp_echo.code_page;

    discard_toggle++;
    show_prompt_mark(discard_toggle & 1 ? PROMPT_MARK_DISCARDING : PROMPT_MARK_DISCARDING_TOO);
    MSG msg;
    if (!PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE)) PostMessageW(Main, WM_COMMAND, CMD_WAKE, 0);
    if (got < waiting) return;

    Sleep(DISCARD_FIRST_MS);
    for (int i = 0; i < DISCARD_QUIET_STEPS; i++) {
        if (bytes_waiting(stdout_read)) return;
        Sleep(DISCARD_QUIET_STEP_MS);
    }
    // Quiet for about a quarter of a second: the output has ended.
    pager_stop();
    if (bytes_waiting(stderr_read)) print_leading_line_break(&out_state);
    clear_stream(&out_state);
    show_prompt_mark(PROMPT_MARK_READY);
    send_to_slave("\n");
}
