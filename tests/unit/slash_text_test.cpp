// Slash words: what each asks for, what is left of the line, and the "/u" name rule.
#include <gtest/gtest.h>
#include "input/slash_text.h"
#include <string>

namespace {

struct Taken {
    SlashKind kind;
    int tabs;
    std::wstring word, rest;
};

Taken take(const wchar_t* line) {
    wchar_t buffer[SLASH_WORD_CHARS];
    wcsncpy(buffer, line, SLASH_WORD_CHARS - 1);
    buffer[SLASH_WORD_CHARS - 1] = 0;
    SlashStep step;
    take_slash_word(buffer, &step);
    return {step.kind, step.tab_width, step.word, buffer};
}

TEST(SlashWords, EachLetterAndWhatIsLeft) {
    Taken t = take(L"/r /c dir");
    EXPECT_EQ(t.kind, SLASH_KIND_RULER);
    EXPECT_EQ(t.word, L"/r");
    EXPECT_EQ(t.rest, L"/c dir");
    t = take(t.rest.c_str());
    EXPECT_EQ(t.kind, SLASH_KIND_CLEAR);
    EXPECT_EQ(t.rest, L"dir");
    EXPECT_EQ(take(L"/c ").rest, L"");
    EXPECT_EQ(take(L"/!  notepad x").kind, SLASH_KIND_BYPASS);
    EXPECT_EQ(take(L"/!  notepad x").rest, L"notepad x");
    EXPECT_EQ(take(L"/e").kind, SLASH_KIND_SYNC);
    EXPECT_EQ(take(L"/?").kind, SLASH_KIND_HELP);
    EXPECT_EQ(take(L"/u FOO").kind, SLASH_KIND_UNSET);
}

TEST(SlashWords, StopLeavesTheNextSlashWord) {
    Taken t = take(L"// //this");
    EXPECT_EQ(t.kind, SLASH_KIND_STOP);
    EXPECT_EQ(t.word, L"//");
    EXPECT_EQ(t.rest, L"//this");
}

TEST(SlashWords, CapitalsAndUnknownLettersAreOther) {
    EXPECT_EQ(take(L"/C dir").kind, SLASH_KIND_OTHER);
    EXPECT_EQ(take(L"/C dir").rest, L"dir");
    EXPECT_EQ(take(L"/x").kind, SLASH_KIND_OTHER);
    Taken lone = take(L"/");
    EXPECT_EQ(lone.kind, SLASH_KIND_OTHER);
    EXPECT_EQ(lone.word, L"/");
    EXPECT_EQ(lone.rest, L"");
}

TEST(SlashWords, DigitsSetTheTabWidthUnchecked) {
    EXPECT_EQ(take(L"/8").tabs, 8);
    EXPECT_EQ(take(L"/8").rest, L"");
    EXPECT_EQ(take(L"/12 dir").tabs, 12);
    EXPECT_EQ(take(L"/99").tabs, 99);
    EXPECT_EQ(take(L"/0").kind, SLASH_KIND_TABS);
    EXPECT_EQ(take(L"/0").tabs, 0);
    EXPECT_EQ(take(L"/4x").tabs, 4);
    // A number no pane can use is held at the bound instead of overflowing.
    EXPECT_EQ(take(L"/99999999999999999999").tabs, SLASH_TAB_WIDTH_MAX);
}

TEST(SlashWords, HelpTextLinesAndTheLoneLineFeed) {
    std::wstring help = SLASH_HELP_TEXT;
    EXPECT_EQ(help.substr(0, 4), L"\r\n\r\n");
    EXPECT_NE(help.find(L"runs \"//this\"\n/?\t"), std::wstring::npos);
    EXPECT_NE(help.find(L"/c\tcls (CLear Screen)\r\n/#\t"), std::wstring::npos);
    EXPECT_EQ(help.substr(help.size() - 2), L"\r\n");
}

TEST(UnsetName, TrimmedAndChecked) {
    wchar_t name[64];
    EXPECT_TRUE(unset_variable_name(L"  FOO", name, 64));
    EXPECT_STREQ(name, L"FOO");
    EXPECT_TRUE(unset_variable_name(L"FOO =", name, 64));
    EXPECT_STREQ(name, L"FOO");
    EXPECT_TRUE(unset_variable_name(L"FOO==  ", name, 64));
    EXPECT_STREQ(name, L"FOO");
    EXPECT_FALSE(unset_variable_name(L"", name, 64));
    EXPECT_FALSE(unset_variable_name(L"  = ", name, 64));
    EXPECT_FALSE(unset_variable_name(L"FOO BAR", name, 64));
    EXPECT_FALSE(unset_variable_name(L"FOO=bar", name, 64));
    EXPECT_FALSE(unset_variable_name(L"A\tB", name, 64));
    EXPECT_FALSE(unset_variable_name(L"=C:", name, 64));   // never a drive's directory
    wchar_t small[4];
    EXPECT_TRUE(unset_variable_name(L"FOO", small, 4));
    EXPECT_FALSE(unset_variable_name(L"FOOD", small, 4));   // cut, it would name another variable
    EXPECT_FALSE(unset_variable_name(L"FOO", name, 0));
}

}  // namespace
