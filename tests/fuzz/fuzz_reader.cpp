// The reader's handling of the slave's output: tails held between reads, paging, incomplete
// multi-byte characters, prompt and drive-echo recognition and the title built from a prompt.
#include "fuzz_text.h"
#include "slave/reader_text.h"

namespace {

enum { TEXT_CHARS = 2048 };   // the reader's text buffer

bool odd_lead(unsigned char byte, void*) { return byte >= 0x81 && (byte & 1); }

void check_tail(const PendingTail* t) {
    FUZZ_CHECK(t->length >= 0 && t->length <= PIECE_LIMIT && t->text[t->length] == 0);
}

// Pieces come in order inside the read; UTF-16 ones are whole units, 8-bit ones hold no NUL.
struct Pieces {
    const unsigned char* read;
    int end;
};

void check_piece(const unsigned char* bytes, int count, bool utf16, void* context) {
    Pieces* p = (Pieces*)context;
    FUZZ_CHECK(count > 0 && bytes >= p->read + p->end);
    if (utf16) FUZZ_CHECK(count % 2 == 0);
    else FUZZ_CHECK(memchr(bytes, 0, (size_t)count) == nullptr);
    p->end = (int)(bytes - p->read) + count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = fuzz_input(data, size);
    int op = fuzz_pick(&in, 4);
    if (op == 0) {
        // Raw bytes of one read, with the encoding.
        ByteEncoding encoding = (ByteEncoding)fuzz_pick(&in, 4);
        std::vector<unsigned char> bytes(data + in.pos, data + size);
        int k = incomplete_tail_length(bytes.data(), (int)bytes.size(), encoding, odd_lead, nullptr);
        FUZZ_CHECK(k >= 0 && k <= (int)bytes.size());
        if (encoding == ENCODING_UTF8) FUZZ_CHECK(k <= 3);
        // The same bytes as a stream of reads through the decoding, carried as the reader does.
        StreamDecoding decoding;
        decoding_reset(&decoding);
        std::vector<unsigned char> carry;
        for (size_t at = 0; at < bytes.size();) {
            size_t chunk = 1 + (at * 7 + bytes[at]) % 48;
            if (chunk > bytes.size() - at) chunk = bytes.size() - at;
            std::vector<unsigned char> read(carry);
            read.insert(read.end(), bytes.begin() + at, bytes.begin() + at + chunk);
            at += chunk;
            Pieces pieces = {read.data(), 0};
            int count = (int)read.size();
            int keep = decode_read(read.data(), count, &decoding, at < bytes.size(), encoding, odd_lead, nullptr,
                                   check_piece, &pieces);
            FUZZ_CHECK(keep >= 0 && keep <= DECODE_KEEP_MAX && pieces.end <= count - keep);
            carry.assign(read.end() - keep, read.end());
        }
        return 0;
    }
    if (op == 1) {
        // Reads of a stream, each through the tail, the hold and the pager, as the reader does.
        PendingTail self, other;
        tail_clear(&self);
        tail_clear(&other);
        int lines_left = fuzz_pick(&in, 40);
        while (fuzz_more(&in)) {
            bool paging = fuzz_byte(&in) & 1, more = fuzz_byte(&in) & 1;
            std::vector<wchar_t> piece = fuzz_string(&in, PIECE_LIMIT);
            std::vector<wchar_t> other_text = fuzz_string(&in, 8);
            int m = (int)other_text.size() - 1;
            wmemcpy(other.text, other_text.data(), m + 1);
            other.length = m;
            int crs = 0;
            while (crs < m && other_text[crs] == 13) crs++;
            other.line_feed_owed = false;
            int taken = take_leading_line_break(&other);
            // Carriage returns alone are taken whole as one "\r\n" whose line feed is still owed.
            if (crs > 0 && crs == m)
                FUZZ_CHECK(taken == 2 && other.length == 0 && other.line_feed_owed);
            else
                FUZZ_CHECK(taken >= 0 && taken <= 2 && other.length == m - taken && !other.line_feed_owed);
            check_tail(&other);

            wchar_t text[TEXT_CHARS];
            int n = tail_to_text(&self, text, TEXT_CHARS);
            FUZZ_CHECK(self.length == 0 && n >= 0 && n <= PIECE_LIMIT);
            if (n < PIECE_LIMIT) {
                int room = PIECE_LIMIT - n;
                int add = (int)piece.size() - 1 < room ? (int)piece.size() - 1 : room;
                wmemcpy(text + n, piece.data(), add);
                n += add;
                text[n] = 0;
                n = hold_unfinished(text, n, &self, more);
                FUZZ_CHECK(n >= 0 && n <= PIECE_LIMIT && text[n] == 0);
                check_tail(&self);
                if (paging) {
                    if (lines_left == 0) lines_left = fuzz_pick(&in, 40);
                    n = page_text(text, n, TEXT_CHARS, &self, &lines_left);
                    FUZZ_CHECK(n >= 0 && n < TEXT_CHARS && text[n] == 0 && lines_left >= 0);
                    check_tail(&self);
                }
            }
        }
        return 0;
    }
    if (op == 2) {
        // Prompt, drive echo and title on one piece of output.
        int value_capacity = fuzz_pick(&in, 300);
        wchar_t tracked = fuzz_unit(&in);
        std::vector<wchar_t> base = fuzz_string(&in, 300);
        std::vector<wchar_t> text = fuzz_string(&in, PIECE_LIMIT);
        int length = (int)text.size() - 1;
        int dir_start, dir_length;
        bool starts_line = fuzz_byte(&in) & 1;
        int k = parse_prompt(text.data(), length, starts_line, &dir_start, &dir_length);
        FUZZ_CHECK(k >= 0 && k <= length);
        if (dir_start >= 0) FUZZ_CHECK(dir_length >= 0 && dir_start + dir_length <= length);
        std::vector<wchar_t> value(value_capacity > 0 ? value_capacity : 1);
        wchar_t letter = 0;
        if (parse_drive_echo(text.data(), tracked, &letter, value.data(), value_capacity))
            FUZZ_CHECK(wcslen(value.data()) < (size_t)value_capacity);
        // The same text shown to the prompt watch in pieces of every size.
        PromptWatch watch;
        watch_reset(&watch);
        for (int at = 0, chunk = 1; at < length; at += chunk, chunk = chunk % 97 + 13) {
            if (chunk > length - at) chunk = length - at;
            watch_shown(&watch, text.data() + at, chunk);
            FUZZ_CHECK(watch.recent_length >= 0 && watch.recent_length <= RECENT_OUTPUT_CHARS);
            FUZZ_CHECK(watch.recent[watch.recent_length] == 0);
            if (watch_take_drive_echo(&watch, tracked, &letter, value.data(), value_capacity))
                FUZZ_CHECK(watch.recent_length == 0);
            watch_prompt_line(&watch, (at * 31 + chunk) % 700);
        }
        int title_capacity = fuzz_pick(&in, 400);
        std::vector<wchar_t> title(title_capacity > 0 ? title_capacity : 1);
        std::vector<wchar_t> directory(text);
        if (dir_start >= 0) {
            directory.assign(text.begin() + dir_start, text.begin() + dir_start + dir_length);
            directory.push_back(0);
        }
        build_prompt_title(base.data(), directory.data(), title.data(), title_capacity);
        append_logging_indicators(title.data(), title_capacity, fuzz_byte(&in) & 1, fuzz_byte(&in) & 1);
        if (title_capacity > 0) FUZZ_CHECK(wcslen(title.data()) < (size_t)title_capacity);
        return 0;
    }
    // A tail filled to the brim, then paged with everything the text can take.
    PendingTail tail;
    std::vector<wchar_t> held = fuzz_string(&in, PIECE_LIMIT);
    wmemcpy(tail.text, held.data(), held.size());
    tail.length = (int)held.size() - 1;
    std::vector<wchar_t> piece = fuzz_string(&in, TEXT_CHARS - 1);
    wchar_t text[TEXT_CHARS];
    wmemcpy(text, piece.data(), piece.size());
    int lines_left = fuzz_pick(&in, 100);
    int n = page_text(text, (int)piece.size() - 1, TEXT_CHARS, &tail, &lines_left);
    FUZZ_CHECK(n >= 0 && n < TEXT_CHARS && text[n] == 0);
    check_tail(&tail);
    return 0;
}
