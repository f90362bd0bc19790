// Submission of the input line: history, macro expansion, slash commands and the five routes.
#include "input/input.h"
#include "input/lookup.h"
#include "app/app.h"
#include "app/timing.h"
#include "app/commands.h"
#include "app/grid.h"
#include "pane/pane.h"
#include "pane/pane_text.h"
#include "settings/settings.h"
#include "slave/pager.h"
#include "slave/reader.h"
#include "slave/slave.h"
#include <richedit.h>
#include <shellapi.h>
#include <stdio.h>

wchar_t command_buffer[COMMAND_BUFFER_CHARS + 2];
wchar_t command_word[COMMAND_BUFFER_CHARS];
bool bypass_now;

// Inserted straight into the pane: not through the print, so it reaches no log.
void append_to_pane(const wchar_t* text) {
    SendMessageW(Text, EM_SETSEL, (WPARAM)-1, -1);
    SendMessageW(Text, EM_REPLACESEL, 0, (LPARAM)text);
}

namespace {

wchar_t echo_copy[COMMAND_BUFFER_CHARS];

void append_in_bypass_colour(const wchar_t* text) {
    SendMessageW(Text, EM_SETSEL, (WPARAM)-1, -1);
    set_output_colour(Text, SCF_SELECTION, DoItText);
    // The selection is empty: the colour must hold at the insertion point for the text to come.
    CHARFORMAT2W format = {};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR;
    format.crTextColor = DoItText;
    SendMessageW(Text, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
    SendMessageW(Text, EM_REPLACESEL, 0, (LPARAM)text);
    restore_normal_colour(Text, SCF_SELECTION);
}

void expand_macros() {
    const wchar_t* names[MACRO_MAX];
    const wchar_t* bodies[MACRO_MAX];
    int count = macro_count();
    if (count > MACRO_MAX) count = MACRO_MAX;
    for (int i = 0; i < count; i++) {
        names[i] = macro_name(i);
        bodies[i] = macro_expansion(i);
    }
    MacroList macros = {names, bodies, count};
    wchar_t expanded[COMMAND_BUFFER_CHARS];
    if (expand_macro(&macros, command_buffer, TabWidth, grid_columns, expanded, COMMAND_BUFFER_CHARS))
        wcscpy(command_buffer, expanded);
}

void route_to_shell() {
    append_to_pane(command_buffer);
    HINSTANCE result = ShellExecuteW(Edit, nullptr, command_buffer, nullptr, nullptr, SW_SHOWNORMAL);
    if ((INT_PTR)result < 32) report_system_error(L"\nError");
    send_to_slave("\r\n");
}

void route_bypass() {
    append_in_bypass_colour(echo_copy);
    if (!run_program_directly(command_buffer, SW_SHOWNORMAL)) report_system_error(L"\nError");
    send_to_slave("\r\n");
}

// The separate command processor is Tavro's own helper, so it is named by full path, never
// searched for in the slave's folder.
void route_to_separate_cmd(const wchar_t* switch_and_blank) {
    append_to_pane(command_buffer);
    wchar_t processor[MAX_PATH + 16];
    wchar_t command_line[MAX_PATH + 16 + COMMAND_BUFFER_CHARS + 8];
    bool started = false;
    if (command_processor_path(processor, MAX_PATH + 16)) {
        _snwprintf(command_line, sizeof command_line / sizeof command_line[0] - 1, L"\"%s\" %s%s", processor,
                   switch_and_blank, command_buffer);
        command_line[sizeof command_line / sizeof command_line[0] - 1] = 0;
        started = run_program_directly(command_line, SW_SHOWNORMAL);
    }
    if (!started) report_system_error(L"\nError");
    send_to_slave("\r\n");
}

// The user's Run program gets AddPath and the command; the command waits until it has ended.
void run_not_found_hook() {
    wchar_t parameters[PATH_VALUE_MAX + 2 + COMMAND_BUFFER_CHARS + 2];
    size_t n = join_bounded(parameters, sizeof parameters / sizeof parameters[0], AddPath, L" ");
    join_bounded(parameters + n, sizeof parameters / sizeof parameters[0] - n, L"", command_buffer);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = Edit;
    info.lpFile = Run;
    info.lpParameters = parameters;
    info.nShow = SW_HIDE;
    if (ShellExecuteExW(&info) && info.hProcess) {
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
    }
}

// A line that is only "chcp" and a usable page changes the slave's code page: Tavro follows it as
// the Code Page command would, converting what it sends from now on and what the slave writes after
// the line's echo with that page.
void follow_typed_chcp(const char* line_bytes) {
    int page = chcp_line_page(command_buffer);
    if (page < 2 || !code_page_usable(page)) return;   // 0 and 1 stand for ANSI and OEM, no page of their own
    CodePage = page;
    derive_slave_code_page();
    follow_code_page_at_echo(line_bytes, slave_code_page);
}

void route_to_slave() {
    // A line the slave's code page cannot carry is not sent; it stays in the history.
    if (!convert_for_slave(command_buffer)) return;
    const char* marker = "";
    if (classify_command_word(command_word)) {
        // start takes a first quoted argument for the window's title: a quoted program path
        // needs an empty title before it, or start would open its arguments instead.
        const wchar_t* p = command_buffer;
        while (*p && (unsigned)*p <= 32) p++;
        marker = *p == L'"' ? START_MARKER_QUOTED_BYTES : START_MARKER_BYTES;
    }
    pager_start_for_line(command_buffer);
    // The buffer holds at most 2047 characters; its two spare places take the line end.
    size_t length = wcslen(command_buffer);
    if (length > COMMAND_BUFFER_CHARS - 1) length = COMMAND_BUFFER_CHARS - 1;
    command_buffer[length] = L'\r';
    command_buffer[length + 1] = L'\n';
    command_buffer[length + 2] = 0;
    convert_for_slave(command_buffer);
    follow_typed_chcp(conversion_buffer);
    if (!program_found && Run[0]) run_not_found_hook();
    // The marker and its command go as one: a marker without its command would start the next
    // line typed instead.
    if (send_to_slave_as_one(marker, conversion_buffer) && marker[0]) start_markers_pending++;
}

}  // namespace

void compute_command_word() { first_word(command_buffer, command_word, COMMAND_BUFFER_CHARS); }

void submit_input_line() {
    // Enter agrees to the disclaimer: from now on settings are saved.
    save_enabled = true;
    command_buffer[0] = 0;
    GetWindowTextW(Edit, command_buffer, COMMAND_BUFFER_CHARS);
    command_buffer[COMMAND_BUFFER_CHARS - 1] = 0;
    add_to_history(command_buffer);
    SetWindowTextW(Edit, L"");
    UpdateWindow(Edit);
    forget_program_completion_match();
    compute_command_word();
    // Routing keeps seeing the macro's name as the command word.
    if (macro_store_exists()) expand_macros();
    wcscpy(echo_copy, command_buffer);
    while (command_buffer[0] == L'/')
        if (slash_command() == SLASH_STOP) break;
    switch (decide_route(command_buffer, command_word, bypass_now, CmdAndQuit, KeepCmd, NoCmd)) {
    case ROUTE_CLEAR_SCREEN:
        SendMessageW(Main, WM_COMMAND, CMD_CLEAR_SCREEN, 0);
        Sleep(CLEAR_SETTLE_MS);
        break;
    case ROUTE_SHELL_OPEN: route_to_shell(); break;
    case ROUTE_BYPASS: route_bypass(); break;
    case ROUTE_CMD_AND_QUIT: route_to_separate_cmd(L"/c "); break;
    case ROUTE_KEEP_CMD: route_to_separate_cmd(L"/k "); break;
    case ROUTE_SLAVE: route_to_slave(); break;
    }
    command_buffer[0] = 0;
    end_of_submission_reset();
    bypass_now = false;
}
