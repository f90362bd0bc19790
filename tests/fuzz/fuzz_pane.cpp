// One print into the output pane, on the pane's string model: bell, backspaces, trimming to the
// size bound, start markers, carriage-return runs and the overwrite walk, then the ruler and the
// log slicing.
#include "fuzz_text.h"
#include "pane/pane_text.h"

namespace {

void check_model(const PaneModel* m) {
    FUZZ_CHECK(m->length >= 0 && m->length < m->capacity);
    FUZZ_CHECK(m->text[m->length] == 0);
    FUZZ_CHECK(m->write_pos >= 0 && m->write_pos <= m->length);
}

void show(const PaneModel* m, void* context) {
    check_model(m);
    ++*(int*)context;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = fuzz_input(data, size);
    // A small pane exercises the cuts; a full-sized one the ordinary path.
    int capacity = fuzz_byte(&in) & 1 ? 1 + fuzz_pick(&in, 64) : 16000;
    int bound = 1 + fuzz_pick(&in, 20000);
    int beeps_max = fuzz_pick(&in, 4);
    int columns = fuzz_pick(&in, 1100) - 8;
    std::vector<wchar_t> pane = fuzz_string(&in, (size_t)capacity - 1);
    int pending = fuzz_pick(&in, 4);
    // A start marker spliced in somewhere, in either form, so that its removal is reached at all.
    const wchar_t* marker = fuzz_byte(&in) & 1 ? START_MARKER_QUOTED : START_MARKER;
    std::vector<wchar_t> print = fuzz_string(&in, 4080);
    print.insert(print.begin() + fuzz_pick(&in, (int)print.size()), marker, marker + wcslen(marker));

    int beep_count = 0;
    (void)bell_should_sound(print.data(), &beep_count, beeps_max);
    int length = remove_backspaces(print.data());
    FUZZ_CHECK(length >= 0 && (size_t)length == wcslen(print.data()));
    int added = added_size(print.data(), length);
    FUZZ_CHECK(added >= length && added - length == count_character(print.data(), 10));

    std::vector<wchar_t> model_text((size_t)capacity);
    int pane_length = (int)pane.size() - 1;
    wmemcpy(model_text.data(), pane.data(), pane.size());
    int d = trim_count(model_text.data(), pane_length, added, bound);
    FUZZ_CHECK(d >= 0 && d <= pane_length);
    wmemmove(model_text.data(), model_text.data() + d, pane_length - d + 1);
    pane_length -= d;

    int before = length, pending_before = pending;
    length = remove_start_markers(print.data(), length, &pending);
    FUZZ_CHECK(length <= before && (size_t)length == wcslen(print.data()));
    FUZZ_CHECK(pending >= 0 && pending <= pending_before);
    if (pending_before == 0) FUZZ_CHECK(length == before);
    int marker_length = 0;
    int at = find_marker_after_prompt(print.data(), &marker_length);
    FUZZ_CHECK(at >= -1 && at < length && (at < 0 || at + marker_length <= length));
    length = collapse_cr_runs(print.data(), length);
    FUZZ_CHECK((size_t)length == wcslen(print.data()));
    (void)has_bare_cr(print.data());

    PaneModel model = {model_text.data(), pane_length, capacity, pane_length, false};
    int shown = 0;
    const wchar_t* rest = apply_carriage_returns(&model, print.data(), show, &shown);
    check_model(&model);
    if (rest) {
        FUZZ_CHECK(rest >= print.data() && rest <= print.data() + length);
        model_append(&model, rest, (int)wcslen(rest));
        check_model(&model);
    }

    wchar_t tens[1100], units[1100];
    int tens_capacity = fuzz_pick(&in, 1101), units_capacity = fuzz_pick(&in, 1101);
    build_ruler(columns, tens, tens_capacity, units, units_capacity);
    if (tens_capacity > 0) FUZZ_CHECK(wcslen(tens) < (size_t)tens_capacity);
    if (units_capacity > 0) FUZZ_CHECK(wcslen(units) < (size_t)units_capacity);

    int max_units = 1 + fuzz_pick(&in, 64);
    for (int pos = 0; pos < length;) {
        int n = log_slice_length(print.data() + pos, length - pos, max_units);
        FUZZ_CHECK(n > 0 && n <= max_units && n <= length - pos);
        pos += n;
    }
    return 0;
}
