// The output pane and the reader, driven through Tavro's windows with pipecmd as the slave:
// standard error in its own colour before the prompt, the prompt moving the title and Tavro's
// own current directory, the pane's size bound, lines rewritten by bare carriage returns, and
// the pager.
#include <gtest/gtest.h>
#include "harness.h"

using namespace e2e;

namespace {

const COLORREF NORMAL_COLOUR = 0x404040;   // ColorText, set so that it can be told from the default
const COLORREF ERROR_COLOUR = 0x0000FF;    // ErrorText

std::string colour_settings() {
    return "[Fonts]\nHighlightErrs=1\nErrorText=" + std::to_string((unsigned long)ERROR_COLOUR) +
           "\nColorText=" + std::to_string((unsigned long)NORMAL_COLOUR) + "\n";
}

bool wait_for_prompt_display(Tavro& tavro, const std::wstring& mark, DWORD timeout_ms = WAIT_MS) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (tavro.prompt_text() == mark) return true;
        if (!tavro.running() || GetTickCount64() >= deadline) break;
        Sleep(POLL_MS);
    }
    printf("e2e: the prompt display shows \"%s\", not \"%s\"\n", to_utf8(tavro.prompt_text()).c_str(),
           to_utf8(mark).c_str());
    return false;
}

// Waits until the pane has not changed for quiet_ms: the reader has stopped (the pager waits,
// or the slave is at its prompt).
bool wait_for_quiet_pane(Tavro& tavro, DWORD quiet_ms = 1500, DWORD timeout_ms = 60000) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    std::wstring last = tavro.pane_text();
    ULONGLONG since = GetTickCount64();
    while (GetTickCount64() < deadline && tavro.running()) {
        Sleep(100);
        std::wstring now = tavro.pane_text();
        if (now != last) {
            last = now;
            since = GetTickCount64();
        } else if (GetTickCount64() - since >= quiet_ms) {
            return true;
        }
    }
    tavro.print_diagnostics("the pane did not come to rest");
    return false;
}

// Lines "<prefix>0001" .. "<prefix>NNNN", CR LF each.
std::string numbered_lines(const char* prefix, int count) {
    std::string text;
    char line[64];
    for (int i = 1; i <= count; i++) {
        snprintf(line, sizeof line, "%s%04d\r\n", prefix, i);
        text += line;
    }
    return text;
}

std::wstring numbered(const char* prefix, int n) {
    char line[64];
    snprintf(line, sizeof line, "%s%04d", prefix, n);
    return utf16(line);
}

// The highest n whose line "<prefix>n" is in the pane, 0 when none is.
int last_numbered_line(const std::wstring& pane, const char* prefix, int count) {
    int last = 0;
    for (int i = 1; i <= count; i++)
        if (has_line(pane, numbered(prefix, i))) last = i;
    return last;
}

// Tavro's own current directory, from its process parameters.
bool current_directory_of(HANDLE process, std::wstring* directory) {
    typedef LONG(NTAPI * QueryInformation)(HANDLE, int, PVOID, ULONG, PULONG);
    struct BasicInformation {
        PVOID exit_status;
        PVOID peb;
        ULONG_PTR affinity, priority, pid, parent;
    } basic = {};
    QueryInformation query =
        (QueryInformation)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess");
    if (!query || query(process, 0, &basic, sizeof basic, NULL) != 0) return false;
    const size_t word = sizeof(void*);
    // PEB.ProcessParameters, and RTL_USER_PROCESS_PARAMETERS.CurrentDirectory.DosPath.
    const size_t parameters_at = word == 8 ? 0x20 : 0x10, directory_at = word == 8 ? 0x38 : 0x24;
    SIZE_T done = 0;
    char* parameters = NULL;
    if (!ReadProcessMemory(process, (char*)basic.peb + parameters_at, &parameters, word, &done)) return false;
    USHORT length = 0;
    wchar_t* buffer = NULL;
    if (!ReadProcessMemory(process, parameters + directory_at, &length, sizeof length, &done) ||
        !ReadProcessMemory(process, parameters + directory_at + word, &buffer, word, &done))
        return false;
    std::vector<wchar_t> text(length / 2 + 1);
    if (length && !ReadProcessMemory(process, buffer, text.data(), length, &done)) return false;
    directory->assign(text.data(), length / 2);
    return true;
}

bool same_directory(std::wstring a, std::wstring b) {
    while (a.size() > 3 && (a.back() == L'\\' || a.back() == L'/')) a.pop_back();
    while (b.size() > 3 && (b.back() == L'\\' || b.back() == L'/')) b.pop_back();
    return lower_ascii(a) == lower_ascii(b);
}

}  // namespace

// ---- Standard error ----------------------------------------------------------

TEST(PaneErrors, StandardErrorShowsInTheErrorColourOnItsOwnLineBeforeThePrompt) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt(colour_settings()));
    // pipecmd's own cd writes its failure to standard error, then the prompt to standard output.
    const std::wstring command = L"cd e2e_no_such_folder";
    const std::wstring failure = L"The system cannot find the path specified.";
    tavro.type_line(command);
    ASSERT_TRUE(tavro.wait_for_pane(failure));
    ASSERT_TRUE(tavro.wait_for_pane_count(tavro.first_prompt(), 2));
    ASSERT_TRUE(wait_for_quiet_pane(tavro, 500));

    std::wstring text;
    ASSERT_TRUE(tavro.pane_text_at_positions(&text));
    size_t echo = text.find(command + L"\r");
    ASSERT_NE(echo, std::wstring::npos) << to_utf8(text);
    size_t error = text.find(failure, echo);
    ASSERT_NE(error, std::wstring::npos) << to_utf8(text);
    size_t prompt = text.find(tavro.first_prompt(), echo);
    ASSERT_NE(prompt, std::wstring::npos) << to_utf8(text);
    // The error comes before the prompt that follows the command, on a line of its own.
    EXPECT_LT(error, prompt) << to_utf8(text);
    EXPECT_EQ(text[error - 1], L'\r') << to_utf8(text);
    size_t error_end = error + failure.size();
    EXPECT_EQ(text[error_end], L'\r') << to_utf8(text);
    for (size_t i = error_end; i < prompt; i++) EXPECT_EQ(text[i], L'\r') << "at " << i << ": " << to_utf8(text);

    COLORREF colour = 0;
    ASSERT_TRUE(tavro.pane_colour((LONG)error, (LONG)error_end, &colour));
    EXPECT_EQ(colour, ERROR_COLOUR);
    ASSERT_TRUE(tavro.pane_colour((LONG)prompt, (LONG)(prompt + tavro.first_prompt().size()), &colour));
    EXPECT_EQ(colour, NORMAL_COLOUR);
    // The command's echo is standard output too.
    ASSERT_TRUE(tavro.pane_colour((LONG)echo, (LONG)(echo + command.size()), &colour));
    EXPECT_EQ(colour, NORMAL_COLOUR);
}

// ---- The prompt moves Tavro --------------------------------------------------

TEST(PanePrompt, CdMovesTheTitleAndTavrosOwnDirectory) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    // Long enough to be the title's whole tail ("..." + the last part).
    const std::wstring name = L"e2e_subdirectory";
    const std::wstring sub = tavro.path_in_folder(name.c_str());
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), NULL));

    ASSERT_TRUE(tavro.run_command(L"cd " + name));
    ASSERT_TRUE(tavro.wait_for_pane(prompt_for(sub)));
    ASSERT_TRUE(tavro.wait_for_title(L"  ...\\" + name));
    std::wstring title = tavro.title();
    EXPECT_EQ(title.rfind(L"Tavro", 0), 0u) << to_utf8(title);
    EXPECT_EQ(title.find(tavro.folder()), std::wstring::npos) << "not shortened: " << to_utf8(title);
    std::wstring directory;
    ASSERT_TRUE(current_directory_of(tavro.process(), &directory));
    EXPECT_TRUE(same_directory(directory, sub)) << to_utf8(directory) << " / " << to_utf8(sub);

    // And back: the folder's own name is the tail now.
    ASSERT_TRUE(tavro.run_command(L"cd .."));
    size_t slash = tavro.folder().find_last_of(L'\\');
    ASSERT_NE(slash, std::wstring::npos);
    ASSERT_TRUE(tavro.wait_for_title(L"  ..." + tavro.folder().substr(slash)));
    EXPECT_EQ(tavro.title().find(name), std::wstring::npos) << to_utf8(tavro.title());
    ASSERT_TRUE(current_directory_of(tavro.process(), &directory));
    EXPECT_TRUE(same_directory(directory, tavro.folder())) << to_utf8(directory);
}

// ---- Size bound and carriage returns -----------------------------------------

TEST(PaneText, FiveThousandLinesLeaveThePaneBelowItsBoundWithTheLastLineShown) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    ASSERT_TRUE(write_file(tavro.path_in_folder(L"many.txt"), numbered_lines("many line ", 5000)));
    // The echo of the command is trimmed away too: wait for the last line and the prompt.
    tavro.type_line(L"type many.txt");
    ASSERT_TRUE(tavro.wait_for_line(numbered("many line ", 5000), 180000));
    // On a condition, not a quiet spell: a busy machine may hold the prompt back longer.
    EXPECT_TRUE(tavro.wait_until([&] { return ends_with(tavro.pane_text(), tavro.first_prompt()); },
                                 "the prompt after the last line", 60000));

    std::wstring text;
    ASSERT_TRUE(tavro.pane_text_at_positions(&text));
    EXPECT_LT(text.size(), 15992u);
    EXPECT_GT(text.size(), 10000u) << "the pane dropped more than its oldest lines";
    EXPECT_TRUE(has_line(text, numbered("many line ", 5000))) << to_utf8(text.substr(text.size() - 300));
    EXPECT_FALSE(has_line(text, numbered("many line ", 1)));
    // The oldest lines went whole: every line that is left is one of the file's, the prompt or
    // the first, possibly cut, line.
    std::vector<std::wstring> lines = split_lines(text);
    ASSERT_GT(lines.size(), 2u);
    int previous = 0;
    for (size_t i = 1; i < lines.size(); i++) {
        if (lines[i].rfind(L"many line ", 0) != 0) continue;
        int n = _wtoi(lines[i].c_str() + 10);
        if (previous) {
            EXPECT_EQ(n, previous + 1) << "line " << i;
        }
        previous = n;
    }
    EXPECT_EQ(previous, 5000);
}

TEST(PaneText, AProgressLineRewrittenByCarriageReturnsEndsAsOneLine) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt());
    ASSERT_TRUE(write_file(tavro.path_in_folder(L"progress.txt"),
                           "before\r\nstep 10%\rstep 20%\rstep 30%\r\nafter\r\n"));
    ASSERT_TRUE(tavro.run_command(L"type progress.txt"));
    std::wstring pane = tavro.pane_text();
    EXPECT_TRUE(has_line(pane, L"step 30%")) << to_utf8(pane);
    EXPECT_EQ(pane.find(L"step 10%"), std::wstring::npos) << to_utf8(pane);
    EXPECT_EQ(pane.find(L"step 20%"), std::wstring::npos) << to_utf8(pane);
    // The lines around it stay where they were.
    std::vector<std::wstring> lines = split_lines(pane);
    size_t at = 0;
    while (at < lines.size() && lines[at] != L"step 30%") at++;
    ASSERT_LT(at, lines.size());
    ASSERT_GT(at, 0u);
    ASSERT_LT(at + 1, lines.size());
    EXPECT_EQ(lines[at - 1], L"before");
    EXPECT_EQ(lines[at + 1], L"after");
    // Later output is appended normally.
    ASSERT_TRUE(tavro.run_command(L"echo e2e-after-progress"));
    EXPECT_TRUE(has_line(tavro.pane_text(), L"e2e-after-progress"));
}

// ---- The pager ---------------------------------------------------------------

// The line count users are shown (the stored count + 1), from View > Properties; 0 when unread.
static int shown_lines(Tavro& tavro) {
    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_PROPERTIES, 0);
    HWND box = wait_for_dialog(tavro.pid());
    if (!box) return 0;
    std::wstring text = dialog_text(box);
    press_button_id(box, IDOK);
    tavro.wait_until([&] { return find_dialog(tavro.pid()) == NULL; }, "the box to close");
    size_t by = text.find(L" characters by ");
    return by == std::wstring::npos ? 0 : _wtoi(text.c_str() + by + 15);
}

class PanePager : public ::testing::Test {
protected:
    enum { LINES = 500 };
    // Starts "type pages.txt | more" and waits for the pager to stop after its first page.
    void SetUp() override {
        ASSERT_TRUE(tavro.start_at_prompt());
        int lines = shown_lines(tavro);
        ASSERT_GT(lines, 5);
        ASSERT_TRUE(write_file(tavro.path_in_folder(L"pages.txt"), numbered_lines("page line ", LINES)));
        // The slave's more passes its input through, as on Windows when its output is not a
        // console: the paging under test is Tavro's own.
        prompts_before = count_occurrences(tavro.pane_text(), L"==> ");
        tavro.type_line(L"type pages.txt | more");
        ASSERT_TRUE(wait_for_prompt_display(tavro, L"\u00bb"));
        ASSERT_TRUE(tavro.wait_for_line(numbered("page line ", 1)));
        // The whole page first, then a quiet spell in which no line beyond it may come.
        ASSERT_TRUE(tavro.wait_until(
            [&] { return last_numbered_line(tavro.pane_text(), "page line ", LINES) >= lines - 3; }, "a page"));
        ASSERT_TRUE(wait_for_quiet_pane(tavro));
        std::wstring pane = tavro.pane_text();
        page_end = last_numbered_line(pane, "page line ", LINES);
        // A page: the stored line count less one, the slave's echo of the command among them.
        ASSERT_EQ(page_end, lines - 3) << to_utf8(pane);
        EXPECT_EQ(tavro.prompt_text(), L"\u00bb");
        EXPECT_EQ(count_occurrences(pane, L"==> "), prompts_before) << to_utf8(pane);
    }
    Tavro tavro;
    size_t prompts_before = 0;
    int page_end = 0;
};

TEST_F(PanePager, QDiscardsTheRestAndAFreshPromptFollows) {
    tavro.type_char(L'q');
    // The rest is dropped, and the slave is asked for a fresh prompt.
    ASSERT_TRUE(wait_for_prompt_display(tavro, L">", 60000));
    ASSERT_TRUE(tavro.wait_for_pane_count(L"==> ", prompts_before + 1, 60000));
    ASSERT_TRUE(wait_for_quiet_pane(tavro));
    std::wstring pane = tavro.pane_text();
    EXPECT_TRUE(ends_with(pane, tavro.first_prompt())) << to_utf8(pane);
    EXPECT_FALSE(has_line(pane, numbered("page line ", LINES))) << to_utf8(pane);
    EXPECT_LT(last_numbered_line(pane, "page line ", LINES), LINES - 100);
    EXPECT_EQ(tavro.input_text(), L"");
    // The "q" went nowhere else: the next command runs as usual.
    ASSERT_TRUE(tavro.run_command(L"echo e2e-after-discard"));
    EXPECT_TRUE(has_line(tavro.pane_text(), L"e2e-after-discard"));
}

TEST_F(PanePager, EnterShowsOneMoreLineAndSubmitsNothing) {
    tavro.press_enter();
    ASSERT_TRUE(tavro.wait_for_line(numbered("page line ", page_end + 1)));
    ASSERT_TRUE(wait_for_quiet_pane(tavro));
    std::wstring pane = tavro.pane_text();
    EXPECT_EQ(last_numbered_line(pane, "page line ", LINES), page_end + 1) << to_utf8(pane);
    EXPECT_EQ(count_occurrences(pane, L"==> "), prompts_before) << to_utf8(pane);
    EXPECT_EQ(tavro.prompt_text(), L"\u00bb");
    EXPECT_EQ(tavro.input_text(), L"");
}

TEST_F(PanePager, ClosingTheWindowWhileThePagerWaitsEndsTavro) {
    ASSERT_TRUE(tavro.close_window());
    EXPECT_LT(tavro.exit_code(), 0xC0000000u) << "Tavro crashed";
    EXPECT_TRUE(tavro.close()) << "something was left running";
}
