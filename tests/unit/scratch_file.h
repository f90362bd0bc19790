// A file of this process's own in the temporary folder, opened for writing and reading back, and
// removed when the test ends. Plain C library, so the tests that use it also run natively.
#pragma once
#include <stdio.h>
#include <stdlib.h>
#include <string>
#ifdef _WIN32
#include <process.h>
#define scratch_process_id _getpid
#else
#include <unistd.h>
#define scratch_process_id getpid
#endif

struct ScratchFile {
    std::string path;
    FILE* file;
    explicit ScratchFile(const char* name) {
        const char* dir = getenv("TEMP");
        if (!dir) dir = getenv("TMPDIR");
        path = std::string(dir ? dir : "/tmp") + "/" + name + "_" + std::to_string(scratch_process_id()) + ".tmp";
        file = fopen(path.c_str(), "w+b");
    }
    ~ScratchFile() {
        if (file) fclose(file);
        remove(path.c_str());
    }
    // Everything written so far; the file is left at its start.
    std::string bytes() {
        std::string all;
        fflush(file);
        rewind(file);
        char chunk[512];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) all.append(chunk, n);
        rewind(file);
        return all;
    }
};
