// The settings and command file reader on arbitrary text, then the command file written from
// what was read and read back: lists, macros and paths must survive the round trip.
#include "fuzz_text.h"
#include "settings/settings_text.h"

namespace {

struct Parsed {
    MacroStore macros;
    wchar_t lists[3][CMD_LIST_BUFFER];
    wchar_t add_path[PATH_VALUE_MAX + 1];
    wchar_t run[PATH_VALUE_MAX + 1];
};

void sink(void* context, SettingKey key, const wchar_t* line, const wchar_t* value) {
    Parsed* p = (Parsed*)context;
    FUZZ_CHECK(wcslen(line) <= SETTINGS_LINE_MAX);
    switch (setting_keys[key].form) {
    case FORM_NUMBER: case FORM_COLOUR:
        (void)parse_setting_number(value);
        break;
    case FORM_TEXT: {
        int limit = setting_keys[key].high;
        FUZZ_CHECK(limit > 0);
        std::vector<wchar_t> target((size_t)limit + 1);
        copy_text_value(target.data(), limit, value);
        FUZZ_CHECK(wcslen(target.data()) <= (size_t)limit);
        if (key == KEY_AddPath) copy_text_value(p->add_path, PATH_VALUE_MAX, value);
        if (key == KEY_Run) copy_text_value(p->run, PATH_VALUE_MAX, value);
        break;
    }
    case FORM_LIST: {
        wchar_t* list = p->lists[key - KEY_CmdAndQuit];
        normalise_command_list(list, value);
        size_t n = wcslen(list);
        // Empty (the fixed comma alone) or words each followed by a comma.
        FUZZ_CHECK(n >= 1 && n < CMD_LIST_BUFFER && list[0] == L',' && list[n - 1] == L',');
        if (n > 1) FUZZ_CHECK(list[1] != L',');
        // Normalising a normalised list, in place, changes nothing.
        wchar_t again[CMD_LIST_BUFFER];
        wmemcpy(again, list, n + 1);
        normalise_command_list(again, again + 1);
        FUZZ_CHECK(wcscmp(again, list) == 0);
        break;
    }
    case FORM_MACRO:
        macro_store_add_line(&p->macros, line);
        break;
    case FORM_NONE:
        FUZZ_CHECK(false);
    }
}

void start(Parsed* p) {
    p->macros = MacroStore{};
    for (auto& list : p->lists) normalise_command_list(list, L"");
    p->add_path[0] = p->run[0] = 0;
}

// What a line end on disk can not carry: the carriage return right before it is read as part of
// the line end.
bool same_but_line_end(const wchar_t* read, const wchar_t* written) {
    size_t a = wcslen(read), b = wcslen(written);
    if (b > 0 && written[b - 1] == L'\r') b--;
    return a == b && wmemcmp(read, written, a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = fuzz_input(data, size);
    std::vector<wchar_t> text = fuzz_rest(&in);
    size_t length = text.size() - 1;

    LineReader reader;
    line_reader_start(&reader, text.data(), length);
    wchar_t line[SETTINGS_LINE_MAX + 1];
    while (next_settings_line(&reader, line)) FUZZ_CHECK(wcslen(line) <= SETTINGS_LINE_MAX);

    static Parsed first, second;
    start(&first);
    parse_settings_text(text.data(), length, sink, &first);
    FUZZ_CHECK(first.macros.count <= MACRO_MAX && first.macros.used <= MACRO_POOL_CHARS);

    static wchar_t file[SETTINGS_TEXT_MAX];
    TextBuilder builder;
    text_builder_start(&builder, file, SETTINGS_TEXT_MAX);
    SettingValue values[KEY_COUNT] = {};
    for (int i = 0; i < 3; i++) values[KEY_CmdAndQuit + i].text = first.lists[i] + 1;
    values[KEY_AddPath].text = first.add_path, values[KEY_Run].text = first.run;
    build_file_text(&builder, IN_COMMAND_FILE, values, &first.macros);
    if (!builder.overflow) {
        FUZZ_CHECK(builder.length < SETTINGS_TEXT_MAX && wcslen(file) == builder.length);
        start(&second);
        parse_settings_text(file, builder.length, sink, &second);
        for (int i = 0; i < 3; i++) FUZZ_CHECK(same_but_line_end(second.lists[i], first.lists[i]));
        FUZZ_CHECK(second.macros.count == first.macros.count);
        for (int i = 0; i < first.macros.count; i++) {
            FUZZ_CHECK(wcscmp(macro_store_name(&second.macros, i), macro_store_name(&first.macros, i)) == 0);
            FUZZ_CHECK(same_but_line_end(macro_store_expansion(&second.macros, i),
                                         macro_store_expansion(&first.macros, i)));
        }
        FUZZ_CHECK(same_but_line_end(second.add_path, first.add_path));
        FUZZ_CHECK(same_but_line_end(second.run, first.run));
        macro_store_free(&second.macros);
    }
    macro_store_free(&first.macros);
    return 0;
}
