// How the slave's output becomes printable pieces: pending tails, paging cuts, incomplete multi-byte
// sequences, prompt recognition and the window title. Functions over plain buffers, no window system.
#pragma once

enum {
    PIECE_LIMIT = 1020,          // characters of one read's text, tail included
};

// A pipe's pending text: read but not printed yet.
struct PendingTail {
    wchar_t text[1024];
    int length;
    bool line_feed_owed;   // its carriage returns were printed as a line break: a line feed next completes it
};

void tail_clear(PendingTail* tail);

// Takes the line break at the start of the other stream's tail ("\r\n" or "\n") out of it and
// returns its length (0 when there is none), so that it can be printed before this stream's text.
// A tail of carriage returns alone is a line end whose line feed has not come yet: it counts as
// "\r\n", and the line feed is dropped when it comes (drop_owed_line_feed).
int take_leading_line_break(PendingTail* other);

// At the start of a stream's next text: drops the line feed its tail still owed. Returns the length.
int drop_owed_line_feed(PendingTail* tail, wchar_t* text, int length);

// Moves the tail to the start of text (capacity in characters) and empties it; returns the length.
int tail_to_text(PendingTail* tail, wchar_t* text, int capacity);

// After a read: the carriage returns at the end wait in the tail (their line feed may follow); otherwise, while more output
// is waiting, the last line break and the unfinished line behind it wait there. Returns the length
// of the text left to print.
int hold_unfinished(wchar_t* text, int length, PendingTail* tail, bool more_waiting);

// Paging: shows at most *lines_left line feeds' worth of text; what is cut off goes back into the
// tail (after anything already in it). Returns the length of the text left to print.
int page_text(wchar_t* text, int length, int capacity, PendingTail* tail, int* lines_left);

// Multi-byte encodings whose characters can be split between two reads.
enum ByteEncoding { ENCODING_SINGLE_BYTE, ENCODING_UTF8, ENCODING_DOUBLE_BYTE, ENCODING_GB18030 };
typedef bool (*LeadByteTest)(unsigned char byte, void* context);

// Number of bytes at the end of the buffer that start a character not finished yet (0 when the buffer
// ends on a character boundary or its end is malformed anyway). The lead-byte test is used for
// double-byte encodings, which are scanned from the buffer's start.
int incomplete_tail_length(const unsigned char* bytes, int count, ByteEncoding encoding,
                           LeadByteTest is_lead_byte, void* context);

// How a stream's bytes are decoded. Most output is 8-bit text in the code page, but some tools
// (wmic, wsl, cmd /u and others) write UTF-16LE into a pipe, often after a byte-order mark. Such
// output is recognised at a line start, whatever its language (see utf16_starts in
// reader_text.cpp), and is taken as UTF-16LE until the 8-bit line break that the slave writes
// before its prompt.
struct StreamDecoding {
    bool utf16;           // UTF-16LE until the slave's next 8-bit line break
    bool mid_line;        // the bytes so far end inside a line (false at the start)
    int utf16_line_end;   // how much of a UTF-16 line end (0D 00 0A 00) the 8-bit bytes end with
};

enum {
    UTF16_LOOK_UNITS = 16,       // how far into a line its start looks for UTF-16LE
    UTF16_EVIDENCE_UNITS = 3,    // units in a row there that 8-bit text would not hold: UTF-16LE
    DECODE_KEEP_MAX = 2 * UTF16_LOOK_UNITS,   // the most a read hands on to the next one
};

void decoding_reset(StreamDecoding* decoding);

// One piece of a read to be converted: 8-bit text in the code page, or UTF-16LE (an even count).
typedef void (*DecodedPiece)(const unsigned char* bytes, int count, bool utf16, void* context);

// Splits one read's bytes (in place: an 8-bit piece loses its stray NUL bytes, never the rest of
// the read) into pieces, in order, and returns how many bytes at its end are handed on to the next
// read (at most DECODE_KEEP_MAX): the bytes of a character not finished yet, or, while more is
// waiting, a line start that can't be told yet. The UTF-16 part runs in whole units and ends at a
// carriage return and a line feed where a unit would be, the line break the slave writes before its
// prompt (as a unit, U+0A0D, it is no character), or, after 8-bit text of an odd length, at the line
// breaks before the slave's "==> ".
int decode_read(unsigned char* bytes, int count, StreamDecoding* decoding, bool more_waiting, ByteEncoding encoding,
                LeadByteTest is_lead_byte, void* lead_context, DecodedPiece piece, void* piece_context);

// Where a code page the slave has been told takes effect in its output: cmd switches when it runs
// the CHCP line, after it has echoed it, so what comes before the end of that echo is still in the
// old page. The line is kept in ASCII lower case, trimmed, with each run of blanks as one.
enum { CHCP_ECHO_MAX = 16 };
struct ChcpEcho {
    char line[CHCP_ECHO_MAX];
    int length;    // 0: no echo awaited
    int matched;   // of line, then its line end, in the output so far
    int code_page;
};

// Awaits the echo of line (its line end, if any, is not part of it). False, with nothing awaited,
// when the line is empty or too long to be a CHCP line.
bool chcp_echo_await(ChcpEcho* echo, const char* line, int code_page);
void chcp_echo_clear(ChcpEcho* echo);
// Looks for the awaited echo, followed by blanks and its line end, in the next bytes of the
// output; a match may span reads. Returns the offset just past the line feed, where the new page
// begins (the echo is then no longer awaited), or -1.
int chcp_echo_find(ChcpEcho* echo, const unsigned char* bytes, int count);

// Prompt recognition on one piece of standard output. Returns k, the characters from the last line
// feed (included) to the end when the last line holds a drive-letter path, else 0. A piece without a
// line feed that starts a line (starts_line: what was shown before it ended with one) is a last line
// too, and a prompt when its path is followed by ">" (k is then the whole piece): the slave's line
// break and its prompt are separate writes, and a read may fall between them. *dir_start and
// *dir_length give the directory (the letter up to the ">"), or -1 when there is none.
int parse_prompt(const wchar_t* text, int length, bool starts_line, int* dir_start, int* dir_length);

// The echo of a cd naming only another drive ("cd X:", line end, that drive's directory), at the
// text's start or after a prompt's "> ": true with the drive letter in upper case and the directory
// (trailing blanks removed) when it fits value_capacity.
bool parse_drive_echo(const wchar_t* text, wchar_t tracked_first, wchar_t* letter, wchar_t* value,
                      int value_capacity);

// What prompt tracking keeps of standard output from one piece to the next, since the reads fall
// where they fall: whether the last character shown ended a line, and the lines shown since the
// last prompt line began, where a cd's echo and the answer after it are looked for.
enum { RECENT_OUTPUT_CHARS = 600 };   // a prompt line, a cd echo and a 260-character answer
struct PromptWatch {
    bool mid_line;                            // the last character shown did not end a line
    wchar_t recent[RECENT_OUTPUT_CHARS + 1];  // whole lines only: a line cut at its start would lie
    int recent_length;
};

void watch_reset(PromptWatch* watch);
// A piece of standard output has been shown; returns whether it started a line.
bool watch_shown(PromptWatch* watch, const wchar_t* text, int length);
// The piece shown last ended with a prompt line of k characters: what came before it is done with.
void watch_prompt_line(PromptWatch* watch, int k);
// parse_drive_echo on the lines shown since the last prompt; an echo found is taken, never twice.
bool watch_take_drive_echo(PromptWatch* watch, wchar_t tracked_first, wchar_t* letter, wchar_t* value,
                           int value_capacity);

// The title for a prompt: base title, then the directory, shortened to "  ..." and its last one or
// two components when that starts more than two characters in.
void build_prompt_title(const wchar_t* base, const wchar_t* directory, wchar_t* title, int capacity);

void append_logging_indicators(wchar_t* title, int capacity, bool output_log, bool error_log);
