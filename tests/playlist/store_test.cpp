// The store's own operations: adding, capacity, entries, marks, reordering and removal.
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "playlist_test_util.h"

using Paths = std::vector<std::string>;

namespace {

tStorePtr store_of(const Paths &paths) {
    auto p = make_store();
    for (const auto &s : paths) add_path(p.get(), s);
    return p;
}

std::vector<int> marks_of(const tHandlePlaylist *p) {
    std::vector<int> v;
    for (int32_t i = 0; i < p->count; i++) v.push_back(p->selected[i]);
    return v;
}

}  // namespace

TEST(PlaylistStore, AddingBeyondCapacityDropsTheRestSilently) {
    auto p = make_store();
    ASSERT_TRUE(p);
    for (int i = 0; i < PLAYLIST_CAPACITY + 1; i++) add_path(p.get(), "/m/" + std::to_string(i) + ".mp3");
    int32_t count = -1, current = -1;
    playlist_get_position(p.get(), &count, &current);
    EXPECT_EQ(count, PLAYLIST_CAPACITY);
    EXPECT_EQ(current, 0);
    tSongInfo s{};
    ASSERT_EQ(playlist_get_entry(p.get(), PLAYLIST_CAPACITY - 1, &s, nullptr), 0);
    EXPECT_STREQ(s.path, ("/m/" + std::to_string(PLAYLIST_CAPACITY - 1) + ".mp3").c_str());
}

TEST(PlaylistStore, AddCopiesTheRecordUnselectedAndTerminatesItsPath) {
    auto p = make_store();
    p->selected[0] = 1;  // a stale mark must not carry over to a new entry
    tSongInfo s;
    memset(&s, 'x', sizeof s);  // no terminator anywhere
    ASSERT_EQ(playlist_add(p.get(), &s), 0);
    uint8_t mark = 9;
    tSongInfo out{};
    ASSERT_EQ(playlist_get_entry(p.get(), 0, &out, &mark), 0);
    EXPECT_EQ(mark, 0);
    EXPECT_EQ(strlen(out.path), 1023u);
    EXPECT_EQ(playlist_add(p.get(), nullptr), -1);
    EXPECT_EQ(p->count, 1);

    // Bytes after a text's terminator are not kept, so moving entries around cannot
    // leave one path's tail behind another's.
    auto q = make_store();
    tSongInfo g;
    memset(&g, 'g', sizeof g);
    memcpy(g.path, "/short.mp3", 11);
    memcpy(g.title, "T", 2);
    g.length = 42;
    playlist_add(q.get(), &g);
    add_path(q.get(), "/" + std::string(900, 'L'));
    playlist_sort_reverse(q.get());
    tSongInfo want{};
    memcpy(want.path, "/short.mp3", 11);
    memcpy(want.title, "T", 2);
    memset(reinterpret_cast<char *>(&want) + offsetof(tSongInfo, length), 'g',
           sizeof want - offsetof(tSongInfo, length));
    want.length = 42;
    ASSERT_EQ(playlist_get_entry(q.get(), 1, &out, nullptr), 0);
    EXPECT_EQ(memcmp(&out, &want, sizeof out), 0);
    ASSERT_EQ(playlist_get_entry(q.get(), 0, &out, nullptr), 0);
    EXPECT_EQ(std::string(out.path), "/" + std::string(900, 'L'));
    EXPECT_EQ(out.path[902], '\0');
}

TEST(PlaylistStore, GetEntryOutOfRangeGivesZeroRecordAndLeavesMarkAlone) {
    auto p = store_of({"/a.mp3", "/b.mp3"});
    for (int32_t index : {2, -1, 1 << 30}) {
        tSongInfo s;
        memset(&s, 0x55, sizeof s);
        uint8_t mark = 7;
        EXPECT_EQ(playlist_get_entry(p.get(), index, &s, &mark), -1);
        tSongInfo zero{};
        EXPECT_EQ(memcmp(&s, &zero, sizeof s), 0) << index;
        EXPECT_EQ(mark, 7);
    }
    playlist_toggle_selected(p.get(), 1);
    uint8_t mark = 0;
    EXPECT_EQ(playlist_get_entry(p.get(), 1, nullptr, &mark), 0);
    EXPECT_EQ(mark, 1);
}

TEST(PlaylistStore, SelectionModesAndToggleStayWithinTheList) {
    auto p = store_of({"/a", "/b", "/c"});
    playlist_toggle_selected(p.get(), 1);
    playlist_toggle_selected(p.get(), 3);   // at count: ignored
    playlist_toggle_selected(p.get(), -1);  // negative: ignored, no write before the array
    EXPECT_EQ(marks_of(p.get()), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(p->selected[3], 0);
    EXPECT_EQ(playlist_select(p.get(), PLAYLIST_SELECT_INVERT), 0);
    EXPECT_EQ(marks_of(p.get()), (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(playlist_select(p.get(), 3), -1);
    EXPECT_EQ(playlist_select(p.get(), -1), -1);
    EXPECT_EQ(marks_of(p.get()), (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(playlist_select(p.get(), PLAYLIST_SELECT_ALL), 0);
    EXPECT_EQ(marks_of(p.get()), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(p->selected[3], 0);
    EXPECT_EQ(playlist_select(p.get(), PLAYLIST_SELECT_NONE), 0);
    EXPECT_EQ(marks_of(p.get()), (std::vector<int>{0, 0, 0}));
}

TEST(PlaylistStore, ClearEmptiesEverything) {
    auto p = store_of({"/a", "/b"});
    playlist_select(p.get(), PLAYLIST_SELECT_ALL);
    playlist_set_current(p.get(), 1);
    playlist_clear(p.get());
    EXPECT_EQ(p->count, 0);
    EXPECT_EQ(p->current, 0);
    EXPECT_EQ(p->selected[0] + p->selected[1], 0);
    EXPECT_EQ(p->entries[0].path[0], '\0');
}

TEST(PlaylistReorder, SortIsByteOrderOfWholePaths) {
    auto p = store_of({"/b/2.mp3", "/a/9.mp3", "/B/1.mp3"});
    playlist_set_current(p.get(), 2);
    playlist_sort_by_filename(p.get());
    EXPECT_EQ(paths_of(p.get()), (Paths{"/B/1.mp3", "/a/9.mp3", "/b/2.mp3"}));
    EXPECT_EQ(p->current, 2);  // reordering leaves the index alone
    // Bytes of 0x80 and above sort after ASCII (unsigned comparison).
    auto q = store_of({"/\xc3\xa9.mp3", "/z.mp3", "/a.mp3"});
    playlist_sort_by_filename(q.get());
    EXPECT_EQ(paths_of(q.get()), (Paths{"/a.mp3", "/z.mp3", "/\xc3\xa9.mp3"}));
}

TEST(PlaylistReorder, SelectedEntriesAreTheWorkingSet) {
    const Paths five{"/e", "/d", "/c", "/b", "/a"};
    auto p = store_of(five);
    playlist_toggle_selected(p.get(), 1);
    playlist_toggle_selected(p.get(), 3);
    playlist_sort_by_filename(p.get());
    EXPECT_EQ(paths_of(p.get()), (Paths{"/e", "/b", "/c", "/d", "/a"}));
    EXPECT_EQ(marks_of(p.get()), (std::vector<int>{0, 1, 0, 1, 0}));

    auto q = store_of({"/A", "/B", "/C", "/D", "/E"});
    playlist_toggle_selected(q.get(), 1);
    playlist_toggle_selected(q.get(), 3);
    playlist_sort_reverse(q.get());
    EXPECT_EQ(paths_of(q.get()), (Paths{"/A", "/D", "/C", "/B", "/E"}));
    EXPECT_EQ(marks_of(q.get()), (std::vector<int>{0, 1, 0, 1, 0}));

    // Shuffling moves only the selected entries, among the selected positions.
    for (unsigned seed = 1; seed < 20; seed++) {
        auto r = store_of({"/A", "/B", "/C", "/D", "/E", "/F"});
        for (int i : {0, 2, 5}) playlist_toggle_selected(r.get(), i);
        srand(seed);
        playlist_sort_randomize(r.get());
        Paths got = paths_of(r.get());
        EXPECT_EQ(got[1], "/B");
        EXPECT_EQ(got[3], "/D");
        EXPECT_EQ(got[4], "/E");
        Paths moved{got[0], got[2], got[5]};
        std::sort(moved.begin(), moved.end());
        EXPECT_EQ(moved, (Paths{"/A", "/C", "/F"}));
        EXPECT_EQ(marks_of(r.get()), (std::vector<int>{1, 0, 1, 0, 0, 1}));
    }
}

TEST(PlaylistReorder, UnselectedListReversesWhole) {
    auto p = store_of({"/A", "/B", "/C", "/D", "/E"});
    playlist_sort_reverse(p.get());
    EXPECT_EQ(paths_of(p.get()), (Paths{"/E", "/D", "/C", "/B", "/A"}));
    auto q = store_of({"/A", "/B", "/C", "/D"});
    playlist_sort_reverse(q.get());
    EXPECT_EQ(paths_of(q.get()), (Paths{"/D", "/C", "/B", "/A"}));
}

TEST(PlaylistRemove, SingleRemovalMovesTailAndCurrent) {
    auto p = store_of({"/A", "/B", "/C", "/D"});
    playlist_toggle_selected(p.get(), 3);
    playlist_set_current(p.get(), 2);
    EXPECT_EQ(playlist_remove(p.get(), 0), 0);
    EXPECT_EQ(paths_of(p.get()), (Paths{"/B", "/C", "/D"}));
    EXPECT_EQ(marks_of(p.get()), (std::vector<int>{0, 0, 1}));  // the mark moved with /D
    EXPECT_EQ(p->selected[3], 0);
    EXPECT_EQ(p->current, 1);
    EXPECT_EQ(playlist_remove(p.get(), 1), 0);  // the current entry itself: index stays
    EXPECT_EQ(paths_of(p.get()), (Paths{"/B", "/D"}));
    EXPECT_EQ(p->current, 1);
    EXPECT_EQ(playlist_remove(p.get(), 2), -1);
    EXPECT_EQ(playlist_remove(p.get(), -1), -1);
    EXPECT_EQ(p->count, 2);
}

TEST(PlaylistRemove, RemovingSelectedKeepsCurrentOnItsEntry) {
    auto p = store_of({"/A", "/B", "/C"});
    playlist_toggle_selected(p.get(), 0);
    playlist_toggle_selected(p.get(), 1);
    playlist_set_current(p.get(), 2);
    playlist_remove_selected(p.get());
    EXPECT_EQ(paths_of(p.get()), (Paths{"/C"}));
    EXPECT_EQ(p->current, 0);

    // The selected last entry is current: current ends equal to count.
    auto q = store_of({"/A", "/B", "/C"});
    playlist_toggle_selected(q.get(), 2);
    playlist_set_current(q.get(), 2);
    playlist_remove_selected(q.get());
    EXPECT_EQ(q->count, 2);
    EXPECT_EQ(q->current, 2);

    // The current entry removed in the middle: the next kept one moves into its place.
    auto r = store_of({"/A", "/B", "/C", "/D", "/E"});
    for (int i : {1, 2, 4}) playlist_toggle_selected(r.get(), i);
    playlist_set_current(r.get(), 2);
    playlist_remove_selected(r.get());
    EXPECT_EQ(paths_of(r.get()), (Paths{"/A", "/D"}));
    EXPECT_EQ(r->current, 1);
    EXPECT_EQ(r->selected[0] + r->selected[1] + r->selected[2] + r->selected[3] + r->selected[4], 0);

    // Nothing selected: nothing changes.
    auto s = store_of({"/A", "/B"});
    playlist_set_current(s.get(), 1);
    playlist_remove_selected(s.get());
    EXPECT_EQ(paths_of(s.get()), (Paths{"/A", "/B"}));
    EXPECT_EQ(s->current, 1);
}
