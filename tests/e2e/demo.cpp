// Shows Tavro at work for a screenshot: starts it in a folder of its own, types a few
// commands, waiting for each prompt, then prints READY and holds the window open until told
// to close it. A shell script takes the screenshot between the two:
//
//   tavro_demo --ready-file /tmp/ready --wait-file /tmp/done &
//   (wait for /tmp/ready) ; import -window root shot.png ; touch /tmp/done ; wait
//
// Without --wait-file it closes Tavro after a line (or the end) of standard input.
// Exit code 0 when everything went as planned; 1 after a failure, with the pane printed.
#include <stdio.h>
#include <string.h>
#include <stdlib.h>
#include "harness.h"

using namespace e2e;

static int usage() {
    fprintf(stderr, "usage: tavro_demo [--ready-file PATH] [--wait-file PATH] [--timeout SECONDS]\n");
    return 2;
}

int main(int argc, char** argv) {
    std::wstring ready_file, wait_file;
    unsigned long timeout_s = 300;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--ready-file") == 0 && i + 1 < argc) ready_file = windows_path(argv[++i]);
        else if (strcmp(argv[i], "--wait-file") == 0 && i + 1 < argc) wait_file = windows_path(argv[++i]);
        else if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) timeout_s = strtoul(argv[++i], NULL, 10);
        else return usage();
    }

    Tavro tavro;
    StartOptions options;
    options.font = L"DejaVu Sans Mono";
    options.font_size = -16;
    options.left = 20;
    options.top = 20;
    options.width = 1000;
    options.height = 700;
    if (!tavro.start(options) || !tavro.wait_for_pane(tavro.first_prompt())) return 1;
    SetForegroundWindow(tavro.main_window());
    const wchar_t* commands[] = {L"echo Hello from Tavro", L"cd ..", L"dir"};
    for (const wchar_t* command : commands)
        if (!tavro.run_command(command)) return 1;

    printf("READY\n");
    fflush(stdout);
    if (!ready_file.empty() && !write_file(ready_file, "READY\n")) {
        fprintf(stderr, "tavro_demo: cannot write %s\n", to_utf8(ready_file).c_str());
        return 1;
    }
    if (!wait_file.empty()) {
        if (!wait_for_file(wait_file, (DWORD)(timeout_s * 1000))) return 1;
    } else {
        char line[256];
        if (!fgets(line, sizeof line, stdin)) {
            // End of input: close as when told to.
        }
    }
    bool clean = tavro.close();
    printf("DONE\n");
    fflush(stdout);
    return clean ? 0 : 1;
}
