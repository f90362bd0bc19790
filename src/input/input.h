// Window procedures of the three subclassed children and the state of command submission
// that slash commands, history, completion and lookup share.
#pragma once
#include <windows.h>
#include "input/route_text.h"

// One entry of a window's key table: a character (WM_CHAR) or a virtual key (WM_KEYDOWN) and its
// handler, which acts and says whether it has taken the key. A key it leaves, or one without an
// entry, goes on to what the window does with any other key.
struct KeyPress {
    HWND window;
    WPARAM key;
    LPARAM lparam;
};
struct KeyBinding {
    WPARAM key;
    bool (*handle)(KeyPress press);
};
bool run_key_handler(const KeyBinding* table, size_t count, KeyPress press);
template <size_t N>
bool dispatch_key(const KeyBinding (&table)[N], HWND window, WPARAM key, LPARAM lparam) {
    return run_key_handler(table, N, KeyPress{window, key, lparam});
}

LRESULT CALLBACK text_window_proc(HWND, UINT, WPARAM, LPARAM);   // output pane
LRESULT CALLBACK prom_window_proc(HWND, UINT, WPARAM, LPARAM);   // prompt display
LRESULT CALLBACK edit_window_proc(HWND, UINT, WPARAM, LPARAM);   // input line

// The line being submitted; two spare places take the "\r\n" sent after it.
extern wchar_t command_buffer[COMMAND_BUFFER_CHARS + 2];
extern wchar_t command_word[COMMAND_BUFFER_CHARS];
extern bool bypass_now;   // "/!": the rest of the line runs directly; lowered after every submission

void append_to_pane(const wchar_t* text);   // straight into the pane, no log, no colour change
void compute_command_word();   // the first word of command_buffer into command_word
void submit_input_line();
void confirm_interrupt();   // "Terminate command?": Yes stops and restarts the slave

// Slash commands: handles the slash word at the front of command_buffer, removes it and
// recomputes the command word.
enum SlashAnswer { SLASH_GO_ON, SLASH_STOP };
SlashAnswer slash_command();

// History: takes the line exactly as typed (blank lines and repeats of the newest entry are not
// stored); the history cursor returns to the end in every case.
void add_to_history(const wchar_t* line);
void reset_f8_caret_mark();
void history_cursor_to_end();
void previous_history_entry();            // Up
void next_history_entry();                // Down
void history_prefix_search(bool forwards);  // F8; Shift or Ctrl+F8 forwards
void previous_commands_popup();           // F7, command 56
void recall_history_entry(int command_id);  // an entry of the F7 popup
const wchar_t* previous_command();        // for F1 to F3
const wchar_t* newest_history_entry();    // for F5 and F6

// Editing keys.
void insert_as_typed(const wchar_t* text);   // each character through the input line procedure
void clear_input_line();                     // empties the line, forgets the program-completion match
void delete_word_before_caret();             // Ctrl+Backspace; a selection is deleted alone
bool edit_key_down(WPARAM key, bool shift);  // F1 to F6; true when handled
bool edit_key_char(wchar_t c);               // Esc, Ctrl+Q, Ctrl+K, Ctrl+\, F2/F4 targets; true when consumed

// Name completion.
void name_completion(wchar_t mode);   // 4 directories, 6 files
void program_completion();
void close_completion_enumeration();
void forget_program_completion_match();
void end_of_submission_reset();   // closes an open directory enumeration and forgets its saved line
