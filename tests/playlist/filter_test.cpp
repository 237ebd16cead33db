// Finding entries by what the list shows: every word of the query, in any order and either
// case, in the shown title, file name or path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "playlist/filter.h"
#include "playlist_test_util.h"

namespace {

constexpr uint32_t NAMES = 0;
constexpr uint32_t TITLES = PLAYLIST_SHOW_TITLES;
constexpr uint32_t FULL = PLAYLIST_SHOW_FULL_PATH;

std::vector<int32_t> find(const tHandlePlaylist *p, const char *query, uint32_t shown = TITLES | FULL) {
    std::vector<int32_t> out(PLAYLIST_CAPACITY);
    out.resize(static_cast<size_t>(playlist_filter(p, query, shown, out.data(), PLAYLIST_CAPACITY)));
    return out;
}

void set_title(tHandlePlaylist *p, int32_t index, const char *title) {
    snprintf(p->entries[index].title, sizeof p->entries[index].title, "%s", title);
}

using V = std::vector<int32_t>;

} // namespace

TEST(PlaylistFilter, EveryWordInAnyOrderAndEitherCase) {
    tStorePtr p = make_store();
    add_path(p.get(), "/music/Blue Night/01 River Song.mp3");
    add_path(p.get(), "/music/Summer/02 Night River.mp3");
    add_path(p.get(), "/music/Summer/03 Morning Light.mp3");
    add_path(p.get(), "/music/Été/04 Über Straße.mp3");
    set_title(p.get(), 2, "Daybreak Artist - Morning Light");

    EXPECT_EQ(find(p.get(), "river night"), (V{0, 1})) << "words in any order";
    EXPECT_EQ(find(p.get(), "RIVER"), (V{0, 1})) << "upper case finds lower";
    EXPECT_EQ(find(p.get(), "  night\triver  "), (V{0, 1})) << "blanks around and between";
    EXPECT_EQ(find(p.get(), "river summer"), (V{1}));
    EXPECT_EQ(find(p.get(), "river song night blue"), (V{0}));
    EXPECT_EQ(find(p.get(), "riv ong"), (V{0})) << "parts of words";
    EXPECT_EQ(find(p.get(), "rivers"), V{});
    EXPECT_EQ(find(p.get(), "river xyz"), V{}) << "one word missing is no match";
    // Letters beyond ASCII match in either case.
    EXPECT_EQ(find(p.get(), "éTÉ über"), (V{3}));
    EXPECT_EQ(find(p.get(), "STRASSE"), V{}) << "case, not spelling";
    EXPECT_EQ(find(p.get(), "straße"), (V{3}));
    // No words: everything, in order.
    EXPECT_EQ(find(p.get(), ""), (V{0, 1, 2, 3}));
    EXPECT_EQ(find(p.get(), "   "), (V{0, 1, 2, 3}));
    EXPECT_EQ(playlist_filter(p.get(), nullptr, TITLES, std::vector<int32_t>(4).data(), 4), 4);
}

TEST(PlaylistFilter, WhatTheListShowsIsWhatIsSearched) {
    tStorePtr p = make_store();
    add_path(p.get(), "/music/Summer/02 Night River.mp3");
    add_path(p.get(), "/music/Summer/03 Morning Light.mp3");
    set_title(p.get(), 1, "Daybreak Artist - Morning Light");

    // The title from the tags shows, and is searched, where the entry has one.
    EXPECT_EQ(find(p.get(), "daybreak", TITLES | FULL), (V{1}));
    EXPECT_EQ(find(p.get(), "summer", TITLES | FULL), (V{0})) << "a titled entry shows no path";
    EXPECT_EQ(find(p.get(), "daybreak", FULL), V{});
    EXPECT_EQ(find(p.get(), "summer", FULL), (V{0, 1}));
    EXPECT_EQ(find(p.get(), "summer", NAMES), V{}) << "the folder is not in the file name";
    EXPECT_EQ(find(p.get(), "03 light", NAMES), (V{1}));
    EXPECT_STREQ(playlist_shown_text(&p->entries[1], TITLES), "Daybreak Artist - Morning Light");
    EXPECT_STREQ(playlist_shown_text(&p->entries[1], NAMES), "03 Morning Light.mp3");
    EXPECT_STREQ(playlist_shown_text(&p->entries[0], TITLES), "02 Night River.mp3");
}

TEST(PlaylistFilter, OddBytesAndBounds) {
    tStorePtr p = make_store();
    // A Latin-1 name (as an old disk keeps it) is searched as the letters it stands for.
    add_path(p.get(), "/music/Caf\xe9 del Mar.mp3");
    add_path(p.get(), "/music/plain.mp3");
    // A title filling its field to the last byte, without a terminator.
    memset(p->entries[1].title, 'x', sizeof p->entries[1].title);
    p->entries[1].title[sizeof p->entries[1].title - 2] = 'Q';
    EXPECT_EQ(find(p.get(), "CAFÉ"), (V{0}));
    EXPECT_EQ(find(p.get(), "xq"), (V{1})) << "the title's last bytes are read, and no further";
    EXPECT_EQ(find(p.get(), "plain"), V{});

    // Only as many as there is room for, the first ones.
    tStorePtr many = make_store();
    for (int i = 0; i < PLAYLIST_CAPACITY; i++)
        add_path(many.get(), "/music/track " + std::to_string(i) + ".mp3");
    EXPECT_EQ(find(many.get(), "track").size(), static_cast<size_t>(PLAYLIST_CAPACITY));
    EXPECT_EQ(find(many.get(), "track 16383"), (V{16383}));
    std::vector<int32_t> three(3);
    EXPECT_EQ(playlist_filter(many.get(), "track 1", FULL, three.data(), 3), 3);
    EXPECT_EQ(three, (V{1, 10, 11}));
    EXPECT_EQ(playlist_filter(many.get(), "", FULL, three.data(), 3), 3);
    EXPECT_EQ(three, (V{0, 1, 2}));
}
