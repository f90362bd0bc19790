#include "slave/reader_text.h"
#include <string.h>
#include <wchar.h>
#include <wctype.h>

void tail_clear(PendingTail* tail) { tail->length = 0; tail->text[0] = 0; tail->line_feed_owed = false; }

// Replaces the tail with length characters of from (never more than a tail may hold).
static void tail_set(PendingTail* tail, const wchar_t* from, int length) {
    if (length > PIECE_LIMIT) length = PIECE_LIMIT;
    wmemmove(tail->text, from, length);
    tail->length = length;
    tail->text[length] = 0;
}

int take_leading_line_break(PendingTail* other) {
    int n = 0, crs = 0;
    while (crs < other->length && other->text[crs] == 13) crs++;
    if (crs > 0 && crs == other->length) {
        tail_set(other, other->text, 0);
        other->line_feed_owed = true;
        return 2;
    }
    if (other->length >= 2 && other->text[0] == 13 && other->text[1] == 10) n = 2;
    else if (other->length >= 1 && other->text[0] == 10) n = 1;
    if (n) tail_set(other, other->text + n, other->length - n);
    return n;
}

int drop_owed_line_feed(PendingTail* tail, wchar_t* text, int length) {
    if (length == 0) return 0;
    bool owed = tail->line_feed_owed;
    tail->line_feed_owed = false;
    if (!owed || text[0] != 10) return length;
    wmemmove(text, text + 1, length);
    return length - 1;
}

int tail_to_text(PendingTail* tail, wchar_t* text, int capacity) {
    int n = tail->length < capacity - 1 ? tail->length : capacity - 1;
    if (n < 0) n = 0;
    wmemcpy(text, tail->text, n);
    if (capacity > 0) text[n] = 0;
    tail_set(tail, tail->text, 0);   // a line feed still owed stays owed
    return n;
}

static int last_index_of(const wchar_t* text, int length, wchar_t c) {
    for (int i = length - 1; i >= 0; i--) if (text[i] == c) return i;
    return -1;
}

int hold_unfinished(wchar_t* text, int length, PendingTail* tail, bool more_waiting) {
    // The whole run: held back one by one, the rest of a split "\r\r\n" would print a blank line.
    int crs = 0;
    while (crs < length && text[length - 1 - crs] == 13) crs++;
    if (crs > 0) {
        tail_set(tail, text + length - crs, crs);
        length -= crs;
        text[length] = 0;
        return length;
    }
    if (!more_waiting) return length;
    int lf = last_index_of(text, length, 10);
    if (lf < 0) return length;
    int cut = lf > 0 && text[lf - 1] == 13 ? lf - 1 : lf;
    // A whole read that is one line break and one unfinished line is printed rather than held,
    // so the tail can never fill up without anything being printed.
    if ((cut != 0 || length < PIECE_LIMIT) && length - cut <= PIECE_LIMIT) {
        tail_set(tail, text + cut, length - cut);
        length = cut;
        text[length] = 0;
    }
    return length;
}

int page_text(wchar_t* text, int length, int capacity, PendingTail* tail, int* lines_left) {
    int count = 0;
    for (int i = 0; i < length; i++) count += text[i] == 10;
    if (count <= *lines_left) {
        *lines_left -= count;
        return length;
    }
    // A leading line break ends the line shown before; the page counts the lines behind it.
    int pos = length >= 2 && text[0] == 13 && text[1] == 10 ? 1 : 0;
    bool moved = false;
    while (*lines_left > 0) {
        int next = -1;
        for (int i = pos + 1; i < length; i++) if (text[i] == 10) { next = i; break; }
        if (next < 0) break;
        pos = next;
        (*lines_left)--;
        moved = true;
    }
    int cut = moved ? (text[pos - 1] == 13 ? pos - 1 : pos) : 0;
    // What was already held comes after the cut-off part.
    int room = capacity - 1 - length;
    int add = tail->length < room ? tail->length : (room > 0 ? room : 0);
    wmemcpy(text + length, tail->text, add);
    length += add;
    text[length] = 0;
    if (length - cut > PIECE_LIMIT) cut = length - PIECE_LIMIT;
    tail_set(tail, text + cut, length - cut);
    text[cut] = 0;
    *lines_left = 0;
    return cut;
}

static int utf8_incomplete(const unsigned char* b, int count) {
    for (int i = 1; i <= 3 && i <= count; i++) {
        unsigned char c = b[count - i];
        if ((c & 0xC0) == 0x80) continue;
        int need = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
        return i < need ? i : 0;
    }
    return 0;
}

static int double_byte_incomplete(const unsigned char* b, int count, LeadByteTest is_lead, void* context) {
    if (!is_lead) return 0;
    for (int i = 0; i < count;) {
        if (!is_lead(b[i], context)) { i++; continue; }
        if (i + 1 == count) return 1;
        i += 2;
    }
    return 0;
}

static int gb18030_incomplete(const unsigned char* b, int count) {
    for (int i = 0; i < count;) {
        unsigned char c = b[i];
        if (c < 0x81 || c == 0xFF) { i++; continue; }
        if (i + 1 >= count) return count - i;
        bool four = b[i + 1] >= 0x30 && b[i + 1] <= 0x39;
        int size = four ? 4 : 2;
        if (i + size > count) return count - i;
        i += size;
    }
    return 0;
}

int incomplete_tail_length(const unsigned char* bytes, int count, ByteEncoding encoding,
                           LeadByteTest is_lead_byte, void* context) {
    if (count <= 0) return 0;
    switch (encoding) {
    case ENCODING_UTF8: return utf8_incomplete(bytes, count);
    case ENCODING_DOUBLE_BYTE: return double_byte_incomplete(bytes, count, is_lead_byte, context);
    case ENCODING_GB18030: return gb18030_incomplete(bytes, count);
    default: return 0;
    }
}

void decoding_reset(StreamDecoding* decoding) {
    decoding->utf16 = false;
    decoding->mid_line = false;
    decoding->utf16_line_end = 0;
}

// The script of a byte pair where a UTF-16LE unit would be, when 8-bit text would not hold it: 0
// for an ASCII character (a byte and a NUL), else its high byte when that is a control code (Latin
// extensions, Greek, Cyrillic, Hebrew, Arabic, Thai, Georgian, Hangul jamo, Vietnamese and more).
// -1 for any other pair, and for the high bytes of bell, backspace, tab, line feed, vertical tab,
// form feed, carriage return and escape, which 8-bit text holds.
static int utf16_script(unsigned char low, unsigned char high) {
    if (high == 0) return low >= 0x20 && low < 0x7F ? 0 : -1;
    return high < 0x20 && (high < 0x07 || high > 0x0D) && high != 0x1B ? high : -1;
}

// Whether UTF-16LE starts at the line start b[i]: 1 yes (*mark = the bytes of a byte-order mark to
// skip), 0 no, -1 when the bytes end before that can be told. Text of any language in UTF-16LE
// has, within its first units, a run of ASCII characters (blanks, digits, punctuation) and
// characters of one script whose high byte is a control code, or its line end (0D 00 0A 00); CJK
// text alone has neither for a few characters, so the look goes UTF16_LOOK_UNITS units ahead.
// Binary output seldom has such a run: its high bytes change from unit to unit. An 8-bit line end
// or a unit of two NULs says no at once.
static int utf16_starts(const unsigned char* b, int count, int i, int* mark) {
    *mark = 0;
    if (i + 1 < count && b[i] == 0xFF && b[i + 1] == 0xFE) {
        *mark = 2;
        return 1;
    }
    int run = 0, run_script = 0;
    for (int at = i; at < i + 2 * UTF16_LOOK_UNITS; at += 2) {
        if (at + 1 >= count) return -1;
        unsigned char low = b[at], high = b[at + 1];
        bool next_is_line_feed = at + 2 < count && b[at + 2] == '\n';
        if ((low == '\r' && high == '\n') || (high == '\r' && next_is_line_feed) || (low == 0 && high == 0)) return 0;
        if (low == '\r' && high == 0 && next_is_line_feed && at + 3 < count && b[at + 3] == 0) return 1;
        int script = utf16_script(low, high);
        if (script < 0 || (script && run_script && script != run_script)) run = 0, run_script = 0;
        if (script < 0) continue;
        if (script) run_script = script;
        if (++run == UTF16_EVIDENCE_UNITS) return 1;
    }
    return 0;
}

// The line break and the start of the prompt the slave is given ("prompt $Q$Q$G$S...").
static const char PROMPT_LINE_START[] = "\r\n==> ";
enum { PROMPT_LINE_START_BYTES = 6 };

// Where the UTF-16 part from i ends, in whole units, and *eight_bit whether the slave's 8-bit text
// begins there: at a carriage return and line feed where a unit would be, or, when 8-bit text of
// an odd length came after the tool's output (wsl -l & echo x), at the unit before the line breaks
// that lead to the slave's prompt, taking the byte before them for 8-bit text. Otherwise at the end
// of the bytes, or where such a prompt may begin when the read cuts it off while more is waiting
// (*eight_bit false: the rest is handed on).
static int utf16_run_end(const unsigned char* b, int count, int i, bool more_waiting, bool* eight_bit) {
    *eight_bit = false;
    for (int at = i; at + 1 < count; at += 2) {
        if (b[at] == '\r' && b[at + 1] == '\n') {
            *eight_bit = true;
            return at;
        }
        int n = count - (at + 1) < PROMPT_LINE_START_BYTES ? count - (at + 1) : PROMPT_LINE_START_BYTES;
        if (memcmp(b + at + 1, PROMPT_LINE_START, n) != 0 || (n < PROMPT_LINE_START_BYTES && !more_waiting)) continue;
        // The line breaks before it are the slave's too, and the byte before them its text.
        while (at - 2 >= i && count - (at - 2) <= DECODE_KEEP_MAX && b[at - 1] == '\r' && b[at] == '\n') at -= 2;
        *eight_bit = n == PROMPT_LINE_START_BYTES;
        return at;
    }
    return count - (count - i) % 2;
}

static const unsigned char UTF16_LINE_END[] = {'\r', 0, '\n', 0};

int decode_read(unsigned char* bytes, int count, StreamDecoding* decoding, bool more_waiting, ByteEncoding encoding,
                LeadByteTest is_lead_byte, void* lead_context, DecodedPiece piece, void* piece_context) {
    int i = 0;
    while (i < count) {
        if (decoding->utf16) {
            bool eight_bit = false;
            int end = utf16_run_end(bytes, count, i, more_waiting, &eight_bit);
            if (end > i) piece(bytes + i, end - i, true, piece_context);
            i = end;
            if (!eight_bit) break;   // a unit's first byte, or the start of the prompt, waits for the rest
            decoding->utf16 = false;
            decoding->mid_line = true;   // the line break is the slave's own, in 8-bit text
            continue;
        }
        int start = i, w = i, skip = 0;
        while (i < count) {
            // A UTF-16 line end that came as 8-bit text (its line was not recognised): the next
            // line is UTF-16 too, and its NUL the last byte of that line end.
            if (decoding->utf16_line_end == 3 && bytes[i] == 0) {
                skip = 1;
                decoding->utf16 = true;
                break;
            }
            if (!decoding->mid_line) {
                int starts = utf16_starts(bytes, count, i, &skip);
                if (starts < 0 && more_waiting) break;
                if (starts > 0) {
                    decoding->utf16 = true;
                    break;
                }
            }
            unsigned char c = bytes[i++];
            int seen = decoding->utf16_line_end;
            decoding->utf16_line_end = seen < 3 && c == UTF16_LINE_END[seen] ? seen + 1 : c == '\r';
            decoding->mid_line = c != '\n';
            if (c) bytes[w++] = c;   // a stray NUL is dropped, the rest of the read kept
        }
        int cut = 0;
        if (i == count) cut = incomplete_tail_length(bytes + start, w - start, encoding, is_lead_byte, lead_context);
        if (w - cut > start) piece(bytes + start, w - cut - start, false, piece_context);
        if (decoding->utf16) {
            decoding->utf16_line_end = 0;
            i += skip;
            continue;
        }
        // What is handed on moves to the end: the caller takes it from there. It is the rest of a
        // character (cut, at most 3) or a line start not told yet (shorter than the look).
        memmove(bytes + i - cut, bytes + w - cut, cut);
        return cut + (count - i);
    }
    return count - i;
}

static unsigned char lower_ascii(unsigned char c) { return c >= 'A' && c <= 'Z' ? (unsigned char)(c + 32) : c; }
static bool is_blank_byte(unsigned char c) { return c == ' ' || c == '\t'; }

void chcp_echo_clear(ChcpEcho* echo) { echo->length = 0; echo->matched = 0; }

bool chcp_echo_await(ChcpEcho* echo, const char* line, int code_page) {
    chcp_echo_clear(echo);
    int n = 0;
    for (const unsigned char* p = (const unsigned char*)line; *p && *p != '\r' && *p != '\n'; p++) {
        bool blank = is_blank_byte(*p);
        if (blank && (n == 0 || echo->line[n - 1] == ' ')) continue;
        if (n == CHCP_ECHO_MAX) return false;
        echo->line[n++] = blank ? ' ' : (char)lower_ascii(*p);
    }
    if (n > 0 && echo->line[n - 1] == ' ') n--;
    if (n == 0) return false;
    echo->length = n;
    echo->code_page = code_page;
    return true;
}

int chcp_echo_find(ChcpEcho* echo, const unsigned char* bytes, int count) {
    if (echo->length == 0) return -1;
    for (int i = 0; i < count; i++) {
        unsigned char c = lower_ascii(bytes[i]);
        int m = echo->matched;
        if (m == echo->length) {
            // The whole line: blanks and a carriage return may come before its line feed.
            if (c == '\n') {
                echo->length = 0;
                echo->matched = 0;
                return i + 1;
            }
            if (is_blank_byte(c) || c == '\r') continue;
        } else if (c == (unsigned char)echo->line[m] || (echo->line[m] == ' ' && is_blank_byte(c))) {
            echo->matched = m + 1;
            continue;
        } else if (m > 0 && echo->line[m - 1] == ' ' && is_blank_byte(c)) {
            continue;   // more of a run of blanks
        }
        echo->matched = c == (unsigned char)echo->line[0] ? 1 : 0;
    }
    return -1;
}

int parse_prompt(const wchar_t* text, int length, bool starts_line, int* dir_start, int* dir_length) {
    *dir_start = *dir_length = -1;
    int lf = last_index_of(text, length, 10);
    if (lf < 0 && !starts_line) return 0;
    int colon = -1;
    for (int i = lf + 1; i < length; i++) if (text[i] == ':') { colon = i; break; }
    if (colon <= lf + 1) return 0;
    if (!iswalpha((wint_t)text[colon - 1]) || colon + 1 >= length || text[colon + 1] != '\\') return 0;
    int start = colon - 1;
    for (int i = start; i < length; i++) {
        if (text[i] == '>') {
            *dir_start = start;
            *dir_length = i - start;
            break;
        }
    }
    // Without a line feed only a whole prompt counts: a path alone may be any line's beginning.
    if (lf < 0 && *dir_start < 0) return 0;
    return length - lf - (lf < 0);
}

static bool is_blank(wchar_t c) { return (unsigned long)c <= 32; }

// The echo at c ("cd X:" and its answer); see parse_drive_echo.
static bool drive_echo_at(const wchar_t* c, wchar_t tracked_first, wchar_t* letter, wchar_t* value,
                          int value_capacity) {
    // Checked in order, so the terminator stops the test before it is passed.
    wint_t drive = towupper((wint_t)c[3]);
    if (!iswalpha((wint_t)c[3]) || c[4] != ':' || c[5] != 13 || c[6] != 10) return false;
    if (towupper((wint_t)c[7]) != drive || c[8] != ':' || c[9] != '\\') return false;
    if (drive == towupper((wint_t)tracked_first)) return false;
    const wchar_t* cr = wcschr(c + 7, 13);
    if (!cr) return false;
    const wchar_t* end = cr;
    while (end > c + 7 && is_blank(end[-1])) end--;
    int n = (int)(end - (c + 7));
    if (n >= value_capacity) return false;
    wmemcpy(value, c + 7, n);
    value[n] = 0;
    *letter = (wchar_t)drive;
    return true;
}

bool parse_drive_echo(const wchar_t* text, wchar_t tracked_first, wchar_t* letter, wchar_t* value,
                      int value_capacity) {
    if (wcsncmp(text, L"cd ", 3) == 0 && drive_echo_at(text, tracked_first, letter, value, value_capacity))
        return true;
    // Lines typed ahead give one echo after another: each is looked at.
    for (const wchar_t* p = wcsstr(text, L"> cd "); p; p = wcsstr(p + 1, L"> cd "))
        if (drive_echo_at(p + 2, tracked_first, letter, value, value_capacity)) return true;
    return false;
}

void watch_reset(PromptWatch* watch) { watch->mid_line = false; watch->recent_length = 0; watch->recent[0] = 0; }

bool watch_shown(PromptWatch* watch, const wchar_t* text, int length) {
    bool starts_line = !watch->mid_line;
    if (length <= 0) return starts_line;
    watch->mid_line = text[length - 1] != 10;
    int old = watch->recent_length, total = old + length;
    int drop = total > RECENT_OUTPUT_CHARS ? total - RECENT_OUTPUT_CHARS : 0;
    if (drop > 0) {
        // On to the next line start: what is kept begins a line.
        while (drop < total && (drop <= old ? watch->recent[drop - 1] : text[drop - 1 - old]) != 10) drop++;
    }
    if (drop < old) {
        wmemmove(watch->recent, watch->recent + drop, old - drop);
        wmemcpy(watch->recent + old - drop, text, length);
    } else {
        wmemcpy(watch->recent, text + (drop - old), total - drop);
    }
    watch->recent_length = total - drop;
    watch->recent[watch->recent_length] = 0;
    return starts_line;
}

bool watch_take_drive_echo(PromptWatch* watch, wchar_t tracked_first, wchar_t* letter, wchar_t* value,
                           int value_capacity) {
    if (!parse_drive_echo(watch->recent, tracked_first, letter, value, value_capacity)) return false;
    watch->recent_length = 0;
    watch->recent[0] = 0;
    return true;
}

void watch_prompt_line(PromptWatch* watch, int k) {
    if (k <= 0 || k >= watch->recent_length) return;
    wmemmove(watch->recent, watch->recent + watch->recent_length - k, k);
    watch->recent_length = k;
    watch->recent[k] = 0;
}

// Appends src, cut to fit the capacity (terminator included).
static void append_bounded(wchar_t* dst, int capacity, const wchar_t* src) {
    if (capacity <= 0) return;
    int n = 0;
    while (n < capacity - 1 && dst[n]) n++;
    while (n < capacity - 1 && *src) dst[n++] = *src++;
    dst[n] = 0;
}

void build_prompt_title(const wchar_t* base, const wchar_t* directory, wchar_t* title, int capacity) {
    if (capacity <= 0) return;
    title[0] = 0;
    append_bounded(title, capacity, base);
    const wchar_t* last = wcsrchr(directory, '\\');
    if (!last) return;
    int length = (int)wcslen(directory);
    int at = (int)(last - directory);
    if (length - at < 10) {
        for (int j = at - 1; j >= 0; j--) if (directory[j] == '\\') { at = j; break; }
    }
    if (at > 2) {
        append_bounded(title, capacity, L"  ...");
        append_bounded(title, capacity, directory + at);
    } else {
        append_bounded(title, capacity, L"  ");
        append_bounded(title, capacity, directory);
    }
}

void append_logging_indicators(wchar_t* title, int capacity, bool output_log, bool error_log) {
    if (output_log) append_bounded(title, capacity, L"  Logging output");
    if (error_log) append_bounded(title, capacity, L"  Logging stderr");
}
