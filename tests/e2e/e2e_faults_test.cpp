// Faults from outside: a slave killed mid-command, garbage and floods on its output, oversized
// pastes and lines, settings files that are garbage, huge or read-only, a log path that can't
// be opened and a clipboard held by another program. Tavro must keep running (or end as it
// should) and keep the user's settings, logs and input.
#include <gtest/gtest.h>
#include <functional>
#include "harness.h"

using namespace e2e;

namespace {

enum { COMMAND_CHARS = 2047, PANE_CHARS_MAX = 15992 };
enum { START_AT_PROMPT_MS = 60000 };   // these scenarios wait longer for the first prompt

bool contains(const std::string& bytes, const std::string& needle) { return bytes.find(needle) != std::string::npos; }

// The console program of these tests, beside Tavro where the slave starts.
bool copy_fault_output(Tavro& tavro) {
    std::wstring from = tests_folder() + L"\\fault_output.exe";
    if (CopyFileW(from.c_str(), tavro.path_in_folder(L"fault_output.exe").c_str(), FALSE)) return true;
    printf("e2e: cannot copy %s (error %lu)\n", to_utf8(from).c_str(), (unsigned long)GetLastError());
    return false;
}

// Holds every process Tavro has started, so that what outlives a killed slave can be ended.
class Descendants {
public:
    void add(DWORD root) {
        for (const ProcessEntry& p : descendants_of(root)) {
            bool known = false;
            for (const Process& h : held_) known = known || h.pid() == p.pid;
            if (!known) {
                Process process(p.pid);
                if (process.valid()) held_.push_back(std::move(process));
            }
        }
    }
    ~Descendants() {
        for (const Process& p : held_) {
            p.terminate();
            p.wait_end(5000);
        }
    }

private:
    std::vector<Process> held_;
};

DWORD pipecmd_slave(Tavro& tavro) {
    std::vector<DWORD> pids = tavro.pipecmd_slaves();
    return pids.empty() ? 0 : pids[0];
}

bool fault_output_running(Tavro& tavro) {
    for (const ProcessEntry& p : descendants_of(tavro.pid()))
        if (lower_ascii(p.exe) == L"fault_output.exe") return true;
    return false;
}

// The pane's length as the control counts it (one "\r" per line end).
size_t pane_positions(Tavro& tavro) {
    std::wstring text;
    return tavro.pane_text_at_positions(&text) ? text.size() : (size_t)-1;
}

// Puts text on the clipboard; with keep_open the clipboard stays open (held) until close_clipboard.
class Clipboard {
public:
    Clipboard() { owner_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL); }
    ~Clipboard() {
        close();
        if (owner_) DestroyWindow(owner_);
    }
    bool put(const std::wstring& text, bool keep_open) {
        bool opened = false;
        for (int attempt = 0; attempt < 100 && !(opened = OpenClipboard(owner_)); attempt++) Sleep(POLL_MS);
        if (!opened) return false;
        open_ = true;
        EmptyClipboard();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
        bool ok = memory != NULL;
        if (ok) {
            wchar_t* bytes = (wchar_t*)GlobalLock(memory);
            memcpy(bytes, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
            GlobalUnlock(memory);
            ok = SetClipboardData(CF_UNICODETEXT, memory) != NULL;
            if (!ok) GlobalFree(memory);
        }
        if (!keep_open || !ok) close();
        return ok;
    }
    void close() {
        if (open_) CloseClipboard();
        open_ = false;
    }

private:
    HWND owner_ = NULL;
    bool open_ = false;
};

// "0123456789" over and over, so that any cut shows where it was made.
std::wstring digits(size_t n) {
    std::wstring text;
    for (size_t i = 0; i < n; i++) text.push_back((wchar_t)(L'0' + i % 10));
    return text;
}

// Submits the long echo line in the input line and checks that exactly its first 2,047
// characters reached the slave, and that the next command still works.
void expect_submitted_cut(Tavro& tavro, const std::wstring& line) {
    std::wstring cut = line.substr(0, COMMAND_CHARS);
    std::wstring output = cut.substr(5);   // what "echo " prints
    tavro.press_enter();
    ASSERT_TRUE(tavro.wait_for_line(output, 60000));
    std::wstring pane = tavro.pane_text();
    EXPECT_TRUE(has_line(pane, tavro.first_prompt() + cut)) << "the slave's echo of the cut line is missing";
    EXPECT_EQ(pane.find(line.substr(0, COMMAND_CHARS + 1)), std::wstring::npos) << "more than 2,047 characters went";
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker, 60000));
    EXPECT_TRUE(has_line(tavro.pane_text(), marker));
    EXPECT_TRUE(tavro.running());
}

std::string settings_for_this_volume(const std::string& middle) {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    std::string app = to_8bit(pipecmd_exe_path());
    if (app.find(' ') != std::string::npos) app = "\"" + app + "\"";
    return "[Window]\r\nTop=0\r\nHeight=600\r\nLeft=0\r\nWidth=800\r\n[Misc]\r\nApp=" + app + "\r\nVolSerialNbr=" +
           std::to_string((int)volume_serial_of(temp)) + "\r\n" + middle;
}

}  // namespace

// ---- The slave killed from outside ------------------------------------------------------

TEST(FaultSlave, KilledMidCommandTavroEndsSavingSettingsAndClosingTheLog) {
    Tavro tavro;
    Descendants left;
    ASSERT_TRUE(tavro.start_at_prompt(StartOptions(), START_AT_PROMPT_MS));
    ASSERT_TRUE(copy_fault_output(tavro));
    ASSERT_TRUE(tavro.start_output_log());
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker));
    // What Tavro wrote so far: the file it writes at the end replaces this one.
    const std::string before = "[Window]\r\nTop=0\r\n";
    ASSERT_TRUE(write_file(tavro.settings_path(), before));

    tavro.type_line(L"fault_output sleep 60");
    ASSERT_TRUE(tavro.wait_for_line(L"sleeping", 60000));
    left.add(tavro.pid());
    DWORD slave = pipecmd_slave(tavro);
    ASSERT_NE(slave, 0u);
    Process(slave).terminate();

    ASSERT_TRUE(tavro.wait_for_exit(60000));
    EXPECT_EQ(tavro.exit_code(), 0u);
    std::string settings;
    ASSERT_TRUE(read_file(tavro.settings_path(), &settings));
    EXPECT_NE(settings, before);
    EXPECT_TRUE(contains(settings, "\r\nUses=1\r\n")) << settings;
    EXPECT_TRUE(contains(settings, "\r\nPIDlastCMD=" + std::to_string(slave) + "\r\n")) << settings;
    EXPECT_TRUE(contains(settings, "\r\nLogging=1\r\n")) << settings;   // on when Tavro ended
    EXPECT_TRUE(contains(settings, "\r\nVolSerialNbr=" + std::to_string((int)tavro.volume_serial()) + "\r\n"))
        << settings;
    std::string log;
    ASSERT_TRUE(read_file(tavro.path_in_folder(L"tavro.log"), &log));
    size_t output = log.find(to_utf8(marker) + "\r\n"), ended = log.find("--Logging ended at ");
    EXPECT_EQ(log.find("++Logging begun at "), 0u) << log;
    EXPECT_NE(output, std::string::npos) << log;
    ASSERT_NE(ended, std::string::npos) << log;
    EXPECT_LT(output, ended) << log;
    EXPECT_NE(log.find("sleeping\r\n"), std::string::npos) << log;
}

// Lines typed while the slave runs a silent command wait in Tavro, not in a pipe that fills up:
// once the command writes more than its output pipe holds, each side would wait on the other.
TEST(FaultSlave, LinesTypedAheadOfASilentCommandNeverHangTavro) {
    Tavro tavro;
    Descendants left;
    ASSERT_TRUE(tavro.start_at_prompt(StartOptions(), START_AT_PROMPT_MS));
    ASSERT_TRUE(copy_fault_output(tavro));
    std::wstring done = unique_marker();
    tavro.type_line(L"fault_output late 30 24 " + done);
    ASSERT_TRUE(tavro.wait_for_pane(L"> fault_output late 30 24 " + done, 60000));
    left.add(tavro.pid());
    std::vector<std::wstring> outputs;
    for (int i = 0; i < 3; i++) {
        outputs.push_back(unique_marker() + L" " + digits(1900));
        tavro.type_text(L"echo " + outputs.back());
        ASSERT_TRUE(tavro.wait_for_input(L"echo " + outputs.back(), 60000));
        tavro.press_enter();
        ASSERT_TRUE(tavro.wait_until([&] { return tavro.input_text().empty(); }, "the line to be taken", 60000));
    }
    // Tavro answers while the lines go out...
    tavro.type_char(L'k');
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.input_text() == L"k"; }, "the typed letter", 60000));
    tavro.type_char(27);
    // ...shows all the command's output, and the slave gets every typed line complete and in order.
    ASSERT_TRUE(tavro.wait_for_line(done, 180000));
    for (const std::wstring& output : outputs) ASSERT_TRUE(tavro.wait_for_line(output, 180000));
    std::wstring pane = tavro.pane_text();
    EXPECT_LT(pane.find(outputs[0]), pane.find(outputs[1]));
    EXPECT_LT(pane.find(outputs[1]), pane.find(outputs[2]));
}

// Ctrl+C and Yes end a command that prints nothing: the slave and all it started go, so the file
// the command would have written never appears, and a new slave answers.
TEST(FaultSlave, CtrlCEndsASilentCommandAndAllOfTheOldSlave) {
    Tavro tavro;
    Descendants left;
    ASSERT_TRUE(tavro.start_at_prompt(StartOptions(), START_AT_PROMPT_MS));
    ASSERT_TRUE(copy_fault_output(tavro));
    ULONGLONG began = GetTickCount64();
    tavro.type_line(L"fault_output quiet 15 quiet.txt");
    ASSERT_TRUE(tavro.wait_until([&] { return fault_output_running(tavro); }, "the silent command", 60000));
    left.add(tavro.pid());
    std::vector<Process> old;
    for (const ProcessEntry& p : descendants_of(tavro.pid())) old.push_back(Process(p.pid));
    ASSERT_FALSE(old.empty());

    tavro.type_char(3);
    HWND dialog = wait_for_dialog(tavro.pid(), 60000);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(press_button(dialog, L"Yes"));
    ASSERT_TRUE(tavro.wait_for_prompt_after(L"**INTERRUPTED**", 60000));
    ASSERT_TRUE(tavro.wait_until(
                                 [&] {
                               for (const Process& p : old)
                                   if (p.valid() && p.running()) return false;
                               return true;
                           },
                           "every process of the old slave to end", 60000));
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker, 60000));
    EXPECT_TRUE(has_line(tavro.pane_text(), marker));
    // Past the time the command would have written its file.
    ASSERT_TRUE(tavro.wait_until([&] { return GetTickCount64() - began > 20000; }, "the command's time", 60000));
    EXPECT_FALSE(file_exists(tavro.path_in_folder(L"quiet.txt")));
}

// ---- What the slave prints ---------------------------------------------------------------

TEST(FaultOutput, NulBytesGarbageAndHugeLinesLeaveABoundedPaneThatAnswers) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt(StartOptions(), START_AT_PROMPT_MS));
    ASSERT_TRUE(copy_fault_output(tavro));
    std::wstring done = unique_marker();
    ULONGLONG began = GetTickCount64();
    tavro.type_line(L"fault_output garbage " + done);
    // While the long line of letters prints, typing still reaches the input line.
    ASSERT_TRUE(tavro.wait_for_pane(L"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz", 120000));
    tavro.type_char(L'k');
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.input_text() == L"k"; }, "the typed letter", 60000));
    EXPECT_FALSE(has_line(tavro.pane_text(), done)) << "the long line had ended before the letter showed";
    tavro.type_char(27);
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.input_text().empty(); }, "an empty input line", 60000));
    // The huge lines push the command's echo out of the pane: wait for what comes after them.
    ASSERT_TRUE(tavro.wait_until(
                                 [&] {
                               std::wstring pane = tavro.pane_text();
                               size_t at = pane.rfind(done);
                               return at != std::wstring::npos && at > 0 && pane[at - 1] == L'\n' &&
                                      ends_with(pane, L"> ") && pane.find(L"==> ", at) != std::wstring::npos;
                           },
                           "the end of the garbage and a prompt", 300000));
    printf("garbage took %lu ms\n", (unsigned long)(GetTickCount64() - began));
    size_t length = pane_positions(tavro);
    EXPECT_LT(length, (size_t)PANE_CHARS_MAX);
    EXPECT_GT(length, 0u);
    // The tail of the last huge line is all there, up to the marker.
    std::wstring pane = tavro.pane_text(), letters;
    for (size_t i = 100000 - 1000; i < 100000; i++) letters.push_back((wchar_t)(L'a' + i % 26));
    EXPECT_NE(pane.find(letters + L"\r\n" + done), std::wstring::npos);

    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker, 60000));
    EXPECT_TRUE(has_line(tavro.pane_text(), marker));
    EXPECT_LT(pane_positions(tavro), (size_t)PANE_CHARS_MAX);
}

// Tools such as wmic write UTF-16LE into the pipe: its lines show whole, in both streams, the next
// prompt is 8-bit again, and the error log keeps the bytes as they came.
TEST(FaultOutput, Utf16FromAToolShowsWholeAndTheErrorLogKeepsItsBytes) {
    Tavro tavro;
    StartOptions options;
    options.extra_settings = "ErrorLog=1\n[Fonts]\nHighlightErrs=1\n";
    ASSERT_TRUE(tavro.start_at_prompt(options, START_AT_PROMPT_MS));
    ASSERT_TRUE(copy_fault_output(tavro));
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"fault_output utf16 " + marker, 60000));
    ASSERT_TRUE(tavro.wait_for_line(L"Fehler \x00E4\x4E2D " + marker, 60000));
    std::wstring pane = tavro.pane_text();
    EXPECT_TRUE(has_line(pane, L"Caption")) << to_utf8(pane);
    EXPECT_TRUE(has_line(pane, L"Microsoft Windows \x00E4\x4E2D " + marker)) << to_utf8(pane);
    std::wstring next = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + next, 60000));
    EXPECT_TRUE(has_line(tavro.pane_text(), next));

    // Log Errors off closes the error log, which writes it out.
    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_LOG_ERRORS, 0);
    std::string log, expected;
    for (wchar_t c : L"Fehler \x00E4\x4E2D " + marker) expected += {(char)(c & 0xFF), (char)(c >> 8)};
    ASSERT_TRUE(wait_for_file_text(tavro.path_in_folder(L"tavro.err"), expected, &log));
}

TEST(FaultOutput, TypingAndCtrlCReachTavroDuringA20MegabyteFlood) {
    Tavro tavro;
    Descendants left;
    ASSERT_TRUE(tavro.start_at_prompt(StartOptions(), START_AT_PROMPT_MS));
    ASSERT_TRUE(copy_fault_output(tavro));
    DWORD old_slave = pipecmd_slave(tavro);
    ASSERT_NE(old_slave, 0u);
    std::wstring done = unique_marker();
    tavro.type_line(L"fault_output flood 20 " + done);
    ASSERT_TRUE(tavro.wait_for_pane(L"flood line 00000", 60000));
    left.add(tavro.pid());

    tavro.type_char(L'k');
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.input_text() == L"k"; }, "the typed letter", 60000));
    EXPECT_TRUE(fault_output_running(tavro)) << "the flood ended before the letter showed";
    EXPECT_FALSE(has_line(tavro.pane_text(), done));
    EXPECT_LT(pane_positions(tavro), (size_t)PANE_CHARS_MAX);
    tavro.type_char(27);
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.input_text().empty(); }, "an empty input line", 60000));

    tavro.type_char(3);
    HWND dialog = wait_for_dialog(tavro.pid(), 60000);
    ASSERT_TRUE(dialog);
    EXPECT_NE(dialog_text(dialog).find(L"Terminate command?"), std::wstring::npos) << to_utf8(dialog_text(dialog));
    ASSERT_TRUE(press_button(dialog, L"Yes"));
    ASSERT_TRUE(tavro.wait_for_pane(L"\t**INTERRUPTED**", 60000));
    ASSERT_TRUE(tavro.wait_for_prompt_after(L"**INTERRUPTED**", 60000));
    EXPECT_NE(pipecmd_slave(tavro), old_slave);
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker, 60000));
    EXPECT_TRUE(has_line(tavro.pane_text(), marker));
    EXPECT_FALSE(has_line(tavro.pane_text(), done)) << "the flood ran to its end";
}

// ---- Oversized input ------------------------------------------------------------------

TEST(FaultInput, A5000CharacterPasteIsSubmittedCutAt2047) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt(StartOptions(), START_AT_PROMPT_MS));
    std::wstring line = L"echo " + digits(4995);
    Clipboard clipboard;
    ASSERT_TRUE(clipboard.put(line, false));
    tavro.type_char(22);
    std::wstring held;
    ASSERT_TRUE(tavro.wait_until([&] { return (held = tavro.input_text()).size() >= (size_t)COMMAND_CHARS; },
                                 "the pasted text", 60000));
    EXPECT_LE(held.size(), line.size());
    EXPECT_EQ(held, line.substr(0, held.size()));
    expect_submitted_cut(tavro, line);
}

TEST(FaultInput, A3000CharacterTypedLineIsSubmittedCutAt2047) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt(StartOptions(), START_AT_PROMPT_MS));
    std::wstring line = L"echo " + digits(2995);
    tavro.type_text(line);
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.input_text() == line; }, "the typed line", 60000));
    expect_submitted_cut(tavro, line);
}

TEST(FaultInput, APasteWaitsForAClipboardHeldHalfASecond) {
    Tavro tavro;
    ASSERT_TRUE(tavro.start_at_prompt(StartOptions(), START_AT_PROMPT_MS));
    std::wstring text = L"echo held-" + unique_marker();
    Clipboard clipboard;
    ASSERT_TRUE(clipboard.put(text, true));
    tavro.type_char(22);
    Sleep(500);   // holding the clipboard, as another program would
    clipboard.close();
    ASSERT_TRUE(tavro.wait_until([&] { return tavro.input_text() == text; }, "the pasted text", 30000));
    ASSERT_TRUE(tavro.run_command(text));
}

// ---- Settings files ----------------------------------------------------------------------

TEST(FaultSettings, BinaryGarbageStartsWithDefaults) {
    std::string garbage;
    unsigned state = 4242;
    for (int i = 0; i < 8192; i++) {
        state = state * 1103515245u + 12345u;
        garbage.push_back((char)(state >> 16));
    }
    Tavro tavro;
    StartOptions options;
    options.raw_settings = garbage;
    options.slave_as_cmd = true;   // the default App, cmd.exe, is then pipecmd
    ASSERT_TRUE(tavro.start_at_prompt(options, START_AT_PROMPT_MS));
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker, 60000));
    EXPECT_TRUE(has_line(tavro.pane_text(), marker));
    ASSERT_TRUE(tavro.close_window(60000));
    // Enter agreed to the disclaimer: the settings are written afresh, for this volume.
    std::string settings;
    ASSERT_TRUE(read_file(tavro.settings_path(), &settings));
    EXPECT_EQ(settings.compare(0, 10, "[Window]\r\n"), 0) << settings;
    EXPECT_TRUE(contains(settings, "\r\nVolSerialNbr=" + std::to_string((int)tavro.volume_serial()) + "\r\n"))
        << settings;
}

TEST(FaultSettings, AOneMegabyteLineIsCutAndTheStoredValuesAroundItKept) {
    Tavro tavro;
    StartOptions options;
    options.raw_settings = settings_for_this_volume("WordDelims=" + std::string(1 << 20, 'w') + "\r\nBeepsMax=7\r\n");
    ASSERT_TRUE(tavro.start_at_prompt(options, START_AT_PROMPT_MS));
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker, 60000));
    ASSERT_TRUE(tavro.close_window(60000));
    std::string settings;
    ASSERT_TRUE(read_file(tavro.settings_path(), &settings));
    EXPECT_TRUE(contains(settings, "\r\nBeepsMax=7\r\n")) << settings;
    EXPECT_TRUE(contains(settings, "\r\nVolSerialNbr=" + std::to_string((int)tavro.volume_serial()) + "\r\n"))
        << settings;
    // WordDelims keeps at most 38 characters.
    EXPECT_TRUE(contains(settings, "\r\nWordDelims=" + std::string(38, 'w') + "\r\n")) << settings.substr(0, 2000);
    EXPECT_LT(settings.size(), 8192u);
}

TEST(FaultSettings, AReadOnlyFileStaysAsItIsAndTheLogIsStillKept) {
    Tavro tavro;
    StartOptions options;
    options.read_only_settings = true;
    ASSERT_TRUE(tavro.start_at_prompt(options, START_AT_PROMPT_MS));
    std::string before;
    ASSERT_TRUE(read_file(tavro.settings_path(), &before));
    ASSERT_TRUE(tavro.start_output_log());
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker, 60000));
    ASSERT_TRUE(tavro.close_window(60000));
    std::string after;
    ASSERT_TRUE(read_file(tavro.settings_path(), &after));
    EXPECT_EQ(after, before);
    EXPECT_NE(GetFileAttributesW(tavro.settings_path().c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(file_exists(tavro.settings_path() + L".tmp"));
    std::string log;
    ASSERT_TRUE(read_file(tavro.path_in_folder(L"tavro.log"), &log));
    EXPECT_TRUE(contains(log, to_utf8(marker) + "\r\n")) << log;
    EXPECT_TRUE(contains(log, "--Logging ended at ")) << log;
}

// ---- A log that can't be opened ------------------------------------------------------------

TEST(FaultLogs, ALogInAMissingFolderSaysSoAndLeavesLoggingOff) {
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    std::wstring path = std::wstring(temp) + L"tavro-e2e-" + unique_marker() + L"\\nope\\x.log";
    Tavro tavro;
    StartOptions options;
    options.extra_settings = "FileLog=" + to_8bit(path) + "\n";
    ASSERT_TRUE(tavro.start_at_prompt(options, START_AT_PROMPT_MS));
    RemoteText mode(tavro.process(), L"ab");
    ASSERT_TRUE(mode.valid());
    // Posted: the message box holds the command until it is answered.
    PostMessageW(tavro.main_window(), WM_COMMAND, CMD_OPEN_OUTPUT_LOG, mode.pointer());
    HWND dialog = wait_for_dialog(tavro.pid(), 60000);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog_caption(dialog), path);
    EXPECT_NE(dialog_text(dialog).find(L"Cannot open log file"), std::wstring::npos) << to_utf8(dialog_text(dialog));
    ASSERT_TRUE(press_button(dialog, L"OK"));
    ASSERT_TRUE(tavro.wait_until([&] { return find_dialog(tavro.pid()) == NULL; }, "the box to close"));
    EXPECT_EQ(tavro.title().find(L"Logging output"), std::wstring::npos) << to_utf8(tavro.title());
    std::wstring marker = unique_marker();
    ASSERT_TRUE(tavro.run_command(L"echo " + marker, 60000));
    EXPECT_EQ(tavro.title().find(L"Logging output"), std::wstring::npos) << to_utf8(tavro.title());
    EXPECT_FALSE(file_exists(path));
}
