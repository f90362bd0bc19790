// Slash commands at the front of a submitted line: instructions to Tavro itself.
#include "input/input.h"
#include "input/slash_text.h"
#include "app/app.h"
#include "app/timing.h"
#include "app/commands.h"
#include "logs/logs.h"
#include "pane/pane.h"
#include "settings/settings.h"
#include "slave/slave.h"

SlashAnswer slash_command() {
    SlashStep step;
    take_slash_word(command_buffer, &step);
    if (step.kind == SLASH_KIND_BYPASS) bypass_now = true;
    if (step.kind == SLASH_KIND_TABS && step.tab_width != 0) {
        TabWidth = step.tab_width;
        SendMessageW(Main, WM_COMMAND, CMD_APPLY_TABS, 0);
    }

    if (step.kind == SLASH_KIND_CLEAR) {
        SendMessageW(Main, WM_COMMAND, CMD_CLEAR_SCREEN, 0);
        Sleep(CLEAR_SETTLE_MS);
    } else if (step.kind == SLASH_KIND_UNSET) {
        wchar_t name[COMMAND_BUFFER_CHARS];
        if (!unset_variable_name(command_buffer, name, COMMAND_BUFFER_CHARS)) {
            print_error_text(L"/u %s\r\n", command_buffer);
            wcscpy(command_buffer, SLASH_USAGE_REMARK);
            compute_command_word();
            return SLASH_GO_ON;
        }
        SetEnvironmentVariableW(name, nullptr);
        _snwprintf(command_buffer, COMMAND_BUFFER_CHARS - 1, L"set %s=", name);
        command_buffer[COMMAND_BUFFER_CHARS - 1] = 0;
    } else if (!bypass_now) {
        wchar_t echo[SLASH_WORD_CHARS + 1];
        _snwprintf(echo, SLASH_WORD_CHARS, L"%s ", step.word);
        echo[SLASH_WORD_CHARS] = 0;
        append_to_pane(echo);
    }

    if (step.kind == SLASH_KIND_RULER) print_ruler();
    // The batch line always ends its own line: sent without one, it would run only after the
    // sync had stopped waiting for its listing. An empty rest then just shows another prompt.
    else if (step.kind == SLASH_KIND_SYNC) sync_environments(true);
    else if (step.kind == SLASH_KIND_HELP) print_to_output_pane(L"%s", SLASH_HELP_TEXT);

    compute_command_word();
    return step.kind == SLASH_KIND_STOP ? SLASH_STOP : SLASH_GO_ON;
}
