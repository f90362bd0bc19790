// A sequence of history operations (typed lines, Up, Down, F8, F7, recall) and the editing keys
// that copy from the entries, with the buffer's shape checked after each.
#include "fuzz_text.h"
#include "input/edit_keys_text.h"
#include "input/history_text.h"

namespace {

void check(const History* h) {
    FUZZ_CHECK(h->end >= 0 && h->end <= HISTORY_CHARS);
    FUZZ_CHECK(h->newest >= 0 && (h->end == 0 || h->newest < h->end));
    FUZZ_CHECK(h->cursor >= 0 && h->cursor <= h->end);
    if (h->end) FUZZ_CHECK(h->buffer[h->end - 1] == 0);
    FUZZ_CHECK(wcslen(history_at_cursor(h)) < HISTORY_CHARS);
}

void check_text(const wchar_t* out, size_t cap) { FUZZ_CHECK(wcslen(out) < cap); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = fuzz_input(data, size);
    static History h;
    history_reset(&h);
    while (fuzz_more(&in)) {
        int op = fuzz_pick(&in, 12);
        switch (op) {
        case 0:
        case 1: {
            std::vector<wchar_t> line = fuzz_string(&in, 1200);
            history_add(&h, line.data());
            break;
        }
        case 2: history_back(&h); break;
        case 3: history_forward(&h); break;
        case 4: history_cursor_to_end(&h); break;
        case 5: FUZZ_CHECK(wcslen(history_previous_command(&h)) < HISTORY_CHARS); break;
        case 6: {
            std::vector<wchar_t> line = fuzz_string(&in, 64);
            int prefix = fuzz_pick(&in, 80) - 4;
            const wchar_t* found = history_prefix_search(&h, line.data(), prefix, fuzz_byte(&in) & 1);
            if (found) FUZZ_CHECK(wcscmp(found, line.data()) != 0);
            break;
        }
        case 7: {
            static wchar_t items[HISTORY_POPUP_MAX][HISTORY_POPUP_TEXT + 8];
            int n = history_popup_items(&h, items);
            FUZZ_CHECK(n >= 0 && n <= HISTORY_POPUP_MAX);
            for (int i = 0; i < n; i++) FUZZ_CHECK(wcslen(items[i]) < HISTORY_POPUP_TEXT + 8);
            break;
        }
        case 8: (void)history_recall(&h, fuzz_pick(&in, 40)); break;
        default: {
            // The editing keys over the entry at the cursor and a typed line.
            const wchar_t* entry = history_at_cursor(&h);
            std::vector<wchar_t> line = fuzz_string(&in, 300);
            size_t line_length = (size_t)fuzz_pick(&in, 1100);
            wchar_t k = fuzz_unit(&in);
            size_t cap = 1 + (size_t)fuzz_pick(&in, EDIT_KEYS_TEXT_CHARS);
            std::vector<wchar_t> out(cap);
            (void)f1_character(entry, line_length);
            FUZZ_CHECK(wcslen(f3_text(entry, line_length)) <= wcslen(entry));
            copy_up_to(entry, line_length, k, out.data(), cap);
            check_text(out.data(), cap);
            long end = delete_up_to(line.data(), line_length, k);
            FUZZ_CHECK(end >= -1 && end <= (long)wcslen(line.data()));
            f5_text(entry, op == 9, out.data(), cap);
            check_text(out.data(), cap);
            f6_text(entry, op == 10, out.data(), cap);
            check_text(out.data(), cap);
            convert_slashes(line.data());
            FUZZ_CHECK(!wcschr(line.data(), L'/'));
            break;
        }
        }
        check(&h);
    }
    return 0;
}
