// Help > Help opens tavro.html beside the program. Under Wine the shell may hand it to
// winebrowser or fail; either way Tavro must keep running, and a failure may only show the
// "Cannot find tavro.html help file" box.
#include <gtest/gtest.h>
#include "harness.h"

using namespace e2e;

enum { CMD_HELP_HELP = 90 };

static std::wstring help_marker() {
    return L"e2e-help-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount());
}

// Watches Tavro for a while after the command: answers a box if one comes, and reports it.
static bool watch_for_help_box(Tavro& tavro, DWORD watch_ms, std::wstring* caption, std::wstring* text) {
    ULONGLONG deadline = GetTickCount64() + watch_ms;
    while (GetTickCount64() < deadline && tavro.running()) {
        if (HWND dialog = find_dialog(tavro.pid())) {
            *caption = dialog_caption(dialog);
            *text = dialog_text(dialog);
            if (!press_button(dialog, L"OK")) press_button_id(dialog, IDOK);
            return true;
        }
        Sleep(POLL_MS);
    }
    return false;
}

TEST(HelpMenu, OpensThePageOrReportsItMissingAndKeepsRunning) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start());
    ASSERT_TRUE(tavro.wait_for_pane(tavro.first_prompt()));
    std::wstring page = bin_folder() + L"\\tavro.html";
    ASSERT_TRUE(file_exists(page)) << "the build puts tavro.html beside tavro.exe: " << to_utf8(page);
    ASSERT_TRUE(CopyFileW(page.c_str(), tavro.path_in_folder(L"tavro.html").c_str(), FALSE));

    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_HELP_HELP, 0);
    std::wstring caption, text;
    if (watch_for_help_box(tavro, 8000, &caption, &text)) {
        EXPECT_EQ(caption, L"Tavro Help");
        EXPECT_NE(text.find(L"Cannot find tavro.html help file"), std::wstring::npos) << to_utf8(text);
        EXPECT_TRUE(tavro.wait_for_title(L"Tavro"));
    }

    // Still alive and answering: a command still runs.
    ASSERT_TRUE(tavro.running()) << "Tavro ended after Help > Help";
    std::wstring marker = help_marker();
    EXPECT_TRUE(tavro.run_command(L"echo " + marker));
    EXPECT_TRUE(tavro.wait_for_line(marker));
    // Anything else the shell put up on Tavro's behalf is closed before Tavro is.
    for (int tries = 0; tries < 10; tries++) {
        HWND dialog = find_dialog(tavro.pid());
        if (!dialog || (!press_button_id(dialog, IDOK) && !press_button_id(dialog, IDCANCEL))) break;
        Sleep(200);
    }
    EXPECT_TRUE(tavro.close_window());
    EXPECT_LT(tavro.exit_code(), 0xC0000000u) << "Tavro crashed";
}
