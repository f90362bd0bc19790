// Environment sync: the slave runs the environment batch file into the listing file, and the
// listing is applied to the program's own environment.
#include "logs/env.h"
#include "logs/env_text.h"
#include "logs/logs.h"
#include "app/app.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include "slave/slave.h"
#include <richedit.h>
#include <share.h>

enum { SYNC_TRIES = 10, SYNC_TRY_PAUSE_MS = 100 };

static int get_variable(void*, const wchar_t* name, wchar_t* buffer, int capacity) {
    buffer[0] = 0;
    return (int)GetEnvironmentVariableW(name, buffer, (DWORD)capacity);
}

static void set_variable(void*, const wchar_t* name, const wchar_t* value) {
    SetEnvironmentVariableW(name, value);
}

int apply_environment_listing(FILE* listing) {
    static char bytes[ENV_LINE_MAX + 1];
    static wchar_t line[ENV_LINE_MAX + 1];
    EnvironmentAccess env = {NULL, get_variable, set_variable};
    int changed = 0;
    while (fgets(bytes, sizeof bytes, listing)) {
        // The slave writes the listing in its console code page, the one it was told with CHCP.
        int n = MultiByteToWideChar((UINT)slave_code_page, 0, bytes, -1, line, ENV_LINE_MAX + 1);
        if (n <= 0) continue;
        line[ENV_LINE_MAX] = 0;
        if (apply_listing_line(line, env)) changed++;
    }
    return changed;
}

void sync_environments(bool line_end) {
    wchar_t command[2 * FILE_NAME_CHARS + 16];
    if (build_sync_command(command, sizeof command / sizeof command[0], env_batch_name, env_data_name,
                           line_end) < 0)
        return;
    // A listing left by an earlier sync must never be taken for this one.
    DeleteFileW(env_data_name);
    send_to_slave(convert_for_slave(command));
    flush_slave_input();   // the listing can only appear once the whole line has gone
    for (int i = 0; i < SYNC_TRIES; i++) {
        Sleep(SYNC_TRY_PAUSE_MS);
        // Only once the slave has closed the file may it be read: a listing opened while it is
        // still being written would lose the variables at its end. Sharing nothing, the open
        // fails while the slave still has the file.
        FILE* listing = _wfsopen(env_data_name, L"r", _SH_DENYRW);
        if (listing) {
            apply_environment_listing(listing);
            fclose(listing);
            return;
        }
    }
    set_output_colour(Text, SCF_SELECTION, ErrorText);
    print_to_output_pane(L"\n\nCannot update enviroment: can't read %s", env_data_name);
    restore_normal_colour(Text, SCF_SELECTION);
    print_prompt_imitation(true);
}
