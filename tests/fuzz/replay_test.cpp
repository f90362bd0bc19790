// Every input saved in a fuzz target's corpus (its seeds and every finding) replayed through that
// target's checks, without fuzzing: a check or a fault that an old finding shows fails here at once.
#include <gtest/gtest.h>
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <set>
#include <string>
#include <vector>

#define REPLAY_TARGET(name) extern "C" int replay_##name(const uint8_t* data, size_t size);
#include "replay_targets.h"
#undef REPLAY_TARGET

namespace {

struct Target {
    const char* name;
    int (*one)(const uint8_t* data, size_t size);
};

const Target TARGETS[] = {
#define REPLAY_TARGET(name) {#name, replay_##name},
#include "replay_targets.h"
#undef REPLAY_TARGET
};

std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    closedir(dir);
    return names;
}

std::vector<uint8_t> file_bytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

// Each input runs in a child process, so a failed check (an abort) or a sanitizer's report names
// the input instead of ending the whole run.
TEST(FuzzCorpus, EverySavedInputPassesItsTargetsChecks) {
    std::set<std::string> with_target;
    for (const Target& target : TARGETS) {
        std::string folder = std::string(TAVRO_FUZZ_CORPUS) + "/" + target.name;
        with_target.insert(target.name);
        std::vector<std::string> inputs = names_in(folder);
        EXPECT_FALSE(inputs.empty()) << folder << " holds no saved input";
        for (const std::string& input : inputs) {
            std::vector<uint8_t> bytes = file_bytes(folder + "/" + input);
            static const uint8_t none = 0;
            const uint8_t* data = bytes.empty() ? &none : bytes.data();
            EXPECT_EXIT((target.one(data, bytes.size()), exit(0)), ::testing::ExitedWithCode(0), "")
                << folder << "/" << input;
        }
    }
    for (const std::string& folder : names_in(TAVRO_FUZZ_CORPUS))
        EXPECT_TRUE(with_target.count(folder)) << "corpus " << folder << " has no fuzz target";
}

}  // namespace
