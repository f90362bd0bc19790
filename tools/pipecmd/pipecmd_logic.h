// Text logic of pipecmd, the line-mode command processor: no Win32 here, so it
// can be tested without a console and compiled on any platform.
#pragma once

#include <stddef.h>

// Longest command line, in bytes as read and in characters after expansion
// (the limit of the platform's own command processor).
enum { PIPECMD_LINE_MAX = 8191 };

// ---- Line assembly -------------------------------------------------------

// Collects the bytes of one line from standard input, however it is chunked.
// CR bytes are dropped, LF ends the line. Bytes beyond PIPECMD_LINE_MAX are
// dropped and the line is marked too long.
struct LineAssembler {
  char bytes[PIPECMD_LINE_MAX + 1];  // NUL-terminated
  size_t len;
  bool too_long;
  bool complete;
};

void line_reset(LineAssembler* la);

// Feeds up to n bytes; stops right after the LF that completes a line.
// Returns the number of bytes consumed. la->complete tells whether a line
// is ready; call line_reset before feeding the next line.
size_t line_feed(LineAssembler* la, const char* data, size_t n);

// End of input: a started line without LF counts as complete.
// Returns whether there is such a line.
bool line_finish(LineAssembler* la);

// ---- Environment references ----------------------------------------------

// Looks up a variable by name (not terminated: name_len characters). Returns
// -1 when it is not defined, else the full length of its value, of which it
// writes at most cap - 1 characters and a terminating NUL into value.
typedef long (*VarLookup)(void* ctx, const wchar_t* name, size_t name_len,
                          wchar_t* value, size_t cap);

// Replaces %NAME% references as the interactive command processor does: an
// undefined name stays as written and its closing % may open the next
// reference; an unterminated % stays. Returns false when the result would not
// fit in cap characters (the output then holds what fitted).
bool expand_vars(const wchar_t* in, wchar_t* out, size_t cap, VarLookup lookup,
                 void* ctx);

// ---- Prompt ----------------------------------------------------------------

// The prompt used while none is set.
extern const wchar_t kDefaultPrompt[];

// Expands the $-codes of a prompt text (case-insensitive) with the current
// directory cwd: $Q = $G > $L < $B | $S blank $P cwd $N drive $$ $ $_ CR LF
// $A & $C ( $F ) $E escape $H backspace. Unknown codes give nothing.
// The result is cut to fit cap characters.
void expand_prompt(const wchar_t* fmt, const wchar_t* cwd, wchar_t* out,
                   size_t cap);

// ---- Command parsing -------------------------------------------------------

bool is_blank_char(wchar_t c);  // blank or tab
wchar_t upper_ascii(wchar_t c);
bool equal_nocase(const wchar_t* a, const wchar_t* b, size_t n);

// Skips leading blanks, tabs and the echo-suppressing "@".
const wchar_t* skip_line_start(const wchar_t* line);

// When the line names the built-in `name` (case-insensitive) returns the text
// after the name, else null. The name must be followed by the end, a blank or
// one of the characters the command processor lets touch a built-in's name
// (".\/:;,=(+[]"), so "cd.." and "echo." are recognised but "cdx" is not.
const wchar_t* match_builtin(const wchar_t* line, const wchar_t* name);

// Lines with redirection, pipes or chained commands run as a whole in a child
// command processor.
bool has_operators(const wchar_t* line);

// When the line starts the start built-in (any case, optional leading blanks
// and tabs, "start" then a blank, tab or the end) returns its arguments with
// the separating blanks skipped, else null.
const wchar_t* start_arguments(const wchar_t* line);

// A line that only switches drive, "X:" (blanks around allowed): returns the
// letter in upper case, else 0.
wchar_t drive_switch(const wchar_t* line);

enum CdKind {
  CD_SHOW,        // cd alone: print the current directory
  CD_SHOW_DRIVE,  // cd X: alone: print that drive's directory
  CD_CHANGE,      // change to path
};

struct CdRequest {
  CdKind kind;
  bool switch_drive;  // /d given
  wchar_t drive;      // CD_SHOW_DRIVE: the letter in upper case
  wchar_t path[PIPECMD_LINE_MAX + 1];
};

// Parses the arguments of cd/chdir: an optional /d, then the path with its
// quotes removed and trailing blanks cut. Returns false when the path does
// not fit.
bool parse_cd(const wchar_t* args, CdRequest* req);

// The drive letter a path names ("X:..."), in upper case, or 0.
wchar_t path_drive(const wchar_t* path);

enum SetKind {
  SET_LIST,    // set alone: list all
  SET_PREFIX,  // set NAME: list those starting with NAME
  SET_ASSIGN,  // set NAME=value (empty value removes)
  SET_OTHER,   // options (/a, /p): left to a child command processor
  SET_BAD,     // no name before "="
};

struct SetRequest {
  SetKind kind;
  wchar_t name[PIPECMD_LINE_MAX + 1];
  wchar_t value[PIPECMD_LINE_MAX + 1];
};

// Parses the arguments of set, including the quoted form set "NAME=value".
void parse_set(const wchar_t* args, SetRequest* req);

// Orders environment entries "NAME=value" by name, case-insensitively.
bool env_entry_less(const wchar_t* a, const wchar_t* b);

// Whether the entry's name starts with prefix, case-insensitively.
bool env_entry_has_prefix(const wchar_t* entry, const wchar_t* prefix);

// Parses tasklist /NH /FI "PID eq N": returns true and the id when the line
// asks for one process by its id.
bool parse_tasklist_pid(const wchar_t* line, unsigned long* pid);

// One line of the process list: the image name padded to 25 columns, then the
// id right-aligned in 9, then CR LF. Cut to fit cap.
void format_task_line(const wchar_t* image, unsigned long pid, wchar_t* out,
                      size_t cap);

enum EchoKind { ECHO_STATE, ECHO_ON, ECHO_OFF, ECHO_TEXT };

// Parses the text after "echo": nothing (or only blanks) asks for the state,
// "on"/"off" set it, else *text is what to print: everything after the one
// separator character, so "echo." and "echo  x" print "" and " x".
EchoKind parse_echo(const wchar_t* args, const wchar_t** text);

// Parses a decimal number after optional blanks; returns false when there is
// none or anything but blanks follows.
bool parse_number(const wchar_t* s, unsigned long* value);

// ---- Own command line ------------------------------------------------------

enum InvocationKind {
  INVOKE_INTERACTIVE,  // no /c or /k: read lines from standard input
  INVOKE_RUN_AND_EXIT, // /c COMMAND
  INVOKE_RUN_AND_STAY, // /k COMMAND, then read lines
  INVOKE_MORE,         // /more [ARGS]: the pager stand-in, ARGS in *command
};

// Parses what follows the program's name on its command line, the way the
// platform's command processor does: switches (/q /d /a /u /s /t:.. /e:..
// /f:.. /v:.. in any case) up to /c or /k, whose rest is the command. With /s,
// or when the command starts with a quote and holds other than two quotes,
// the first and the last quote are removed. Returns false when the command
// does not fit cap characters.
bool parse_invocation(const wchar_t* args, InvocationKind* kind,
                      wchar_t* command, size_t cap);

// Replaces the command word "more" (also "more.com", "more.exe", any case)
// of every command of the line (at its start and behind | & ( outside
// quotes) with replacement. Returns false when the result does not fit.
bool replace_more(const wchar_t* line, const wchar_t* replacement, wchar_t* out,
                  size_t cap);

// "x | more" with nothing behind more, outside quotes: x, its blanks before
// the bar cut. This program's more passes its input through, so such a pipe
// adds only a pipeline for the platform's processor to run (Wine's runs them
// through temporary files and now and then fails one). False for any other
// line, or when x does not fit cap characters.
bool drop_final_more(const wchar_t* line, wchar_t* out, size_t cap);
