// The completion word: quotes, blanks, drive words and cd lines.
#include <gtest/gtest.h>
#include "input/completion_text.h"

namespace {

TEST(CompletionWord, LastWordAfterABlank) {
    CompletionWord w;
    find_completion_word(L"type rea", &w);
    EXPECT_EQ(w.start, 5u);
    EXPECT_EQ(w.insert, 5u);
    EXPECT_STREQ(w.pattern, L"rea*");
    find_completion_word(L"", &w);
    EXPECT_EQ(w.start, 0u);
    EXPECT_STREQ(w.pattern, L"*");
    find_completion_word(L"dir ", &w);
    EXPECT_STREQ(w.pattern, L"*");
}

TEST(CompletionWord, QuotedWordWithBlanksIsOneWord) {
    CompletionWord w;
    find_completion_word(L"type \"C:\\Program Files\\Com", &w);
    EXPECT_EQ(w.start, 6u);
    EXPECT_STREQ(w.pattern, L"C:\\Program Files\\Com*");
    EXPECT_EQ(w.insert, 23u);   // after the last backslash
    find_completion_word(L"type \"a b\" c", &w);   // a closed quote, then a new word
    EXPECT_STREQ(w.pattern, L"c*");
}

TEST(CompletionWord, DriveWordInsertsAfterTheColon) {
    CompletionWord w;
    find_completion_word(L"dir D:", &w);
    EXPECT_STREQ(w.pattern, L"D:*");
    EXPECT_EQ(w.insert, 6u);
    find_completion_word(L"dir D:pro", &w);
    EXPECT_EQ(w.insert, 6u);
}

TEST(CompletionWord, ChangeDirectoryLinesSkipSwitchesAndAQuote) {
    CompletionWord w;
    ASSERT_TRUE(find_change_directory_word(L"cd /d \"Prog", &w));
    EXPECT_STREQ(w.pattern, L"Prog*");
    ASSERT_TRUE(find_change_directory_word(L"RD /s /q  tmp", &w));
    EXPECT_STREQ(w.pattern, L"tmp*");
    ASSERT_TRUE(find_change_directory_word(L"cd ", &w));
    EXPECT_STREQ(w.pattern, L"*");
    EXPECT_FALSE(find_change_directory_word(L"cdx foo", &w));
    EXPECT_FALSE(find_change_directory_word(L"md foo", &w));
    EXPECT_FALSE(find_change_directory_word(L"cd", &w));
}

TEST(CompletionWord, OverlongWordIsCutNotOverrun) {
    std::wstring line(5000, L'x');
    CompletionWord w;
    find_completion_word(line.c_str(), &w);
    EXPECT_EQ(wcslen(w.pattern), (size_t)COMPLETION_PATTERN_CHARS - 1);
    EXPECT_EQ(w.pattern[COMPLETION_PATTERN_CHARS - 2], L'*');
}

TEST(ExecutableName, ExtensionFromTheLastDotIgnoringCase) {
    const wchar_t* exts = L".COM;.EXE;.BAT;.CMD";
    EXPECT_TRUE(is_executable_name(L"notepad.exe", exts));
    EXPECT_TRUE(is_executable_name(L"Setup.Bat", exts));
    EXPECT_FALSE(is_executable_name(L"readme.txt", exts));
    EXPECT_FALSE(is_executable_name(L"exe", exts));
    EXPECT_FALSE(is_executable_name(L"a.exe.txt", exts));
    EXPECT_FALSE(is_executable_name(L"a.ex", exts));
    EXPECT_STREQ(name_part(L"C:\\bin\\tool.exe"), L"tool.exe");
    EXPECT_STREQ(name_part(L"tool.exe"), L"tool.exe");
}

}  // namespace
