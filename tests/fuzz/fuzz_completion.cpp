// Finding the word name completion works on, the directory-only commands, executable names and
// the pane's double-click word selection.
#include "fuzz_text.h"
#include "input/completion_text.h"
#include "input/edit_keys_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = fuzz_input(data, size);
    std::vector<wchar_t> line = fuzz_string(&in, COMPLETION_LINE_CHARS + 100);
    std::vector<wchar_t> extensions = fuzz_string(&in, 300);
    std::vector<wchar_t> delimiters = fuzz_string(&in, 40);
    size_t length = line.size() - 1;

    static CompletionWord word;
    find_completion_word(line.data(), &word);
    FUZZ_CHECK(word.start <= length && word.insert >= word.start && word.insert <= length);
    size_t n = wcslen(word.pattern);
    FUZZ_CHECK(n >= 1 && n < COMPLETION_PATTERN_CHARS && word.pattern[n - 1] == L'*');
    if (find_change_directory_word(line.data(), &word)) {
        FUZZ_CHECK(word.start <= length && word.insert >= word.start && word.insert <= length);
        FUZZ_CHECK(wcslen(word.pattern) < COMPLETION_PATTERN_CHARS);
    }
    (void)is_executable_name(line.data(), extensions.data());
    const wchar_t* name = name_part(line.data());
    FUZZ_CHECK(name >= line.data() && name <= line.data() + length && !wcschr(name, L'\\'));

    long p = (long)fuzz_pick(&in, 3000) - 100, q = (long)fuzz_pick(&in, 3000) - 100;
    long previous_start = fuzz_pick(&in, 3000), previous_end = fuzz_pick(&in, 3000);
    bool join = fuzz_byte(&in) & 1;
    select_word(line.data(), length, delimiters.data(), &p, &q, join, previous_start, previous_end);
    if (!join) FUZZ_CHECK(p >= 0 && p <= q && q <= (long)length);
    return 0;
}
