// Program lookup against the real file system and this process's environment.
#include "input/lookup.h"
#include "input/input.h"
#include <stdio.h>
#include <windows.h>

bool program_found = true;

namespace {

wchar_t directories[SEARCH_DIRECTORIES_CHARS];
wchar_t executable_extensions[EXTENSION_LIST_CHARS];
wchar_t script_extensions[EXTENSION_LIST_CHARS];
wchar_t found_path[CANDIDATE_CHARS];

// The variable's value when it is set and fits in room characters, else null.
const wchar_t* read_variable(const wchar_t* name, wchar_t* buffer, DWORD room) {
    DWORD n = GetEnvironmentVariableW(name, buffer, room + 1);
    return (n == 0 || n > room) ? nullptr : buffer;
}

bool probe_exists(void*, const wchar_t* path) { return path_exists(path); }
bool probe_is_file(void*, const wchar_t* path) { return path_is_file(path); }
int probe_subsystem(void*, const wchar_t* path) { return image_subsystem(path); }
const wchar_t* probe_directories(void*) { return search_directory_list(); }
const wchar_t* probe_executable_extensions(void*) { return executable_extension_list(); }
const wchar_t* probe_script_extensions(void*) { return script_extension_list(); }

const LookupProbe file_system = {probe_exists, probe_is_file, probe_subsystem, probe_directories,
                                 probe_executable_extensions, probe_script_extensions, nullptr};

}  // namespace

const wchar_t* search_directory_list() {
    if (!directories[0]) {
        wchar_t value[PATH_VALUE_ROOM + 1];
        build_search_directories(directories, read_variable(L"PATH", value, PATH_VALUE_ROOM));
    }
    return directories;
}

const wchar_t* executable_extension_list() {
    if (!executable_extensions[0]) {
        wchar_t value[PATHEXT_VALUE_ROOM + 1];
        build_executable_extensions(executable_extensions, read_variable(L"PATHEXT", value, PATHEXT_VALUE_ROOM));
    }
    return executable_extensions;
}

const wchar_t* script_extension_list() {
    if (!script_extensions[0]) {
        wchar_t value[PATHEXT_VALUE_ROOM + 1];
        build_script_extensions(script_extensions, read_variable(L"PATHEXT", value, PATHEXT_VALUE_ROOM));
    }
    return script_extensions;
}

int image_subsystem(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) {
        CloseHandle(file);
        return -2;
    }
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (!view) {
        CloseHandle(mapping);
        CloseHandle(file);
        return -3;
    }
    LARGE_INTEGER size;
    int result = IMAGE_NOT_EXECUTABLE;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0)
        result = image_subsystem_of_bytes((const unsigned char*)view,
                                          size.QuadPart > 0x7FFFFFFF ? 0x7FFFFFFF : (size_t)size.QuadPart);
    if (result == IMAGE_NOT_EXECUTABLE) fputs("unrecognized file format\n", stdout);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
    return result;
}

bool path_exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

bool path_is_file(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

const wchar_t* search_program(const wchar_t* name) {
    if (wcschr(name, L'\\')) return name;
    return search_program_with(&file_system, name, found_path) ? found_path : nullptr;
}

bool classify_command_word(const wchar_t* word) { return classify_word_with(&file_system, word, &program_found); }

bool in_command_list(const wchar_t* list) { return in_list(list, command_word); }
