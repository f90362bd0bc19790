// The benchmark driver: runs Tavro with pipecmd as its slave, drives it from outside as the
// end-to-end tests do, and prints one table. Each figure is the median of several runs, with
// its min and max, and where a figure has a floor (the waits Tavro makes on purpose) the floor
// is measured in the same run: the real length of a 10 ms and a 50 ms sleep on this machine
// now, and the producer's own time, taken by draining the same command through a bare pipe
// reader instead of Tavro.
//
//   tavro_bench [--runs N] [--idle-seconds S] [--raw FILE] [--table FILE] [--only FIGURES]
//
// --table: the table (Markdown; standard output without it). --raw: one line per sample and per figure, for a
// later run to be compared with.
#include <windows.h>
#include <psapi.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>
#include "harness.h"
#include "flood_text.h"

using namespace e2e;

namespace {

const long FLOOD_BYTES = 1048576;
const int READ_BYTES = 1020;            // one read of the output reader
const int SEND_CHUNK = 10;              // bytes sent to the slave per 50 ms
const DWORD FLOOD_WAIT_MS = 300000;     // a 1 MiB run on a loaded machine

FILE* raw_file = NULL;

double now_ms() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

void raw(const char* format, ...) {
    if (!raw_file) return;
    va_list args;
    va_start(args, format);
    vfprintf(raw_file, format, args);
    va_end(args);
    fflush(raw_file);
}

void note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fflush(stderr);
}

struct Stats {
    double median = 0, min = 0, max = 0;
    size_t n = 0;
};

Stats stats_of(std::vector<double> v) {
    Stats s;
    s.n = v.size();
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.min = v.front();
    s.max = v.back();
    s.median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    return s;
}

// The real length of Sleep(ms) now: the unit of every floor.
double measured_sleep(DWORD ms, int count) {
    std::vector<double> v;
    for (int i = 0; i < count; i++) {
        double t0 = now_ms();
        Sleep(ms);
        v.push_back(now_ms() - t0);
    }
    return stats_of(v).median;
}

std::wstring folder_of_this_program() {
    wchar_t path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH + 1);
    std::wstring p(path, n);
    size_t slash = p.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : p.substr(0, slash);
}

std::wstring flood_exe() { return folder_of_this_program() + L"\\flood.exe"; }

// ---- What the reader must do -------------------------------------------------------------

// The bytes of a flood run on one stream: its lines, and for standard output the end line.
std::string flood_stream(bool mixed, int stream) {
    std::string out;
    char line[FLOOD_LINE_MAX];
    long long written = 0;
    for (long number = 0; written < FLOOD_BYTES; number++) {
        size_t n = flood_line(number, line, sizeof line);
        written += (long long)n;
        if ((mixed ? (int)(number & 1) : 0) == stream) out.append(line, n);
    }
    if (stream == 0) {
        char end[64];
        snprintf(end, sizeof end, "%s %lld\r\n", FLOOD_END, written);
        out += end;
    }
    return out;
}

// What the output reader must do with a flood when all of it is already waiting: how many reads,
// and how many prints, each with its 10 ms yield. The main loop reads standard output, then
// standard error, while either has bytes. Each read takes 1020 bytes less what the last one held
// back (an unfinished line with the line break before it, or a lone CR), and first prints, as a
// print of its own, the line break that starts the other stream's held-back line.
struct ReaderWork {
    long reads = 0, prints = 0;
};

ReaderWork replay_reader(const std::string& out, const std::string& err) {
    struct Stream {
        const std::string* bytes;
        size_t at;
        std::string tail;
    };
    Stream streams[2] = {{&out, 0, ""}, {&err, 0, ""}};
    ReaderWork work;
    while (streams[0].at < out.size() || streams[1].at < err.size()) {
        for (int i = 0; i < 2; i++) {
            Stream& self = streams[i];
            Stream& other = streams[1 - i];
            if (self.at >= self.bytes->size()) continue;   // nothing waiting: the loop does not read it
            if (other.tail.rfind("\r\n", 0) == 0) {
                other.tail.erase(0, 2);
                work.prints++;
            } else if (!other.tail.empty() && other.tail[0] == '\n') {
                other.tail.erase(0, 1);
                work.prints++;
            }
            std::string text = self.tail;
            self.tail.clear();
            if (text.size() < (size_t)READ_BYTES) {
                size_t take = std::min((size_t)READ_BYTES - text.size(), self.bytes->size() - self.at);
                text += self.bytes->substr(self.at, take);
                self.at += take;
                work.reads++;
            }
            bool more = self.at < self.bytes->size();
            if (!text.empty() && text.back() == '\r') {
                self.tail = "\r";
                text.pop_back();
            } else if (more) {
                size_t lf = text.rfind('\n');
                if (lf != std::string::npos) {
                    size_t cut = lf > 0 && text[lf - 1] == '\r' ? lf - 1 : lf;
                    if (cut != 0 || text.size() < (size_t)READ_BYTES) {
                        self.tail = text.substr(cut);
                        text.resize(cut);
                    }
                }
            }
            if (!text.empty()) work.prints++;
        }
    }
    return work;
}

long send_chunks(size_t bytes) { return (long)((bytes + SEND_CHUNK - 1) / SEND_CHUNK); }
// The waits in sending: the first chunk goes at once, each further one 50 ms after the last.
long send_pauses(size_t bytes) { return bytes ? send_chunks(bytes) - 1 : 0; }

// ---- A bare pipe reader: the slave without Tavro -----------------------------------------

class BareSlave {
public:
    ~BareSlave() { stop(); }

    bool start(const std::wstring& folder) {
        SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
        HANDLE in_r, out_w, err_w;
        if (!CreatePipe(&in_r, &in_w_, &sa, 0) || !CreatePipe(&out_r_, &out_w, &sa, 0) ||
            !CreatePipe(&err_r_, &err_w, &sa, 0))
            return false;
        SetHandleInformation(in_w_, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(out_r_, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(err_r_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_MINIMIZE;
        si.hStdInput = in_r;
        si.hStdOutput = out_w;
        si.hStdError = err_w;
        std::wstring line = L"\"" + pipecmd_exe_path() + L"\"";
        std::vector<wchar_t> writable(line.begin(), line.end());
        writable.push_back(0);
        bool ok = CreateProcessW(NULL, writable.data(), NULL, NULL, TRUE, 0, NULL, folder.c_str(), &si, &pi_) != 0;
        CloseHandle(in_r);
        CloseHandle(out_w);
        CloseHandle(err_w);
        return ok;
    }

    void send(const std::string& bytes) {
        DWORD done = 0;
        WriteFile(in_w_, bytes.data(), (DWORD)bytes.size(), &done, NULL);
    }

    // Reads whatever waits on either pipe; true when something came.
    bool pump() {
        bool got = false;
        HANDLE pipes[2] = {out_r_, err_r_};
        std::string* into[2] = {&out, &err};
        char buffer[65536];
        for (int i = 0; i < 2; i++) {
            DWORD waiting = 0;
            if (!PeekNamedPipe(pipes[i], NULL, 0, NULL, &waiting, NULL) || waiting == 0) continue;
            DWORD n = 0;
            if (ReadFile(pipes[i], buffer, std::min<DWORD>(waiting, sizeof buffer), &n, NULL) && n > 0) {
                into[i]->append(buffer, n);
                got = true;
            }
        }
        return got;
    }

    bool wait(const std::function<bool()>& done, DWORD timeout_ms) {
        double deadline = now_ms() + timeout_ms;
        for (;;) {
            bool got = pump();
            if (done()) return true;
            if (now_ms() > deadline) return false;
            if (!got) Sleep(1);
        }
    }

    void stop() {
        if (pi_.hProcess) {
            send("exit\r\n");
            if (WaitForSingleObject(pi_.hProcess, 3000) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 1);
            CloseHandle(pi_.hProcess);
            CloseHandle(pi_.hThread);
            pi_ = PROCESS_INFORMATION();
        }
        for (HANDLE* h : {&in_w_, &out_r_, &err_r_})
            if (*h) {
                CloseHandle(*h);
                *h = NULL;
            }
    }

    std::string out, err;

private:
    PROCESS_INFORMATION pi_ = {};
    HANDLE in_w_ = NULL, out_r_ = NULL, err_r_ = NULL;
};

// A folder of our own with flood.exe in it, for the bare runs.
class Scratch {
public:
    Scratch() {
        wchar_t temp[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, temp);
        wchar_t name[64];
        _snwprintf(name, 63, L"tavro-bench-%lu", (unsigned long)GetCurrentProcessId());
        name[63] = 0;
        std::wstring path = std::wstring(temp) + name;
        CreateDirectoryW(path.c_str(), NULL);
        wchar_t longer[MAX_PATH + 1];
        DWORD m = GetLongPathNameW(path.c_str(), longer, MAX_PATH + 1);
        folder = m > 0 && m <= MAX_PATH ? std::wstring(longer, m) : path;
        CopyFileW(flood_exe().c_str(), (folder + L"\\flood.exe").c_str(), FALSE);
    }
    ~Scratch() {
        DeleteFileW((folder + L"\\flood.exe").c_str());
        RemoveDirectoryW(folder.c_str());
    }
    std::wstring folder;
};

std::string narrow(const std::wstring& w) { return to_utf8(w); }

// The prompt line Tavro sends at start-up.
std::string prompt_line(int code_page) {
    return "prompt $Q$Q$G$S$p$g$s\r\nCHCP " + std::to_string(code_page) + "\r\n";
}

// A bare slave in the scratch folder, at its first prompt of the shape Tavro asks for.
bool bare_at_prompt(BareSlave* slave, const Scratch& scratch, double* start_ms = NULL) {
    double t0 = now_ms();
    if (!slave->start(scratch.folder)) return false;
    std::string prompt = narrow(prompt_for(scratch.folder));
    slave->send("prompt $Q$Q$G$S$p$g$s\r\n");
    bool ok = slave->wait([&] { return slave->out.find(prompt) != std::string::npos; }, 60000);
    if (start_ms) *start_ms = now_ms() - t0;
    slave->out.clear();
    slave->err.clear();
    return ok;
}

// The time the slave and the producer need for a flood with nobody but a bare reader draining it.
double bare_flood_ms(const Scratch& scratch, bool mixed) {
    BareSlave slave;
    if (!bare_at_prompt(&slave, scratch)) return -1;
    std::string prompt = narrow(prompt_for(scratch.folder));
    std::string command = "flood " + std::to_string(FLOOD_BYTES) + (mixed ? " mixed" : "") + "\r\n";
    double t0 = now_ms();
    slave.send(command);
    bool ok = slave.wait(
        [&] {
            size_t end = slave.out.rfind(FLOOD_END);
            return end != std::string::npos && slave.out.find(prompt, end) != std::string::npos;
        },
        FLOOD_WAIT_MS);
    double t = now_ms() - t0;
    return ok ? t : -1;
}

double bare_echo_ms(const Scratch& scratch, const std::string& marker) {
    BareSlave slave;
    if (!bare_at_prompt(&slave, scratch)) return -1;
    double t0 = now_ms();
    slave.send("echo " + marker + "\r\n");
    bool ok = slave.wait([&] { return count_occurrences(utf16(slave.out.c_str()), utf16(marker.c_str())) >= 2; },
                         WAIT_MS);
    double t = now_ms() - t0;
    return ok ? t : -1;
}

// ---- Tavro ---------------------------------------------------------------------------------

bool flood_done(Tavro& tavro) {
    std::wstring pane = tavro.pane_text();
    size_t end = pane.rfind(utf16(FLOOD_END));
    return end != std::wstring::npos && pane.find(tavro.first_prompt(), end) != std::wstring::npos;
}

// Types the command and waits until the input line holds it, so that the clock measures
// Enter and what follows, not the typing.
bool type_command(Tavro& tavro, const std::wstring& command) {
    tavro.type_text(command);
    return tavro.wait_for_input(command);
}

double working_set_mib(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return -1;
    return (double)counters.WorkingSetSize / (1024.0 * 1024.0);
}

double cpu_ms(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return (double)(k.QuadPart + u.QuadPart) / 10000.0;
}

// Under Wine the process's Linux side knows its times and resident size better than the
// Windows calls do for another process (Wine answers those with zeros or its own estimate):
// find the Linux process through Wine's Z: drive by the unique folder Tavro runs from.
DWORD linux_pid_of(const Tavro& tavro) {
    std::wstring folder = tavro.folder();
    std::string needle = narrow(folder.substr(folder.find_last_of(L"\\") + 1)) + "\\tavro.exe";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    DWORD pid = 0;
    do {
        if (found.cFileName[0] < L'0' || found.cFileName[0] > L'9') continue;
        std::string cmdline;
        if (!read_file(std::wstring(L"Z:\\proc\\") + found.cFileName + L"\\cmdline", &cmdline)) continue;
        if (cmdline.find(needle) != std::string::npos) pid = (DWORD)_wtoi(found.cFileName);
    } while (!pid && FindNextFileW(search, &found));
    FindClose(search);
    return pid;
}

// User + system time from /proc/PID/stat, in clock ticks of 10 ms (USER_HZ 100).
double linux_cpu_ms(DWORD pid) {
    std::string stat;
    if (!pid || !read_file(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\stat", &stat)) return -1;
    size_t paren = stat.rfind(')');
    if (paren == std::string::npos) return -1;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    const char* p = stat.c_str() + paren + 2;
    double utime = 0, stime = 0;
    for (int field = 3; field <= 15 && *p; field++) {
        if (field == 14) utime = atof(p);
        if (field == 15) stime = atof(p);
        while (*p && *p != ' ') p++;
        while (*p == ' ') p++;
    }
    return (utime + stime) * 10.0;
}

double linux_rss_mib(DWORD pid) {
    std::string status;
    if (!pid || !read_file(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\status", &status)) return -1;
    size_t at = status.find("VmRSS:");
    if (at == std::string::npos) return -1;
    return atof(status.c_str() + at + 6) / 1024.0;
}

double cpu_ms_of(const Tavro& tavro) {
    double ms = linux_cpu_ms(linux_pid_of(tavro));
    return ms >= 0 ? ms : cpu_ms(tavro.process());
}

double rss_mib_of(const Tavro& tavro) {
    double mib = linux_rss_mib(linux_pid_of(tavro));
    return mib >= 0 ? mib : working_set_mib(tavro.process());
}

StartOptions options_for(bool highlight_errs) {
    StartOptions o;
    if (highlight_errs) o.extra_settings = "[Fonts]\nHighlightErrs=1\n";
    return o;
}

bool started(Tavro& tavro, const StartOptions& options) {
    if (!tavro.start_at_prompt(options, 60000)) return false;
    // The flood producer in the slave's folder, so the command is short to send.
    return CopyFileW(flood_exe().c_str(), tavro.path_in_folder(L"flood.exe").c_str(), FALSE) != 0;
}

// ---- The table -----------------------------------------------------------------------------

struct Row {
    std::string figure, unit;
    Stats value;
    bool has_floor = false;
    Stats floor;
    Stats ratio;             // value / floor per run, or value - floor for "floor + x"
    std::string target;
    std::string verdict;     // "met", "MISSED", or "report"
    std::string remark;
};

std::vector<Row> rows;

void raw_samples(const char* key, const std::vector<double>& v) {
    raw("sample %s", key);
    for (double x : v) raw(" %.3f", x);
    raw("\n");
}

std::string fmt(double v, int decimals = 0) {
    char b[64];
    snprintf(b, sizeof b, "%.*f", decimals, v);
    return b;
}

std::string triple(const Stats& s, int decimals) {
    if (s.n == 0) return "n/a";
    return fmt(s.median, decimals) + " (" + fmt(s.min, decimals) + "-" + fmt(s.max, decimals) + ")";
}

void add_row(const Row& r) {
    rows.push_back(r);
    raw("figure|%s|%s|%.3f|%.3f|%.3f|%s|%.3f|%.3f|%s|%s\n", r.figure.c_str(), r.unit.c_str(), r.value.median,
        r.value.min, r.value.max, r.has_floor ? fmt(r.floor.median, 3).c_str() : "-", r.ratio.median, r.ratio.max,
        r.target.c_str(), r.verdict.c_str());
}

// ---- Figures -------------------------------------------------------------------------------

// Windows rounds sleeps and timers up to the system tick, 15.625 ms unless a process asks for a
// finer one (Tavro does while output flows): what a wait of ms would take on such ticks.
const double DEFAULT_TICK_MS = 15.625;
double on_default_ticks(double ms) { return ceil(ms / DEFAULT_TICK_MS) * DEFAULT_TICK_MS; }

struct FloodRun {
    double total_ms = -1, floor_ms = -1, producer_ms = -1;
    double tick_floor_ms = -1;    // the floor with sleeps and timers rounded to the default tick
    double print_floor_ms = -1;   // the same with every print the reader must make, not only reads
    long prints = 0;
    double rss_start = -1, rss_after = -1;
};

// Enter on the flood command until the final prompt is shown; the bare reader runs the same
// command right after, so the floor is measured under the same load.
FloodRun flood_run(bool mixed, double sleep10, double sleep50, const Scratch& scratch) {
    FloodRun run;
    Tavro tavro;
    if (!started(tavro, options_for(mixed))) return run;
    Sleep(500);
    run.rss_start = rss_mib_of(tavro);
    std::wstring command = L"flood " + std::to_wstring(FLOOD_BYTES) + (mixed ? L" mixed" : L"");
    if (!type_command(tavro, command)) return run;
    double t0 = now_ms();
    tavro.press_enter();
    if (!tavro.wait_until([&] { return flood_done(tavro); }, "the end of the flood", FLOOD_WAIT_MS)) return run;
    run.total_ms = now_ms() - t0;
    run.rss_after = rss_mib_of(tavro);
    tavro.close();

    run.producer_ms = bare_flood_ms(scratch, mixed);
    if (run.producer_ms < 0) return run;
    std::string tail = "\r\n" + narrow(prompt_for(scratch.folder));
    ReaderWork work = replay_reader(flood_stream(mixed, 0) + tail, mixed ? flood_stream(true, 1) : std::string());
    long reads = work.reads + 1, prints = work.prints + 1;   // and the echo of the command
    double send_ms = send_pauses(narrow(command).size() + 2) * sleep50;
    run.floor_ms = send_ms + reads * sleep10 + run.producer_ms;
    run.tick_floor_ms = send_pauses(narrow(command).size() + 2) * on_default_ticks(50) +
                        reads * on_default_ticks(10) + run.producer_ms;
    run.print_floor_ms = send_ms + prints * sleep10 + run.producer_ms;
    run.prints = prints;
    raw("flood mixed=%d reads=%ld prints=%ld sleep10=%.3f sleep50=%.3f producer=%.1f total=%.1f floor=%.1f "
        "print_floor=%.1f rss=%.2f->%.2f\n",
        mixed ? 1 : 0, reads, prints, sleep10, sleep50, run.producer_ms, run.total_ms, run.floor_ms,
        run.print_floor_ms, run.rss_start, run.rss_after);
    return run;
}

void figure_throughput(int runs, bool mixed, std::vector<double>* rss_growth) {
    Scratch scratch;
    std::vector<double> total, floor, ratio, print_ratio, tick_floor;
    long prints = 0;
    for (int i = 0; i < runs; i++) {
        double sleep10 = measured_sleep(10, 20), sleep50 = measured_sleep(50, 6);
        FloodRun r = flood_run(mixed, sleep10, sleep50, scratch);
        note("  %s run %d: total %.0f ms, floor %.0f ms (producer %.0f ms)\n", mixed ? "mixed" : "output", i + 1,
             r.total_ms, r.floor_ms, r.producer_ms);
        if (r.total_ms < 0 || r.floor_ms <= 0) continue;
        total.push_back(r.total_ms);
        floor.push_back(r.floor_ms);
        ratio.push_back(r.total_ms / r.floor_ms);
        print_ratio.push_back(r.total_ms / r.print_floor_ms);
        tick_floor.push_back(r.tick_floor_ms);
        prints = r.prints;
        if (rss_growth && r.rss_start >= 0 && r.rss_after >= 0) rss_growth->push_back(r.rss_after - r.rss_start);
    }
    raw_samples(mixed ? "mixed_total_ms" : "output_total_ms", total);
    raw_samples(mixed ? "mixed_floor_ms" : "output_floor_ms", floor);
    Row row;
    row.figure = mixed ? "mixed streams" : "output throughput";
    row.unit = "ms";
    row.value = stats_of(total);
    row.has_floor = true;
    row.floor = stats_of(floor);
    row.ratio = stats_of(ratio);
    double limit = mixed ? 1.15 : 1.10;
    row.target = "<= " + fmt(limit, 2) + " x floor";
    row.verdict = ratio.empty() ? "FAILED" : row.ratio.median <= limit ? "met" : "MISSED";
    row.remark = "x " + fmt(row.ratio.median, 2) + " (" + fmt(row.ratio.min, 2) + "-" + fmt(row.ratio.max, 2) + ")";
    // Without the 1 ms resolution Tavro asks for, Windows would run every wait on its default tick.
    if (!tick_floor.empty())
        row.remark += "; the floor on Windows' default 15.6 ms tick would be " + fmt(stats_of(tick_floor).median) +
                      " ms (x " + fmt(stats_of(tick_floor).median / row.floor.median, 2) + " of this floor)";
    // Standard error's lines make the reader print the other stream's line breaks on their own.
    if (mixed && !print_ratio.empty())
        row.remark += "; against the " + std::to_string(prints) + " prints the reader must make (each other-stream "
                      "line break is a print with its own yield): x " + fmt(stats_of(print_ratio).median, 2);
    add_row(row);
}

std::string marker20(int n) {
    char b[32];
    snprintf(b, sizeof b, "MK%08lu%010d", (unsigned long)(GetTickCount() % 100000000u), n);
    return std::string(b, 20);
}

void figure_latency(int runs) {
    Scratch scratch;
    Tavro tavro;
    std::vector<double> total, floor, over;
    if (started(tavro, StartOptions())) {
        for (int i = 0; i < runs; i++) {
            std::string marker = marker20(i);
            std::wstring wmarker = utf16(marker.c_str());
            double sleep50 = measured_sleep(50, 6);
            if (!type_command(tavro, L"echo " + wmarker)) break;
            double t0 = now_ms();
            tavro.press_enter();
            if (!tavro.wait_until([&] { return count_occurrences(tavro.pane_text(), wmarker) >= 2; }, "the echo",
                                  WAIT_MS, 2))
                break;
            double t = now_ms() - t0;
            // Back at the prompt before the next one.
            tavro.wait_until([&] {
                std::wstring pane = tavro.pane_text();
                return pane.find(tavro.first_prompt(), pane.rfind(wmarker)) != std::wstring::npos;
            }, "the prompt after the echo", WAIT_MS, 20);
            double slave = bare_echo_ms(scratch, marker20(1000 + i));
            if (slave < 0) continue;
            double f = send_pauses(5 + 20 + 2) * sleep50 + slave;
            total.push_back(t);
            floor.push_back(f);
            over.push_back(t - f);
            raw("latency total=%.1f send=%.1f slave=%.1f\n", t, send_pauses(27) * sleep50, slave);
            note("  latency run %d: %.0f ms, floor %.0f ms\n", i + 1, t, f);
            Sleep(200);
        }
    }
    raw_samples("latency_ms", total);
    Row row;
    row.figure = "command latency";
    row.unit = "ms";
    row.value = stats_of(total);
    row.has_floor = true;
    row.floor = stats_of(floor);
    row.ratio = stats_of(over);
    row.target = "<= floor + 30 ms";
    row.verdict = over.empty() ? "FAILED" : row.ratio.median <= 30 ? "met" : "MISSED";
    row.remark = "floor + " + fmt(row.ratio.median) + " ms (" + fmt(row.ratio.min) + " to " + fmt(row.ratio.max) + ")";
    add_row(row);
}

// Types up to count letters, one every 300 ms, timing each until the input line shows it; only
// keystrokes answered while the load lasts (until over() holds) count.
void time_keystrokes(Tavro& tavro, int count, const std::function<bool()>& over, std::vector<double>* samples) {
    std::wstring typed;
    for (int k = 0; k < count; k++) {
        Sleep(300);
        if (over()) break;
        wchar_t c = (wchar_t)(L'a' + k);
        double t0 = now_ms();
        tavro.type_char(c);
        typed.push_back(c);
        if (!tavro.wait_until([&] { return tavro.input_text() == typed; }, "the keystroke", WAIT_MS, 2)) break;
        double t = now_ms() - t0;
        if (over()) break;
        samples->push_back(t);
    }
}

void add_keystroke_row(const char* name, const char* figure, const std::vector<double>& samples,
                       const char* remark) {
    raw_samples(name, samples);
    Row row;
    row.figure = figure;
    row.unit = "ms";
    row.value = stats_of(samples);
    row.target = "<= 150 ms";
    row.verdict = samples.empty() ? "FAILED" : row.value.median <= 150 ? "met" : "MISSED";
    row.remark = std::to_string(samples.size()) + remark;
    add_row(row);
}

void figure_keystroke(int runs) {
    std::vector<double> samples;
    for (int r = 0; r < runs; r++) {
        Tavro tavro;
        StartOptions options;
        options.close_wait_ms = 1000;   // it is closed mid-flood: no need to wait for it
        if (!started(tavro, options)) continue;
        if (!type_command(tavro, L"flood " + std::to_wstring(FLOOD_BYTES))) continue;
        tavro.press_enter();
        if (!tavro.wait_until([&] { return tavro.pane_text().find(L"line 0000") != std::wstring::npos; },
                              "the flood's first line", 60000, 20))
            continue;
        time_keystrokes(tavro, 12, [&] { return flood_done(tavro); }, &samples);
        note("  keystroke run %d: %zu samples so far\n", r + 1, samples.size());
        // Closing ends the flood too: nothing more to measure in it.
    }
    add_keystroke_row("keystroke_ms", "keystroke under load", samples, " keystrokes");
}

// Keystrokes while a 2,000-character line goes out to the slave at 10 bytes every 50 ms (about
// ten seconds): only those answered before the line's output shows count.
void figure_keystroke_sending(int runs) {
    std::vector<double> samples;
    for (int r = 0; r < runs; r++) {
        Tavro tavro;
        if (!started(tavro, StartOptions())) continue;
        std::wstring output = utf16(marker20(2000 + r).c_str());
        while (output.size() < 2000 - 5) output.push_back((wchar_t)(L'0' + output.size() % 10));
        if (!type_command(tavro, L"echo " + output)) continue;
        tavro.press_enter();
        if (!tavro.wait_until([&] { return tavro.input_text().empty(); }, "the line to be taken", WAIT_MS, 2)) continue;
        auto sent = [&] { return has_line(tavro.pane_text(), output); };
        time_keystrokes(tavro, 20, sent, &samples);
        note("  keystroke while sending run %d: %zu samples so far\n", r + 1, samples.size());
    }
    add_keystroke_row("keystroke_sending_ms", "keystroke while sending", samples,
                      " keystrokes during a 2,000-character line");
}

void figure_idle(int runs, int seconds) {
    std::vector<double> percent;
    Tavro tavro;
    if (started(tavro, StartOptions())) {
        Sleep(2000);
        for (int i = 0; i < runs; i++) {
            double c0 = cpu_ms_of(tavro), t0 = now_ms();
            Sleep((DWORD)seconds * 1000);
            double c1 = cpu_ms_of(tavro), t1 = now_ms();
            if (c0 < 0 || c1 < 0) break;
            percent.push_back((c1 - c0) * 100.0 / (t1 - t0));
            note("  idle run %d: %.3f %% (%.1f ms CPU in %.1f s)\n", i + 1, percent.back(), c1 - c0,
                 (t1 - t0) / 1000);
        }
    }
    raw_samples("idle_percent", percent);
    Row row;
    row.figure = "idle cost";
    row.unit = "% of a core";
    row.value = stats_of(percent);
    row.target = "< 1 %";
    row.verdict = percent.empty() ? "FAILED" : row.value.median < 1.0 ? "met" : "MISSED";
    row.remark = std::to_string(seconds) + " s each";
    add_row(row);
}

BOOL CALLBACK window_of(HWND window, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == *(DWORD*)param) {
        *(DWORD*)param = 0;
        return FALSE;
    }
    return TRUE;
}

bool has_window(DWORD pid) {
    DWORD p = pid;
    EnumWindows(window_of, (LPARAM)&p);
    return p == 0;
}

void figure_startup(int runs) {
    Scratch scratch;
    std::vector<double> total, floor, ours, bare;
    for (int i = 0; i < runs; i++) {
        double sleep10 = measured_sleep(10, 10), sleep50 = measured_sleep(50, 6), sleep100 = measured_sleep(100, 3);
        Tavro tavro;
        StartOptions o;
        o.wait_for_windows = false;
        double t0 = now_ms();
        if (!tavro.start(o)) continue;
        if (!tavro.wait_until([&] { return tavro.find_windows(); }, "Tavro's windows", 60000, 5)) continue;
        if (!tavro.wait_until([&] { return tavro.pane_text().find(tavro.first_prompt()) != std::wstring::npos; },
                              "the first prompt", 60000, 5))
            continue;
        double t = now_ms() - t0;
        // The code page Tavro sent, from the slave's echo of it.
        int code_page = 437;
        if (tavro.wait_until([&] { return tavro.pane_text().find(L"CHCP ") != std::wstring::npos; }, "the CHCP echo",
                             5000, 20)) {
            std::wstring after = rest_of_line_after(tavro.pane_text(), L"CHCP ");
            if (!after.empty()) code_page = _wtoi(after.c_str());
        }
        bool console = false;
        for (const ProcessEntry& s : tavro.slaves()) console = console || has_window(s.pid);
        // The console search sleeps 50 ms before each of 11 looks when there is no console
        // window to find, and 100 ms more when it finds one (at the first look at best).
        double search = console ? sleep50 + sleep100 : 11 * sleep50;
        double f = search + sleep10 /* "Connected to " */ + send_pauses(prompt_line(code_page).size()) * sleep50;
        tavro.close();
        double b = -1;
        BareSlave slave;
        if (!bare_at_prompt(&slave, scratch, &b)) continue;
        total.push_back(t);
        floor.push_back(f);
        bare.push_back(b);
        ours.push_back(t - f - b);
        raw("startup total=%.1f floor=%.1f console_window=%d bare_slave=%.1f\n", t, f, console ? 1 : 0, b);
        note("  start-up run %d: %.0f ms, built-in waits %.0f ms, bare slave start %.0f ms\n", i + 1, t, f, b);
    }
    raw_samples("startup_ms", total);
    Row row;
    row.figure = "start-up";
    row.unit = "ms";
    row.value = stats_of(total);
    row.has_floor = true;
    row.floor = stats_of(floor);
    row.ratio = stats_of(ours);
    Stats b = stats_of(bare);
    row.target = "report";
    row.verdict = total.empty() ? "FAILED" : "report";
    row.remark = "beyond the waits: " + fmt(stats_of(total).median - row.floor.median) + " ms, of which the slave's own start " +
                 fmt(b.median) + " ms (bare) and ours " + fmt(row.ratio.median) + " ms (" +
                 fmt(row.value.median > 0 ? row.ratio.median * 100 / row.value.median : 0) + " %)";
    add_row(row);
}

void figure_memory(const std::vector<double>& growth) {
    raw_samples("rss_growth_mib", growth);
    Row row;
    row.figure = "memory";
    row.unit = "MiB";
    row.value = stats_of(growth);
    row.target = "< 8 MiB growth";
    row.verdict = growth.empty() ? "FAILED" : row.value.max < 8 ? "met" : "MISSED";
    row.remark = "resident size after the 1 MiB run minus after start-up (largest of the runs against the target)";
    add_row(row);
}

// What the messages every print must send cost on their own, from the print figure; -1 until
// it ran.
double must_send_ms = -1;

// print_bench.exe runs in its own process; its lines are read back from a file.
void figure_print_cost(int samples) {
    std::wstring out_path = folder_of_this_program() + L"\\print_bench.out";
    SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
    HANDLE out = CreateFileW(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, NULL);
    std::vector<double> empty, full, yield, at_bound, must_send;
    if (out != INVALID_HANDLE_VALUE) {
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = out;
        si.hStdError = out;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::wstring line = L"\"" + folder_of_this_program() + L"\\print_bench.exe\" " + std::to_wstring(samples);
        std::vector<wchar_t> writable(line.begin(), line.end());
        writable.push_back(0);
        PROCESS_INFORMATION pi;
        if (CreateProcessW(NULL, writable.data(), NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) {
            if (WaitForSingleObject(pi.hProcess, 600000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
        CloseHandle(out);
        std::string text;
        read_file(out_path, &text);
        DeleteFileW(out_path.c_str());
        raw("print_bench %s", text.c_str());
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            std::string l = text.substr(at, end - at);
            at = end + 1;
            std::vector<double>* into = l.rfind("yield ", 0) == 0 ? &yield
                                        : l.rfind("empty ", 0) == 0 ? &empty
                                        : l.rfind("full ", 0) == 0  ? &full
                                        : l.rfind("flood_at_bound ", 0) == 0 ? &at_bound
                                        : l.rfind("must_send ", 0) == 0 ? &must_send
                                                                    : NULL;
            if (!into) continue;
            const char* p = l.c_str() + l.find(' ');
            char* next;
            for (double v = strtod(p, &next); next != p; v = strtod(p, &next)) {
                into->push_back(v);
                p = next;
            }
        }
    }
    Stats e = stats_of(empty), f = stats_of(full), y = stats_of(yield);
    Row row;
    row.figure = "print cost vs pane fill";
    row.unit = "ms";
    row.value = f;
    row.target = "ratio < 2";
    double ratio = e.median > 0 ? f.median / e.median : 0;
    double own_ratio = e.median - y.median > 0 ? (f.median - y.median) / (e.median - y.median) : 0;
    row.ratio.median = row.ratio.min = row.ratio.max = ratio;
    row.verdict = empty.empty() || full.empty() ? "FAILED" : ratio < 2 ? "met" : "MISSED";
    row.remark = "full pane " + triple(f, 2) + " ms vs empty " + triple(e, 2) + " ms: ratio " + fmt(ratio, 2) +
                 "; without the 10 ms yield (" + fmt(y.median, 2) + " ms) " + fmt(f.median - y.median, 2) + " vs " +
                 fmt(e.median - y.median, 2) + " ms, ratio " + fmt(own_ratio, 2) +
                 "; print after print at the bound " + fmt(stats_of(at_bound).median, 1) +
                 " ms; the messages every print must send (poll timer, caret, append, scroll), alone " +
                 fmt(stats_of(must_send).median, 2) + " ms";
    add_row(row);
    must_send_ms = must_send.empty() ? -1 : stats_of(must_send).median;
}

// The table goes to its own file when asked: the harness prints its diagnostics to standard
// output.
FILE* table_file = NULL;

void print_table() {
    FILE* out = table_file ? table_file : stdout;
    fprintf(out, "| figure | median (min-max) | unit | floor (median) | against floor | target | verdict |\n");
    fprintf(out, "|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        int decimals = r.unit == "ms" ? 0 : 2;
        if (r.figure == "print cost vs pane fill") decimals = 2;
        fprintf(out, "| %s | %s | %s | %s | %s | %s | %s |\n", r.figure.c_str(), triple(r.value, decimals).c_str(),
               r.unit.c_str(), r.has_floor ? fmt(r.floor.median).c_str() : "none", r.remark.c_str(), r.target.c_str(),
               r.verdict.c_str());
    }
    fflush(out);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5, idle_seconds = 30;
    std::string only;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--runs") && i + 1 < argc) runs = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--idle-seconds") && i + 1 < argc) idle_seconds = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--raw") && i + 1 < argc) raw_file = fopen(argv[++i], "ab");
        else if (!strcmp(argv[i], "--only") && i + 1 < argc) only = argv[++i];
        else if (!strcmp(argv[i], "--table") && i + 1 < argc) table_file = fopen(argv[++i], "wb");
        else {
            fprintf(stderr, "usage: tavro_bench [--runs N] [--idle-seconds S] [--raw FILE] [--table FILE] [--only FIGURES]\n");
            return 2;
        }
    }
    if (runs < 1) runs = 1;
    auto want = [&](const char* name) { return only.empty() || only.find(name) != std::string::npos; };
    if (!file_exists(tavro_exe_path()) || !file_exists(pipecmd_exe_path()) || !file_exists(flood_exe())) {
        fprintf(stderr, "tavro_bench: tavro.exe, pipecmd.exe (in %s) or flood.exe missing\n",
                narrow(bin_folder()).c_str());
        return 1;
    }
    std::vector<double> growth;
    if (want("output")) {
        note("output throughput\n");
        figure_throughput(runs, false, &growth);
    }
    if (want("mixed")) {
        note("mixed streams\n");
        figure_throughput(runs, true, &growth);
    }
    if (want("latency")) {
        note("command latency\n");
        figure_latency(runs);
    }
    if (want("keystroke")) {
        note("keystroke under load\n");
        figure_keystroke(std::min(runs, 3));   // a dozen keystrokes each
    }
    if (want("sending")) {
        note("keystroke while sending\n");
        figure_keystroke_sending(std::min(runs, 3));
    }
    if (want("idle")) {
        note("idle cost\n");
        figure_idle(std::min(runs, 3), idle_seconds);
    }
    if (want("startup")) {
        note("start-up\n");
        figure_startup(runs);
    }
    if (want("output") || want("mixed")) figure_memory(growth);
    if (want("print")) {
        note("print cost\n");
        figure_print_cost(20);
    }
    // The part of the output figure that no implementation can save: the messages of each print.
    for (Row& r : rows)
        if (r.figure == "output throughput" && must_send_ms > 0)
            r.remark += "; the messages every print must send cost " + fmt(must_send_ms, 2) +
                        " ms a print here, x " + fmt(1 + must_send_ms / 10.0, 2) + " of the floor on their own";
    print_table();
    if (raw_file) fclose(raw_file);
    if (table_file) fclose(table_file);
    bool failed = false;
    for (const Row& r : rows) failed = failed || r.verdict == "FAILED";
    return failed ? 1 : 0;
}
