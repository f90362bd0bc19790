// A submitted line through the route: first word, the pager test, the route decision over the
// command lists, the program lookup lists and search (files faked), the pager and pause answers.
#include "fuzz_text.h"
#include "input/lookup_text.h"
#include "input/route_text.h"

namespace {

struct FakeFiles {
    const wchar_t* directories;
    const wchar_t* executable_extensions;
    const wchar_t* script_extensions;
    unsigned seed;
    int probes;
};

// Whether a path "exists" depends on its text, so the search takes varied turns.
bool present(FakeFiles* f, const wchar_t* path) {
    f->probes++;
    unsigned h = f->seed;
    for (; *path; path++) h = h * 31 + (unsigned)(*path & 0xFFFF);
    return (h & 7) == 0;
}
// Only candidates built by the search are probed this way, and they are bounded; the word
// itself goes to is_file as typed.
bool exists(void* context, const wchar_t* path) {
    FUZZ_CHECK(wcslen(path) < CANDIDATE_CHARS);
    return present((FakeFiles*)context, path);
}
bool is_file(void* context, const wchar_t* path) { return present((FakeFiles*)context, path); }
int subsystem(void* context, const wchar_t* path) { return present((FakeFiles*)context, path) ? 2 : 3; }
const wchar_t* directories(void* context) { return ((FakeFiles*)context)->directories; }
const wchar_t* executable_extensions(void* context) { return ((FakeFiles*)context)->executable_extensions; }
const wchar_t* script_extensions(void* context) { return ((FakeFiles*)context)->script_extensions; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = fuzz_input(data, size);
    bool bypass = fuzz_byte(&in) & 1;
    unsigned seed = fuzz_byte(&in);
    size_t cap = 1 + (size_t)fuzz_pick(&in, COMMAND_BUFFER_CHARS);
    wchar_t key = fuzz_unit(&in);
    std::vector<wchar_t> line = fuzz_string(&in, COMMAND_BUFFER_CHARS - 1);
    std::vector<wchar_t> lists[3] = {fuzz_string(&in, 200), fuzz_string(&in, 200), fuzz_string(&in, 200)};
    std::vector<wchar_t> path = fuzz_string(&in, 2100);
    std::vector<wchar_t> pathext = fuzz_string(&in, 300);
    std::vector<wchar_t> prefix = fuzz_string(&in, 40);

    std::vector<wchar_t> word(cap);
    size_t end = first_word(line.data(), word.data(), cap);
    FUZZ_CHECK(end <= line.size() - 1 && wcslen(word.data()) < cap);
    (void)pipes_into_more(line.data());
    Route route = decide_route(line.data(), word.data(), bypass, lists[0].data(), lists[1].data(), lists[2].data());
    FUZZ_CHECK(route >= ROUTE_CLEAR_SCREEN && route <= ROUTE_SLAVE);
    for (auto& list : lists) (void)in_list(list.data(), word.data());

    std::vector<wchar_t> joined(cap);
    size_t n = join_bounded(joined.data(), cap, prefix.data(), line.data());
    FUZZ_CHECK(n < cap && wcslen(joined.data()) == n);

    (void)pause_answer(bypass, key);
    PagerAnswer answer = pager_answer(true, 0, fuzz_pick(&in, 200), key);
    FUZZ_CHECK(answer.waiting);

    static wchar_t search[SEARCH_DIRECTORIES_CHARS], executables[EXTENSION_LIST_CHARS], scripts[EXTENSION_LIST_CHARS];
    bool unset = fuzz_byte(&in) & 1;
    build_search_directories(search, unset ? nullptr : path.data());
    build_executable_extensions(executables, unset ? nullptr : pathext.data());
    build_script_extensions(scripts, unset ? nullptr : pathext.data());
    FUZZ_CHECK(wcslen(search) < SEARCH_DIRECTORIES_CHARS && wcslen(executables) < EXTENSION_LIST_CHARS &&
               wcslen(scripts) < EXTENSION_LIST_CHARS);

    FakeFiles files = {search, executables, scripts, seed, 0};
    LookupProbe probe = {exists, is_file, subsystem, directories, executable_extensions, script_extensions, &files};
    wchar_t found[CANDIDATE_CHARS];
    if (search_program_with(&probe, word.data(), found)) FUZZ_CHECK(wcslen(found) < CANDIDATE_CHARS);
    bool program_found = false;
    (void)classify_word_with(&probe, word.data(), &program_found);
    return 0;
}
