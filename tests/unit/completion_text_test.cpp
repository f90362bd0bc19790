// The completion word: quotes, blanks, drive words and cd lines.
#include <gtest/gtest.h>
#include "input/completion_text.h"
#include "input/lookup_text.h"
#include <map>
#include <wctype.h>
#include <string>
#include <vector>

namespace {

TEST(CompletionWord, LastWordAfterABlank) {
    CompletionWord w;
    find_completion_word(L"type rea", &w);
    EXPECT_EQ(w.start, 5u);
    EXPECT_EQ(w.insert, 5u);
    EXPECT_STREQ(w.pattern, L"rea*");
    find_completion_word(L"", &w);
    EXPECT_EQ(w.start, 0u);
    EXPECT_STREQ(w.pattern, L"*");
    find_completion_word(L"dir ", &w);
    EXPECT_STREQ(w.pattern, L"*");
}

TEST(CompletionWord, QuotedWordWithBlanksIsOneWord) {
    CompletionWord w;
    find_completion_word(L"type \"C:\\Program Files\\Com", &w);
    EXPECT_EQ(w.start, 6u);
    EXPECT_STREQ(w.pattern, L"C:\\Program Files\\Com*");
    EXPECT_EQ(w.insert, 23u);   // after the last backslash
    find_completion_word(L"type \"a b\" c", &w);   // a closed quote, then a new word
    EXPECT_STREQ(w.pattern, L"c*");
}

TEST(CompletionWord, DriveWordInsertsAfterTheColon) {
    CompletionWord w;
    find_completion_word(L"dir D:", &w);
    EXPECT_STREQ(w.pattern, L"D:*");
    EXPECT_EQ(w.insert, 6u);
    find_completion_word(L"dir D:pro", &w);
    EXPECT_EQ(w.insert, 6u);
}

TEST(CompletionWord, ChangeDirectoryLinesSkipSwitchesAndAQuote) {
    CompletionWord w;
    ASSERT_TRUE(find_change_directory_word(L"cd /d \"Prog", &w));
    EXPECT_STREQ(w.pattern, L"Prog*");
    ASSERT_TRUE(find_change_directory_word(L"RD /s /q  tmp", &w));
    EXPECT_STREQ(w.pattern, L"tmp*");
    ASSERT_TRUE(find_change_directory_word(L"cd ", &w));
    EXPECT_STREQ(w.pattern, L"*");
    ASSERT_TRUE(find_change_directory_word(L"cd /d", &w));   // a switch alone: no word yet
    EXPECT_STREQ(w.pattern, L"*");
    EXPECT_FALSE(find_change_directory_word(L"cdx foo", &w));
    EXPECT_FALSE(find_change_directory_word(L"md foo", &w));
    EXPECT_FALSE(find_change_directory_word(L"cd", &w));
}

TEST(CompletionWord, OverlongWordIsCutNotOverrun) {
    std::wstring line(5000, L'x');
    CompletionWord w;
    find_completion_word(line.c_str(), &w);
    EXPECT_EQ(wcslen(w.pattern), (size_t)COMPLETION_PATTERN_CHARS - 1);
    EXPECT_EQ(w.pattern[COMPLETION_PATTERN_CHARS - 2], L'*');
}

TEST(ExecutableName, ExtensionFromTheLastDotIgnoringCase) {
    const wchar_t* exts = L".COM;.EXE;.BAT;.CMD";
    EXPECT_TRUE(is_executable_name(L"notepad.exe", exts));
    EXPECT_TRUE(is_executable_name(L"Setup.Bat", exts));
    EXPECT_TRUE(is_executable_name(L"more.com", exts));   // the first entry of the list
    EXPECT_FALSE(is_executable_name(L"readme.txt", exts));
    EXPECT_FALSE(is_executable_name(L"exe", exts));
    EXPECT_FALSE(is_executable_name(L"a.exe.txt", exts));
    EXPECT_FALSE(is_executable_name(L"a.ex", exts));
    EXPECT_STREQ(name_part(L"C:\\bin\\tool.exe"), L"tool.exe");
    EXPECT_STREQ(name_part(L"tool.exe"), L"tool.exe");
}

bool starts_with_ignoring_case(const std::wstring& name, const std::wstring& prefix) {
    if (name.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); i++)
        if (towlower(name[i]) != towlower(prefix[i])) return false;
    return true;
}

// A file system of a few folders: a search "folder\\prefix*" lists the names of that folder
// that begin with prefix, in the folder's own order. Searches are recorded.
struct FakeFolders {
    std::map<std::wstring, std::vector<std::wstring>> folders;
    std::vector<std::wstring> searches;
    std::vector<std::wstring> listed;
    size_t at = 0;
    int open = 0;

    static bool first(void* context, const wchar_t* search, const wchar_t** name) {
        FakeFolders* f = (FakeFolders*)context;
        f->searches.push_back(search);
        std::wstring s = search;
        size_t slash = s.rfind(L'\\');
        std::wstring folder = s.substr(0, slash + 1), prefix = s.substr(slash + 1);
        prefix.pop_back();   // the "*"
        f->listed.clear();
        for (const std::wstring& n : f->folders[folder])
            if (starts_with_ignoring_case(n, prefix)) f->listed.push_back(n);
        f->at = 0;
        if (f->listed.empty()) return false;
        f->open++;
        *name = f->listed[0].c_str();
        return true;
    }
    static bool next(void* context, const wchar_t** name) {
        FakeFolders* f = (FakeFolders*)context;
        if (++f->at >= f->listed.size()) return false;
        *name = f->listed[f->at].c_str();
        return true;
    }
    static void close(void* context) { ((FakeFolders*)context)->open--; }
    NameLister lister() { return {this, first, next, close}; }
};

// Every program that successive presses offer, from the first until there is no further one.
std::vector<std::wstring> cycle(FakeFolders& f, const wchar_t* pattern, const wchar_t* directories) {
    std::vector<std::wstring> offered;
    wchar_t previous[CANDIDATE_CHARS] = L"", found[CANDIDATE_CHARS];
    NameLister lister = f.lister();
    while (offered.size() < 20 && find_next_program(pattern, previous, directories, L".COM;.EXE;.BAT", lister, found)) {
        offered.push_back(found);
        wcscpy(previous, found);
    }
    return offered;
}

TEST(ProgramCompletion, CurrentFolderFirstThenEachPathFolderOnce) {
    FakeFolders f;
    f.folders[L".\\"] = {L"pa.exe", L"pa.txt"};
    f.folders[L"C:\\bin\\"] = {L"pb.com", L"pc.bat", L"readme"};
    f.folders[L"D:\\tools\\"] = {L"PD.EXE", L"pe.exe"};
    std::vector<std::wstring> offered = cycle(f, L"p*", L".;C:\\bin;;D:\\tools\\");
    std::vector<std::wstring> expected = {L".\\pa.exe", L"C:\\bin\\pb.com", L"C:\\bin\\pc.bat",
                                          L"D:\\tools\\PD.EXE", L"D:\\tools\\pe.exe"};
    EXPECT_EQ(offered, expected);
    EXPECT_EQ(f.open, 0);   // every listing closed
    // Taking up after C:\bin\pb.com, the folders before it are not listed again.
    f.searches.clear();
    wchar_t found[CANDIDATE_CHARS];
    ASSERT_TRUE(find_next_program(L"p*", L"C:\\BIN\\pb.com", L".;C:\\bin;D:\\tools", L".EXE;.BAT;.COM",
                                  f.lister(), found));
    EXPECT_STREQ(found, L"C:\\bin\\pc.bat");
    EXPECT_EQ(f.searches, std::vector<std::wstring>{L"C:\\bin\\p*"});
    // The previous program is gone from its folder: the next folder from its first entry.
    ASSERT_TRUE(find_next_program(L"p*", L"C:\\bin\\gone.exe", L".;C:\\bin;D:\\tools", L".EXE;.BAT;.COM",
                                  f.lister(), found));
    EXPECT_STREQ(found, L"D:\\tools\\PD.EXE");
}

TEST(ProgramCompletion, WordWithAFolderSearchesOnlyThatFolder) {
    FakeFolders f;
    f.folders[L".\\"] = {L"x1.exe"};
    f.folders[L"E:\\apps\\"] = {L"x1.exe", L"x2.txt", L"x3.bat"};
    std::vector<std::wstring> offered = cycle(f, L"E:\\apps\\x*", L".;C:\\bin");
    std::vector<std::wstring> expected = {L"E:\\apps\\x1.exe", L"E:\\apps\\x3.bat"};
    EXPECT_EQ(offered, expected);
    // Nothing matches: no program, nothing left open.
    EXPECT_TRUE(cycle(f, L"q*", L".;E:\\apps").empty());
    EXPECT_EQ(f.open, 0);
}

TEST(CompletionCycle, ANewCycleWhenTheCaretMovedOrTheTypedTextChanged) {
    EXPECT_TRUE(continues_completion_cycle(7, L"type AL", L"TYPE alpha1.txt", 7));
    EXPECT_FALSE(continues_completion_cycle(7, L"type al", L"type alpha1.txt", 6));    // caret moved
    EXPECT_FALSE(continues_completion_cycle(7, L"type al", L"type be", 7));            // typed over
    EXPECT_FALSE(continues_completion_cycle(7, L"type al", L"type a", 7));             // line shorter
    EXPECT_TRUE(continues_completion_cycle(7, L"type al", L"type al", 7));             // nothing after it
    EXPECT_FALSE(continues_completion_cycle(7, L"type al", L"hype al", 7));
    EXPECT_TRUE(completion_entry_qualifies(L"a.txt", false, false));
    EXPECT_TRUE(completion_entry_qualifies(L"sub", true, true));
    EXPECT_FALSE(completion_entry_qualifies(L"a.txt", false, true));
    EXPECT_FALSE(completion_entry_qualifies(L".", true, false));
    EXPECT_FALSE(completion_entry_qualifies(L"..", true, true));
    EXPECT_TRUE(completion_entry_qualifies(L"..x", true, true));
}

}  // namespace
