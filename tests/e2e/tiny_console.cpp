// A console program for the end-to-end tests: prints one line naming itself and its arguments.
#include <stdio.h>

int main(int argc, char**) {
    printf("tiny_console ran with %d argument(s)\n", argc - 1);
    return 0;
}
