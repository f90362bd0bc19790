// The macro dialog's rows into the macro store, the list dialogs' normalisation, and the
// colour chooser's greys.
#include <gtest/gtest.h>
#include "dialogs/dialogs_text.h"
#include "settings/settings.h"
#include "settings/settings_text.h"
#include <string>

namespace {

bool add_to_store(void* context, const wchar_t* name, const wchar_t* expansion) {
    return macro_store_add((MacroStore*)context, name, expansion);
}

struct StoreFixture : ::testing::Test {
    MacroStore store = {};
    wchar_t dropped[DROPPED_NAMES_CHARS];
    void SetUp() override { ASSERT_TRUE(macro_store_create(&store)); }
    void TearDown() override { macro_store_free(&store); }
    int store_rows(const MacroRow* rows, int count) {
        return store_macro_rows(rows, count, add_to_store, &store, dropped, DROPPED_NAMES_CHARS);
    }
};

TEST_F(StoreFixture, FilledRowsCloseUpInTheirOrder) {
    MacroRow rows[MACRO_ROWS] = {};
    for (auto& row : rows) row = {L"", L""};
    rows[0] = {L"ls", L"dir /w"};
    rows[2] = {L"ll", L"dir %c"};
    EXPECT_EQ(store_rows(rows, MACRO_ROWS), 2);
    ASSERT_EQ(store.count, 2);
    EXPECT_STREQ(macro_store_name(&store, 0), L"ls");
    EXPECT_STREQ(macro_store_expansion(&store, 0), L"dir /w");
    EXPECT_STREQ(macro_store_name(&store, 1), L"ll");
    EXPECT_STREQ(macro_store_expansion(&store, 1), L"dir %c");
    EXPECT_STREQ(dropped, L"");
}

TEST_F(StoreFixture, RowsMissingNameOrExpansionAreLeftOutSilently) {
    MacroRow rows[] = {{L"name", L""}, {L"", L"expansion"}, {L"ok", L"echo ok"}};
    EXPECT_EQ(store_rows(rows, 3), 1);
    ASSERT_EQ(store.count, 1);
    EXPECT_STREQ(macro_store_name(&store, 0), L"ok");
    EXPECT_STREQ(dropped, L"");
}

TEST_F(StoreFixture, MacrosBeyondThePoolAreDroppedAndNamedWhileLaterOnesThatFitAreKept) {
    // 1 + 1 + 1500 + 1 characters, then 3 + 1 + 600 + 1 which no longer fits in 2048,
    // then 1 + 1 + 100 + 1 which does.
    std::wstring first(1500, L'a'), second(600, L'b'), third(100, L'c');
    MacroRow rows[] = {{L"a", first.c_str()}, {L"big", second.c_str()}, {L"c", third.c_str()},
                       {L"huge", second.c_str()}};
    EXPECT_EQ(store_rows(rows, 4), 2);
    ASSERT_EQ(store.count, 2);
    EXPECT_STREQ(macro_store_name(&store, 0), L"a");
    EXPECT_EQ(std::wstring(macro_store_expansion(&store, 0)), first);
    EXPECT_STREQ(macro_store_name(&store, 1), L"c");
    EXPECT_EQ(std::wstring(macro_store_expansion(&store, 1)), third);
    EXPECT_STREQ(dropped, L"big, huge");
    EXPECT_LE(store.used, MACRO_POOL_CHARS);
}

TEST_F(StoreFixture, NameThatCouldNotBeReadBackIsDroppedAndNamed) {
    MacroRow rows[] = {{L"a\tb", L"x"}, {L"c", L"y"}};
    EXPECT_EQ(store_rows(rows, 2), 1);
    EXPECT_STREQ(macro_store_name(&store, 0), L"c");
    EXPECT_STREQ(dropped, L"a\tb");
}

TEST(DroppedNames, LongListIsCutWithAnEllipsisInsideItsBuffer) {
    wchar_t dropped[12];
    for (wchar_t& c : dropped) c = L'#';
    MacroRow rows[] = {{L"alpha", L"1"}, {L"beta", L"2"}, {L"gamma", L"3"}};
    auto refuse = [](void*, const wchar_t*, const wchar_t*) { return false; };
    EXPECT_EQ(store_macro_rows(rows, 3, refuse, nullptr, dropped, 12), 0);
    std::wstring text = dropped;
    EXPECT_LE(text.size(), 11u);
    EXPECT_EQ(text.substr(0, 5), L"alpha");
    EXPECT_EQ(text.substr(text.size() - 3), L"...");
}

TEST(ListEntry, NormalisedAsTheListDialogStoresIt) {
    wchar_t list[CMD_LIST_BUFFER];
    set_command_list(list, L",,cls,ver");
    EXPECT_STREQ(command_list_text(list), L"cls,ver,");
    EXPECT_STREQ(list, L",cls,ver,");
    set_command_list(list, L"");
    EXPECT_STREQ(command_list_text(list), L"");
    set_command_list(list, L"dir, copy");
    EXPECT_STREQ(command_list_text(list), L"dir, copy,");
}

TEST(ListEntry, LongestDialogEntryIsCutToTheListRoom) {
    std::wstring entry(2046, L'x');
    wchar_t list[CMD_LIST_BUFFER + 8];
    for (wchar_t& c : list) c = L'#';
    set_command_list(list, entry.c_str());
    std::wstring text = command_list_text(list);
    EXPECT_EQ(text.size(), (size_t)CMD_LIST_TEXT_MAX + 1);
    EXPECT_EQ(text.back(), L',');
    EXPECT_EQ(list[CMD_LIST_BUFFER], L'#');   // nothing written past the buffer
}

TEST(CustomColours, SixteenGreysFromWhiteDown) {
    unsigned long colours[CUSTOM_COLOURS];
    grey_custom_colours(colours);
    EXPECT_EQ(colours[0], 0xFFFFFFul);
    EXPECT_EQ(colours[1], 0xEFEFEFul);
    EXPECT_EQ(colours[15], 0x0F0F0Ful);
    for (unsigned long c : colours) {
        EXPECT_EQ(c & 0xFF, (c >> 8) & 0xFF);
        EXPECT_EQ(c & 0xFF, (c >> 16) & 0xFF);
    }
}

}  // namespace
