// Program lookup over plain text: lists, header check, search and classification.
#include "input/lookup_text.h"
#include "input/ascii_text.h"
#include <string.h>

const wchar_t BUILTIN_COMMANDS[] =
    L",cd,dir,copy,ren,move,del,type,md,rd,xcopy,cmd,assoc,attrib,break,bcdedit,cacls,call,chcp,"
    L"chdir,chkdsk,chkntfs,cls,color,comp,compact,convert,date,diskcomp,diskcopy,diskpart,doskey,"
    L"driverquery,echo,endlocal,erase,exit,fc,find,findstr,for,format,fsutil,ftype,goto,gpresult,"
    L"graftabl,help,icacls,if,label,mkdir,mklink,mode,more,openfiles,path,pause,popd,print,prompt,"
    L"pushd,recover,rem,rename,replace,rmdir,robocopy,set,setlocal,sc,schtasks,shift,shutdown,sort,"
    L"start,subst,systeminfo,tasklist,taskkill,time,title,tree,ver,verify,vol,wmic,";

namespace {

// Copies at most cap - 1 characters and terminates; returns the characters copied.
size_t copy_bounded(wchar_t* out, size_t cap, const wchar_t* text) {
    size_t n = 0;
    if (text)
        for (; text[n] && n + 1 < cap; n++) out[n] = text[n];
    out[n] = 0;
    return n;
}

}  // namespace

bool in_list(const wchar_t* list, const wchar_t* word) {
    size_t length = wcslen(word);
    if (length == 0) return false;
    for (const wchar_t* p = list; *p; p++)
        if (*p == L',' && wcsncmp(p + 1, word, length) == 0 && p[1 + length] == L',') return true;
    return false;
}

bool pipes_into_more(const wchar_t* line) {
    static const wchar_t start[] = L"more ";
    size_t i = 0;
    while (i < 5 && line[i] && ascii_lower(line[i]) == start[i]) i++;
    if (i == 5) return true;
    const wchar_t* match = wcsstr(line, L"more");
    if (!match) match = wcsstr(line, L"MORE");
    if (!match) return false;
    if (!is_blank(match[4])) return false;   // only this first occurrence counts
    if (match == line) return false;         // nothing before it to be a "|"
    const wchar_t* p = match - 1;
    while (p > line && is_blank(*p)) p--;
    return *p == L'|';
}

void build_search_directories(wchar_t* out, const wchar_t* path_value) {
    out[0] = L'.';
    out[1] = L';';
    out[2] = 0;
    if (path_value && wcslen(path_value) <= PATH_VALUE_ROOM) copy_bounded(out + 2, SEARCH_DIRECTORIES_CHARS - 2, path_value);
}

void build_executable_extensions(wchar_t* out, const wchar_t* pathext_value) {
    if (!pathext_value || !*pathext_value || wcslen(pathext_value) > PATHEXT_VALUE_ROOM) {
        copy_bounded(out, EXTENSION_LIST_CHARS, L".BAT;.EXE;.COM;.CMD;");
        return;
    }
    size_t n = copy_bounded(out, EXTENSION_LIST_CHARS - 1, pathext_value);
    for (size_t i = 1; i < n; i++) out[i] = ascii_upper(out[i]);
    out[n] = L';';
    out[n + 1] = 0;
}

void build_script_extensions(wchar_t* out, const wchar_t* pathext_value) {
    if (!pathext_value || !*pathext_value || wcslen(pathext_value) > PATHEXT_VALUE_ROOM) {
        copy_bounded(out, EXTENSION_LIST_CHARS, L";.BAT;.COM;.CMD;");
        return;
    }
    out[0] = L';';
    size_t n = 1 + copy_bounded(out + 1, EXTENSION_LIST_CHARS - 2, pathext_value);
    for (size_t i = 1; i < n; i++) out[i] = ascii_upper(out[i]);
    out[n] = L';';
    out[n + 1] = 0;
}

bool next_list_entry(const wchar_t* list, size_t* position, const wchar_t** entry, size_t* length) {
    size_t p = *position;
    while (list[p] == L';') p++;
    if (!list[p]) {
        *position = p;
        return false;
    }
    size_t start = p;
    while (list[p] && list[p] != L';') p++;
    *entry = list + start;
    *length = p - start;
    *position = p;
    return true;
}

bool build_candidate(wchar_t* out, const wchar_t* directory, size_t length, const wchar_t* name,
                     const wchar_t* extension, size_t extension_length) {
    bool slash = length == 0 || directory[length - 1] != L'\\';
    size_t name_length = wcslen(name);
    if (length + (slash ? 1 : 0) + name_length + extension_length + 1 > CANDIDATE_CHARS) return false;
    size_t n = 0;
    for (size_t i = 0; i < length; i++) out[n++] = directory[i];
    if (slash) out[n++] = L'\\';
    for (size_t i = 0; i < name_length; i++) out[n++] = name[i];
    for (size_t i = 0; i < extension_length; i++) out[n++] = extension[i];
    out[n] = 0;
    return true;
}

int image_subsystem_of_bytes(const unsigned char* bytes, size_t size) {
    // The DOS header must hold the image header's offset at 0x3C.
    if (size < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return IMAGE_NOT_EXECUTABLE;
    unsigned long long header = (unsigned long long)bytes[0x3C] | ((unsigned long long)bytes[0x3D] << 8) |
                                ((unsigned long long)bytes[0x3E] << 16) | ((unsigned long long)bytes[0x3F] << 24);
    // 40 bytes of image header, and the subsystem field at 0x5C, must lie inside the file.
    if (header + 0x5E > size || header + 40 > size) return IMAGE_NOT_EXECUTABLE;
    return (int)(bytes[header + 0x5C] | (bytes[header + 0x5D] << 8));
}

bool search_program_with(const LookupProbe* probe, const wchar_t* name, wchar_t* found) {
    if (wcschr(name, L'\\')) {
        if (wcslen(name) + 1 > CANDIDATE_CHARS) return false;
        copy_bounded(found, CANDIDATE_CHARS, name);
        return true;
    }
    const wchar_t* directories = probe->directories(probe->context);
    const wchar_t* extensions = probe->executable_extensions(probe->context);
    bool has_dot = wcschr(name, L'.') != nullptr;
    size_t position = 0;
    const wchar_t* directory;
    size_t length;
    while (next_list_entry(directories, &position, &directory, &length)) {
        if (has_dot && build_candidate(found, directory, length, name, L"", 0) && probe->exists(probe->context, found))
            return true;
        size_t ext_position = 0;
        const wchar_t* extension;
        size_t ext_length;
        while (next_list_entry(extensions, &ext_position, &extension, &ext_length))
            if (build_candidate(found, directory, length, name, extension, ext_length) &&
                probe->exists(probe->context, found))
                return true;
    }
    found[0] = 0;
    return false;
}

bool classify_word_with(const LookupProbe* probe, const wchar_t* word, bool* program_found) {
    *program_found = true;
    // An empty line names no program: searching for "" would clear the found flag.
    if (!*word) return false;
    const wchar_t* extension = wcsrchr(word, L'.');
    bool has_path = word[0] && word[1] == L':';
    if (wcschr(word, L'\\')) has_path = true;
    if (!has_path && !extension && in_list(BUILTIN_COMMANDS, word)) return false;
    bool exe = extension && equal_ignoring_case(extension, L".exe");
    if (extension && !exe) {
        wchar_t key[EXTENSION_LIST_CHARS + 2];
        size_t ext_length = wcslen(extension);
        if (ext_length + 3 <= sizeof key / sizeof key[0]) {
            key[0] = L';';
            for (size_t i = 0; i < ext_length; i++) key[1 + i] = ascii_upper(extension[i]);
            key[1 + ext_length] = L';';
            key[2 + ext_length] = 0;
            if (wcsstr(probe->script_extensions(probe->context), key)) return false;
        }
    }
    if (probe->is_file(probe->context, word)) return probe->subsystem(probe->context, word) == IMAGE_SUBSYSTEM_GUI;
    if (!exe) {
        wchar_t with_exe[CANDIDATE_CHARS];
        size_t length = wcslen(word);
        if (length + 5 <= CANDIDATE_CHARS) {
            copy_bounded(with_exe, CANDIDATE_CHARS, word);
            copy_bounded(with_exe + length, CANDIDATE_CHARS - length, L".EXE");
            if (probe->exists(probe->context, with_exe))
                return probe->subsystem(probe->context, with_exe) == IMAGE_SUBSYSTEM_GUI;
        }
    }
    if (has_path) return false;
    wchar_t found[CANDIDATE_CHARS];
    if (!search_program_with(probe, word, found)) {
        *program_found = false;
        return false;
    }
    return probe->subsystem(probe->context, found) == IMAGE_SUBSYSTEM_GUI;
}
