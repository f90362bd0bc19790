// A console program for the end-to-end tests: prints one line naming itself and its arguments.
// "sleep N" makes it wait N milliseconds before it ends, as a slow command would.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv) {
    printf("tiny_console ran with %d argument(s)\n", argc - 1);
    fflush(stdout);
    if (argc == 3 && strcmp(argv[1], "sleep") == 0) Sleep((DWORD)atoi(argv[2]));
    return 0;
}
