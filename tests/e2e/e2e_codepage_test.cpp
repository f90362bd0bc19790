// Text across the pipe in the slave's code page. The stand-in applies CHCP to what it reads and to
// what its own commands write, as cmd does; what Wine's cmd.exe writes for it follows CHCP only in
// part, so the checks go through echo, md and the names on disk.
#include <gtest/gtest.h>
#include "harness.h"

using namespace e2e;

// The stand-in's console starts in the OEM page (437) and is told the ANSI one (1252). A folder
// and an AddPath with an accent, a line with a character 1252 lacks (best fit would make the
// fullwidth ampersand cmd's own), then the user's chcp 65001 and a name in three scripts.
TEST(CodePage, NamesReachTheSlaveAndComeBackAsTheyAre) {
    Tavro tavro;
    StartOptions options;
    options.folder_suffix = L"-Jos\x00E9";
    options.extra_settings = "[NoPath]\nAddPath=C:\\Tavro-Jos\xE9\\bin\n";
    ASSERT_TRUE(tavro.start(options));
    ASSERT_TRUE(tavro.wait_for_prompt_after(L"set \"PATH=", 60000));
    EXPECT_EQ(tavro.pane_text().find(L"Jos\x201A"), std::wstring::npos) << to_utf8(tavro.pane_text());
    size_t prompts = count_occurrences(tavro.pane_text(), L"==> ");
    tavro.type_line(L"echo x\xFF06md made-by-best-fit");
    ASSERT_TRUE(tavro.wait_for_fresh_prompt(prompts, 60000));
    ASSERT_TRUE(tavro.run_command(L"chcp 65001", 60000));
    const std::wstring name = L"\x00E9t\x00E9-\x0416-\x4E2D";
    prompts = count_occurrences(tavro.pane_text(), L"==> ");
    tavro.type_line(L"md " + name);
    ASSERT_TRUE(tavro.wait_for_fresh_prompt(prompts, 60000));
    ASSERT_TRUE(tavro.run_command(L"echo %PATH%", 60000));
    std::wstring pane = tavro.pane_text();
    EXPECT_NE(pane.find(L";C:\\Tavro-Jos\x00E9\\bin\r"), std::wstring::npos) << to_utf8(pane);
    EXPECT_NE(pane.find(L"Not sent: code page 1252 has no \"\xFF06\" (U+FF06)"), std::wstring::npos);
    EXPECT_FALSE(file_exists(tavro.path_in_folder(L"made-by-best-fit")));
    EXPECT_TRUE(file_exists(tavro.path_in_folder(name.c_str())));
}
