// The macro store fed through both doors (file lines and the dialog), the command lists edited
// with arbitrary values, and the macro expansion of submitted lines.
#include "fuzz_text.h"
#include "input/route_text.h"
#include "settings/settings_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = fuzz_input(data, size);
    MacroStore store = {};
    static wchar_t list[CMD_LIST_BUFFER];
    int tab_width = fuzz_pick(&in, 41) - 1;
    int columns = fuzz_pick(&in, 2000) - 10;
    while (fuzz_more(&in)) {
        int op = fuzz_pick(&in, 6);
        std::vector<wchar_t> a = fuzz_string(&in);
        if (op == 0) {
            // A line as the file reader hands it over: a line feed can only be its last character.
            size_t n = 0;
            while (a[n] && a[n] != L'\n' && n < SETTINGS_LINE_MAX) n++;
            if (a[n] == L'\n' && n < SETTINGS_LINE_MAX) n++;
            a.resize(n);
            a.push_back(0);
            int before = store.count;
            if (macro_store_add_line(&store, a.data())) FUZZ_CHECK(store.count == before + 1);
        } else if (op == 1) {
            std::vector<wchar_t> b = fuzz_string(&in);
            int before = store.count;
            if (macro_store_add(&store, a.data(), b.data())) {
                FUZZ_CHECK(store.count == before + 1);
                FUZZ_CHECK(wcscmp(macro_store_name(&store, before), a.data()) == 0);
                FUZZ_CHECK(wcscmp(macro_store_expansion(&store, before), b.data()) == 0);
            }
        } else if (op == 2) {
            macro_store_clear(&store);
        } else if (op == 3) {
            normalise_command_list(list, a.data());
            size_t n = wcslen(list);
            FUZZ_CHECK(n < CMD_LIST_BUFFER && list[0] == L',' && list[n - 1] == L',');
        } else if (op == 4) {
            normalise_command_list(list, list);   // the buffer's own text as the value
            FUZZ_CHECK(wcslen(list) < CMD_LIST_BUFFER);
        } else {
            // Expansion of a submitted line with the macros stored so far.
            std::vector<const wchar_t*> names, bodies;
            for (int i = 0; i < store.count; i++) {
                names.push_back(macro_store_name(&store, i));
                bodies.push_back(macro_store_expansion(&store, i));
            }
            MacroList macros = {names.data(), bodies.data(), store.count};
            size_t cap = 1 + (size_t)fuzz_pick(&in, COMMAND_BUFFER_CHARS);
            std::vector<wchar_t> out(cap);
            if (expand_macro(&macros, a.data(), tab_width, columns, out.data(), cap))
                FUZZ_CHECK(wcslen(out.data()) < cap);
            for (int i = 0; i < store.count; i++) {
                size_t n = format_macro_body(bodies[i], tab_width, columns, out.data(), cap);
                FUZZ_CHECK(n < cap && wcslen(out.data()) == n);
            }
        }
        FUZZ_CHECK(store.count <= MACRO_MAX && store.used <= MACRO_POOL_CHARS);
    }
    // Whatever the store holds is written out and read back as the same macros.
    if (store.pool) {
        static wchar_t file[SETTINGS_TEXT_MAX];
        TextBuilder builder;
        text_builder_start(&builder, file, SETTINGS_TEXT_MAX);
        build_file_text(&builder, IN_COMMAND_FILE, std::vector<SettingValue>(KEY_COUNT).data(), &store);
        if (!builder.overflow) {
            MacroStore back = {};
            struct Ctx { MacroStore* store; } ctx = {&back};
            parse_settings_text(
                file, builder.length,
                [](void* c, SettingKey key, const wchar_t* line, const wchar_t*) {
                    if (key == KEY_Macro) macro_store_add_line(((Ctx*)c)->store, line);
                },
                &ctx);
            FUZZ_CHECK(back.count == store.count);
            for (int i = 0; i < store.count; i++) {
                FUZZ_CHECK(wcscmp(macro_store_name(&back, i), macro_store_name(&store, i)) == 0);
                const wchar_t* want = macro_store_expansion(&store, i);
                const wchar_t* got = macro_store_expansion(&back, i);
                size_t n = wcslen(want);
                if (n > 0 && want[n - 1] == L'\r') n--;   // read with the line feed as its line end
                FUZZ_CHECK(wcslen(got) == n && wmemcmp(got, want, n) == 0);
            }
            macro_store_free(&back);
        }
    }
    macro_store_free(&store);
    return 0;
}
