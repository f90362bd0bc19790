// The command line and the file names derived from the program's path.
#include "fuzz_text.h"
#include "app/frame_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in = fuzz_input(data, size);
    std::vector<std::vector<wchar_t>> args;
    std::vector<const wchar_t*> argv;
    while (fuzz_more(&in) && args.size() < 40) args.push_back(fuzz_string(&in, 1100));
    for (auto& a : args) argv.push_back(a.data());
    wchar_t instance[FRAME_INSTANCE_CAP], command[FRAME_STARTUP_CAP];
    parse_command_line((int)argv.size(), argv.data(), instance, command);
    FUZZ_CHECK(wcslen(instance) < FRAME_INSTANCE_CAP && wcslen(command) < FRAME_STARTUP_CAP);
    static DerivedNames names;
    derive_file_names(args.empty() ? L"" : args[0].data(), instance, &names);
    const wchar_t* all[] = {names.settings, names.command, names.output_log, names.error_log,
                            names.previous_error_log, names.help_page, names.env_batch, names.env_data};
    for (const wchar_t* name : all) FUZZ_CHECK(wcslen(name) < FRAME_NAME_CAP);
    return 0;
}
