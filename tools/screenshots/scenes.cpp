// Sets Tavro up for one of the pictures in docs/, then waits to be photographed (see
// tools/screenshots.sh and tools/photo.sh):
//
//   tavro_scenes --scene command|history|paging --ready-file R --wait-file D
//
// It writes R when the window shows the scene and closes Tavro once D exists. Tavro runs with
// its default font, so the picture also shows what the Wine prefix maps "Lucida Console" to.
// Exit code 0 when everything went as planned; 1 after a failure, with the pane printed.
#include <stdio.h>
#include <string.h>
#include <stdlib.h>
#include <string>
#include "harness.h"

using namespace e2e;

// A visible popup menu (class "#32768") of the process.
static HWND find_popup_menu(DWORD pid) {
    HWND found = NULL;
    for (HWND w = FindWindowExW(NULL, NULL, L"#32768", NULL); w; w = FindWindowExW(NULL, w, L"#32768", NULL)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && IsWindowVisible(w)) found = w;
    }
    return found;
}

// Output, an error line in the error colour, and a directory listing.
static bool scene_command(Tavro& tavro) {
    const wchar_t* commands[] = {L"echo Hello from Tavro", L"cd \\no\\such\\folder", L"dir"};
    for (const wchar_t* command : commands)
        if (!tavro.run_command(command)) return false;
    return tavro.wait_for_pane(L"The system cannot find the path specified.");
}

// The F7 menu of previous commands.
static bool scene_history(Tavro& tavro) {
    const wchar_t* commands[] = {L"echo Tavro keeps the commands you type", L"dir /w", L"cd ..",
                                 L"set TAVRO_DEMO=1", L"echo %TAVRO_DEMO%", L"cd %TEMP%"};
    for (const wchar_t* command : commands)
        if (!tavro.run_command(command)) return false;
    tavro.press_key(VK_F7);
    ULONGLONG deadline = GetTickCount64() + WAIT_MS;
    while (!find_popup_menu(tavro.pid())) {
        if (GetTickCount64() >= deadline) {
            tavro.print_diagnostics("the previous-commands menu did not open");
            return false;
        }
        Sleep(POLL_MS);
    }
    return true;
}

// Tavro's own pager stopped after a page, "»" in the prompt display. Under Wine, more is a
// built-in of cmd.exe that passes a pipe through; the paging is Tavro's.
static bool scene_paging(Tavro& tavro) {
    std::string lines;
    for (int i = 1; i <= 400; i++) {
        char line[80];
        snprintf(line, sizeof line, "Line %03d of a long listing, paged by Tavro itself\r\n", i);
        lines += line;
    }
    if (!write_file(tavro.path_in_folder(L"listing.txt"), lines)) {
        printf("tavro_scenes: cannot write the listing\n");
        return false;
    }
    tavro.type_line(L"type listing.txt | more");
    if (!tavro.wait_for_pane(L"Line 005 of")) return false;
    ULONGLONG deadline = GetTickCount64() + WAIT_MS;
    std::wstring before;
    for (;;) {
        Sleep(1000);
        std::wstring pane = tavro.pane_text();
        if (pane == before && tavro.prompt_text() == L"\x00BB") return true;
        before = pane;
        if (GetTickCount64() >= deadline) {
            tavro.print_diagnostics("the pager did not stop after a page");
            return false;
        }
    }
}

static int usage() {
    fprintf(stderr, "usage: tavro_scenes --scene command|history|paging [--ready-file PATH] [--wait-file PATH]\n");
    return 2;
}

int main(int argc, char** argv) {
    std::string scene;
    std::wstring ready_file, wait_file;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--scene") == 0 && i + 1 < argc) scene = argv[++i];
        else if (strcmp(argv[i], "--ready-file") == 0 && i + 1 < argc) ready_file = windows_path(argv[++i]);
        else if (strcmp(argv[i], "--wait-file") == 0 && i + 1 < argc) wait_file = windows_path(argv[++i]);
        else return usage();
    }
    bool (*prepare)(Tavro&) = scene == "command"   ? scene_command
                              : scene == "history" ? scene_history
                              : scene == "paging"  ? scene_paging
                                                   : nullptr;
    if (!prepare) return usage();

    Tavro tavro;
    StartOptions options;
    // Fits the 960x660 desktop of tools/screenshots.sh with a small margin.
    options.left = 20;
    options.top = 20;
    options.width = 920;
    // Wine's more, a built-in of its cmd.exe, writes a "-- More --" line of its own after a
    // screenful; a shorter pane makes Tavro's pager stop before that line.
    options.height = scene == "paging" ? 540 : 620;
    options.extra_settings = "[Fonts]\r\nHighlightErrs=1\r\n";
    if (!tavro.start(options) || !tavro.wait_for_pane(tavro.first_prompt())) return 1;
    SetForegroundWindow(tavro.main_window());
    if (!prepare(tavro)) return 1;

    if (!ready_file.empty() && !write_file(ready_file, "READY\n")) {
        fprintf(stderr, "tavro_scenes: cannot write %s\n", to_utf8(ready_file).c_str());
        return 1;
    }
    if (!wait_file.empty() && !wait_for_file(wait_file, 300000)) return 1;
    // Let the pager run to the end and close an open popup menu, so that Tavro can end normally.
    if (scene == "paging") {
        tavro.type_char(L'f');
        tavro.wait_for_pane(L"Line 400 of");
    }
    if (HWND menu = find_popup_menu(tavro.pid())) PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(tavro.main_window(), WM_CANCELMODE, 0, 0);
    tavro.close();
    return 0;
}
