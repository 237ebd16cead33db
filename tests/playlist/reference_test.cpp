// The fast reordering and removal against one-exchange-at-a-time versions, on random
// lists: identical entries, marks and current, and the same use of rand().
#include <random>
#include <string>

#include "playlist_reference.h"
#include "playlist_test_util.h"

namespace {

enum class Selection { None, All, Random, One };

struct Case {
    int32_t count;
    Selection selection;
    unsigned seed;
};

// Random paths of 1..120 bytes, now and then up to 1023, from a small alphabet (upper, lower, high bytes) so that
// prefixes are shared, plus repeated paths drawn from a small pool.
void fill_random(tHandlePlaylist *p, const Case &c) {
    std::mt19937 gen(c.seed);
    static const char alphabet[] = "/aAbBzZ09._\xc3\xa9\xff";
    std::vector<std::string> pool;
    for (int i = 0; i < 8; i++) pool.push_back("/dup/" + std::to_string(i) + ".mp3");
    for (int32_t i = 0; i < c.count; i++) {
        std::string s;
        if (gen() % 4 == 0) {
            s = pool[gen() % pool.size()];
        } else {
            int len = 1 + static_cast<int>(gen() % (gen() % 16 == 0 ? 1023 : 120));
            for (int k = 0; k < len; k++) s.push_back(alphabet[gen() % (sizeof alphabet - 1)]);
        }
        add_path(p, s);
        switch (c.selection) {
        case Selection::None: break;
        case Selection::All: p->selected[i] = 1; break;
        case Selection::Random: p->selected[i] = gen() % 2; break;
        case Selection::One: p->selected[i] = (i == c.count / 2); break;
        }
    }
    // Any current, including ones that designate no entry.
    int32_t span = c.count + 3;
    p->current = static_cast<int32_t>(gen() % span) - 1;
}

void expect_same(const tHandlePlaylist *ours, const tHandlePlaylist *ref, const char *what, const Case &c) {
    SCOPED_TRACE(testing::Message() << what << " count=" << c.count << " seed=" << c.seed
                                    << " selection=" << static_cast<int>(c.selection));
    ASSERT_EQ(ours->count, ref->count);
    EXPECT_EQ(ours->current, ref->current);
    EXPECT_EQ(memcmp(ours->selected, ref->selected, sizeof ours->selected), 0);
    for (int32_t i = 0; i < ours->count; i++) {
        ASSERT_EQ(memcmp(&ours->entries[i], &ref->entries[i], sizeof(tSongInfo)), 0) << "entry " << i;
    }
}

std::vector<Case> cases() {
    std::vector<Case> v;
    unsigned seed = 1;
    for (int32_t n : {0, 1, 2, 3, 7, 64, 333}) {
        for (Selection s : {Selection::None, Selection::All, Selection::Random, Selection::One}) {
            for (int rep = 0; rep < 3; rep++) v.push_back({n, s, seed++});
        }
    }
    v.push_back({2000, Selection::Random, seed++});
    v.push_back({2000, Selection::None, seed++});
    return v;
}

class PlaylistAgainstReference : public testing::Test {
protected:
    void SetUp() override {
        ours = make_store();
        ref = make_store();
        ASSERT_TRUE(ours && ref);
    }
    void load(const Case &c) {
        playlist_init(ours.get());
        fill_random(ours.get(), c);
        memcpy(ref.get(), ours.get(), sizeof(tHandlePlaylist));
    }
    tStorePtr ours, ref;
};

}  // namespace

TEST_F(PlaylistAgainstReference, SortGivesTheExchangeSortsResult) {
    for (const Case &c : cases()) {
        load(c);
        playlist_sort_by_filename(ours.get());
        reference_sort_by_filename(ref.get());
        expect_same(ours.get(), ref.get(), "sort", c);
    }
}

TEST_F(PlaylistAgainstReference, RemoveSelectedGivesTheOneByOneResult) {
    for (const Case &c : cases()) {
        load(c);
        playlist_remove_selected(ours.get());
        reference_remove_selected(ref.get());
        expect_same(ours.get(), ref.get(), "remove", c);
    }
}

TEST_F(PlaylistAgainstReference, ReverseGivesTheTwoEndedExchangeResult) {
    for (const Case &c : cases()) {
        load(c);
        playlist_sort_reverse(ours.get());
        reference_sort_reverse(ref.get());
        expect_same(ours.get(), ref.get(), "reverse", c);
    }
}

TEST_F(PlaylistAgainstReference, ShuffleDrawsAndExchangesAlike) {
    for (const Case &c : cases()) {
        load(c);
        srand(c.seed);
        playlist_sort_randomize(ours.get());
        int after_ours = rand();
        srand(c.seed);
        reference_sort_randomize(ref.get());
        int after_ref = rand();
        expect_same(ours.get(), ref.get(), "shuffle", c);
        // Same number of draws: the generator is left in the same state.
        EXPECT_EQ(after_ours, after_ref) << "seed " << c.seed;
    }
}
