// A console program for the end-to-end tests: prints one line naming itself and its arguments,
// and leaves a trace of every run beside itself (its own path + ".ran"), so that a test sees it
// ran even when its output went nowhere. "sleep N" makes it wait N milliseconds before it ends,
// as a slow command would.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv) {
    char trace[MAX_PATH + 8];
    DWORD n = GetModuleFileNameA(NULL, trace, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        strcpy(trace + n, ".ran");
        FILE* f = fopen(trace, "ab");
        if (f) {
            fprintf(f, "%s\n", GetCommandLineA());
            fclose(f);
        }
    }
    printf("tiny_console ran with %d argument(s)\n", argc - 1);
    fflush(stdout);
    if (argc == 3 && strcmp(argv[1], "sleep") == 0) Sleep((DWORD)atoi(argv[2]));
    return 0;
}
