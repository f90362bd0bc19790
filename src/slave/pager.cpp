// The output pager's state and what changes it.
#include "slave/pager.h"
#include "slave/reader.h"
#include "slave/slave.h"
#include "app/app.h"
#include "app/timing.h"
#include "input/lookup_text.h"
#include "input/route_text.h"
#include "app/grid.h"

PagerState pager;
// Paging set for a command ends at a prompt after that command's output; until the command's echo
// has come, a prompt answers a line sent before it.
static EchoWatch paged_echo;

static void page_from_here(const wchar_t* awaited_echo) {
    pager.paging_mode = true;
    pager.lines_left = pager_page_lines(grid_lines);
    echo_watch_start(&paged_echo, awaited_echo);
    show_prompt_mark(PROMPT_MARK_PAGING);
}

bool pager_waiting() { return pager.paging_mode && pager.lines_left == 0 && !pager.discard_mode; }

void pager_start_for_line(const wchar_t* line) {
    if (pipes_into_more(line)) {
        page_from_here(line);
        return;
    }
    pager.paging_mode = false;
    echo_watch_start(&paged_echo, L"");
    show_prompt_mark(PROMPT_MARK_READY);
}

void pager_start_on_waiting_output() {
    if (pager.paging_mode && !pager.discard_mode) return;
    if (!bytes_waiting(stdout_read)) return;
    pager.discard_mode = false;
    page_from_here(L"");   // the output is already coming: no echo to wait for
}

bool pager_answer_key(wchar_t c) {
    PagerAnswer answer = pager_answer(pager.paging_mode, pager.lines_left, grid_lines, c);
    if (!answer.waiting) return false;
    if (answer.quit) {
        // A command that has just written its last page may still be finishing: discard only
        // what is really left, in the pipe or read already and waiting behind the page.
        Sleep(PAGER_QUIT_SETTLE_MS);
        if (bytes_waiting(stdout_read) || output_held_back()) pager.discard_mode = true;
        return true;
    }
    if (answer.end_paging) {
        pager.paging_mode = false;
        show_prompt_mark(PROMPT_MARK_READY);
    }
    pager.lines_left = answer.lines_left;
    read_slave_output(stdout_read);
    return true;
}

int pager_cut_page(wchar_t* text, int length, int capacity, PendingTail* tail) {
    return pager.paging_mode ? page_text(text, length, capacity, tail, &pager.lines_left) : length;
}

void pager_note_output(const wchar_t* text, int length) {
    if (paged_echo.pending) echo_watch_feed(&paged_echo, text, length);
}

bool pager_awaiting_echo() { return paged_echo.pending; }

void pager_prompt_seen() {
    if (!pager.paging_mode || paged_echo.pending) return;
    Sleep(PROMPT_SETTLE_MS);
    if (bytes_waiting(stdout_read)) return;
    pager.paging_mode = false;
    show_prompt_mark(PROMPT_MARK_READY);
}

void pager_stop() { pager.discard_mode = false; pager.paging_mode = false; }
