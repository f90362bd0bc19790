// Slash commands at the front of a submitted line, one after another, and the "/u" name.
#include "fuzz_text.h"
#include "input/route_text.h"
#include "input/slash_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = fuzz_input(data, size);
    size_t cap = (size_t)fuzz_pick(&in, 300);
    std::vector<wchar_t> line = fuzz_string(&in, COMMAND_BUFFER_CHARS - 1);
    static wchar_t buffer[COMMAND_BUFFER_CHARS];
    fuzz_copy(buffer, COMMAND_BUFFER_CHARS, line.data());
    static SlashStep step;
    // Taken word by word while the line keeps starting with "/", as a submission does.
    for (int words = 0; buffer[0] == L'/' && words < 64; words++) {
        size_t before = wcslen(buffer);
        take_slash_word(buffer, &step);
        FUZZ_CHECK(wcslen(buffer) < before || before == 0);
        FUZZ_CHECK(wcslen(step.word) < SLASH_WORD_CHARS);
        FUZZ_CHECK(step.kind >= SLASH_KIND_BYPASS && step.kind <= SLASH_KIND_OTHER);
        if (step.kind == SLASH_KIND_TABS) FUZZ_CHECK(step.tab_width >= 0 && step.tab_width <= SLASH_TAB_WIDTH_MAX);
        std::vector<wchar_t> name(cap ? cap : 1);
        if (unset_variable_name(buffer, name.data(), cap)) {
            size_t n = wcslen(name.data());
            FUZZ_CHECK(n > 0 && n < cap && !wcspbrk(name.data(), L"= \t"));
        }
    }
    return 0;
}
