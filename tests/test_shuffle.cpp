// The seeded shuffle and the shuffle mode. The worked orders below are fixed: hosts
// and stored documents depend on a seed giving exactly this order.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "engine.h"
#include "fixtures.h"

namespace {

using fixtures::contents_of;
using fixtures::error_text;
using fixtures::handle;
using fixtures::named;
using fixtures::queue_urls;
using fixtures::track_urls;

// Ids named by their starting positions.
struct slice {
  std::vector<std::string> names;
  std::vector<uint32_t> ids;

  explicit slice(int n) : names(fixtures::named_range(n)) {
    for (int i = 0; i < n; i++) ids.push_back(static_cast<uint32_t>(i));
  }
  std::vector<std::string> order() const {
    std::vector<std::string> out;
    for (uint32_t id : ids) out.push_back(names[id]);
    return out;
  }
  std::vector<std::string> shuffled(uint64_t lo, uint64_t hi, uint64_t seed) {
    shuffle_range(ids.data(), lo, hi, seed);
    return order();
  }
};

struct worked_row {
  int n;
  uint64_t lo;
  uint64_t seed;
  std::vector<std::string> result;
};

std::string describe(const worked_row &r) {
  return "n " + std::to_string(r.n) + " lo " + std::to_string(r.lo) + " seed " +
         std::to_string(r.seed);
}

// The worked table: entries named by their starting positions, hi = n.
const worked_row k_worked_rows[] = {
    {5, 1, 12345, named({0, 3, 2, 4, 1})}, {5, 0, 12345, named({3, 2, 0, 1, 4})},
    {5, 1, 0, named({0, 2, 4, 1, 3})},     {5, 0, 0, named({1, 2, 3, 0, 4})},
    {5, 1, 42, named({0, 3, 1, 4, 2})},    {3, 1, 12345, named({0, 2, 1})},
    {3, 1, 99, named({0, 1, 2})},          {2, 0, 12345, named({1, 0})},
};

TEST(ShuffleRange, ReproducesTheWorkedTable) {
  for (const worked_row &r : k_worked_rows) {
    SCOPED_TRACE(describe(r));
    slice s(r.n);
    EXPECT_EQ(s.shuffled(r.lo, static_cast<uint64_t>(r.n), r.seed), r.result);
  }
}

// Loading with shuffle on from the first track shuffles positions 1 to n-1 of the
// source order: the rows with lo 1.
TEST(ShuffleRange, WorkedTableThroughLoading) {
  for (const worked_row &r : k_worked_rows) {
    if (r.lo != 1) continue;
    SCOPED_TRACE(describe(r));
    std::string json = fixtures::numbered_tracks(r.n);
    handle h = fixtures::loaded(json.c_str(), 0, true, r.seed);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(queue_urls(h.get()), r.result);
    EXPECT_EQ(h->current, 0);
  }
}

// Turning shuffle on with entry 0 current shuffles positions 1 to n-1 (lo 1); with
// no valid current entry it shuffles the whole queue (lo 0). A handle only gets no
// current entry with a non-empty queue when it is set up directly, as here.
TEST(ShuffleRange, WorkedTableThroughSetShuffle) {
  for (const worked_row &r : k_worked_rows) {
    SCOPED_TRACE(describe(r));
    std::string json = fixtures::numbered_tracks(r.n);
    handle h = fixtures::loaded(json.c_str());
    ASSERT_NE(h, nullptr);
    if (r.lo == 0) h->current = -1;
    ASSERT_EQ(pbq_set_shuffle(h.get(), 1, r.seed), 0);
    EXPECT_EQ(queue_urls(h.get()), r.result);
    EXPECT_EQ(h->current, 0);
    EXPECT_EQ(track_urls(h.get()), fixtures::named_range(r.n));
  }
}

TEST(ShuffleRange, SeedZeroIsTheBuiltInState) {
  for (uint64_t lo : {0u, 1u}) {
    slice a(12), b(12);
    EXPECT_EQ(a.shuffled(lo, 12, 0), b.shuffled(lo, 12, 0x5C029101A2B3C4D5ULL));
    EXPECT_NE(a.order(), fixtures::named_range(12));
  }
}

// Slices of fewer than two entries are left alone.
TEST(ShuffleRange, ShortSlicesAreUntouched) {
  struct {
    uint64_t lo, hi;
  } const cases[] = {{0, 0}, {0, 1}, {1, 1}, {1, 2}, {3, 4}, {4, 4}};
  for (const auto &c : cases) {
    for (uint64_t seed : {0ULL, 1ULL, 12345ULL, ~0ULL}) {
      slice s(4);
      EXPECT_EQ(s.shuffled(c.lo, c.hi, seed), fixtures::named_range(4)) << c.lo << ".." << c.hi;
    }
  }
}

// Only [lo, hi) moves; the result is a permutation of the slice and the same seed
// gives the same order again.
TEST(ShuffleRange, StaysInsideTheSliceAndRepeatsForASeed) {
  std::vector<std::string> slice_names = named({1, 2, 3, 4, 5, 6});
  for (uint64_t seed = 0; seed < 200; seed++) {
    slice a(9), b(9);
    std::vector<std::string> got = a.shuffled(1, 7, seed);
    EXPECT_EQ(b.shuffled(1, 7, seed), got);
    EXPECT_EQ(got[0], "0.m4a");
    EXPECT_EQ(got[7], "7.m4a");
    EXPECT_EQ(got[8], "8.m4a");
    std::vector<std::string> middle(got.begin() + 1, got.begin() + 7);
    std::sort(middle.begin(), middle.end());
    EXPECT_EQ(middle, slice_names);
  }
}

struct on_case {
  const char *name;
  int n;
  int32_t current;  // -1: no valid current entry (set directly)
  uint64_t seed;
  std::vector<std::string> queue;
};

void PrintTo(const on_case &c, std::ostream *os) { *os << c.name; }

class ShuffleOn : public testing::TestWithParam<on_case> {};

// Turning on keeps the playing entry first and shuffles the rest; turning off right
// after gives the source order back with the same track current.
TEST_P(ShuffleOn, PlayingEntryFirstThenOffRestoresSourceOrder) {
  const on_case &c = GetParam();
  std::string json = fixtures::numbered_tracks(c.n);
  handle h = fixtures::loaded(json.c_str(), c.current < 0 ? 0 : c.current);
  ASSERT_NE(h, nullptr);
  h->current = c.current;
  ASSERT_EQ(pbq_set_repeat(h.get(), 1), 1);
  fixtures::write_marker_error();
  fixtures::handle_contents before = contents_of(h.get());

  EXPECT_EQ(pbq_set_shuffle(h.get(), 1, c.seed), 0);
  fixtures::handle_contents expected = before;
  expected.shuffle = 1;
  expected.current = 0;
  fixtures::handle_contents after = contents_of(h.get());
  EXPECT_EQ(queue_urls(h.get()), c.queue);
  after.queue = before.queue;  // compared above; everything else must be as expected
  EXPECT_EQ(after, expected);

  std::string playing = fixtures::queued(h.get(), 0).stream_url;
  EXPECT_EQ(pbq_set_shuffle(h.get(), 0, c.seed), 0);
  EXPECT_EQ(queue_urls(h.get()), fixtures::named_range(c.n));
  EXPECT_EQ(fixtures::queued(h.get(), static_cast<uint64_t>(h->current)).stream_url, playing);
  EXPECT_EQ(h->shuffle, 0);
  EXPECT_EQ(contents_of(h.get()).queue, contents_of(h.get()).tracks);
  EXPECT_EQ(error_text(), fixtures::k_marker_error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShuffleOn,
    testing::Values(
        on_case{"five_current_2_seed_12345", 5, 2, 12345, named({2, 3, 1, 4, 0})},
        on_case{"five_no_current_seed_12345", 5, -1, 12345, named({3, 2, 0, 1, 4})},
        on_case{"five_current_4_seed_12345", 5, 4, 12345, named({4, 2, 1, 3, 0})},
        on_case{"five_current_0_seed_0", 5, 0, 0, named({0, 2, 4, 1, 3})},
        on_case{"five_no_current_seed_0", 5, -1, 0, named({1, 2, 3, 0, 4})},
        on_case{"three_current_0_seed_12345", 3, 0, 12345, named({0, 2, 1})},
        on_case{"two_current_1_seed_0", 2, 1, 0, named({1, 0})},
        on_case{"two_current_1_seed_12345", 2, 1, 12345, named({1, 0})},
        on_case{"two_current_1_seed_7", 2, 1, 7, named({1, 0})},
        on_case{"two_current_0_seed_12345", 2, 0, 12345, named({0, 1})},
        on_case{"two_no_current_seed_12345", 2, -1, 12345, named({1, 0})},
        on_case{"one_current_0", 1, 0, 12345, named({0})},
        on_case{"one_no_current", 1, -1, 12345, named({0})}),
    [](const auto &info) { return std::string(info.param.name); });

// The current entry moves to the front past the entries before it, which keep their
// order: with two entries no number is drawn, so every seed gives the same.
TEST(ShuffleMode, TurningOnAgainShufflesThePresentOrder) {
  handle h = fixtures::loaded(fixtures::k_five_tracks);
  ASSERT_EQ(pbq_set_shuffle(h.get(), 1, 12345), 0);
  ASSERT_EQ(queue_urls(h.get()), named({0, 3, 2, 4, 1}));
  ASSERT_EQ(pbq_set_shuffle(h.get(), 1, 12345), 0);
  EXPECT_EQ(queue_urls(h.get()), named({0, 4, 2, 1, 3}));
  EXPECT_EQ(h->current, 0);
}

// Tracks added with the up-next calls are shuffled with the rest.
TEST(ShuffleMode, AddedEntriesArePermutedWithTheRest) {
  handle h = fixtures::loaded(fixtures::numbered_tracks(4).c_str());
  ASSERT_EQ(pbq_add_to_queue_json(h.get(), R"({"streamURL":"4.m4a"})"), 0);
  ASSERT_EQ(pbq_set_shuffle(h.get(), 1, 12345), 0);
  EXPECT_EQ(queue_urls(h.get()), named({0, 3, 2, 4, 1}));
}

TEST(ShuffleMode, AnyNonZeroValueTurnsItOn) {
  for (int32_t enabled : {1, 2, -1, INT32_MAX, INT32_MIN}) {
    SCOPED_TRACE(enabled);
    handle h = fixtures::loaded(fixtures::k_five_tracks, 2);
    ASSERT_EQ(pbq_set_shuffle(h.get(), enabled, 12345), 0);
    EXPECT_EQ(h->shuffle, 1);
    EXPECT_EQ(queue_urls(h.get()), named({2, 3, 1, 4, 0}));
  }
}

// Turning off rebuilds from the tracks even when shuffle was already off: moves
// are dropped, removed entries return, and the playing track stays current.
TEST(ShuffleMode, TurningOffWhenAlreadyOffStillRebuilds) {
  handle h = fixtures::loaded(fixtures::k_five_tracks, 1);
  ASSERT_EQ(pbq_move_up_next(h.get(), 0, 2), 0);
  ASSERT_EQ(pbq_remove_up_next(h.get(), 0), 0);
  ASSERT_EQ(queue_urls(h.get()), named({0, 1, 4, 2}));
  ASSERT_EQ(pbq_jump(h.get(), 2), 0);
  ASSERT_EQ(pbq_set_shuffle(h.get(), 0, 99), 0);
  EXPECT_EQ(queue_urls(h.get()), named({0, 1, 2, 3, 4}));
  EXPECT_EQ(h->current, 4);
  EXPECT_EQ(contents_of(h.get()).queue, contents_of(h.get()).tracks);
}

// Two tracks with the same stream URL: the first of them becomes current.
TEST(ShuffleMode, TurningOffPicksTheFirstTrackWithThePlayingUrl) {
  handle h = fixtures::make_handle();
  ASSERT_EQ(pbq_set_tracks_json(h.get(),
                                R"([{"streamURL":"a","title":"first"},{"streamURL":"b"},)"
                                R"({"streamURL":"a","title":"second"}])",
                                2, 0),
            0);
  ASSERT_EQ(pbq_set_shuffle(h.get(), 0, 0), 0);
  EXPECT_EQ(h->current, 0);
}

// A playing entry whose URL is no longer among the tracks (set up directly, on an
// added copy that owns its strings) gives current 0.
TEST(ShuffleMode, TurningOffWithoutAMatchStartsAtTheFirstEntry) {
  handle h = fixtures::loaded(fixtures::k_three_tracks, 1);
  ASSERT_EQ(pbq_play_next_json(h.get(), R"({"streamURL":"3.m4a"})"), 0);
  ASSERT_EQ(pbq_next(h.get()), 0);
  auto *url = const_cast<char *>(fixtures::queued(h.get(), 2).stream_url);
  url[0] = 'z';
  ASSERT_EQ(pbq_set_shuffle(h.get(), 0, 0), 0);
  EXPECT_EQ(queue_urls(h.get()), named({1, 2, 3}));
  EXPECT_EQ(h->current, 0);
}

// With an empty queue only the flag changes; the tracks do not refill it. The
// tracks without a queue are set up directly.
TEST(ShuffleMode, EmptyQueueOnlyFlipsTheFlag) {
  handle h = fixtures::loaded(fixtures::k_three_tracks);
  queue_free(&h->queue);
  h->current = -1;
  for (int32_t enabled : {1, 0, 1, 0}) {
    fixtures::handle_contents expected = contents_of(h.get());
    expected.shuffle = enabled;
    EXPECT_EQ(pbq_set_shuffle(h.get(), enabled, 12345), 0);
    EXPECT_EQ(contents_of(h.get()), expected);
  }
  handle fresh = fixtures::make_handle();
  EXPECT_EQ(pbq_set_shuffle(fresh.get(), 1, 0), 0);
  EXPECT_EQ(fresh->shuffle, 1);
  EXPECT_EQ(fresh->current, -1);
}

// Turning off with no tracks to rebuild from keeps the queue and current as they
// are (the queue without tracks is set up directly).
TEST(ShuffleMode, TurningOffWithoutTracksKeepsTheQueue) {
  handle h = fixtures::loaded(fixtures::k_five_tracks, 3, true, 12345);
  id_list_free(&h->tracks);
  ASSERT_EQ(pbq_next(h.get()), 0);
  fixtures::handle_contents expected = contents_of(h.get());
  expected.shuffle = 0;
  EXPECT_EQ(pbq_set_shuffle(h.get(), 0, 0), 0);
  EXPECT_EQ(contents_of(h.get()), expected);
}

TEST(ShuffleMode, NullHandleIsRefusedWithoutAMessage) {
  fixtures::write_marker_error();
  EXPECT_EQ(pbq_set_shuffle(nullptr, 1, 0), -1);
  EXPECT_EQ(pbq_set_shuffle(nullptr, 0, 0), -1);
  EXPECT_EQ(error_text(), fixtures::k_marker_error);
}

}  // namespace
