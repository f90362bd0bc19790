// The console-like rules of the output pane as functions over plain wide strings: bell, backspace,
// size bound, start marker, carriage-return overwrite, the ruler and the log slicing.
// No window system here, so the rules can be tested and fuzzed anywhere.
#pragma once

// Number of occurrences of c in the zero-terminated text.
int count_character(const wchar_t* text, wchar_t c);

// One print's bell: true when the beep is to sound. A text with any number of BEL characters
// counts once; the count keeps rising past beeps_max, only the beep stops.
bool bell_should_sound(const wchar_t* text, int* beep_count, int beeps_max);

// Removes each backspace with the character before it, in place; a backspace with nothing before
// it stays. Returns the new length.
int remove_backspaces(wchar_t* text);

// What a print adds against the size bound: its length plus one per line feed.
int added_size(const wchar_t* text, int length);

// How many leading characters of the pane (pane_length characters, line ends as lone "\r") go so that
// the rest plus added stays below bound: whole oldest lines, or added + 16 characters at a time from
// a pane without line ends.
int trim_count(const wchar_t* pane, int pane_length, int added, int bound);

// trim_count decided from a window of the pane (window_length characters from position
// window_start), or -1 when the window cannot decide it. The cut is the first line end at or
// behind the first character that must go, so a few characters around it usually suffice; a pane
// without such a line end needs all of its text.
int trim_count_in_window(const wchar_t* window, int window_start, int window_length, int pane_length, int added,
                         int bound);

// The time to wait before the pane is painted again, given how long the last paint took: at least
// min_ms, share times the paint so painting takes at most a share-th of the time, at most max_ms.
double next_paint_gap(double paint_ms, double min_ms, double share, double max_ms);

// What command routing writes before a command that starts a window program, so that the slave
// runs it through start: the plain form, or the form with start's empty title before a quoted
// program. The quoted form begins with the plain one.
// The bytes sent and the text they come back as in the slave's echo.
#define START_MARKER_BYTES " sTaRT\t"
#define START_MARKER_QUOTED_BYTES START_MARKER_BYTES "\"\"\t"
extern const wchar_t START_MARKER[];
extern const wchar_t START_MARKER_QUOTED[];

// Length of the marker, of either form, at text[i] (the whole quoted one when it is there), or 0.
int start_marker_at(const wchar_t* text, int length, int i);

// Removes markers of either form at the start of the text or right behind "> ", one for each of
// *pending, and counts them off. Returns the new length.
int remove_start_markers(wchar_t* text, int length, int* pending);

// Position of the first marker of either form preceded by "> " in the text, or -1; its length
// goes to *marker_length.
int find_marker_after_prompt(const wchar_t* text, int* marker_length);

// Every run of carriage returns ending in a line feed becomes "\r\n". Returns the new length.
int collapse_cr_runs(wchar_t* text, int length);

// Whether the text has a carriage return that overwrites (not part of a line end and not last),
// counted as it will be once its carriage-return runs are collapsed.
bool has_bare_cr(const wchar_t* text);

// The pane as a string while bare carriage returns rewrite its last line.
struct PaneModel {
    wchar_t* text;     // always terminated
    int length;
    int capacity;      // characters, terminator included
    int write_pos;     // where the next overwriting character goes
    bool overwrite;
};

// Walks *rest for the next bare carriage return, switching overwrite off at each ordinary line end on
// the way. At a bare one: appends the text before it to the model, rewrites the model's last line from
// its first column with what follows up to the next "\r", "\n" or the end, leaves *rest where copying
// stopped and returns true. Returns false when no bare carriage return is left.
bool overwrite_step(PaneModel* model, const wchar_t** rest);

// Writes all of rest at the write position, line feeds included (overwrite mode's end of a print).
void overwrite_finish(PaneModel* model, const wchar_t* rest);

// The whole carriage-return walk of one print's text: show is called after every bare carriage return
// with the model as it should now be displayed. Returns what is left to append at the pane's end in
// the ordinary way, or null when overwrite mode has written it into the model, which then replaces
// the pane.
const wchar_t* apply_carriage_returns(PaneModel* model, const wchar_t* text,
                                      void (*show)(const PaneModel* model, void* context), void* context);

// The text as the rich-edit control holds it: each "\r\n" and each lone "\n" become one "\r".
// Cut to capacity - 1 characters; returns the length written.
int pane_line_ends(const wchar_t* text, int length, wchar_t* out, int capacity);

// The part in which two texts differ: they share their first *from characters, and their ends
// from *old_end and *new_end on; the shared end never reaches into the shared start.
void text_difference(const wchar_t* old_text, int old_length, const wchar_t* new_text, int new_length, int* from,
                     int* old_end, int* new_end);

// Appends text to the model, cut at its capacity.
void model_append(PaneModel* model, const wchar_t* text, int length);

// The two ruler rows for the given column count (at most 1023 columns): the tens row, nine blanks
// and a digit per ten columns, and the units row. Each output is terminated within its capacity.
void build_ruler(int columns, wchar_t* tens, int tens_capacity, wchar_t* units, int units_capacity);

// Length of the next slice of text (from its start, at most max_units) that does not end between
// the two halves of a surrogate pair.
int log_slice_length(const wchar_t* text, int length, int max_units);
