// Inputs found by fuzzing the text logic, and their neighbours on the same edges. Pure text:
// built under Wine and natively with the sanitizers.
#include <gtest/gtest.h>
#include "input/edit_keys_text.h"
#include "settings/settings_text.h"
#include <string>
#include <vector>

namespace {

struct ReadBack {
    MacroStore macros;
};

void collect_macros(void* context, SettingKey key, const wchar_t* line, const wchar_t*) {
    if (key == KEY_Macro) macro_store_add_line(&((ReadBack*)context)->macros, line);
}

// The command file written from store, read back into a fresh store.
ReadBack write_and_read(const MacroStore& store) {
    static wchar_t file[SETTINGS_TEXT_MAX];
    TextBuilder builder;
    text_builder_start(&builder, file, SETTINGS_TEXT_MAX);
    build_file_text(&builder, IN_COMMAND_FILE, std::vector<SettingValue>(KEY_COUNT).data(), &store);
    EXPECT_FALSE(builder.overflow);
    ReadBack back = {};
    parse_settings_text(file, builder.length, collect_macros, &back);
    return back;
}

struct Selection {
    long p, q;
};

Selection select(const wchar_t* text, long p, long q) {
    select_word(text, wcslen(text), L">|<,;!()&[]", &p, &q, false, 0, 0);
    return {p, q};
}

}  // namespace

// A hand-written "5=" line is shorter than the "%dMacro=" line it is written back as. Taken in
// at full length it came back cut on the next start, its tail read as a line of its own.
TEST(HardeningTest, MacroLineTooLongToWriteBackIsRefused) {
    // Written back, the line is cut right before this tail, which then reads as a macro "a".
    std::wstring tail = L"1=a\tb";
    std::wstring line = L"5=n\t" + std::wstring(SETTINGS_LINE_MAX - 4 - tail.size(), L'x') + tail;
    ASSERT_EQ(line.size(), (size_t)SETTINGS_LINE_MAX);
    MacroStore store = {};
    EXPECT_FALSE(macro_store_add_line(&store, line.c_str()));
    EXPECT_EQ(store.count, 0);

    // One character less is kept and comes back whole, whatever number it is written with.
    std::wstring longest = L"1=n\t" + std::wstring(MACRO_LINE_TEXT_MAX - 2, L'y') + L"\n";
    std::wstring one_more = L"1=n\t" + std::wstring(MACRO_LINE_TEXT_MAX - 1, L'y');
    MacroStore refused = {};
    EXPECT_FALSE(macro_store_add_line(&refused, one_more.c_str()));
    MacroStore alone = {};
    ASSERT_TRUE(macro_store_add_line(&alone, longest.c_str()));
    ReadBack back = write_and_read(alone);
    ASSERT_EQ(back.macros.count, 1);
    EXPECT_EQ(std::wstring(macro_store_expansion(&back.macros, 0)), std::wstring(MACRO_LINE_TEXT_MAX - 2, L'y'));
    macro_store_free(&back.macros);
    macro_store_free(&alone);
    macro_store_free(&refused);
    macro_store_free(&store);
}

// Double-clicking a run of delimiters moved the start past the end, and the pane got a reversed
// selection. The end now stays at or after the start.
TEST(HardeningTest, WordSelectionOnDelimitersIsNeverReversed) {
    Selection s = select(L" ,,x", 1, 1);
    EXPECT_LE(s.p, s.q);
    EXPECT_EQ(s.p, 3);
    EXPECT_EQ(s.q, 4);   // the word behind the delimiters
    s = select(L"a ;;", 2, 3);
    EXPECT_EQ(s.p, 4);
    EXPECT_EQ(s.q, 4);   // nothing behind them: an empty selection at their end
    s = select(L"ab,,cd", 2, 2);
    EXPECT_EQ(s.p, 0);
    EXPECT_EQ(s.q, 2);   // a delimiter right after a word still selects the word
}
