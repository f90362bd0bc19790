// The settings dialogs driven from outside: the command lists and the macro table land in the
// command file and act on the next command, Tab Width, the window-size dialog with its halves
// and moves, and the window rectangle that the settings file keeps at exit.
#include <gtest/gtest.h>
#include <functional>
#include <climits>
#include <stdlib.h>
#include "harness.h"

using namespace e2e;

namespace {

// A menu command as the menu sends it, then the modal dialog it opens.
HWND open_dialog(Tavro& tavro, UINT command) {
    PostMessageW(tavro.main_window(), WM_COMMAND, command, 0);
    return wait_for_dialog(tavro.pid());
}

bool wait_for_no_dialog(Tavro& tavro) {
    return tavro.wait_until([&] { return find_dialog(tavro.pid()) == NULL; }, "the dialog to close");
}

// Edit controls keep their text to themselves: ask them.
std::wstring control_text(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    wchar_t text[1024] = {};
    DWORD_PTR got = 0;
    if (!control || !SendMessageTimeoutW(control, WM_GETTEXT, 1024, (LPARAM)text, SMTO_NORMAL, 5000, &got))
        return L"(no answer)";
    return std::wstring(text, got < 1024 ? got : 1023);
}

bool set_control_text(HWND dialog, int id, const std::wstring& text) {
    HWND control = GetDlgItem(dialog, id);
    DWORD_PTR result = 0;
    return control &&
           SendMessageTimeoutW(control, WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_NORMAL, 5000, &result) && result;
}

// A click whose handling is over when this returns (press_button_id only posts it).
bool click_and_wait(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    DWORD_PTR result = 0;
    return button && SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button,
                                         SMTO_NORMAL, 10000, &result);
}

// A number of the settings file, by its key at the start of a line; INT_MIN when absent.
int settings_number(const std::string& settings, const char* key) {
    std::string needle = std::string("\n") + key + "=";
    size_t at = settings.find(needle);
    if (at == std::string::npos) return INT_MIN;
    return (int)strtol(settings.c_str() + at + needle.size(), NULL, 10);
}

RECT main_rect(Tavro& tavro) {
    RECT r = {-1, -1, -1, -1};
    GetWindowRect(tavro.main_window(), &r);
    return r;
}

std::string describe(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ") " + std::to_string(r.right - r.left) +
           " x " + std::to_string(r.bottom - r.top);
}

bool same_rect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool wait_for_rect(Tavro& tavro, const RECT& wanted) {
    bool moved = tavro.wait_until([&] { return same_rect(main_rect(tavro), wanted); }, "the window's new place");
    if (!moved) printf("e2e: wanted %s, the window is at %s\n", describe(wanted).c_str(), describe(main_rect(tavro)).c_str());
    return moved;
}

// Closes Tavro and checks that the settings file keeps the window's last rectangle.
void expect_rect_saved_at_exit(Tavro& tavro) {
    RECT last = main_rect(tavro);
    ASSERT_TRUE(tavro.close_window());
    std::string settings;
    ASSERT_TRUE(read_file(tavro.settings_path(), &settings));
    EXPECT_EQ(settings_number(settings, "Left"), last.left) << settings;
    EXPECT_EQ(settings_number(settings, "Top"), last.top) << settings;
    EXPECT_EQ(settings_number(settings, "Width"), last.right - last.left) << settings;
    EXPECT_EQ(settings_number(settings, "Height"), last.bottom - last.top) << settings;
}

}  // namespace

// ---- The first start saves the window's rectangle once Enter was pressed ------------

TEST(DialogsFirstStart, SavesTheWindowRectangleAtExitOnceEnterWasPressed) {
    Tavro tavro;
    StartOptions options;
    options.settings = Settings::none;
    options.slave_as_cmd = true;
    ASSERT_TRUE(tavro.start_at_prompt(options));
    ASSERT_TRUE(tavro.run_command(L"echo " + unique_marker()));
    expect_rect_saved_at_exit(tavro);
}

// ---- Command lists ----------------------------------------------------------------

TEST(DialogsLists, AListEditedInItsDialogIsSavedAndRoutesTheNextCommand) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    // A command the slave ran would see this; one run in a separate cmd would not.
    ASSERT_TRUE(tavro.run_command(L"set E2E_WHO=slave"));

    HWND dialog = open_dialog(tavro, CMD_EDIT_CMD_C);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog_caption(dialog), L"Enter Data");
    EXPECT_EQ(control_text(dialog, IDC_EDITFLD_PROMPT), L"&Commands to run in separate cmd /c");
    EXPECT_EQ(control_text(dialog, IDC_EDITFLD_VALUE), L"");
    // Leading commas go, a trailing one is added.
    ASSERT_TRUE(set_control_text(dialog, IDC_EDITFLD_VALUE, L",,echo"));
    ASSERT_TRUE(press_button_id(dialog, IDOK));
    ASSERT_TRUE(wait_for_no_dialog(tavro));
    std::string commands;
    ASSERT_TRUE(wait_for_file_text(tavro.path_in_folder(L"tavro.ing"), "CmdAndQuit=echo,\r\n", &commands));
    EXPECT_EQ(commands.find("[Cmd Commands]\r\n"), 0u) << commands;

    const std::wstring command = L"echo [%E2E_WHO%] > sep.txt";
    size_t prompts = count_occurrences(tavro.pane_text(), L"==> ");
    tavro.type_line(command);
    std::string bytes;
    ASSERT_TRUE(wait_for_file_text(tavro.path_in_folder(L"sep.txt"), "]", &bytes));
    EXPECT_EQ(bytes.find("slave"), std::string::npos) << "run by the slave: " << bytes;
    ASSERT_TRUE(tavro.wait_for_fresh_prompt(prompts));
    // Echoed by Tavro directly behind the prompt, once; the slave only answered its line end.
    std::wstring text;
    ASSERT_TRUE(tavro.pane_text_at_positions(&text));
    size_t echo = text.find(command);
    ASSERT_NE(echo, std::wstring::npos) << to_utf8(text);
    EXPECT_EQ(text.find(command, echo + 1), std::wstring::npos) << "echoed twice: " << to_utf8(text);
    EXPECT_EQ(text.rfind(tavro.first_prompt(), echo) + tavro.first_prompt().size(), echo) << to_utf8(text);
    EXPECT_EQ(text.compare(echo + command.size(), 1 + tavro.first_prompt().size(), L"\r" + tavro.first_prompt()), 0)
        << to_utf8(text);
}

TEST(DialogsLists, TheDialogShowsTheFileAsChangedByHandAndCancelWritesNothing) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    const std::wstring path = tavro.path_in_folder(L"tavro.ing");
    const std::string by_hand = "[Cmd Commands]\r\nCmdAndQuit=\r\nKeepCmd=,,e2ekeep,more\r\nNoCmd=\r\n";
    ASSERT_TRUE(write_file(path, by_hand));

    HWND dialog = open_dialog(tavro, CMD_EDIT_CMD_K);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(control_text(dialog, IDC_EDITFLD_PROMPT), L"&Commands to run in separate cmd /k");
    EXPECT_EQ(control_text(dialog, IDC_EDITFLD_VALUE), L"e2ekeep,more,");
    ASSERT_TRUE(set_control_text(dialog, IDC_EDITFLD_VALUE, L"thrown,away"));
    ASSERT_TRUE(press_button_id(dialog, IDCANCEL));
    ASSERT_TRUE(wait_for_no_dialog(tavro));
    // Still answering, and the file as it was.
    ASSERT_TRUE(tavro.run_command(L"echo " + unique_marker()));
    std::string after;
    ASSERT_TRUE(read_file(path, &after));
    EXPECT_EQ(after, by_hand);

    // The list kept is the one read from the file: reopened, the dialog shows it again.
    dialog = open_dialog(tavro, CMD_EDIT_CMD_K);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(control_text(dialog, IDC_EDITFLD_VALUE), L"e2ekeep,more,");
    // An empty entry empties the list.
    ASSERT_TRUE(set_control_text(dialog, IDC_EDITFLD_VALUE, L""));
    ASSERT_TRUE(press_button_id(dialog, IDOK));
    ASSERT_TRUE(wait_for_no_dialog(tavro));
    ASSERT_TRUE(wait_for_file_text(path, "KeepCmd=\r\n", &after));
    EXPECT_EQ(after.find("e2ekeep"), std::string::npos) << after;
}

// ---- Macros --------------------------------------------------------------------------

TEST(DialogsMacros, RowsOneAndThreeComeBackAsRowsOneAndTwoAndExpand) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    HWND dialog = open_dialog(tavro, CMD_EDIT_MACROS);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog_caption(dialog), L"Macros");
    EXPECT_EQ(control_text(dialog, IDC_MACRO_NAME_FIRST), L"");
    ASSERT_TRUE(set_control_text(dialog, IDC_MACRO_NAME_FIRST, L"mm"));
    ASSERT_TRUE(set_control_text(dialog, IDC_MACRO_EXPANSION_FIRST, L"echo MACRO_OK"));
    // Row 2 has a name without an expansion: not stored.
    ASSERT_TRUE(set_control_text(dialog, IDC_MACRO_NAME_FIRST + 2, L"half"));
    ASSERT_TRUE(set_control_text(dialog, IDC_MACRO_NAME_FIRST + 4, L"m3"));
    ASSERT_TRUE(set_control_text(dialog, IDC_MACRO_EXPANSION_FIRST + 4, L"echo THREE_OK"));
    // The last row with an expansion but no name: not stored either.
    ASSERT_TRUE(set_control_text(dialog, IDC_MACRO_EXPANSION_FIRST + 30, L"echo nameless"));
    ASSERT_TRUE(press_button_id(dialog, IDOK));
    ASSERT_TRUE(wait_for_no_dialog(tavro));

    std::string commands;
    ASSERT_TRUE(wait_for_file_text(tavro.path_in_folder(L"tavro.ing"), "\r\n[Macros]\r\n", &commands));
    EXPECT_NE(commands.find("[Macros]\r\n0Macro=mm\techo MACRO_OK\r\n1Macro=m3\techo THREE_OK\r\n"),
              std::string::npos)
        << commands;
    EXPECT_EQ(commands.find("2Macro="), std::string::npos) << commands;
    EXPECT_EQ(commands.find("half"), std::string::npos) << commands;
    EXPECT_EQ(commands.find("nameless"), std::string::npos) << commands;

    dialog = open_dialog(tavro, CMD_EDIT_MACROS);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(control_text(dialog, IDC_MACRO_NAME_FIRST), L"mm");
    EXPECT_EQ(control_text(dialog, IDC_MACRO_EXPANSION_FIRST), L"echo MACRO_OK");
    EXPECT_EQ(control_text(dialog, IDC_MACRO_NAME_FIRST + 2), L"m3");
    EXPECT_EQ(control_text(dialog, IDC_MACRO_EXPANSION_FIRST + 2), L"echo THREE_OK");
    EXPECT_EQ(control_text(dialog, IDC_MACRO_NAME_FIRST + 4), L"");
    EXPECT_EQ(control_text(dialog, IDC_MACRO_EXPANSION_FIRST + 4), L"");
    EXPECT_EQ(control_text(dialog, IDC_MACRO_EXPANSION_FIRST + 30), L"");
    ASSERT_TRUE(press_button_id(dialog, IDCANCEL));
    ASSERT_TRUE(wait_for_no_dialog(tavro));

    // Typing a name runs its expansion.
    tavro.type_line(L"mm");
    ASSERT_TRUE(tavro.wait_for_line(L"MACRO_OK"));
    tavro.type_line(L"m3");
    ASSERT_TRUE(tavro.wait_for_line(L"THREE_OK"));
}

// ---- Tab Width ------------------------------------------------------------------------

static bool properties_show(Tavro& tavro, const std::wstring& needle) {
    HWND box = open_dialog(tavro, CMD_PROPERTIES);
    if (!box) return false;
    std::wstring text = dialog_text(box);
    bool found = text.find(needle) != std::wstring::npos;
    if (!found) printf("e2e: the properties say \"%s\"\n", to_utf8(text).c_str());
    press_button(box, L"OK");
    return wait_for_no_dialog(tavro) && found;
}

static bool enter_tab_width(Tavro& tavro, const std::wstring& shown, const std::wstring& entered) {
    HWND dialog = open_dialog(tavro, CMD_TAB_WIDTH);
    if (!dialog) return false;
    EXPECT_EQ(control_text(dialog, IDC_EDITFLD_PROMPT), L"&Enter Tab Width:");
    EXPECT_EQ(control_text(dialog, IDC_EDITFLD_VALUE), shown);
    return set_control_text(dialog, IDC_EDITFLD_VALUE, entered) && press_button_id(dialog, IDOK) &&
           wait_for_no_dialog(tavro);
}

TEST(DialogsTabWidth, ANegativeEntryStoresEight) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    ASSERT_TRUE(enter_tab_width(tavro, L"8", L"5"));
    EXPECT_TRUE(properties_show(tavro, L"Tab Width = 5"));
    ASSERT_TRUE(enter_tab_width(tavro, L"5", L"-3"));
    EXPECT_TRUE(properties_show(tavro, L"Tab Width = 8"));
    // A width whose tab stop in dialog units would overflow is held to 1000 characters.
    ASSERT_TRUE(enter_tab_width(tavro, L"8", L"600000000"));
    EXPECT_TRUE(properties_show(tavro, L"Tab Width = 1000"));
    ASSERT_TRUE(enter_tab_width(tavro, L"1000", L"-3"));
    ASSERT_TRUE(tavro.close_window());
    std::string settings;
    ASSERT_TRUE(read_file(tavro.settings_path(), &settings));
    EXPECT_EQ(settings_number(settings, "TabWidth"), 8) << settings;
}

// ---- Window size ----------------------------------------------------------------------

// The lines of "<title>  80 x <lines>"; -1 when the title has no such part.
static int title_lines(const std::wstring& title, const std::wstring& columns_part) {
    size_t at = title.find(columns_part);
    if (at == std::wstring::npos) return -1;
    return (int)wcstol(title.c_str() + at + columns_part.size(), NULL, 10);
}

// More lines than the pane shows, so that its scroll bar is there, as in use: the size for a
// number of columns makes room for it. (Wine answers GetScrollInfo for the bar while it is
// hidden too, so with a short pane Tavro counts the bar's width as columns.)
static bool fill_the_pane(Tavro& tavro) {
    std::string lines;
    for (int i = 1; i <= 80; i++) lines += "fill-" + std::to_string(i) + "\r\n";
    return write_file(tavro.path_in_folder(L"fill.txt"), lines) && tavro.run_command(L"type fill.txt") &&
           has_line(tavro.pane_text(), L"fill-80");
}

TEST(DialogsWindowSize, SizesByTheGridPlacesInHalvesAndSavesTheRectangle) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    ASSERT_TRUE(fill_the_pane(tavro));
    HWND dialog = open_dialog(tavro, CMD_WINDOW_SIZE);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog_caption(dialog), L"Set Window Size or Location");
    ASSERT_TRUE(set_control_text(dialog, IDC_SETSIZE_COLUMNS, L"80"));
    ASSERT_TRUE(set_control_text(dialog, IDC_SETSIZE_LINES, L"25"));
    ASSERT_TRUE(press_button_id(dialog, IDOK));
    ASSERT_TRUE(wait_for_no_dialog(tavro));
    ASSERT_TRUE(tavro.wait_for_title(L" 80 x "));
    // The lines that really fit may differ by one from those asked for.
    int lines = title_lines(tavro.title(), L" 80 x ");
    EXPECT_GE(lines, 24) << to_utf8(tavro.title());
    EXPECT_LE(lines, 26) << to_utf8(tavro.title());
    RECT sized = main_rect(tavro);
    EXPECT_EQ(sized.left, 0);
    EXPECT_EQ(sized.top, 0);

    // The dialog starts from the grid now in force.
    dialog = open_dialog(tavro, CMD_WINDOW_SIZE);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(control_text(dialog, IDC_SETSIZE_COLUMNS), L"80");
    EXPECT_EQ(control_text(dialog, IDC_SETSIZE_LINES), std::to_wstring(lines));
    const int full_width = GetSystemMetrics(SM_CXFULLSCREEN);
    // The halves ask for the screen's height plus a caption; the system caps a window at its
    // largest tracking size.
    int max_height = GetSystemMetrics(SM_CYFULLSCREEN) + GetSystemMetrics(SM_CYCAPTION);
    if (max_height > GetSystemMetrics(SM_CYMAXTRACK)) max_height = GetSystemMetrics(SM_CYMAXTRACK);
    ASSERT_TRUE(press_button_id(dialog, IDC_SETSIZE_LEFT_HALF));
    ASSERT_TRUE(wait_for_no_dialog(tavro));
    RECT left_half = {0, 0, full_width / 2, max_height};
    ASSERT_TRUE(wait_for_rect(tavro, left_half));

    dialog = open_dialog(tavro, CMD_WINDOW_SIZE);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(press_button_id(dialog, IDC_SETSIZE_RIGHT_HALF));
    ASSERT_TRUE(wait_for_no_dialog(tavro));
    RECT right_half = {full_width / 2, 0, full_width / 2 + full_width / 2, max_height};
    ASSERT_TRUE(wait_for_rect(tavro, right_half));

    // Move Left keeps the size and goes to x 0 at the stored top, which is still 0.
    dialog = open_dialog(tavro, CMD_WINDOW_SIZE);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(press_button_id(dialog, IDC_SETSIZE_MOVE_LEFT));
    ASSERT_TRUE(wait_for_no_dialog(tavro));
    ASSERT_TRUE(wait_for_rect(tavro, left_half));

    // A last change the settings must see: back to the right half.
    dialog = open_dialog(tavro, CMD_WINDOW_SIZE);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(press_button_id(dialog, IDC_SETSIZE_RIGHT_HALF));
    ASSERT_TRUE(wait_for_no_dialog(tavro));
    ASSERT_TRUE(wait_for_rect(tavro, right_half));
    expect_rect_saved_at_exit(tavro);
}

TEST(DialogsWindowSize, NineColumnsOrOneLineKeepTheDialogOpenAndCancelChangesNothing) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    RECT before = main_rect(tavro);
    std::wstring title_before = tavro.title();

    HWND dialog = open_dialog(tavro, CMD_WINDOW_SIZE);
    ASSERT_TRUE(dialog);
    std::wstring columns = control_text(dialog, IDC_SETSIZE_COLUMNS), lines = control_text(dialog, IDC_SETSIZE_LINES);
    ASSERT_TRUE(set_control_text(dialog, IDC_SETSIZE_COLUMNS, L"9"));
    ASSERT_TRUE(set_control_text(dialog, IDC_SETSIZE_LINES, L"25"));
    ASSERT_TRUE(click_and_wait(dialog, IDOK));
    EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog));
    EXPECT_EQ(find_dialog(tavro.pid()), dialog);
    EXPECT_EQ(control_text(dialog, IDC_SETSIZE_COLUMNS), L"9");

    ASSERT_TRUE(set_control_text(dialog, IDC_SETSIZE_COLUMNS, L"80"));
    ASSERT_TRUE(set_control_text(dialog, IDC_SETSIZE_LINES, L"1"));
    ASSERT_TRUE(click_and_wait(dialog, IDOK));
    EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog));
    EXPECT_EQ(find_dialog(tavro.pid()), dialog);
    EXPECT_EQ(control_text(dialog, IDC_SETSIZE_LINES), L"1");

    ASSERT_TRUE(press_button_id(dialog, IDCANCEL));
    ASSERT_TRUE(wait_for_no_dialog(tavro));
    // Tavro still answers, where and as it was.
    ASSERT_TRUE(tavro.run_command(L"echo " + unique_marker()));
    RECT after = main_rect(tavro);
    EXPECT_TRUE(same_rect(after, before)) << describe(before) << " became " << describe(after);
    EXPECT_EQ(tavro.title(), title_before);
    // And the grid did not take the refused numbers.
    dialog = open_dialog(tavro, CMD_WINDOW_SIZE);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(control_text(dialog, IDC_SETSIZE_COLUMNS), columns);
    EXPECT_EQ(control_text(dialog, IDC_SETSIZE_LINES), lines);
    ASSERT_TRUE(press_button_id(dialog, IDCANCEL));
    ASSERT_TRUE(wait_for_no_dialog(tavro));
}
