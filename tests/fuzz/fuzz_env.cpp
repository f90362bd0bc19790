// The environment listing written by the slave, read line by line and applied to an environment,
// and the command that asks for it.
#include "fuzz_text.h"
#include "logs/env_text.h"
#include <map>
#include <string>

namespace {

struct FakeEnvironment {
    std::map<std::wstring, std::wstring> values;
    int sets;
};

int get(void* context, const wchar_t* name, wchar_t* buffer, int capacity) {
    FakeEnvironment* env = (FakeEnvironment*)context;
    auto it = env->values.find(name);
    if (it == env->values.end()) return 0;
    int n = (int)it->second.size();
    if (n >= capacity) return n;
    wmemcpy(buffer, it->second.c_str(), n + 1);
    return n;
}

void set(void* context, const wchar_t* name, const wchar_t* value) {
    FakeEnvironment* env = (FakeEnvironment*)context;
    env->values[name] = value;
    env->sets++;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = fuzz_input(data, size);
    int capacity = fuzz_pick(&in, 600) - 2;
    bool line_end = fuzz_byte(&in) & 1;
    std::vector<wchar_t> batch = fuzz_string(&in, 300);
    std::vector<wchar_t> listing = fuzz_string(&in, 300);
    std::vector<wchar_t> out(capacity > 0 ? capacity : 1);
    int n = build_sync_command(out.data(), capacity, batch.data(), listing.data(), line_end);
    if (n >= 0) FUZZ_CHECK(n < capacity && wcslen(out.data()) == (size_t)n);
    else if (capacity > 0) FUZZ_CHECK(out[0] == 0);

    FakeEnvironment env;
    env.sets = 0;
    EnvironmentAccess access = {&env, get, set};
    while (fuzz_more(&in)) {
        // The reader's lines: at most ENV_LINE_MAX characters each.
        std::vector<wchar_t> line = fuzz_string(&in, ENV_LINE_MAX);
        std::vector<wchar_t> copy(line);
        const wchar_t* name = nullptr;
        const wchar_t* value = nullptr;
        ListingLineKind kind = parse_listing_line(copy.data(), &name, &value);
        if (kind != LISTING_SKIP) {
            FUZZ_CHECK(name == copy.data() && value > name && value < copy.data() + copy.size());
            FUZZ_CHECK(!wcschr(name + 1, L'=') || kind == LISTING_DRIVE);
        }
        int before = env.sets;
        bool applied = apply_listing_line(line.data(), access);
        FUZZ_CHECK(applied == (env.sets == before + 1));
        if (applied) FUZZ_CHECK(kind != LISTING_SKIP);
    }
    return 0;
}
