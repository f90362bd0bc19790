// Text side of command submission: the first word, macro expansion, the route decision and the
// pager and pause answers. No system headers beyond the C library.
#pragma once
#include <stddef.h>
#include <wchar.h>

enum {
    COMMAND_BUFFER_CHARS = 2048,   // the line being submitted: 2047 characters and the terminator
};

// Stores the line's first word in word (cut to cap - 1 characters) and returns the index in
// line just after it (after the closing quote of a quoted word).
size_t first_word(const wchar_t* line, wchar_t* word, size_t cap);

struct MacroList {
    const wchar_t* const* names;
    const wchar_t* const* bodies;
    int count;
};

// The index of the first macro named word (ASCII letters compared without case), or -1.
int find_macro(const MacroList* macros, const wchar_t* word);

// The body formatted with the tab width and the column count: "%t" and "%c" become numbers
// (the first of them met takes the first argument), "%d" takes the next argument, "%%" is one
// "%", and anything else is copied as it stands. Cut to cap - 1 characters.
size_t format_macro_body(const wchar_t* body, int tab_width, int columns, wchar_t* out, size_t cap);

// Expands the macro named by the buffer's first word into out (cap characters, cut):
// formatted body + what follows the word. False when no macro has that name.
bool expand_macro(const MacroList* macros, const wchar_t* buffer, int tab_width, int columns, wchar_t* out,
                  size_t cap);

bool ends_with_exact(const wchar_t* text, const wchar_t* suffix);
bool begins_with_ignoring_case(const wchar_t* text, const wchar_t* prefix);

enum Route { ROUTE_CLEAR_SCREEN, ROUTE_SHELL_OPEN, ROUTE_BYPASS, ROUTE_CMD_AND_QUIT, ROUTE_KEEP_CMD, ROUTE_SLAVE };

// The first route that applies, in order: "cls", shell open, bypass, cmd /c, cmd /k, the slave.
Route decide_route(const wchar_t* buffer, const wchar_t* command_word, bool bypass_now, const wchar_t* cmd_and_quit,
                   const wchar_t* keep_cmd, const wchar_t* no_cmd);

// prefix + text into out (cap characters), cut; returns the length.
size_t join_bounded(wchar_t* out, size_t cap, const wchar_t* prefix, const wchar_t* text);

// All of text appended to out at length at (capacity counts the terminator); -1 when at is -1
// already or the text does not fit, out then holding what came before at.
int append_whole(wchar_t* out, int capacity, int at, const wchar_t* text);

// A file or folder name as one argument of a line for the slave, appended to out at length at
// (capacity counts the terminator). It goes in double quotes, so that blanks, "&", "^", "(", ")"
// and "|" are taken as they stand; each "%" is followed by two double quotes (the quoting closed
// and opened again), so that no "%NAME%" in it is ever a variable: cmd takes the name without
// its quotes. A "!" stays as it is, which is right while the slave runs without delayed
// expansion, as it does unless told otherwise. Returns the new length, or -1 (out cut back to
// at) for a name that no file can have (a double quote or a control character, which would end
// the quoting or the line) or that does not fit.
int append_quoted_name(wchar_t* out, int capacity, int at, const wchar_t* name);
// "cd" and the folder, with its line end, into out: a bare drive ("D:") as it is, so that the
// slave shows that drive's current folder; any other name quoted. -1 (out emptied) as above.
int build_cd_line(wchar_t* out, int capacity, const wchar_t* folder);

// The code page of a line that is "chcp" and a number and nothing else (blanks around them, any
// case): the user changes the slave's code page, and Tavro follows. 0 for any other line, and for
// a number beyond 65535.
int chcp_line_page(const wchar_t* line);

// What a character does while output is paused.
enum PauseAnswer { PAUSE_NOT_PAUSED, PAUSE_RESUME_AND_CONSUME };
PauseAnswer pause_answer(bool output_paused, wchar_t c);   // 19 is not consumed: it toggles the pause off

// What a character does while the pager waits (paging on and no lines left).
struct PagerAnswer {
    bool waiting;      // false: the pager is not waiting, the character goes on
    bool end_paging;   // "f": paging off, then the page goes on
    bool quit;         // "q": discard pending output
    bool read;         // read on with lines_left lines
    int lines_left;
};
PagerAnswer pager_answer(bool paging_mode, int lines_left, int grid_lines, wchar_t c);
// Lines of one page: the grid's lines less the one the pager's stop leaves, but at least one, so
// that a pane of one line (or none) still pages on.
int pager_page_lines(int grid_lines);

// The echo of a paged command. Paging set for a command ends at a prompt after that command's
// output, and the slave echoes the command after its prompt before the output: until the echo
// has come, a prompt answers a line sent before the command (Clear Screen's fresh prompt for
// "/c", the environment batch line for "/e") and does not end the paging.
enum { ECHO_KEY_CHARS = 32 };
struct EchoWatch {
    wchar_t key[ECHO_KEY_CHARS + 1];      // the command's last characters, trailing blanks cut
    int key_length;
    wchar_t recent[ECHO_KEY_CHARS + 1];   // the output's last characters before any blanks
    int recent_length;
    bool pending;                         // the echo has not come yet
};
// Waits for the echo of command; an empty command waits for nothing.
void echo_watch_start(EchoWatch* watch, const wchar_t* command);
// Output text, in the order it is printed: the echo is the key ending a line (blanks may follow
// it). A blank of the key matches any blank (the echo's are kept as blanks only); a character
// beyond ASCII matches any character, as the slave's code page may not have it. Returns whether
// the watch still waits.
bool echo_watch_feed(EchoWatch* watch, const wchar_t* text, int length);
