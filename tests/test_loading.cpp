// Loading a track list: the two lists it builds, the start index, the shuffled
// queue, refusals that leave the handle as it was, and the error text.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "fixtures.h"

namespace {

using fixtures::contents_of;
using fixtures::error_text;
using fixtures::handle;
using fixtures::named;
using fixtures::queue_urls;
using fixtures::track_urls;

struct start_case {
  const char *name;
  const char *json;
  int32_t start;
  std::vector<std::string> tracks;
  int32_t current;
};

void PrintTo(const start_case &c, std::ostream *os) { *os << c.name; }

// The first element is rejected, so index 0 is the array's second element.
const char *const k_first_rejected =
    R"([{"title":"no address"},{"streamURL":"a.m4a"},{"streamURL":"b.m4a"}])";

class LoadStart : public testing::TestWithParam<start_case> {};

TEST_P(LoadStart, ShuffleOffKeepsSourceOrderAndClampsTheStart) {
  const start_case &c = GetParam();
  handle h = fixtures::make_handle();
  ASSERT_EQ(pbq_set_tracks_json(h.get(), c.json, c.start, 12345), 0);
  EXPECT_EQ(track_urls(h.get()), c.tracks);
  EXPECT_EQ(queue_urls(h.get()), c.tracks);
  EXPECT_EQ(h->current, c.current);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadStart,
    testing::Values(
        start_case{"first", fixtures::k_three_tracks, 0, named({1, 2, 3}), 0},
        start_case{"middle", fixtures::k_three_tracks, 1, named({1, 2, 3}), 1},
        start_case{"last", fixtures::k_three_tracks, 2, named({1, 2, 3}), 2},
        start_case{"equal_to_count", fixtures::k_three_tracks, 3, named({1, 2, 3}), 2},
        start_case{"far_past_the_end", fixtures::k_three_tracks, 99, named({1, 2, 3}), 2},
        start_case{"int32_max", fixtures::k_three_tracks, INT32_MAX, named({1, 2, 3}), 2},
        start_case{"minus_one", fixtures::k_three_tracks, -1, named({1, 2, 3}), 0},
        start_case{"minus_five", fixtures::k_three_tracks, -5, named({1, 2, 3}), 0},
        start_case{"int32_min", fixtures::k_three_tracks, INT32_MIN, named({1, 2, 3}), 0},
        start_case{"counts_accepted_tracks", k_first_rejected, 1, {"a.m4a", "b.m4a"}, 1},
        start_case{"one_track", R"([{"streamURL":"only"}])", 7, {"only"}, 0}),
    [](const auto &info) { return std::string(info.param.name); });

struct shuffled_case {
  const char *name;
  std::string json;
  int32_t start;
  uint64_t seed;
  std::vector<std::string> queue;
};

void PrintTo(const shuffled_case &c, std::ostream *os) { *os << c.name; }

class LoadShuffled : public testing::TestWithParam<shuffled_case> {};

// With shuffle on the chosen track comes first and the others follow it in the
// seeded order, whatever the start index was; the tracks stay in source order.
TEST_P(LoadShuffled, ChosenTrackFirstThenSeededOrder) {
  const shuffled_case &c = GetParam();
  handle h = fixtures::make_handle();
  ASSERT_EQ(pbq_set_shuffle(h.get(), 1, 0), 0);
  ASSERT_EQ(pbq_set_tracks_json(h.get(), c.json.c_str(), c.start, c.seed), 0);
  EXPECT_EQ(queue_urls(h.get()), c.queue);
  EXPECT_EQ(track_urls(h.get()), fixtures::named_range(static_cast<int>(c.queue.size())));
  EXPECT_EQ(h->current, 0);
  EXPECT_EQ(h->shuffle, 1);

  // The same text, index and seed give the same order again.
  ASSERT_EQ(pbq_set_tracks_json(h.get(), c.json.c_str(), c.start, c.seed), 0);
  EXPECT_EQ(queue_urls(h.get()), c.queue);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadShuffled,
    testing::Values(
        // The chosen track moves to the front; the others keep source order before
        // the shuffle of positions 1 to 4: 2 0 1 3 4 becomes 2 3 1 4 0.
        shuffled_case{"five_start_2_seed_12345", fixtures::numbered_tracks(5), 2, 12345,
                      named({2, 3, 1, 4, 0})},
        shuffled_case{"five_start_4_seed_12345", fixtures::numbered_tracks(5), 4, 12345,
                      named({4, 2, 1, 3, 0})},
        shuffled_case{"five_start_past_end_is_last", fixtures::numbered_tracks(5), 40, 12345,
                      named({4, 2, 1, 3, 0})},
        shuffled_case{"five_negative_start_is_first", fixtures::numbered_tracks(5), -3, 12345,
                      named({0, 3, 2, 4, 1})},
        shuffled_case{"two_tracks_start_1_seed_0", fixtures::numbered_tracks(2), 1, 0, named({1, 0})},
        shuffled_case{"two_tracks_start_1_seed_12345", fixtures::numbered_tracks(2), 1, 12345,
                      named({1, 0})},
        shuffled_case{"two_tracks_start_0_seed_12345", fixtures::numbered_tracks(2), 0, 12345,
                      named({0, 1})},
        shuffled_case{"one_track", fixtures::numbered_tracks(1), 0, 12345, named({0})}),
    [](const auto &info) { return std::string(info.param.name); });

// A longer list than the first block of 16 records: every track is in the queue
// exactly once, the chosen one first.
TEST(Loading, ShuffledQueueIsAPermutationOfALongList) {
  std::string json = fixtures::numbered_tracks(40);
  handle h = fixtures::loaded(json.c_str(), 17, true, 987654321);
  ASSERT_NE(h, nullptr);
  std::vector<std::string> queue = queue_urls(h.get());
  ASSERT_EQ(queue.size(), 40u);
  EXPECT_EQ(queue[0], "17.m4a");
  EXPECT_NE(queue, fixtures::named_range(40));
  std::sort(queue.begin(), queue.end());
  std::vector<std::string> all = fixtures::named_range(40);
  std::sort(all.begin(), all.end());
  EXPECT_EQ(queue, all);
  EXPECT_EQ(track_urls(h.get()), fixtures::named_range(40));
}

TEST(Loading, ListsHoldEveryFieldIndependentlyOfTheHostText) {
  handle h = fixtures::make_handle();
  // The host's text is only read during the call: overwriting it afterwards changes
  // nothing in the handle.
  std::string json = R"([{"streamURL":"s.m4a","title":"T","artist":"A",)"
                     R"("artworkURL":"art.jpg","duration":215.5},{"id":"by-id"}])";
  ASSERT_EQ(pbq_set_tracks_json(h.get(), json.c_str(), 0, 0), 0);
  std::fill(json.begin(), json.end(), 'x');
  fixtures::handle_contents c = contents_of(h.get());
  ASSERT_EQ(c.tracks.size(), 2u);
  EXPECT_EQ(c.tracks, c.queue);
  EXPECT_EQ(c.tracks[0], (fixtures::record_view{"s.m4a", "T", "A", "art.jpg", true, 215.5}));
  EXPECT_EQ(c.tracks[1], (fixtures::record_view{"by-id", "", "", "", false, 0.0}));
}

// Unusable elements are skipped silently; duplicates are kept as separate tracks.
TEST(Loading, SkipsUnusableElementsAndKeepsDuplicates) {
  handle h = fixtures::make_handle();
  const char *json =
      R"([5,"x.m4a",null,true,[],{},{"title":"no address"},{"streamURL":""},)"
      R"({"streamURL":"a\u0000b"},{"streamURL":null},{"id":"id.m4a"},)"
      R"({"streamURL":"d.m4a"},{"streamURL":"d.m4a","title":"again"}])";
  ASSERT_EQ(pbq_set_tracks_json(h.get(), json, 2, 0), 0);
  EXPECT_EQ(track_urls(h.get()), (std::vector<std::string>{"id.m4a", "d.m4a", "d.m4a"}));
  EXPECT_EQ(queue_urls(h.get()), track_urls(h.get()));
  EXPECT_EQ(h->current, 2);
}

// An empty array, or one whose every element is rejected, empties the handle and
// leaves the modes, the rate and the sleep timer as they were.
TEST(Loading, NoUsableTrackEmptiesTheHandleAndKeepsTheSettings) {
  for (const char *json : {"[]", R"([1,{},{"streamURL":""},"s"])"}) {
    SCOPED_TRACE(json);
    handle h = fixtures::loaded(fixtures::k_five_tracks, 3);
    ASSERT_EQ(pbq_set_repeat(h.get(), 2), 2);
    ASSERT_EQ(pbq_set_shuffle(h.get(), 1, 5), 0);
    ASSERT_EQ(pbq_set_rate(h.get(), 1.5f), 1.5f);
    ASSERT_EQ(pbq_set_sleep_timer(h.get(), 1, 600, 1000), 0);
    fixtures::write_marker_error();

    ASSERT_EQ(pbq_set_tracks_json(h.get(), json, 1, 9), 0);
    EXPECT_EQ(h->tracks.count, 0u);
    EXPECT_EQ(h->queue.count, 0u);
    EXPECT_EQ(h->current, -1);
    EXPECT_EQ(error_text(), "");
    EXPECT_EQ(h->repeat_mode, 2);
    EXPECT_EQ(h->shuffle, 1);
    EXPECT_EQ(h->rate, 1.5f);
    EXPECT_EQ(h->sleep_mode, 1);
    EXPECT_EQ(h->sleep_deadline, 1600);
  }
}

TEST(Loading, KeepsTheSettingsWhenTracksAreAccepted) {
  handle h = fixtures::make_handle();
  ASSERT_EQ(pbq_set_repeat(h.get(), 1), 1);
  ASSERT_EQ(pbq_set_rate(h.get(), 0.75f), 0.75f);
  ASSERT_EQ(pbq_set_sleep_timer(h.get(), 2, 0, 0), 0);
  ASSERT_EQ(pbq_set_tracks_json(h.get(), fixtures::k_three_tracks, 1, 0), 0);
  EXPECT_EQ(h->repeat_mode, 1);
  EXPECT_EQ(h->shuffle, 0);
  EXPECT_EQ(h->rate, 0.75f);
  EXPECT_EQ(h->sleep_mode, 2);
  EXPECT_EQ(h->sleep_deadline, 0);
}

// A second load replaces both lists: up-next edits and added tracks are gone.
TEST(Loading, ReplacesEverythingAnEarlierLoadAndEditsLeft) {
  handle h = fixtures::loaded(fixtures::k_five_tracks, 1);
  ASSERT_EQ(pbq_play_next_json(h.get(), R"({"streamURL":"x.m4a"})"), 0);
  ASSERT_EQ(pbq_add_to_queue_json(h.get(), R"({"streamURL":"y.m4a"})"), 0);
  ASSERT_EQ(pbq_remove_up_next(h.get(), 1), 0);
  ASSERT_EQ(pbq_set_tracks_json(h.get(), fixtures::k_three_tracks, 2, 0), 0);
  EXPECT_EQ(track_urls(h.get()), named({1, 2, 3}));
  EXPECT_EQ(queue_urls(h.get()), named({1, 2, 3}));
  EXPECT_EQ(h->current, 2);
}

struct refusal_case {
  const char *name;
  bool null_handle;
  const char *json;
  const char *message;
};

void PrintTo(const refusal_case &c, std::ostream *os) { *os << c.name; }

class LoadRefused : public testing::TestWithParam<refusal_case> {};

// A refused load writes its message and leaves the loaded handle exactly as it was,
// up-next edits and settings included.
TEST_P(LoadRefused, WritesTheMessageAndChangesNothing) {
  const refusal_case &c = GetParam();
  handle h = fixtures::loaded(fixtures::k_five_tracks, 2, true, 12345);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(pbq_remove_up_next(h.get(), 0), 0);
  ASSERT_EQ(pbq_add_to_queue_json(h.get(), R"({"streamURL":"x.m4a","title":"X"})"), 0);
  ASSERT_EQ(pbq_set_repeat(h.get(), 1), 1);
  fixtures::handle_contents before = contents_of(h.get());

  EXPECT_EQ(pbq_set_tracks_json(c.null_handle ? nullptr : h.get(), c.json, 0, 0), -1);
  EXPECT_EQ(error_text(), c.message);
  EXPECT_EQ(contents_of(h.get()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadRefused,
    testing::Values(
        refusal_case{"null_handle", true, fixtures::k_three_tracks, "null arg"},
        refusal_case{"null_text", false, nullptr, "null arg"},
        refusal_case{"null_handle_and_text", true, nullptr, "null arg"},
        refusal_case{"empty_text", false, "", "invalid tracks json"},
        refusal_case{"blank_text", false, "  \n", "invalid tracks json"},
        refusal_case{"trailing_comma", false, R"([{"streamURL":"a"},])", "invalid tracks json"},
        refusal_case{"comment", false, "[] // none", "invalid tracks json"},
        refusal_case{"nan_literal", false, R"([{"streamURL":"a","duration":NaN}])",
                     "invalid tracks json"},
        refusal_case{"unterminated", false, R"([{"streamURL":"a"})", "invalid tracks json"},
        refusal_case{"two_documents", false, "[] []", "invalid tracks json"},
        refusal_case{"single_quotes", false, "['a']", "invalid tracks json"},
        refusal_case{"object_root", false, R"({"streamURL":"a.m4a"})", "tracks json must be array"},
        refusal_case{"string_root", false, R"("a.m4a")", "tracks json must be array"},
        refusal_case{"number_root", false, "5", "tracks json must be array"},
        refusal_case{"true_root", false, "true", "tracks json must be array"},
        refusal_case{"false_root", false, "false", "tracks json must be array"},
        refusal_case{"null_root", false, "null", "tracks json must be array"}),
    [](const auto &info) { return std::string(info.param.name); });

// The error text: a successful load empties whatever an earlier call left, and a
// refusal replaces it.
TEST(Loading, SuccessEmptiesTheErrorText) {
  handle h = fixtures::loaded(fixtures::k_three_tracks);
  ASSERT_EQ(pbq_set_tracks_json(h.get(), "{", 0, 0), -1);
  ASSERT_EQ(error_text(), "invalid tracks json");
  ASSERT_EQ(pbq_jump(h.get(), 1), 0);
  EXPECT_EQ(error_text(), "invalid tracks json");  // a jump that succeeds leaves it
  ASSERT_EQ(pbq_set_tracks_json(h.get(), fixtures::k_five_tracks, 0, 0), 0);
  EXPECT_EQ(error_text(), "");

  fixtures::write_marker_error();
  ASSERT_EQ(pbq_set_tracks_json(h.get(), "[]", 0, 0), 0);
  EXPECT_EQ(error_text(), "");

  fixtures::write_marker_error();
  ASSERT_EQ(pbq_set_tracks_json(h.get(), "7", 0, 0), -1);
  EXPECT_EQ(error_text(), "tracks json must be array");
}

}  // namespace

// Rejected elements reserve nothing: a large array of them leaves the handle with
// empty lists, not with room for tracks that never came.
TEST(Loading, RejectedElementsReserveNoStorage) {
  std::string json = "[";
  for (int i = 0; i < 100000; i++) json += i == 0 ? "1" : ",1";
  json += R"(,{"streamURL":"only.m4a"}])";
  fixtures::handle h = fixtures::make_handle();
  ASSERT_EQ(pbq_set_tracks_json(h.get(), json.c_str(), 0, 0), 0);
  EXPECT_EQ(h->tracks.count, 1u);
  EXPECT_EQ(h->tracks.capacity, 16u);
  EXPECT_EQ(h->queue.capacity, 16u);
  EXPECT_EQ(h->store.capacity, 1u);
}
