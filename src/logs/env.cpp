// Environment sync: the slave runs the environment batch file into the listing file, and the
// listing is applied to the program's own environment.
#include "logs/env.h"
#include "logs/env_text.h"
#include "logs/logs.h"
#include "app/app.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include "slave/slave.h"
#include <share.h>
#include <string.h>

// The listing is looked for every 100 ms. A slave that has not taken the command within a second
// is busy with something else; once it has taken it, or has the listing open, it is running the
// batch and gets a few seconds to finish.
enum { SYNC_TRY_PAUSE_MS = 100, SYNC_START_MS = 1000, SYNC_WRITE_MS = 5000, DROPPED_NAMES_CHARS = 300 };

static int get_variable(void*, const wchar_t* name, wchar_t* buffer, int capacity) {
    buffer[0] = 0;
    return (int)GetEnvironmentVariableW(name, buffer, (DWORD)capacity);
}

static void set_variable(void*, const wchar_t* name, const wchar_t* value) {
    SetEnvironmentVariableW(name, value);
}

// Adds a name to the list of dropped lines, as far as it fits.
static void note_dropped(wchar_t* dropped, int capacity, const wchar_t* name) {
    if (!dropped || capacity <= 0 || !name[0]) return;
    int used = (int)wcslen(dropped);
    _snwprintf(dropped + used, capacity - 1 - used, used ? L", %s" : L"%s", name);
    dropped[capacity - 1] = 0;
}

int apply_environment_listing(FILE* listing, wchar_t* dropped, int dropped_capacity) {
    static char bytes[ENV_LINE_MAX + 1];
    static wchar_t line[ENV_LINE_MAX + 1];
    EnvironmentAccess env = {NULL, get_variable, set_variable};
    if (dropped && dropped_capacity > 0) dropped[0] = 0;
    int changed = 0;
    bool too_long;
    while (read_listing_line(listing, bytes, &too_long)) {
        // The slave writes the listing in its console code page, the one it was told with CHCP.
        int n = MultiByteToWideChar((UINT)slave_code_page, 0, bytes, -1, line, ENV_LINE_MAX + 1);
        if (n <= 0) continue;
        line[ENV_LINE_MAX] = 0;
        if (too_long) {
            // A value cut short (a long PATH) would break what depends on it: the old value stays.
            wchar_t name[64];
            listing_line_name(line, name, 64);
            note_dropped(dropped, dropped_capacity, name);
            continue;
        }
        if (apply_listing_line(line, env)) changed++;
    }
    return changed;
}

// The slave has read the sync command: its echo is in its output, which Tavro alone reads and
// does not read while it waits here. (How much of its input the slave has not read yet can't be
// asked without waiting on Windows: see make_write_end_nonblocking.)
static bool slave_echoed(const char* command, size_t length) {
    static char waiting[CONVERSION_BUFFER_BYTES];
    DWORD got = 0;
    if (!stdout_read || !length || !PeekNamedPipe(stdout_read, waiting, sizeof waiting, &got, NULL, NULL)) return false;
    for (size_t i = 0; i + length <= got; i++)
        if (memcmp(waiting + i, command, length) == 0) return true;
    return false;
}

static void report_dropped(const wchar_t* names) {
    print_error_text(L"\n\nNot copied, longer than %d characters: %s", ENV_LINE_MAX, names);
    print_prompt_imitation(true);
}

void sync_environments(bool line_end) {
    wchar_t command[2 * FILE_NAME_CHARS + 16];
    if (build_sync_command(command, sizeof command / sizeof command[0], env_batch_name, env_data_name,
                           line_end) < 0)
        return;
    if (!convert_for_slave(command)) return;   // a path the slave's code page cannot carry
    // A listing left by an earlier sync must never be taken for this one.
    DeleteFileW(env_data_name);
    static char echo[CONVERSION_BUFFER_BYTES];
    size_t echo_length = strcspn(conversion_buffer, "\r\n");
    memcpy(echo, conversion_buffer, echo_length);
    send_to_slave(conversion_buffer);
    flush_slave_input();   // the listing can only appear once the whole line has gone
    for (int waited = SYNC_TRY_PAUSE_MS;; waited += SYNC_TRY_PAUSE_MS) {
        Sleep(SYNC_TRY_PAUSE_MS);
        // Only once the slave has closed the file may it be read: a listing opened while it is
        // still being written would lose the variables at its end. Sharing nothing, the open
        // fails while the slave still has the file.
        FILE* listing = _wfsopen(env_data_name, L"r", _SH_DENYRW);
        if (listing) {
            wchar_t dropped[DROPPED_NAMES_CHARS];
            apply_environment_listing(listing, dropped, DROPPED_NAMES_CHARS);
            fclose(listing);
            if (dropped[0]) report_dropped(dropped);
            return;
        }
        if (waited >= SYNC_WRITE_MS) break;
        bool on_its_way =
            GetFileAttributesW(env_data_name) != INVALID_FILE_ATTRIBUTES || slave_echoed(echo, echo_length);
        if (waited >= SYNC_START_MS && !on_its_way) break;
    }
    print_error_text(L"\n\nCannot update enviroment: can't read %s", env_data_name);
    print_prompt_imitation(true);
}
