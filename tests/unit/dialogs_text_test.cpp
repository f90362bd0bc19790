// The macro dialog's rows into the macro store, the list dialogs' normalisation, and the
// colour chooser's greys.
#include <gtest/gtest.h>
#include "dialogs/dialogs_text.h"
#include "settings/settings_text.h"
#include <string>
#include <vector>

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

TEST_F(StoreFixture, NameThatCouldNotBeReadBackIsDroppedAndNamed) {
    MacroRow rows[] = {{L"a\tb", L"x"}, {L"c", L"y"}};
    EXPECT_EQ(store_rows(rows, 2), 1);
    EXPECT_STREQ(macro_store_name(&store, 0), L"c");
    EXPECT_STREQ(dropped, L"a\tb");
}

TEST(DroppedNames, LongListIsCutWithAnEllipsisInsideItsBuffer) {
    auto refuse = [](void*, const wchar_t*, const wchar_t*) { return false; };
    struct {
        std::vector<const wchar_t*> names;
        int capacity;
        const wchar_t* dropped;
    } cases[] = {
        {{L"alpha", L"beta", L"gamma"}, 12, L"alpha, b..."},
        {{L"a", L"b"}, 12, L"a, b"},
        {{L"ab", L"averylongname", L"c"}, 12, L"ab, ..."},   // cut short of the end, and nothing after it
        {{L"alpha"}, 3, L".."},                         // not even room for the whole "..."
        {{L"a", L"b"}, 3, L".."},
        {{L"alpha"}, 1, L""},
        {{L"alpha", L"beta"}, 0, L""},                  // no list at all: nothing is touched
    };
    for (const auto& c : cases) {
        std::vector<wchar_t> dropped(c.capacity, L'#');   // exactly the capacity: a write past it is caught
        std::vector<MacroRow> rows;
        for (const wchar_t* name : c.names) rows.push_back({name, L"x"});
        EXPECT_EQ(store_macro_rows(rows.data(), (int)rows.size(), refuse, nullptr, dropped.data(), c.capacity), 0);
        EXPECT_EQ(c.capacity ? std::wstring(dropped.data()) : L"", c.dropped);
    }
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
