// Text across the pipe in the slave's code page: names with accents and CJK characters reach the
// slave and come back as they are, from the first prompt on. The stand-in applies CHCP to what it
// reads and to what its own commands (echo, cd, set, the prompt) write, as cmd does; what the
// commands it hands to Wine's cmd.exe write follows it only in part, so the checks go through those
// and through the names on disk.
#include <gtest/gtest.h>
#include "harness.h"

using namespace e2e;

namespace {

// The stand-in's console starts in the OEM page (437 here) and Tavro tells it the ANSI one (1252):
// the first prompts, in a folder named with an accent, come before the CHCP line's answer.
TEST(CodePage, AFolderWithAnAccentShowsRightFromTheFirstPromptAndGoesIntoThePathRight) {
    Tavro tavro;
    StartOptions options;
    options.folder_suffix = L"-Jos\x00E9";
    options.extra_settings = "[NoPath]\nAddPath=C:\\Tavro-Jos\xE9\\bin\n";
    ASSERT_TRUE(tavro.start(options));
    ASSERT_TRUE(wait_for_prompt_after(tavro, L"set \"PATH=", 60000));
    std::wstring pane = tavro.pane_text();
    EXPECT_NE(pane.find(tavro.first_prompt() + L"CHCP "), std::wstring::npos) << to_utf8(pane);
    EXPECT_EQ(pane.find(L"Jos\x201A"), std::wstring::npos) << to_utf8(pane);
    ASSERT_TRUE(tavro.run_command(L"echo %PATH%", 60000));
    bool extended = false;
    for (const std::wstring& line : split_lines(tavro.pane_text()))
        extended = extended || ends_with(line, L";C:\\Tavro-Jos\x00E9\\bin");
    EXPECT_TRUE(extended) << to_utf8(tavro.pane_text());
}

// With the UTF-8 page the slave is told 65001, and a name reaches it and the disk as typed.
TEST(CodePage, Utf8NamesReachTheSlaveAndTheDiskAsTyped) {
    Tavro tavro;
    ASSERT_TRUE(start_at_prompt(tavro, "[Window]\nCodePage=65001\n"));
    EXPECT_NE(tavro.pane_text().find(L"> CHCP 65001"), std::wstring::npos);
    const std::wstring name = L"caf\x00E9-\x0416-\x4E2D";
    ASSERT_TRUE(tavro.run_command(L"md " + name, 60000));
    ASSERT_TRUE(tavro.run_command(L"cd " + name, 60000));
    EXPECT_TRUE(file_exists(tavro.path_in_folder(name.c_str())));
    EXPECT_TRUE(tavro.wait_for_pane(L"\\" + name + L"> ", 60000));
}

// A character the page lacks stops its line before it reaches the slave: best fit would make the
// fullwidth ampersand cmd's own. A "chcp" the user types is followed.
TEST(CodePage, ALineWithACharacterThePageLacksIsRefusedAndATypedChcpIsFollowed) {
    Tavro tavro;
    ASSERT_TRUE(start_at_prompt(tavro));
    size_t prompts = count_occurrences(tavro.pane_text(), L"==> ");
    tavro.type_line(L"echo x\xFF06md made-by-best-fit");
    ASSERT_TRUE(wait_for_fresh_prompt(tavro, prompts, 60000));
    ASSERT_TRUE(tavro.run_command(L"chcp 850", 60000));
    EXPECT_NE(tavro.pane_text().find(L"Not sent: code page 1252 has no \"\xFF06\" (U+FF06)"), std::wstring::npos);
    EXPECT_FALSE(file_exists(tavro.path_in_folder(L"made-by-best-fit")));
    const std::wstring name = L"\x00E9t\x00E9";
    ASSERT_TRUE(tavro.run_command(L"md " + name, 60000));
    ASSERT_TRUE(tavro.run_command(L"cd " + name, 60000));
    EXPECT_TRUE(file_exists(tavro.path_in_folder(name.c_str())));
    EXPECT_TRUE(tavro.wait_for_pane(L"\\" + name + L"> ", 60000));
}

}  // namespace
