// Drives the real pipecmd.exe through pipes the way Tavro does: 10 bytes at a
// time, standard output and standard error on pipes of their own.
#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <set>
#include <string>

namespace {

struct Result {
  std::string out, err;
  DWORD exit_code = 0;
  bool ended = false;
};

std::wstring pipecmd_path() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n < MAX_PATH ? n : 0);
  dir = dir.substr(0, dir.find_last_of(L'\\'));  // build\tests
  dir = dir.substr(0, dir.find_last_of(L'\\'));  // build
  return dir + L"\\bin\\pipecmd.exe";
}

void drain(HANDLE h, std::string* into) {
  for (;;) {
    DWORD avail = 0;
    if (!PeekNamedPipe(h, nullptr, 0, nullptr, &avail, nullptr) || avail == 0) return;
    char buf[4096];
    DWORD got = 0;
    if (!ReadFile(h, buf, avail < sizeof buf ? avail : sizeof buf, &got, nullptr) ||
        got == 0)
      return;
    into->append(buf, got);
  }
}

// A pipe whose child end is inheritable and whose own end is not.
bool make_pipe(HANDLE* read, HANDLE* write, bool child_reads) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  if (!CreatePipe(read, write, &sa, 0)) return false;
  SetHandleInformation(child_reads ? *write : *read, HANDLE_FLAG_INHERIT, 0);
  return true;
}

// Starts pipecmd in dir (or the test's own directory), sends the lines that
// make_input builds from its process id, and collects everything it writes
// until it ends (or 60 s pass).
template <typename MakeInput>
Result run_pipecmd(MakeInput make_input, const wchar_t* dir = nullptr,
                   const wchar_t* args = nullptr) {
  Result r;
  HANDLE in_r, in_w, out_r, out_w, err_r, err_w;
  if (!make_pipe(&in_r, &in_w, true)) return r;
  if (!make_pipe(&out_r, &out_w, false)) return r;
  if (!make_pipe(&err_r, &err_w, false)) return r;
  STARTUPINFOW si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in_r;
  si.hStdOutput = out_w;
  si.hStdError = err_w;
  PROCESS_INFORMATION pi;
  std::wstring exe = pipecmd_path();
  std::wstring cmdline = L"\"" + exe + L"\"";
  if (args) cmdline += std::wstring(L" ") + args;
  BOOL started = CreateProcessW(exe.c_str(), &cmdline[0], nullptr, nullptr, TRUE,
                                CREATE_NO_WINDOW, nullptr, dir, &si, &pi);
  CloseHandle(in_r);
  CloseHandle(out_w);
  CloseHandle(err_w);
  if (started) {
    std::string input = make_input(pi.dwProcessId);
    for (size_t at = 0; at < input.size(); at += 10) {
      DWORD wrote = 0;
      size_t n = input.size() - at < 10 ? input.size() - at : 10;
      WriteFile(in_w, input.data() + at, (DWORD)n, &wrote, nullptr);
      drain(out_r, &r.out);
      drain(err_r, &r.err);
      Sleep(20);
    }
    for (int waited = 0; waited < 60000; waited += 20) {
      drain(out_r, &r.out);
      drain(err_r, &r.err);
      if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) {
        r.ended = true;
        break;
      }
    }
    drain(out_r, &r.out);
    drain(err_r, &r.err);
    if (!r.ended) TerminateProcess(pi.hProcess, 1);
    GetExitCodeProcess(pi.hProcess, &r.exit_code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  } else {
    ADD_FAILURE() << "cannot start pipecmd.exe next to the tests (error "
                  << GetLastError() << ")";
  }
  CloseHandle(in_w);
  CloseHandle(out_r);
  CloseHandle(err_r);
  return r;
}

std::string narrow(const std::wstring& s) {
  char buf[MAX_PATH * 4];
  int n = WideCharToMultiByte(CP_OEMCP, 0, s.c_str(), -1, buf, sizeof buf,
                              nullptr, nullptr);
  return n > 0 ? std::string(buf) : std::string();
}

const char kPromptLine[] = "prompt $Q$Q$G$S$p$g$s\r\n";

// A fresh, empty directory in the temporary folder.
std::wstring make_temp_dir(const wchar_t* name) {
  wchar_t tmp[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, tmp);
  std::wstring dir(tmp, n < MAX_PATH ? n : 0);
  if (!dir.empty() && dir.back() == L'\\') dir.pop_back();
  dir += L"\\";
  dir += name;
  dir += std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

TEST(PipecmdExe, EchoesChunkedLinesAfterItsPrompt) {
  DWORD pid = 0;
  Result r = run_pipecmd([&](DWORD id) {
    pid = id;
    return std::string(kPromptLine) + "echo hello\r\n\r\n" +
           "tasklist /NH /FI \"PID eq " + std::to_string(id) + "\"\r\n" + "exit\r\n";
  });
  ASSERT_TRUE(r.ended) << r.out;
  EXPECT_EQ(r.exit_code, 0u);
  EXPECT_EQ(r.out.rfind("Tavro line-mode command processor [Version 1.0]\r\n\r\n", 0), 0u)
      << r.out;
  // Prompt, echo, output, a blank line, the next prompt.
  size_t echo = r.out.find("> echo hello\r\nhello\r\n\r\n==> ");
  ASSERT_NE(echo, std::string::npos) << r.out;
  size_t prompt = r.out.rfind("\r\n==> ", echo);
  ASSERT_NE(prompt, std::string::npos) << r.out;
  std::string dir = r.out.substr(prompt + 6, echo - prompt - 6);
  ASSERT_GE(dir.size(), 3u) << r.out;
  EXPECT_TRUE(isalpha((unsigned char)dir[0]) && dir[1] == ':' && dir[2] == '\\') << dir;
  std::string shown = "==> " + dir + "> ";
  // A blank line shows a fresh prompt at once.
  EXPECT_NE(r.out.find(shown + "\r\n" + shown + "tasklist"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\r\npipecmd.exe ") , std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" " + std::to_string(pid) + "\r\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(shown + "exit\r\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
}

TEST(PipecmdExe, CdChangesThePromptAndReachesChildren) {
  std::wstring wdir = make_temp_dir(L"pipecmd_cd_");
  std::string dir = narrow(wdir);
  std::string missing = "B:";  // the last letter that names no drive
  for (int i = 25; i >= 1; i--)
    if (!(GetLogicalDrives() & (1u << i))) {
      missing[0] = (char)('A' + i);
      break;
    }
  Result r = run_pipecmd([&](DWORD) {
    return std::string(kPromptLine) + "cd /d \"" + dir + "\"\r\n" +
           "cd no_such_dir_zz\r\n" + "cmd /c cd\r\n" + "cd " + dir.substr(0, 2) +
           "\r\n" + "cd " + missing + "\r\n" + missing + "\r\n" + "exit\r\n";
  });
  RemoveDirectoryW(wdir.c_str());
  ASSERT_TRUE(r.ended) << r.out;
  std::string shown = "\r\n==> " + dir + "> ";
  EXPECT_NE(r.out.find(shown + "cd no_such_dir_zz\r\n" + shown), std::string::npos)
      << r.out;
  EXPECT_EQ(r.err,
            "The system cannot find the path specified.\r\n"
            "The system cannot find the drive specified.\r\n"
            "The system cannot find the drive specified.\r\n");
  EXPECT_NE(r.out.find(shown + missing + "\r\n" + shown + "exit"), std::string::npos)
      << r.out;
  // A child command processor starts in the same directory.
  EXPECT_NE(r.out.find("> cmd /c cd\r\n" + dir + "\r\n"), std::string::npos) << r.out;
  // cd naming only the current drive answers with its directory.
  EXPECT_NE(r.out.find("> cd " + dir.substr(0, 2) + "\r\n" + dir + "\r\n"),
            std::string::npos)
      << r.out;
}

TEST(PipecmdExe, KeepsADirectoryPerDrive) {
  std::wstring wdir = make_temp_dir(L"pipecmd_drv_");
  std::string dir = narrow(wdir);
  DWORD drives = GetLogicalDrives();
  char other = 0;
  for (int i = 25; i >= 2 && !other; i--) {
    char root[4] = {(char)('A' + i), ':', '\\', 0};
    if ((drives & (1u << i)) && root[0] != toupper((unsigned char)dir[0]) &&
        GetDriveTypeA(root) == DRIVE_FIXED)
      other = root[0];
  }
  if (!other) {
    RemoveDirectoryW(wdir.c_str());
    GTEST_SKIP() << "needs a second fixed drive";
  }
  std::string o(1, other);
  Result r = run_pipecmd([&](DWORD) {
    return std::string(kPromptLine) + "cd /d \"" + dir + "\"\r\n" +
           "cd " + o + ":\\\r\n" +  // without /d only that drive changes
           "cd " + o + ":\r\n" + o + ":\r\n" + dir.substr(0, 2) + "\r\n" + "exit\r\n";
  });
  RemoveDirectoryW(wdir.c_str());
  ASSERT_TRUE(r.ended) << r.out;
  std::string here = "\r\n==> " + dir + "> ";
  std::string there = "\r\n==> " + o + ":\\> ";
  EXPECT_NE(r.out.find(here + "cd " + o + ":\\\r\n" + here), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(here + "cd " + o + ":\r\n" + o + ":\\\r\n" + here),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(here + o + ":\r\n" + there), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(there + dir.substr(0, 2) + "\r\n" + here + "exit"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.err, "");
}

TEST(PipecmdExe, KeepsStandardErrorApart) {
  Result r = run_pipecmd([](DWORD) {
    return std::string(kPromptLine) + "dir nonexistent_zz\r\necho still here\r\nexit\r\n";
  });
  ASSERT_TRUE(r.ended) << r.out;
  std::string err = r.err;
  for (char& c : err) c = (char)tolower((unsigned char)c);
  EXPECT_NE(err.find("file not found"), std::string::npos) << r.err;
  std::string out = r.out;
  for (char& c : out) c = (char)tolower((unsigned char)c);
  EXPECT_EQ(out.find("file not found"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("> echo still here\r\nstill here\r\n"), std::string::npos) << r.out;
}

TEST(PipecmdExe, SetsAndExpandsVariables) {
  Result r = run_pipecmd([](DWORD) {
    return std::string(kPromptLine) + "set PIPECMD_T=two words\r\n" +
           "echo [%PIPECMD_T%]\r\n" + "cmd /c set PIPECMD_\r\n" + "set PIPECMD_T=\r\n" +
           "echo [%PIPECMD_T%]\r\n" + "set PIPECMD_\r\n" + "exit 3\r\n";
  });
  ASSERT_TRUE(r.ended) << r.out;
  EXPECT_EQ(r.exit_code, 3u);
  EXPECT_NE(r.out.find("\r\n[two words]\r\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("> cmd /c set PIPECMD_\r\nPIPECMD_T=two words\r\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\r\n[%PIPECMD_T%]\r\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "Environment variable PIPECMD_ not defined\r\n");
}

// As cmd.exe, which tests and Tavro's kill command call it: /c runs the command and ends.
TEST(PipecmdExe, SlashCRunsTheCommandAndEnds) {
  Result r = run_pipecmd([](DWORD) { return std::string(); }, nullptr,
                         L"/d /c echo from-c");
  ASSERT_TRUE(r.ended) << r.out;
  EXPECT_EQ(r.out, "from-c\r\n");
}

struct WindowSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK match_window(HWND w, LPARAM lp) {
  WindowSearch* s = (WindowSearch*)lp;
  DWORD pid = 0;
  wchar_t cls[32];
  GetWindowThreadProcessId(w, &pid);
  if (pid != s->pid || !GetClassNameW(w, cls, 32) || lstrcmpW(cls, L"TavroPipeCmd") != 0)
    return TRUE;
  s->found = w;
  return FALSE;
}

// Tavro shows the slave's window minimized, as it does a console's. Left
// minimized it has no client area and shows nothing, so it must come up
// restored, with what pipecmd wrote, and go again when hidden.
TEST(PipecmdExe, WindowShownMinimizedComesUpWithItsOutput) {
  bool restored = false, hidden = false;
  std::wstring text;
  std::string state;
  Result r = run_pipecmd([&](DWORD id) {
    WindowSearch s = {id, nullptr};
    for (int waited = 0; waited < 10000 && !s.found; waited += 50) {
      EnumWindows(match_window, (LPARAM)&s);
      if (!s.found) Sleep(50);
    }
    if (!s.found) return std::string("exit\r\n");
    ShowWindow(s.found, SW_MINIMIZE);
    HWND edit = GetWindow(s.found, GW_CHILD);
    for (int waited = 0; waited < 10000 && !restored; waited += 50) {
      Sleep(50);
      RECT client = {};
      GetClientRect(edit, &client);
      static wchar_t buf[20000];
      buf[0] = 0;
      SendMessageW(edit, WM_GETTEXT, 20000, (LPARAM)buf);
      text = buf;
      state = std::string(IsIconic(s.found) ? "minimized, " : "") + "text area " +
              std::to_string(client.right) + "x" + std::to_string(client.bottom);
      restored = IsWindowVisible(s.found) && !IsIconic(s.found) && client.right > 100 &&
                 client.bottom > 100 && text.find(L"[Version 1.0]") != std::wstring::npos;
    }
    ShowWindow(s.found, SW_HIDE);
    hidden = !IsWindowVisible(s.found);
    return std::string("exit\r\n");
  });
  ASSERT_TRUE(r.ended) << r.out;
  EXPECT_TRUE(restored) << state << ", text:\n" << narrow(text);
  EXPECT_TRUE(hidden);
}

std::set<DWORD> processes_named(const wchar_t* image) {
  std::set<DWORD> ids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W pe;
  pe.dwSize = sizeof pe;
  for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
    if (lstrcmpiW(pe.szExeFile, image) == 0) ids.insert(pe.th32ProcessID);
  CloseHandle(snap);
  return ids;
}

TEST(PipecmdExe, StartMarkerRunsAWindowProgramWithoutWaiting) {
  std::set<DWORD> before = processes_named(L"notepad.exe");
  Result r = run_pipecmd([](DWORD) {
    return std::string(kPromptLine) + " sTaRT\tnotepad\r\necho after\r\nexit\r\n";
  });
  // Whatever notepad was started is still running now that pipecmd has ended.
  int started = 0;
  for (DWORD id : processes_named(L"notepad.exe")) {
    if (before.count(id)) continue;
    started++;
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, id);
    if (h) {
      TerminateProcess(h, 0);
      CloseHandle(h);
    }
  }
  ASSERT_TRUE(r.ended) << r.out;
  EXPECT_EQ(started, 1);
  EXPECT_NE(r.out.find(">  sTaRT\tnotepad\r\n\r\n==> "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("> echo after\r\nafter\r\n"), std::string::npos) << r.out;
}

}  // namespace

#endif  // _WIN32
