// The application manifest inside the built tavro.exe: read as Windows reads it, from resource 1
// of type RT_MANIFEST.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>

namespace {

std::string program_manifest() {
    wchar_t path[MAX_PATH + 32];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring exe(path, n);
    exe = exe.substr(0, exe.find_last_of(L"\\/"));
    exe = exe.substr(0, exe.find_last_of(L"\\/")) + L"\\bin\\tavro.exe";
    HMODULE program = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!program) return "<no tavro.exe>";
    std::string text = "<no manifest>";
    HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));   // RT_MANIFEST
    HGLOBAL loaded = found ? LoadResource(program, found) : nullptr;
    if (loaded) text.assign((const char*)LockResource(loaded), SizeofResource(program, found));
    FreeLibrary(program);
    return text;
}

TEST(Manifest, AsksForNoElevationCommonControls6TheSystemsItKnowsAndPerMonitorDpi) {
    std::string m = program_manifest();
    for (const char* part : {
             "<requestedExecutionLevel level=\"asInvoker\"",
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",   // Windows 7
             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",   // Windows 8
             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",   // Windows 8.1
             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",   // Windows 10 and 11
             "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2,",
             "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
         })
        EXPECT_NE(m.find(part), std::string::npos) << part << "\n" << m;
}

}  // namespace
