#include "slave/reader_text.h"
#include <string.h>
#include <wchar.h>
#include <wctype.h>

void tail_clear(PendingTail* tail) {
    tail->length = 0;
    tail->text[0] = 0;
    tail->line_feed_owed = false;
}

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
}

// Whether UTF-16LE starts at b[i]: 1 yes (*mark = the bytes of a byte-order mark to skip), 0 no,
// -1 when the bytes end before that can be told.
static int utf16_starts(const unsigned char* b, int count, int i, int* mark) {
    *mark = 0;
    if (i + 1 < count && b[i] == 0xFF && b[i + 1] == 0xFE) {
        *mark = 2;
        return 1;
    }
    if (i + 1 == count && b[i] == 0xFF) return -1;
    for (int k = 0; k < 2 * UTF16_RUN_PAIRS; k++) {
        if (i + k == count) return -1;
        bool nul = b[i + k] == 0;
        if (nul != (k % 2 == 1)) return 0;
    }
    return 1;
}

static bool is_ascii_letter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Where the 8-bit text after a UTF-16 run from i begins: the line break before the slave's prompt,
// or -1 when no prompt is in the bytes.
static int prompt_line_start(const unsigned char* b, int count, int i) {
    for (int at = i; at + 2 < count; at++) {
        if (!is_ascii_letter(b[at]) || b[at + 1] != ':' || b[at + 2] != '\\') continue;
        int q = at;
        while (q > i && b[q - 1] != 0 && b[q - 1] != '\n') q--;
        while (q > i && (b[q - 1] == '\n' || b[q - 1] == '\r')) q--;
        return q;
    }
    return -1;
}

int decode_read(unsigned char* bytes, int count, StreamDecoding* decoding, bool more_waiting, ByteEncoding encoding,
                LeadByteTest is_lead_byte, void* lead_context, DecodedPiece piece, void* piece_context) {
    int i = 0, keep = 0;
    while (i < count) {
        if (decoding->utf16) {
            int end = prompt_line_start(bytes, count, i);
            bool prompt = end >= 0;
            if (!prompt) {
                end = count;
                // The start of an 8-bit line may be the prompt, cut off by the end of the read.
                int plain = 0;
                while (plain < end - i && bytes[end - 1 - plain] != 0) plain++;
                if (more_waiting && plain <= DECODE_KEEP_MAX - 1) end -= plain;
            }
            if ((end - i) % 2) end += prompt ? 1 : -1;   // a UTF-16 unit is never split
            if (end > count) end = count;
            if (end > i) piece(bytes + i, end - i, true, piece_context);
            i = end;
            if (!prompt) {
                keep = count - end;
                break;
            }
            decoding->utf16 = false;
            decoding->mid_line = true;
            continue;
        }
        int start = i, w = i;
        while (i < count) {
            if (!decoding->mid_line) {
                int mark = 0, starts = utf16_starts(bytes, count, i, &mark);
                if (starts < 0 && more_waiting) break;
                if (starts > 0) {
                    decoding->utf16 = true;
                    break;
                }
            }
            unsigned char c = bytes[i++];
            decoding->mid_line = c != '\n';
            if (c == 0) continue;   // a stray NUL is dropped, the rest of the read kept
            bytes[w++] = c;
        }
        int cut = 0;
        if (i == count && !decoding->utf16) {
            cut = incomplete_tail_length(bytes + start, w - start, encoding, is_lead_byte, lead_context);
            if (cut > DECODE_KEEP_MAX) cut = 0;
        }
        if (w - cut > start) piece(bytes + start, w - cut - start, false, piece_context);
        if (decoding->utf16) {
            int mark = 0;
            utf16_starts(bytes, count, i, &mark);
            i += mark;
            continue;
        }
        // What is handed on moves to the end: the caller takes it from there.
        keep = cut + (count - i);
        if (keep > DECODE_KEEP_MAX) keep = DECODE_KEEP_MAX;
        memmove(bytes + count - keep, bytes + w - cut, cut);
        break;
    }
    return keep;
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

void watch_reset(PromptWatch* watch) {
    watch->mid_line = false;
    watch->recent_length = 0;
    watch->recent[0] = 0;
}

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
