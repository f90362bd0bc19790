// Program lookup over plain data: lists, header check, search order and classification.
#include <gtest/gtest.h>
#include "input/lookup_text.h"
#include <map>
#include <string>
#include <vector>

namespace {

TEST(BuiltinList, EightySixWordsBetweenCommas) {
    std::wstring list = BUILTIN_COMMANDS;
    ASSERT_EQ(list.front(), L',');
    ASSERT_EQ(list.back(), L',');
    int commas = 0;
    for (wchar_t c : list) commas += c == L',';
    EXPECT_EQ(commas - 1, 86);
    EXPECT_EQ(list.find(L",,"), std::wstring::npos);
}

TEST(InList, WholeWordsCaseSensitive) {
    EXPECT_TRUE(in_list(L",a,bc,", L"bc"));
    EXPECT_TRUE(in_list(L",a,bc,", L"a"));
    EXPECT_FALSE(in_list(L",a,bc,", L"b"));
    EXPECT_FALSE(in_list(L",a,bc,", L"c"));
    EXPECT_FALSE(in_list(L",a,bc,", L"A"));
    EXPECT_FALSE(in_list(L",a,,b,", L""));
    EXPECT_FALSE(in_list(L",", L"a"));
}

TEST(PipesIntoMore, TheLineRule) {
    EXPECT_TRUE(pipes_into_more(L"type x.txt | more"));
    EXPECT_TRUE(pipes_into_more(L"dir |more"));
    EXPECT_TRUE(pipes_into_more(L"dir |\t MORE /s"));
    EXPECT_TRUE(pipes_into_more(L"more < x.txt"));
    EXPECT_TRUE(pipes_into_more(L"MoRe x"));          // mixed case only at the start
    EXPECT_FALSE(pipes_into_more(L"dir | More"));
    EXPECT_FALSE(pipes_into_more(L"echo moreover"));
    EXPECT_FALSE(pipes_into_more(L"echo more | more"));   // only the first occurrence is looked at
    EXPECT_FALSE(pipes_into_more(L"more"));
    EXPECT_FALSE(pipes_into_more(L"dir > more"));
    EXPECT_FALSE(pipes_into_more(L""));
    EXPECT_TRUE(pipes_into_more(L"|more"));
}

TEST(Lists, PathAndPathextWithDefaults) {
    wchar_t out[SEARCH_DIRECTORIES_CHARS];
    build_search_directories(out, L"C:\\bin;D:\\x\\");
    EXPECT_STREQ(out, L".;C:\\bin;D:\\x\\");
    build_search_directories(out, nullptr);
    EXPECT_STREQ(out, L".;");
    std::wstring too_long(PATH_VALUE_ROOM + 1, L'a');
    build_search_directories(out, too_long.c_str());
    EXPECT_STREQ(out, L".;");
    std::wstring fits(PATH_VALUE_ROOM, L'a');
    build_search_directories(out, fits.c_str());
    EXPECT_EQ(std::wstring(out), L".;" + fits);

    wchar_t ext[EXTENSION_LIST_CHARS];
    build_executable_extensions(ext, nullptr);
    EXPECT_STREQ(ext, L".BAT;.EXE;.COM;.CMD;");
    build_executable_extensions(ext, L"x.com;.exe");
    EXPECT_STREQ(ext, L"x.COM;.EXE;");   // the first character keeps its case
    build_script_extensions(ext, nullptr);
    EXPECT_STREQ(ext, L";.BAT;.COM;.CMD;");
    build_script_extensions(ext, L".com;.exe;.vbs");
    EXPECT_STREQ(ext, L";.COM;.EXE;.VBS;");
    std::wstring long_ext(PATHEXT_VALUE_ROOM, L'e');
    build_script_extensions(ext, long_ext.c_str());
    EXPECT_EQ(std::wstring(ext).size(), (size_t)PATHEXT_VALUE_ROOM + 2);
    build_executable_extensions(ext, long_ext.c_str());
    EXPECT_EQ(std::wstring(ext).size(), (size_t)PATHEXT_VALUE_ROOM + 1);
}

TEST(Candidates, TrailingBackslashAndCapacity) {
    wchar_t a[CANDIDATE_CHARS], b[CANDIDATE_CHARS];
    ASSERT_TRUE(build_candidate(a, L"C:\\bin", 6, L"app", L".EXE", 4));
    ASSERT_TRUE(build_candidate(b, L"C:\\bin\\", 7, L"app", L".EXE", 4));
    EXPECT_STREQ(a, L"C:\\bin\\app.EXE");
    EXPECT_STREQ(a, b);
    std::wstring dir(CANDIDATE_CHARS - 6, L'd');
    EXPECT_TRUE(build_candidate(a, dir.c_str(), dir.size(), L"ab", L".E", 2));   // 261 characters fit
    EXPECT_FALSE(build_candidate(a, dir.c_str(), dir.size(), L"ab", L".EX", 3));
}

std::vector<unsigned char> image(size_t size, unsigned header, unsigned subsystem) {
    std::vector<unsigned char> bytes(size, 0);
    if (size >= 2) bytes[0] = 'M', bytes[1] = 'Z';
    if (size >= 0x40)
        for (int i = 0; i < 4; i++) bytes[0x3C + i] = (unsigned char)(header >> (8 * i));
    if ((size_t)header + 0x5E <= size) {
        bytes[header + 0x5C] = (unsigned char)subsystem;
        bytes[header + 0x5D] = (unsigned char)(subsystem >> 8);
    }
    return bytes;
}

int subsystem_of(const std::vector<unsigned char>& bytes) { return image_subsystem_of_bytes(bytes.data(), bytes.size()); }

TEST(ImageHeader, SubsystemAndEveryBound) {
    EXPECT_EQ(subsystem_of(image(0x200, 0x80, 2)), 2);
    EXPECT_EQ(subsystem_of(image(0x200, 0x80, 3)), 3);
    EXPECT_EQ(subsystem_of(image(0x80 + 0x5E, 0x80, 2)), 2);     // the field ends the file
    EXPECT_EQ(subsystem_of(image(0x80 + 0x5D, 0x80, 2)), -4);    // one byte short
    EXPECT_EQ(subsystem_of(image(0x3F, 0, 2)), -4);              // too short for the header offset
    EXPECT_EQ(subsystem_of(image(0x200, 0x200, 2)), -4);         // offset at the end
    EXPECT_EQ(subsystem_of(image(0x200, 0xFFFFFFF0u, 2)), -4);   // negative as a signed offset
    EXPECT_EQ(subsystem_of(image(0x200, 0x7FFFFFFFu, 2)), -4);
    std::vector<unsigned char> not_mz = image(0x200, 0x80, 2);
    not_mz[0] = 'Z';
    EXPECT_EQ(subsystem_of(not_mz), -4);
    EXPECT_EQ(image_subsystem_of_bytes(nullptr, 0), -4);
    // The DOS header may itself hold the image header.
    EXPECT_EQ(subsystem_of(image(0x60, 0, 2)), 2);
}

// A file system of names only, recording every question asked.
struct FakeFiles {
    std::map<std::wstring, int> files;   // path -> subsystem (directories: 100)
    std::wstring directories = L".;C:\\bin;;D:\\tools\\";
    std::wstring extensions = L".BAT;.EXE;.COM;.CMD;";
    std::wstring scripts = L";.BAT;.COM;.CMD;";
    std::vector<std::wstring> asked;
    bool directories_used = false;
    LookupProbe probe() {
        return {[](void* c, const wchar_t* p) { return self(c)->ask(p) != 0; },
                [](void* c, const wchar_t* p) { return self(c)->ask(p) == 1; },
                [](void* c, const wchar_t* p) { return self(c)->files.count(p) ? self(c)->files[p] : -1; },
                [](void* c) { self(c)->directories_used = true; return (const wchar_t*)self(c)->directories.c_str(); },
                [](void* c) { return (const wchar_t*)self(c)->extensions.c_str(); },
                [](void* c) { return (const wchar_t*)self(c)->scripts.c_str(); },
                this};
    }
    static FakeFiles* self(void* c) { return (FakeFiles*)c; }
    int ask(const wchar_t* path) {   // 0 none, 1 file, 2 directory
        asked.push_back(path);
        auto it = files.find(path);
        return it == files.end() ? 0 : it->second == 100 ? 2 : 1;
    }
    std::wstring search(const wchar_t* name) {
        LookupProbe p = probe();
        wchar_t found[CANDIDATE_CHARS];
        return search_program_with(&p, name, found) ? found : L"<none>";
    }
    bool classify(const wchar_t* word, bool* found) {
        LookupProbe p = probe();
        *found = false;
        return classify_word_with(&p, word, found);
    }
};

TEST(Search, DirectoriesThenExtensionsInOrder) {
    FakeFiles fs;
    fs.files = {{L"C:\\bin\\tool.COM", 3}, {L"D:\\tools\\tool.EXE", 2}, {L"C:\\bin\\tool.CMD", 0}};
    EXPECT_EQ(fs.search(L"tool"), L"C:\\bin\\tool.COM");
    std::vector<std::wstring> expected = {L".\\tool.BAT", L".\\tool.EXE", L".\\tool.COM", L".\\tool.CMD",
                                          L"C:\\bin\\tool.BAT", L"C:\\bin\\tool.EXE", L"C:\\bin\\tool.COM"};
    EXPECT_EQ(fs.asked, expected);
    fs.asked.clear();
    EXPECT_EQ(fs.search(L"nothing"), L"<none>");
    EXPECT_EQ(fs.asked.size(), 12u);   // three directories (the empty entry skipped), four extensions
    EXPECT_EQ(fs.asked[8], L"D:\\tools\\nothing.BAT");
}

TEST(Search, DottedNamesTryThemselvesFirstAndPathsAreNotSearched) {
    FakeFiles fs;
    fs.files = {{L"C:\\bin\\a.b", 100}, {L"C:\\bin\\x.y.EXE", 3}};
    EXPECT_EQ(fs.search(L"a.b"), L"C:\\bin\\a.b");   // a directory counts too
    EXPECT_EQ(fs.search(L"x.y"), L"C:\\bin\\x.y.EXE");
    fs.directories = L"C:\\" + std::wstring(CANDIDATE_CHARS - 1 - 3 - 4, L'd');   // the path just fits
    fs.files = {{fs.directories + L"\\x.y", 1}};
    EXPECT_EQ(fs.search(L"x.y"), fs.directories + L"\\x.y");
    fs.asked.clear();
    EXPECT_EQ(fs.search(L"sub\\prog"), L"sub\\prog");
    EXPECT_TRUE(fs.asked.empty());
}

TEST(Classify, BuiltinsScriptsAndPaths) {
    FakeFiles fs;
    bool found = false;
    EXPECT_FALSE(fs.classify(L"dir", &found));
    EXPECT_TRUE(found);
    EXPECT_TRUE(fs.asked.empty() && !fs.directories_used);
    EXPECT_FALSE(fs.classify(L"DIR", &found));   // not a built-in: searched and not found
    EXPECT_FALSE(found);
    fs.asked.clear();
    fs.directories_used = false;
    EXPECT_FALSE(fs.classify(L"setup.bat", &found));
    EXPECT_TRUE(found);
    EXPECT_TRUE(fs.asked.empty());
    EXPECT_FALSE(fs.classify(L"C:\\tools\\app", &found));
    EXPECT_TRUE(found);   // a word with a path is not searched for
    EXPECT_FALSE(fs.directories_used);
    EXPECT_EQ(fs.asked, (std::vector<std::wstring>{L"C:\\tools\\app", L"C:\\tools\\app.EXE"}));
    EXPECT_FALSE(fs.classify(L"x:dir", &found));
    EXPECT_FALSE(fs.directories_used);
    EXPECT_FALSE(fs.classify(L"", &found));   // an empty line names nothing and is not searched
    EXPECT_TRUE(found);
}

TEST(Classify, SubsystemDecides) {
    FakeFiles fs;
    fs.files = {{L"C:\\bin\\notepad.EXE", 2}, {L"C:\\bin\\ping.EXE", 3}, {L"C:\\bin\\bad.EXE", -4},
                {L"here.EXE", 2},            {L"dir2", 100},            {L"dir2.EXE", 2},
                {L"gui.app", 2}};
    bool found = false;
    EXPECT_TRUE(fs.classify(L"notepad", &found));
    EXPECT_TRUE(found);
    EXPECT_FALSE(fs.classify(L"ping", &found));
    EXPECT_TRUE(found);
    EXPECT_FALSE(fs.classify(L"bad", &found));
    EXPECT_TRUE(fs.classify(L"here", &found));   // word + ".EXE" before the search
    EXPECT_TRUE(fs.classify(L"dir2", &found));   // a directory is not the program, dir2.EXE is
    EXPECT_TRUE(fs.classify(L"notepad.EXE", &found));
    EXPECT_FALSE(fs.classify(L"notepad.BAT", &found));
    EXPECT_TRUE(fs.classify(L"gui.app", &found));   // neither a script nor ".exe": the file itself
}

}  // namespace
