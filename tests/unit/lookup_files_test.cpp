// Program lookup against real files written into a temporary folder.
#include <gtest/gtest.h>
#include "input/lookup.h"
#include <windows.h>
#include <string>
#include <vector>

namespace {

class LookupFiles : public ::testing::Test {
protected:
    std::wstring folder;

    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"tavro_lookup_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
        CreateDirectoryW((folder + L"\\a").c_str(), nullptr);
        CreateDirectoryW((folder + L"\\b").c_str(), nullptr);
    }
    void TearDown() override {
        for (const std::wstring& f : written) DeleteFileW(f.c_str());
        RemoveDirectoryW((folder + L"\\a").c_str());
        RemoveDirectoryW((folder + L"\\b").c_str());
        RemoveDirectoryW(folder.c_str());
    }

    std::vector<std::wstring> written;

    std::wstring write(const std::wstring& name, const std::vector<unsigned char>& bytes) {
        std::wstring path = folder + L"\\" + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        DWORD done = 0;
        if (!bytes.empty()) WriteFile(file, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
        CloseHandle(file);
        written.push_back(path);
        return path;
    }

    static std::vector<unsigned char> image(unsigned subsystem) {
        std::vector<unsigned char> bytes(0x200, 0);
        bytes[0] = 'M';
        bytes[1] = 'Z';
        bytes[0x3C] = 0x80;
        bytes[0x80] = 'P';
        bytes[0x81] = 'E';
        bytes[0x80 + 0x5C] = (unsigned char)subsystem;
        return bytes;
    }
};

TEST_F(LookupFiles, ImageSubsystemCodes) {
    EXPECT_EQ(image_subsystem(write(L"gui.exe", image(2)).c_str()), 2);
    EXPECT_EQ(image_subsystem(write(L"console.exe", image(3)).c_str()), 3);
    std::vector<unsigned char> text(0x200, 'x');
    EXPECT_EQ(image_subsystem(write(L"text.exe", text).c_str()), -4);
    EXPECT_EQ(image_subsystem(write(L"short.exe", {'M', 'Z', 0, 0}).c_str()), -4);
    std::vector<unsigned char> far_header = image(2);
    far_header[0x3D] = 0x10;   // offset 0x1080, past the end
    EXPECT_EQ(image_subsystem(write(L"far.exe", far_header).c_str()), -4);
    EXPECT_EQ(image_subsystem((folder + L"\\missing.exe").c_str()), -1);
    EXPECT_EQ(image_subsystem(write(L"empty.exe", {}).c_str()), -2);   // an empty file cannot be mapped
}

TEST_F(LookupFiles, ClassifyWordsWithPaths) {
    write(L"gui.exe", image(2));
    write(L"console.exe", image(3));
    write(L"text.exe", std::vector<unsigned char>(0x200, 'x'));
    program_found = false;
    EXPECT_TRUE(classify_command_word((folder + L"\\gui.exe").c_str()));
    EXPECT_TRUE(program_found);
    EXPECT_TRUE(classify_command_word((folder + L"\\gui").c_str()));   // + ".EXE"
    EXPECT_FALSE(classify_command_word((folder + L"\\console").c_str()));
    EXPECT_FALSE(classify_command_word((folder + L"\\text.exe").c_str()));
    EXPECT_FALSE(classify_command_word((folder + L"\\app").c_str()));
    EXPECT_TRUE(program_found);   // not searched on PATH
    EXPECT_FALSE(classify_command_word((folder + L"\\gui.cmd").c_str()));
    EXPECT_STREQ(search_program(L"x\\y"), L"x\\y");
}

bool exists(void*, const wchar_t* path) { return path_exists(path); }
bool is_file(void*, const wchar_t* path) { return path_is_file(path); }
int subsystem(void*, const wchar_t* path) { return image_subsystem(path); }
struct Lists {
    std::wstring directories, extensions;
};
const wchar_t* directories(void* c) { return ((Lists*)c)->directories.c_str(); }
const wchar_t* extensions(void* c) { return ((Lists*)c)->extensions.c_str(); }

TEST_F(LookupFiles, SearchAlongRealDirectories) {
    wchar_t defaults[EXTENSION_LIST_CHARS];
    build_executable_extensions(defaults, nullptr);   // PATHEXT unset
    Lists lists = {folder + L"\\a;;" + folder + L"\\b\\", defaults};
    LookupProbe probe = {exists, is_file, subsystem, directories, extensions, extensions, &lists};
    wchar_t found[CANDIDATE_CHARS];
    EXPECT_FALSE(search_program_with(&probe, L"tool", found));
    write(L"b\\tool.CMD", {'@'});
    ASSERT_TRUE(search_program_with(&probe, L"tool", found));
    EXPECT_EQ(std::wstring(found), folder + L"\\b\\tool.CMD");   // trailing "\" not doubled
    write(L"b\\tool.COM", image(3));
    ASSERT_TRUE(search_program_with(&probe, L"tool", found));
    EXPECT_EQ(std::wstring(found), folder + L"\\b\\tool.COM");   // .COM before .CMD
    write(L"b\\tool.EXE", image(2));
    ASSERT_TRUE(search_program_with(&probe, L"tool", found));
    EXPECT_EQ(std::wstring(found), folder + L"\\b\\tool.EXE");
    write(L"a\\tool.BAT", {'@'});
    ASSERT_TRUE(search_program_with(&probe, L"tool", found));
    EXPECT_EQ(std::wstring(found), folder + L"\\a\\tool.BAT");   // earlier directory wins
    bool program = false;
    EXPECT_FALSE(classify_word_with(&probe, L"tool", &program));   // the .BAT is not an image
    EXPECT_TRUE(program);
    DeleteFileW((folder + L"\\a\\tool.BAT").c_str());
    EXPECT_TRUE(classify_word_with(&probe, L"tool", &program));
}

}  // namespace
