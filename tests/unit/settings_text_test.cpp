// Line, key and value rules of the settings files, on text in memory.
#include "settings/settings_text.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <limits.h>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Received {
    SettingKey key;
    std::wstring value;
};

void record(void* context, SettingKey key, const wchar_t*, const wchar_t* value) {
    static_cast<std::vector<Received>*>(context)->push_back({key, value});
}

std::vector<Received> parse(const std::wstring& text) {
    std::vector<Received> received;
    parse_settings_text(text.c_str(), text.size(), record, &received);
    return received;
}

std::vector<std::wstring> lines_of(const std::wstring& text, size_t length = std::wstring::npos) {
    LineReader reader;
    line_reader_start(&reader, text.c_str(), std::min(length, text.size()));
    wchar_t line[SETTINGS_LINE_MAX + 1];
    std::vector<std::wstring> lines;
    while (next_settings_line(&reader, line)) lines.push_back(line);
    return lines;
}

// One file's text from the values of the keys given, the others 0 or empty.
std::wstring file_text(SettingFile file, std::vector<std::pair<SettingKey, SettingValue>> given,
                       const MacroStore* macros) {
    std::vector<SettingValue> values(KEY_COUNT);
    for (auto& key : given) values[key.first] = key.second;
    static wchar_t buffer[SETTINGS_TEXT_MAX];
    TextBuilder text;
    text_builder_start(&text, buffer, SETTINGS_TEXT_MAX);
    build_file_text(&text, file, values.data(), macros);
    return buffer;
}

std::wstring normalised(const std::wstring& value) {
    wchar_t buffer[CMD_LIST_BUFFER];
    normalise_command_list(buffer, value.c_str());
    EXPECT_EQ(L',', buffer[0]);
    return buffer + 1;
}

}  // namespace

TEST(SettingsKeys, FirstLetterWithinSectionCaseSensitive) {
    // Each key read is found by its section's first letter and its own: no other key may have both.
    for (int key = KEY_NONE + 1; key < KEY_COUNT; key++)
        EXPECT_TRUE(setting_keys[key].written == WRITTEN_NOT_READ || setting_keys[key].form == FORM_MACRO ||
                    find_setting_key(setting_keys[key].section[0], setting_keys[key].name[0]) == key) << key;
    // Macro lines by their number; lower case, the never-read PIDlastCMD, other sections, no header.
    const std::vector<std::tuple<wchar_t, wchar_t, SettingKey>> cases = {
        {L'M', L'0', KEY_Macro}, {L'M', L'9', KEY_Macro}, {L'F', L'c', KEY_NONE}, {L'M', L'P', KEY_NONE},
        {L'W', L'0', KEY_NONE}, {L'X', L'A', KEY_NONE}, {0, L'T', KEY_NONE}};
    for (auto& c : cases) EXPECT_EQ(std::get<2>(c), find_setting_key(std::get<0>(c), std::get<1>(c))) << std::get<1>(c);
}

TEST(SettingsLines, LineEndsAndLongLines) {
    EXPECT_EQ((std::vector<std::wstring>{L"a=1\n", L"b=2\n", L"c"}), lines_of(L"a=1\r\nb=2\nc"));
    // A CR that is not part of CR LF stays in the line.
    EXPECT_EQ((std::vector<std::wstring>{L"a\rb\n", L"\r"}), lines_of(L"a\rb\r\n\r"));
    EXPECT_TRUE(lines_of(L"").empty());
    EXPECT_EQ((std::vector<std::wstring>{L"a=1"}), lines_of(L"a=1\nb", 3));   // nothing past the length

    std::wstring fits(SETTINGS_LINE_MAX - 1, L'x');
    EXPECT_EQ((std::vector<std::wstring>{fits + L"\n"}), lines_of(fits + L"\r\n"));
    // 2,046 characters fill the line; its line feed is read as the next line.
    std::wstring full(SETTINGS_LINE_MAX, L'y');
    EXPECT_EQ((std::vector<std::wstring>{full, L"\n"}), lines_of(full + L"\r\n"));
    std::vector<std::wstring> long_lines = lines_of(std::wstring(5000, L'z') + L"\n");
    ASSERT_EQ(3u, long_lines.size());
    EXPECT_EQ(std::wstring(2046, L'z'), long_lines[0]);
    EXPECT_EQ(std::wstring(2046, L'z'), long_lines[1]);
    EXPECT_EQ(std::wstring(908, L'z') + L"\n", long_lines[2]);
}

TEST(SettingsParse, SectionsKeysAndValues) {
    std::vector<Received> r = parse(L"Top=9\n[Window]\nTop=5\nHeight=\nLeft\nwidth=3\n[Fonts]\n[Misc]\nBeepsMax=3\n"
                                    L"colortext=5\nColour=7\n[Misc]\nPIDlastCMD=123\nLogging= 1\n[X]\nApp=no\n"
                                    L"[Window]\nUses=4=5\nCodePage=");
    ASSERT_EQ(6u, r.size());
    EXPECT_EQ(KEY_Top, r[0].key);                 // the Top before any header is not seen
    EXPECT_EQ(L"5\n", r[0].value);
    EXPECT_EQ(KEY_Height, r[1].key);              // an empty value still has its line feed
    EXPECT_EQ(L"\n", r[1].value);
    EXPECT_EQ(KEY_Background, r[2].key);          // "[Misc]" right after "[Fonts]" was a key line
    EXPECT_EQ(L"3\n", r[2].value);
    EXPECT_EQ(KEY_ColorText, r[3].key);           // "Colour" matches by its first letter
    EXPECT_EQ(L"7\n", r[3].value);
    EXPECT_EQ(KEY_Logging, r[4].key);
    EXPECT_EQ(L" 1\n", r[4].value);
    EXPECT_EQ(KEY_Uses, r[5].key);                // value after the first "="; the final "CodePage=" is dropped
    EXPECT_EQ(L"4=5\n", r[5].value);

    // A header as the last line ends the file; a header followed by a header followed by a key.
    EXPECT_TRUE(parse(L"[Window]").empty());
    r = parse(L"[Window]\n[Fonts]\nTop=1\n");
    ASSERT_EQ(1u, r.size());
    EXPECT_EQ(KEY_Top, r[0].key);

    // The continuation of an overlong line is a key line of its own.
    r = parse(L"[Window]\nUses=" + std::wstring(SETTINGS_LINE_MAX - 5, L'1') + L"Top=7\n");
    ASSERT_EQ(2u, r.size());
    EXPECT_EQ(KEY_Uses, r[0].key);
    EXPECT_EQ(KEY_Top, r[1].key);
    EXPECT_EQ(L"7\n", r[1].value);
}

TEST(SettingsValues, Numbers) {
    EXPECT_EQ(42, parse_setting_number(L"42\n"));
    EXPECT_EQ(-16, parse_setting_number(L" \t-16\n"));
    EXPECT_EQ(7, parse_setting_number(L"+7"));
    EXPECT_EQ(4, parse_setting_number(L"4 2"));
    EXPECT_EQ(12, parse_setting_number(L"12abc"));
    EXPECT_EQ(0, parse_setting_number(L"abc"));
    EXPECT_EQ(0, parse_setting_number(L"\n"));
    EXPECT_EQ(0, parse_setting_number(L"-"));
    // Only the first 19 characters count.
    EXPECT_EQ(1, parse_setting_number(L"00000000000000000012345"));
    EXPECT_EQ(0, parse_setting_number((std::wstring(19, L' ') + L"5").c_str()));
    EXPECT_EQ(INT_MAX, parse_setting_number(L"99999999999"));
    EXPECT_EQ(INT_MIN, parse_setting_number(L"-99999999999"));
    EXPECT_EQ(INT_MIN, parse_setting_number(L"-2147483648"));
    EXPECT_EQ(-1, parse_setting_number(L"-1"));
    // Sizes, edges and the tab width end up in products and sums: held to what a screen can use.
    EXPECT_EQ(-WINDOW_EXTENT_MAX, bounded_setting_number(KEY_Top, INT_MIN));
    EXPECT_EQ(WINDOW_EXTENT_MAX, bounded_setting_number(KEY_Left, 999999999));
    EXPECT_EQ(WINDOW_EXTENT_MAX, bounded_setting_number(KEY_Height, INT_MAX));
    EXPECT_EQ(0, bounded_setting_number(KEY_Width, -5));
    EXPECT_EQ(-FONT_SIZE_MAX, bounded_setting_number(KEY_Size, -2000000000));
    EXPECT_EQ(INT_MIN, bounded_setting_number(KEY_Uses, INT_MIN));   // the others as they are
    EXPECT_EQ(TAB_WIDTH_MAX, bounded_tab_width(600000000));
    EXPECT_EQ(0, bounded_tab_width(0));   // 0 stays; a negative width becomes the default
    EXPECT_EQ(TAB_WIDTH_DEFAULT, bounded_tab_width(-3));
}

TEST(SettingsValues, TextsAreCutToTheirLimit) {
    wchar_t text[48];
    copy_text_value(text, 46, L"Courier New\n");
    EXPECT_STREQ(L"Courier New", text);
    copy_text_value(text, 46, L"no line feed");
    EXPECT_STREQ(L"no line feed", text);
    copy_text_value(text, 46, L"\n");
    EXPECT_STREQ(L"", text);
    copy_text_value(text, 8, L"12/31/99 and more\n");
    EXPECT_STREQ(L"12/31/99", text);
    copy_text_value(text, 6, L"2.2.2.2\n");
    EXPECT_STREQ(L"2.2.2.", text);
    copy_text_value(text, 46, std::wstring(100, L'n').c_str());
    EXPECT_EQ(std::wstring(46, L'n'), text);
}

TEST(SettingsValues, CommandListNormalisation) {
    EXPECT_EQ(L"ls,dir,", normalised(L",,ls,dir"));
    EXPECT_EQ(L"cls,ver,", normalised(L",,cls,ver\n"));
    EXPECT_EQ(L"", normalised(L""));
    EXPECT_EQ(L"", normalised(L"\n"));
    EXPECT_EQ(L"", normalised(L",,,"));
    EXPECT_EQ(L"dir, copy,", normalised(L"dir, copy"));
    EXPECT_EQ(L"a,", normalised(L"a,\n"));
    EXPECT_EQ(L" ,x,", normalised(L" ,x"));
    // Cut to 1,362 characters before the closing comma is added, inside the buffer.
    wchar_t guarded[CMD_LIST_BUFFER + 8];
    for (wchar_t& c : guarded) c = L'#';
    normalise_command_list(guarded, std::wstring(2046, L'w').c_str());
    EXPECT_EQ(std::wstring(CMD_LIST_TEXT_MAX, L'w') + L",", std::wstring(guarded + 1));
    EXPECT_EQ(L'#', guarded[CMD_LIST_BUFFER]);
    EXPECT_EQ(std::wstring(CMD_LIST_TEXT_MAX - 1, L'v') + L",",
              normalised(std::wstring(CMD_LIST_TEXT_MAX - 1, L'v') + L",,,,"));

    // The value may be the buffer's own text.
    wchar_t buffer[CMD_LIST_BUFFER] = L",,,x";
    normalise_command_list(buffer, buffer);
    EXPECT_STREQ(L",x,", buffer);
    normalise_command_list(buffer, buffer + 1);
    EXPECT_STREQ(L",x,", buffer);
}

TEST(SettingsMacros, StoreFromLines) {
    MacroStore store = {};
    EXPECT_EQ(nullptr, store.pool);
    EXPECT_FALSE(macro_store_add_line(&store, L"3Macro=nothing\n"));
    EXPECT_NE(nullptr, store.pool);                // any macro line creates the pool
    EXPECT_EQ(0, store.count);
    EXPECT_TRUE(macro_store_add_line(&store, L"0Macro=ll\tdir /w\n"));
    EXPECT_TRUE(macro_store_add_line(&store, L"7Macro=cls2\tcls"));
    EXPECT_TRUE(macro_store_add_line(&store, L"8Macro=t\ta\tb\n"));
    EXPECT_FALSE(macro_store_add_line(&store, L"9Macro"));
    ASSERT_EQ(3, store.count);
    EXPECT_STREQ(L"ll", macro_store_name(&store, 0));
    EXPECT_STREQ(L"dir /w", macro_store_expansion(&store, 0));
    EXPECT_STREQ(L"cls2", macro_store_name(&store, 1));
    EXPECT_STREQ(L"cls", macro_store_expansion(&store, 1));
    EXPECT_STREQ(L"a\tb", macro_store_expansion(&store, 2));   // split at the first tab only
    EXPECT_STREQ(L"", macro_store_name(&store, 3));
    EXPECT_STREQ(L"", macro_store_expansion(&store, -1));

    for (int i = 3; i < MACRO_MAX; i++) EXPECT_TRUE(macro_store_add_line(&store, L"1Macro=m\tx\n"));
    EXPECT_FALSE(macro_store_add_line(&store, L"16Macro=seventeen\tx\n"));
    EXPECT_FALSE(macro_store_add(&store, L"seventeen", L"x"));   // nor from the dialog
    EXPECT_EQ(MACRO_MAX, store.count);

    macro_store_clear(&store);
    EXPECT_EQ(0, store.count);
    EXPECT_EQ(0, store.used);
    EXPECT_NE(nullptr, store.pool);
    EXPECT_TRUE(macro_store_add_line(&store, L"5Macro=again\tx\n"));
    EXPECT_STREQ(L"again", macro_store_name(&store, 0));
    macro_store_free(&store);
    EXPECT_EQ(nullptr, store.pool);
    EXPECT_EQ(0, store.count);
}

TEST(SettingsMacros, PoolCapacity) {
    MacroStore store = {};
    // name + terminator + expansion + terminator: 1 + 1 + 2000 + 1 characters.
    EXPECT_TRUE(macro_store_add_line(&store, (L"0Macro=a\t" + std::wstring(2000, L'e') + L"\n").c_str()));
    EXPECT_EQ(2003, store.used);
    // 45 characters are left: a 1-character name with a 43-character expansion needs 46...
    EXPECT_FALSE(macro_store_add_line(&store, (L"1Macro=b\t" + std::wstring(43, L'f') + L"\n").c_str()));
    EXPECT_EQ(1, store.count);
    // ...with a 42-character one it fills the pool exactly.
    EXPECT_TRUE(macro_store_add_line(&store, (L"1Macro=b\t" + std::wstring(42, L'f') + L"\n").c_str()));
    EXPECT_EQ(MACRO_POOL_CHARS, store.used);
    EXPECT_FALSE(macro_store_add(&store, L"c", L""));
    EXPECT_EQ(2, store.count);
    EXPECT_EQ(std::wstring(42, L'f'), macro_store_expansion(&store, 1));
    macro_store_free(&store);
}

TEST(SettingsMacros, StoreFromDialog) {
    MacroStore store = {};
    EXPECT_TRUE(macro_store_add(&store, L"ls", L"ls.exe  -T%t -C -w%c"));
    EXPECT_FALSE(macro_store_add(&store, L"a\tb", L"x"));
    EXPECT_FALSE(macro_store_add(&store, L"a", L"x\ny"));
    EXPECT_TRUE(macro_store_add(&store, L"e", L""));
    EXPECT_EQ(2, store.count);
    EXPECT_STREQ(L"ls.exe  -T%t -C -w%c", macro_store_expansion(&store, 0));
    EXPECT_STREQ(L"e", macro_store_name(&store, 1));
    macro_store_free(&store);

    // The longest macro whose "15Macro=" line still reads back as one line, and one more.
    std::wstring longest(MACRO_LINE_TEXT_MAX - 2, L'q');
    EXPECT_EQ(SETTINGS_LINE_MAX, (int)(L"15Macro=n\t" + longest + L"\n").size());
    EXPECT_FALSE(macro_store_add(&store, L"n", (longest + L"q").c_str()));
    EXPECT_TRUE(macro_store_add(&store, L"n", longest.c_str()));
    EXPECT_EQ(1, store.count);
    macro_store_clear(&store);
    // A hand-written "1=" line is shorter than the "1Macro=" line it is written back as: the
    // same bound holds, or the line comes back cut on the next start, its tail a line of its own.
    EXPECT_FALSE(macro_store_add_line(&store, (L"1=n\t" + longest + L"q").c_str()));
    EXPECT_TRUE(macro_store_add_line(&store, (L"1=n\t" + longest + L"\n").c_str()));
    std::vector<Received> back = parse(file_text(IN_COMMAND_FILE, {}, &store));
    auto whole = [&](const Received& r) { return r.value == L"n\t" + longest + L"\n"; };
    EXPECT_EQ(1, std::count_if(back.begin(), back.end(), whole));
    macro_store_free(&store);
}

TEST(SettingsWriting, FileTextsAndTheBuilder) {
    // The settings file: its three sections, numbers as they are, HigherProirity only when it is set.
    MacroStore macros = {};
    std::wstring settings = file_text(IN_SETTINGS_FILE, {{KEY_Uses, {INT_MIN, NULL}}, {KEY_App, {0, L"cmd"}}}, &macros);
    EXPECT_EQ(0u, settings.find(L"[Window]\nVersion=\nUses=-2147483648\nTop=0\n"));
    EXPECT_NE(std::wstring::npos, settings.find(L"\nCodePage=0\n\n[Fonts]\nName=\n"));
    EXPECT_NE(std::wstring::npos, settings.find(L"\nTabWidth=0\n\n[Misc]\nApp=cmd\nMenuShow=0\n"));
    EXPECT_EQ(L"\nLogging=0\nFileLog=\n", settings.substr(settings.rfind(L"\nLogging=")));
    settings = file_text(IN_SETTINGS_FILE, {{KEY_HigherProirity, {-16, NULL}}}, &macros);
    EXPECT_EQ(L"\nFileLog=\nHigherProirity=-16\n", settings.substr(settings.rfind(L"\nFileLog=")));

    EXPECT_EQ(L"[Cmd Commands]\nCmdAndQuit=ls,dir,\nKeepCmd=\nNoCmd=vi,\n",
              file_text(IN_COMMAND_FILE, {{KEY_CmdAndQuit, {0, L"ls,dir,"}}, {KEY_NoCmd, {0, L"vi,"}}}, &macros));
    macro_store_add_line(&macros, L"0Macro=ll\tdir /w\n");
    macro_store_add_line(&macros, L"3Macro=nothing\n");
    macro_store_add_line(&macros, L"7Macro=cls2\tcls\n");
    EXPECT_EQ(L"[Cmd Commands]\nCmdAndQuit=\nKeepCmd=\nNoCmd=\n\n[Macros]\n0Macro=ll\tdir /w\n1Macro=cls2\tcls\n"
              L"\n[NoPath]\nRun=C:\\bin\\fix.exe\n",
              file_text(IN_COMMAND_FILE, {{KEY_Run, {0, L"C:\\bin\\fix.exe"}}}, &macros));
    // An empty pool still writes its header; AddPath alone.
    macro_store_clear(&macros);
    EXPECT_EQ(L"[Cmd Commands]\nCmdAndQuit=\nKeepCmd=\nNoCmd=\n\n[Macros]\n\n[NoPath]\nAddPath=C:\\tools\n",
              file_text(IN_COMMAND_FILE, {{KEY_AddPath, {0, L"C:\\tools"}}}, &macros));
    macro_store_free(&macros);

    // What doesn't fit marks the text as unusable instead of cutting it.
    wchar_t small[8] = L"stale";
    TextBuilder text;
    text_builder_start(&text, small, 8);
    EXPECT_STREQ(L"", small);
    builder_append(&text, L"1234567");
    EXPECT_FALSE(text.overflow);
    builder_append(&text, L"8");
    EXPECT_TRUE(text.overflow);
    EXPECT_STREQ(L"1234567", small);
    text_builder_start(&text, small, 8);   // a new start forgets the overflow
    EXPECT_FALSE(text.overflow);
    text_builder_start(&text, small, 0);
    EXPECT_TRUE(text.overflow);
}
