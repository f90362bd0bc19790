// pipecmd's text logic: bytes assembled into lines however they are chunked, then each line's
// variables and prompt expanded and its command parsed.
#include "fuzz_text.h"
#include "pipecmd_logic.h"

namespace {

// Defined variables are those whose name starts with a letter from A to M; the value repeats
// the name a few times, so expansions grow.
long lookup(void* context, const wchar_t* name, size_t name_len, wchar_t* value, size_t cap) {
    unsigned repeat = *(unsigned*)context;
    wchar_t first = upper_ascii(name[0]);
    if (first < L'A' || first > L'M') return -1;
    size_t full = name_len * repeat;
    size_t n = 0;
    for (; n < full && n + 1 < cap; n++) value[n] = name[n % name_len];
    if (cap) value[n] = 0;
    return (long)full;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = fuzz_input(data, size);
    unsigned repeat = fuzz_byte(&in) % 8;
    size_t cap = (size_t)fuzz_pick(&in, PIPECMD_LINE_MAX + 2);
    size_t chunk = 1 + (size_t)fuzz_pick(&in, 64);
    static LineAssembler la;
    line_reset(&la);
    const char* bytes = (const char*)data + in.pos;
    size_t left = size - in.pos;
    static wchar_t line[PIPECMD_LINE_MAX + 1];
    static wchar_t out[PIPECMD_LINE_MAX + 2];
    static CdRequest cd;
    static SetRequest set;
    while (true) {
        bool have = false;
        if (left) {
            size_t n = left < chunk ? left : chunk;
            size_t used = line_feed(&la, bytes, n);
            FUZZ_CHECK(used >= 1 && used <= n);
            bytes += used;
            left -= used;
            have = la.complete;
        } else {
            have = line_finish(&la);
        }
        FUZZ_CHECK(la.len <= PIPECMD_LINE_MAX && la.bytes[la.len] == 0);
        if (!have) {
            if (!left) break;
            continue;
        }
        // Each byte widened as one unit, as a single-byte code page would.
        size_t n = 0;
        for (; n < la.len; n++) line[n] = (wchar_t)(unsigned char)la.bytes[n];
        line[n] = 0;

        bool whole = expand_vars(line, out, cap, lookup, &repeat);
        if (cap) FUZZ_CHECK(wcslen(out) < cap);
        if (!cap) FUZZ_CHECK(!whole);
        wchar_t prompt[300];
        expand_prompt(line, L"C:\\dir", prompt, 300);
        FUZZ_CHECK(wcslen(prompt) < 300);

        const wchar_t* start = skip_line_start(line);
        (void)has_operators(start);
        (void)start_arguments(start);
        (void)drive_switch(start);
        (void)path_drive(start);
        const wchar_t* args = match_builtin(start, L"cd");
        if (!args) args = start;
        if (parse_cd(args, &cd)) FUZZ_CHECK(wcslen(cd.path) <= PIPECMD_LINE_MAX);
        parse_set(args, &set);
        FUZZ_CHECK(wcslen(set.name) <= PIPECMD_LINE_MAX && wcslen(set.value) <= PIPECMD_LINE_MAX);
        (void)env_entry_less(start, line);
        (void)env_entry_has_prefix(start, args);
        unsigned long pid = 0;
        if (parse_tasklist_pid(line, &pid)) {
            wchar_t task[64];
            format_task_line(args, pid, task, 64);
            FUZZ_CHECK(wcslen(task) < 64);
        }
        const wchar_t* text = nullptr;
        EchoKind echo = parse_echo(args, &text);
        FUZZ_CHECK(text && (echo != ECHO_TEXT || (text > args && text <= args + wcslen(args))));
        (void)parse_number(args, &pid);
        line_reset(&la);
        if (!left) break;
    }
    return 0;
}
