// The settings file and the command file on disk: real files in a temporary folder.
#include "app/app.h"
#include "settings/settings.h"
#include <gtest/gtest.h>
#include <string>

namespace {

const COLORREF TEXT_COLOUR = 0x000000, WINDOW_COLOUR = 0xFFFFFF;

std::string read_bytes(const std::wstring& path, bool* exists = nullptr) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (exists) *exists = file != INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[4096];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, NULL) && got) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

void write_bytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written;
    ASSERT_TRUE(WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL));
    CloseHandle(file);
}

bool file_exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void set_name(wchar_t* target, const std::wstring& name) {
    ASSERT_LT(name.size(), (size_t)MAX_PATH);
    wcscpy(target, name.c_str());
}

std::string default_settings_text(const std::string& file_log) {
    return "[Window]\r\nVersion=2.2\r\nUses=0\r\nTop=0\r\nHeight=850\r\nLeft=400\r\nWidth=1000\r\nCodePage=0\r\n"
           "\r\n[Fonts]\r\nName=Lucida Console\r\nSize=-16\r\nWeight=400\r\nBackground=16777215\r\nColorText=0\r\n"
           "DoItText=65280\r\nErrorText=255\r\nHighlightErrs=0\r\nTabWidth=8\r\n"
           "\r\n[Misc]\r\nApp=cmd.exe\r\nMenuShow=1\r\nCmdShow=0\r\nPIDlastCMD=0\r\nVolSerialNbr=0\r\n"
           "WordDelims=>|<,;!()&[]\r\nBeepsMax=5\r\nErrorLog=0\r\nOldErrorLog=1\r\nTruncDateErr=00/00/00\r\n"
           "Logging=0\r\nFileLog=" +
           file_log + "\r\n";
}

class SettingsFile : public ::testing::Test {
protected:
    std::wstring folder, ini, ing;
    HWND saved_main = NULL;

    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        folder = std::wstring(temp) + L"tavro_settings_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), NULL);
        ini = folder + L"\\tavro.ini";
        ing = folder + L"\\tavro.ing";
        set_name(settings_file_name, ini);
        set_name(command_file_name, ing);
        set_settings_defaults(TEXT_COLOUR, WINDOW_COLOUR);
        wcscpy(FileLog, L"C:\\Tools\\tavro.log");
        free_macros();
        save_enabled = true;
        first_run = false;
        saved_main = Main;
        Main = NULL;
    }

    void TearDown() override {
        Main = saved_main;
        free_macros();
        save_enabled = false;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring path = folder + L"\\" + found.cFileName;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
        wcscpy(settings_file_name, L"tavro.ini");
        wcscpy(command_file_name, L"tavro.ing");
        set_settings_defaults(TEXT_COLOUR, WINDOW_COLOUR);
    }
};

TEST_F(SettingsFile, DefaultSettingsFileByteForByte) {
    write_settings();
    EXPECT_EQ(default_settings_text("C:\\Tools\\tavro.log"), read_bytes(ini));
    EXPECT_FALSE(file_exists(ini + L".tmp"));
    EXPECT_FALSE(file_exists(ing));   // the command file is written on its own
}

TEST_F(SettingsFile, NothingIsWrittenWhileSavingIsDisabled) {
    save_enabled = false;
    write_settings();
    EXPECT_FALSE(file_exists(ini));
    write_bytes(ini, "[Window]\r\nTop=3\r\n");
    Top = 99;
    write_settings();
    EXPECT_EQ("[Window]\r\nTop=3\r\n", read_bytes(ini));
    // The command file is written whatever the flag says.
    write_command_file();
    EXPECT_EQ("[Cmd Commands]\r\nCmdAndQuit=\r\nKeepCmd=\r\nNoCmd=\r\n", read_bytes(ing));
}

TEST_F(SettingsFile, MissingSettingsFileMeansFirstRunAndNoCommandFile) {
    write_bytes(ing, "[Cmd Commands]\r\nCmdAndQuit=ls\r\n\r\n[Macros]\r\n0Macro=ll\tdir\r\n");
    read_settings();
    EXPECT_TRUE(first_run);
    EXPECT_STREQ(L"", command_list_text(CmdAndQuit));
    EXPECT_FALSE(macro_store_exists());
    EXPECT_EQ(850, Height);
    // CHCP names the page the conversions use (CodePage 0, ANSI), whatever was there before.
    slave_code_page = -1;
    read_settings();
    EXPECT_EQ((int)GetACP(), slave_code_page);

    write_bytes(ini, "[Window]\r\nTop=3\r\n");
    read_settings();
    EXPECT_FALSE(first_run);
    EXPECT_EQ(3, Top);
    EXPECT_STREQ(L"ls,", command_list_text(CmdAndQuit));
    ASSERT_EQ(1, macro_count());
    EXPECT_STREQ(L"ll", macro_name(0));
}

// How keys match is the text side's; here, that what is read lands in the settings.
TEST_F(SettingsFile, KeysOfEverySectionAreReadAndTheCommandFileHasTheLastWord) {
    // Line feeds alone are read as well as CR LF.
    write_bytes(ini, "Uses=99\n[Window]\nUses=7\nCodePage=65001\n[Misc]\nLogging=1\n[Cmd Commands]\n"
                     "CmdAndQuit=,,ls,dir\nKeepCmd=keep\n");
    write_bytes(ing, "[Cmd Commands]\r\nKeepCmd=k2\r\n");
    read_settings();
    EXPECT_EQ(7, Uses);
    EXPECT_EQ(65001, CodePage);
    EXPECT_EQ(65001, slave_code_page);
    EXPECT_EQ(1, Logging);
    EXPECT_STREQ(L"ls,dir,", command_list_text(CmdAndQuit));   // from the settings file
    EXPECT_STREQ(L"k2,", command_list_text(KeepCmd));           // the command file has the last word

    write_command_file();
    EXPECT_EQ("[Cmd Commands]\r\nCmdAndQuit=ls,dir,\r\nKeepCmd=k2,\r\nNoCmd=\r\n", read_bytes(ing));
}

TEST_F(SettingsFile, SlaveCodePageFollowsCodePage) {
    write_bytes(ini, "[Window]\r\nCodePage=0\r\n");
    read_settings();
    EXPECT_EQ((int)GetACP(), slave_code_page);
    write_bytes(ini, "[Window]\r\nCodePage=1\r\n");
    read_settings();
    EXPECT_EQ((int)GetOEMCP(), slave_code_page);
    write_bytes(ini, "[Window]\r\nCodePage=850\r\n");
    read_settings();
    EXPECT_EQ(850, slave_code_page);
    CodePage = 65001;
    derive_slave_code_page();
    EXPECT_EQ(65001, slave_code_page);
}

// A code page the conversions cannot use would make every command and every output line vanish.
TEST_F(SettingsFile, UnusableCodePageFallsBackToAnsi) {
    for (int page : {5, 9, 12, 1200, 1201}) {
        EXPECT_FALSE(code_page_usable(page)) << page;
        write_bytes(ini, "[Window]\r\nCodePage=" + std::to_string(page) + "\r\n");
        read_settings();
        EXPECT_EQ(0, CodePage) << page;
        EXPECT_EQ((int)GetACP(), slave_code_page) << page;
    }
    for (int page : {0, 1, 437, 850, 1252, 65001}) EXPECT_TRUE(code_page_usable(page)) << page;
}

TEST_F(SettingsFile, MacrosAreRenumberedAndCapped) {
    write_bytes(ing, "[Macros]\r\n0Macro=ll\tdir /w\r\n3Macro=nothing\r\n7Macro=cls2\tcls\r\n");
    read_command_file();
    ASSERT_EQ(2, macro_count());
    write_command_file();
    EXPECT_EQ("[Cmd Commands]\r\nCmdAndQuit=\r\nKeepCmd=\r\nNoCmd=\r\n\r\n[Macros]\r\n0Macro=ll\tdir /w\r\n"
              "1Macro=cls2\tcls\r\n",
              read_bytes(ing));

    std::string seventeen = "[Macros]\r\n";
    for (int i = 0; i < 17; i++) seventeen += std::to_string(i) + "Macro=m" + std::to_string(i) + "\tx\r\n";
    write_bytes(ing, seventeen);
    read_command_file();   // empties the store before reading
    ASSERT_EQ(16, macro_count());
    EXPECT_STREQ(L"m0", macro_name(0));
    EXPECT_STREQ(L"m15", macro_name(15));
    write_command_file();
    std::string written = read_bytes(ing);
    EXPECT_NE(std::string::npos, written.find("15Macro=m15\tx\r\n"));
    EXPECT_EQ(std::string::npos, written.find("m16"));

    // A command file that can't be opened leaves the store as it was.
    DeleteFileW(ing.c_str());
    read_command_file();
    EXPECT_EQ(16, macro_count());
}

TEST_F(SettingsFile, EveryKeyRoundTrips) {
    Uses = 12; Top = -8; Height = 700; Left = -1900; Width = 1200; CodePage = 437;
    wcscpy(Version, L"9.9");
    wcscpy(Name, std::wstring(FONT_NAME_MAX, L'N').c_str());
    Size = -20; Weight = 700;
    Background = 0x00ABCDEF; ColorText = 0x00FFFFFF; DoItText = 0x0000FF00 + 1; ErrorText = 0x00000080;
    HighlightErrs = 1; TabWidth = 4;
    wcscpy(App, (L"C:\\Windows\\System32\\cmd.exe /k " + std::wstring(APP_MAX - 31, L'a')).c_str());
    MenuShow = 0; CmdShow = 1; PIDlastCMD = 4242; VolSerialNbr = (int)0xDEADBEEF;
    wcscpy(WordDelims, L" \t<>|&()[]{}^=;!'+,`~");
    BeepsMax = 0; ErrorLog = 1; OldErrorLog = 0;
    wcscpy(TruncDateErr, L"12/31/99");
    Logging = 1;
    wcscpy(FileLog, std::wstring(PATH_VALUE_MAX, L'f').c_str());
    HigherProirity = 1;
    set_command_list(CmdAndQuit, L",,cls,ver");
    set_command_list(KeepCmd, L"dir, copy");
    set_command_list(NoCmd, std::wstring(CMD_LIST_TEXT_MAX, L'n').c_str());
    wcscpy(AddPath, L"C:\\tools;D:\\bin");
    wcscpy(::Run, L"C:\\tools\\getit.exe");
    ASSERT_TRUE(add_macro(L"ls", L"ls.exe  -T%t -C -w%c"));
    ASSERT_TRUE(add_macro(L"e", L"echo 100%%"));
    write_settings();
    write_command_file();

    set_settings_defaults(TEXT_COLOUR, WINDOW_COLOUR);
    wcscpy(FileLog, L"default.log");
    free_macros();
    read_settings();
    EXPECT_FALSE(first_run);
    EXPECT_STREQ(L"2.2", Version);   // the writing program's version
    EXPECT_EQ(12, Uses); EXPECT_EQ(-8, Top); EXPECT_EQ(700, Height); EXPECT_EQ(-1900, Left);
    EXPECT_EQ(1200, Width); EXPECT_EQ(437, CodePage); EXPECT_EQ(437, slave_code_page);
    EXPECT_EQ(std::wstring(FONT_NAME_MAX, L'N'), Name);
    EXPECT_EQ(-20, Size); EXPECT_EQ(700, Weight);
    EXPECT_EQ(0x00ABCDEFu, Background); EXPECT_EQ(0x00FFFFFFu, ColorText);
    EXPECT_EQ(0x0000FF01u, DoItText); EXPECT_EQ(0x00000080u, ErrorText);
    EXPECT_EQ(1, HighlightErrs); EXPECT_EQ(4, TabWidth);
    EXPECT_EQ(L"C:\\Windows\\System32\\cmd.exe /k " + std::wstring(APP_MAX - 31, L'a'), App);
    EXPECT_EQ(0, MenuShow); EXPECT_EQ(1, CmdShow); EXPECT_EQ(0, PIDlastCMD);
    EXPECT_EQ((int)0xDEADBEEF, VolSerialNbr);
    EXPECT_STREQ(L" \t<>|&()[]{}^=;!'+,`~", WordDelims);
    EXPECT_EQ(0, BeepsMax); EXPECT_EQ(1, ErrorLog); EXPECT_EQ(0, OldErrorLog);
    EXPECT_STREQ(L"12/31/99", TruncDateErr);
    EXPECT_EQ(1, Logging);
    EXPECT_EQ(std::wstring(PATH_VALUE_MAX, L'f'), FileLog);
    EXPECT_EQ(1, HigherProirity);
    EXPECT_STREQ(L"cls,ver,", command_list_text(CmdAndQuit));
    EXPECT_STREQ(L"dir, copy,", command_list_text(KeepCmd));
    EXPECT_EQ(std::wstring(CMD_LIST_TEXT_MAX, L'n') + L",", command_list_text(NoCmd));
    EXPECT_STREQ(L"C:\\tools;D:\\bin", AddPath);
    EXPECT_STREQ(L"C:\\tools\\getit.exe", ::Run);
    ASSERT_EQ(2, macro_count());
    EXPECT_STREQ(L"ls", macro_name(0));
    EXPECT_STREQ(L"ls.exe  -T%t -C -w%c", macro_expansion(0));
    EXPECT_STREQ(L"echo 100%%", macro_expansion(1));

    std::string settings = read_bytes(ini);
    EXPECT_NE(std::string::npos, settings.find("\r\nVolSerialNbr=-559038737\r\n"));
    EXPECT_NE(std::string::npos, settings.find("\r\nPIDlastCMD=4242\r\n"));
}

TEST_F(SettingsFile, OverlongLinesAndValuesAreCut) {
    write_bytes(ini, "[Fonts]\r\nName=" + std::string(3000, 'N') + "\r\nSize=-12\r\n[Misc]\r\nApp=" +
                         std::string(300, 'a') + "\r\nTruncDateErr=12/31/2024\r\nWordDelims=" + std::string(50, ';') +
                         "\r\n[Window]\r\nVersion=2.2.2.2.2\r\n[NoPath]\r\nRun=" + std::string(300, 'r') + "\r\n");
    read_settings();
    EXPECT_EQ(std::wstring(FONT_NAME_MAX, L'N'), Name);
    EXPECT_EQ(-12, Size);   // the line after the overlong one
    EXPECT_EQ(std::wstring(APP_MAX, L'a'), App);
    EXPECT_STREQ(L"12/31/20", TruncDateErr);
    EXPECT_EQ(std::wstring(WORD_DELIMS_MAX, L';'), WordDelims);
    EXPECT_STREQ(L"2.2.2.", Version);
    EXPECT_EQ(std::wstring(PATH_VALUE_MAX, L'r'), ::Run);
}

TEST_F(SettingsFile, GarbageAndHugeLinesDoNotHurt) {
    std::string garbage;
    unsigned state = 12345;
    for (int i = 0; i < 65536; i++) {
        state = state * 1103515245u + 12345u;
        garbage += (char)(state >> 16);
    }
    write_bytes(ini, garbage + "\n\n[Window]\nWidth=77\n");
    read_settings();
    EXPECT_FALSE(first_run);
    EXPECT_EQ(77, Width);

    write_bytes(ini, "[Window]\r\nTop=" + std::string(1 << 20, '9') + "\r\nLeft=5\r\n");
    read_settings();
    EXPECT_EQ(WINDOW_EXTENT_MAX, Top);   // held to the screen
    EXPECT_EQ(5, Left);

    const char with_nul[] = "[Window]\r\nHeight=3\0\r\nWidth=4";
    write_bytes(ini, std::string(with_nul, sizeof with_nul - 1));
    read_settings();
    EXPECT_EQ(3, Height);
    EXPECT_EQ(4, Width);

    write_bytes(ini, "");
    read_settings();
    EXPECT_FALSE(first_run);
}

// A file the ANSI code page can hold stays in it; one with any other character is written as
// UTF-8 behind a byte-order mark, and read back so, whole.
TEST_F(SettingsFile, TextBeyondTheAnsiCodePageIsKeptAsUtf8) {
    if (GetACP() != 1252) GTEST_SKIP() << "expectations are for the Western ANSI code page";
    // e-acute and the euro sign exist in the code page.
    wcscpy(Name, L"Caf\u00e9 \u20ac");
    write_settings();
    std::string bytes = read_bytes(ini);
    EXPECT_EQ(0u, bytes.find("[Window]\r\n"));
    EXPECT_NE(std::string::npos, bytes.find("\r\nName=Caf\xe9 \x80\r\n"));

    // L-stroke and Zhe do not.
    wcscpy(FileLog, L"C:\\Users\\\u0141ukasz\\x.log");
    wcscpy(Name, L"Caf\u00e9 \u0416");
    Top = 17;
    write_settings();
    bytes = read_bytes(ini);
    EXPECT_EQ(0u, bytes.find("\xEF\xBB\xBF[Window]\r\nVersion=2.2\r\n"));
    EXPECT_NE(std::string::npos, bytes.find("\r\nFileLog=C:\\Users\\\xC5\x81ukasz\\x.log\r\n"));
    EXPECT_NE(std::string::npos, bytes.find("\r\nName=Caf\xC3\xA9 \xD0\x96\r\n"));
    set_settings_defaults(TEXT_COLOUR, WINDOW_COLOUR);
    read_settings();
    EXPECT_EQ(17, Top);   // the mark does not hide the first section
    EXPECT_STREQ(L"C:\\Users\\\u0141ukasz\\x.log", FileLog);
    EXPECT_STREQ(L"Caf\u00e9 \u0416", Name);

    ASSERT_TRUE(add_macro(L"\u00fc", L"echo \u0100"));
    write_command_file();
    bytes = read_bytes(ing);
    EXPECT_EQ(0u, bytes.find("\xEF\xBB\xBF[Cmd Commands]\r\n"));
    clear_macros();
    read_command_file();
    ASSERT_EQ(1, macro_count());
    EXPECT_STREQ(L"echo \u0100", macro_expansion(0));
}

TEST_F(SettingsFile, UnwritableTargetsKeepTheOldFiles) {
    // A folder that doesn't exist.
    std::wstring missing = folder + L"\\no such folder";
    set_name(settings_file_name, missing + L"\\tavro.ini");
    set_name(command_file_name, missing + L"\\tavro.ing");
    write_settings();
    write_command_file();
    EXPECT_FALSE(file_exists(missing));

    // A read-only file is left as it was, and no temporary file stays behind.
    set_name(settings_file_name, ini);
    set_name(command_file_name, ing);
    write_bytes(ini, "[Window]\r\nTop=1\r\n");
    write_bytes(ing, "[Cmd Commands]\r\nNoCmd=vi\r\n");
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(ing.c_str(), FILE_ATTRIBUTE_READONLY));
    write_settings();
    write_command_file();
    EXPECT_EQ("[Window]\r\nTop=1\r\n", read_bytes(ini));
    EXPECT_EQ("[Cmd Commands]\r\nNoCmd=vi\r\n", read_bytes(ing));
    EXPECT_FALSE(file_exists(ini + L".tmp"));
    EXPECT_FALSE(file_exists(ing + L".tmp"));

    // A temporary file left by an earlier failure doesn't stand in the way.
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    write_bytes(ini + L".tmp", "stale");
    write_settings();
    EXPECT_EQ(default_settings_text("C:\\Tools\\tavro.log"), read_bytes(ini));
    EXPECT_FALSE(file_exists(ini + L".tmp"));

    // Where no new file can be made (a folder holds the temporary name), the file itself is written.
    ASSERT_TRUE(CreateDirectoryW((ini + L".tmp").c_str(), NULL));
    write_bytes(ini, std::string(4000, 'x'));
    write_settings();
    RemoveDirectoryW((ini + L".tmp").c_str());
    EXPECT_EQ(default_settings_text("C:\\Tools\\tavro.log"), read_bytes(ini));
}

TEST_F(SettingsFile, WindowRectangleUnlessMaximisedOrMinimised) {
    HWND window = CreateWindowExW(0, L"STATIC", L"settings test", WS_OVERLAPPEDWINDOW, 10, 20, 300, 200, NULL, NULL,
                                  GetModuleHandleW(NULL), NULL);
    ASSERT_NE((HWND)NULL, window);
    Main = window;
    write_settings();
    EXPECT_EQ(20, Top);
    EXPECT_EQ(10, Left);
    EXPECT_EQ(200, Height);
    EXPECT_EQ(300, Width);
    EXPECT_NE(std::string::npos, read_bytes(ini).find("Top=20\r\nHeight=200\r\nLeft=10\r\nWidth=300\r\n"));

    Top = 1, Left = 2, Height = 3, Width = 4;
    ShowWindow(window, SW_MAXIMIZE);
    ASSERT_TRUE(IsZoomed(window));
    write_settings();
    EXPECT_EQ(1, Top);
    EXPECT_EQ(2, Left);
    EXPECT_EQ(3, Height);
    EXPECT_EQ(4, Width);
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(window));
    write_settings();
    EXPECT_EQ(1, Top);
    EXPECT_EQ(4, Width);
    EXPECT_NE(std::string::npos, read_bytes(ini).find("Top=1\r\nHeight=3\r\nLeft=2\r\nWidth=4\r\n"));
    DestroyWindow(window);
}

}  // namespace
