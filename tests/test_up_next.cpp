// Up next: adding a track after the current entry or at the end, and removing,
// moving and clearing the entries after the current one.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
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

using add_fn = int32_t (*)(pbq_queue *, const char *);

struct add_function {
  const char *name;
  add_fn call;
};

const add_function k_add_functions[] = {
    {"play_next", pbq_play_next_json},
    {"add_to_queue", pbq_add_to_queue_json},
};

// The five fixture tracks with `current` set by a jump.
handle five_at(int32_t current) {
  handle h = fixtures::loaded(fixtures::k_five_tracks, current);
  if (h == nullptr || h->current != current) return nullptr;
  return h;
}

std::string track_json(const char *url, const char *title = "") {
  return std::string(R"({"streamURL":")") + url + R"(","title":")" + title + R"("})";
}

TEST(UpNextAdd, OnAFreshHandleBothFunctionsAppendAndMakeItCurrent) {
  for (const add_function &f : k_add_functions) {
    SCOPED_TRACE(f.name);
    handle h = fixtures::make_handle();
    fixtures::write_marker_error();
    EXPECT_EQ(f.call(h.get(), R"({"streamURL":"x.m4a","title":"X","artist":"A",)"
                              R"("artworkURL":"x.jpg","duration":12.5})"),
              1);
    fixtures::handle_contents c = contents_of(h.get());
    const fixtures::record_view x{"x.m4a", "X", "A", "x.jpg", true, 12.5};
    EXPECT_EQ(c.queue, std::vector<fixtures::record_view>{x});
    EXPECT_EQ(c.tracks, std::vector<fixtures::record_view>{x});
    EXPECT_EQ(h->current, 0);
    EXPECT_EQ(error_text(), "");
  }
}

struct add_case {
  const char *name;
  int32_t current;
  add_fn first, second;  // two calls, adding x.m4a then y.m4a
  std::vector<std::string> queue;
};

void PrintTo(const add_case &c, std::ostream *os) { *os << c.name; }

class UpNextPlacement : public testing::TestWithParam<add_case> {};

// Play next goes right after the current entry, ahead of earlier play-next tracks;
// add to queue goes to the end. The new tracks are appended to the tracks in the
// order they were added and `current` does not move.
TEST_P(UpNextPlacement, PutsTheTrackInItsPlace) {
  const add_case &c = GetParam();
  handle h = five_at(c.current);
  ASSERT_NE(h, nullptr);
  fixtures::write_marker_error();
  EXPECT_EQ(c.first(h.get(), track_json("x.m4a").c_str()), 0);
  EXPECT_EQ(error_text(), "");
  fixtures::write_marker_error();
  EXPECT_EQ(c.second(h.get(), track_json("y.m4a").c_str()), 0);
  EXPECT_EQ(error_text(), "");
  EXPECT_EQ(queue_urls(h.get()), c.queue);
  std::vector<std::string> tracks = named({0, 1, 2, 3, 4});
  tracks.insert(tracks.end(), {"x.m4a", "y.m4a"});
  EXPECT_EQ(track_urls(h.get()), tracks);
  EXPECT_EQ(h->current, c.current);
}

const std::string X = "x.m4a", Y = "y.m4a";
const std::string S0 = "0.m4a", S1 = "1.m4a", S2 = "2.m4a", S3 = "3.m4a", S4 = "4.m4a";

INSTANTIATE_TEST_SUITE_P(
    Cases, UpNextPlacement,
    testing::Values(
        add_case{"play_next_twice_at_first", 0, pbq_play_next_json, pbq_play_next_json,
                 {S0, Y, X, S1, S2, S3, S4}},
        add_case{"play_next_twice_in_middle", 2, pbq_play_next_json, pbq_play_next_json,
                 {S0, S1, S2, Y, X, S3, S4}},
        add_case{"play_next_twice_at_last", 4, pbq_play_next_json, pbq_play_next_json,
                 {S0, S1, S2, S3, S4, Y, X}},
        add_case{"add_twice_at_first", 0, pbq_add_to_queue_json, pbq_add_to_queue_json,
                 {S0, S1, S2, S3, S4, X, Y}},
        add_case{"add_twice_at_last", 4, pbq_add_to_queue_json, pbq_add_to_queue_json,
                 {S0, S1, S2, S3, S4, X, Y}},
        add_case{"add_then_play_next", 1, pbq_add_to_queue_json, pbq_play_next_json,
                 {S0, S1, Y, S2, S3, S4, X}},
        add_case{"play_next_then_add", 3, pbq_play_next_json, pbq_add_to_queue_json,
                 {S0, S1, S2, S3, X, S4, Y}}),
    [](const auto &info) { return std::string(info.param.name); });

// A track whose stream URL is already loaded joins the queue but not the tracks,
// and the loaded record keeps its own fields.
TEST(UpNextAdd, KnownStreamUrlIsQueuedButNotAddedToTheTracks) {
  for (const add_function &f : k_add_functions) {
    SCOPED_TRACE(f.name);
    handle h = five_at(0);
    ASSERT_NE(h, nullptr);
    fixtures::handle_contents before = contents_of(h.get());
    ASSERT_EQ(f.call(h.get(), track_json("3.m4a", "again").c_str()), 0);
    ASSERT_EQ(f.call(h.get(), track_json("3.m4a", "again").c_str()), 0);
    fixtures::handle_contents after = contents_of(h.get());
    EXPECT_EQ(after.tracks, before.tracks);
    ASSERT_EQ(after.queue.size(), 7u);
    int copies = 0;
    for (const auto &entry : after.queue) {
      if (entry.stream_url == "3.m4a" && entry.title == "again") copies++;
    }
    EXPECT_EQ(copies, 2);
  }
}

// Only the stream URL is compared, byte for byte: a URL that differs in case or
// by a trailing byte is a new track.
TEST(UpNextAdd, StreamUrlsAreComparedExactly) {
  handle h = five_at(0);
  ASSERT_EQ(pbq_add_to_queue_json(h.get(), track_json("3.M4A").c_str()), 0);
  ASSERT_EQ(pbq_add_to_queue_json(h.get(), track_json("3.m4a ").c_str()), 0);
  ASSERT_EQ(pbq_add_to_queue_json(h.get(), track_json("3.m4").c_str()), 0);
  std::vector<std::string> expected = named({0, 1, 2, 3, 4});
  expected.insert(expected.end(), {"3.M4A", "3.m4a ", "3.m4"});
  EXPECT_EQ(track_urls(h.get()), expected);
}

// Without a current entry (a state the calls never leave behind on a loaded queue,
// set up here directly) the track is appended to both lists without searching the
// tracks, and current 0 names the queue's first entry, not the new one.
TEST(UpNextAdd, WithoutACurrentEntryAppendsToBothListsAndStartsAtTheFirstEntry) {
  for (const add_function &f : k_add_functions) {
    SCOPED_TRACE(f.name);
    handle h = fixtures::loaded(fixtures::k_three_tracks);
    ASSERT_NE(h, nullptr);
    h->current = -1;
    fixtures::write_marker_error();
    EXPECT_EQ(f.call(h.get(), track_json("1.m4a", "dup").c_str()), 1);
    EXPECT_EQ(queue_urls(h.get()), named({1, 2, 3, 1}));
    EXPECT_EQ(track_urls(h.get()), named({1, 2, 3, 1}));
    EXPECT_EQ(h->current, 0);
    EXPECT_EQ(error_text(), "");
  }
}

struct add_refusal {
  const char *name;
  bool null_handle;
  const char *json;
  const char *message;
};

void PrintTo(const add_refusal &c, std::ostream *os) { *os << c.name; }

class UpNextAddRefused : public testing::TestWithParam<add_refusal> {};

TEST_P(UpNextAddRefused, WritesTheMessageAndChangesNothing) {
  const add_refusal &c = GetParam();
  for (const add_function &f : k_add_functions) {
    SCOPED_TRACE(f.name);
    handle h = five_at(1);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(pbq_play_next_json(h.get(), track_json("x.m4a").c_str()), 0);
    fixtures::handle_contents before = contents_of(h.get());
    fixtures::write_marker_error();
    EXPECT_EQ(f.call(c.null_handle ? nullptr : h.get(), c.json), -1);
    EXPECT_EQ(error_text(), c.message);
    EXPECT_EQ(contents_of(h.get()), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpNextAddRefused,
    testing::Values(
        add_refusal{"null_handle", true, R"({"streamURL":"a"})", "null arg"},
        add_refusal{"null_text", false, nullptr, "null arg"},
        add_refusal{"empty_text", false, "", "invalid track json"},
        add_refusal{"unterminated", false, R"({"streamURL":"a")", "invalid track json"},
        add_refusal{"trailing_comma", false, R"({"streamURL":"a",})", "invalid track json"},
        add_refusal{"comment", false, R"({"streamURL":"a"} /* c */)", "invalid track json"},
        add_refusal{"two_documents", false, R"({"streamURL":"a"}{})", "invalid track json"},
        add_refusal{"empty_object", false, "{}", "missing streamURL"},
        add_refusal{"array", false, R"([{"streamURL":"a"}])", "missing streamURL"},
        add_refusal{"bare_string", false, R"("a.m4a")", "missing streamURL"},
        add_refusal{"number", false, "5", "missing streamURL"},
        add_refusal{"null", false, "null", "missing streamURL"},
        add_refusal{"empty_stream_url", false, R"({"streamURL":"","id":"i"})", "missing streamURL"},
        add_refusal{"no_address", false, R"({"title":"t","duration":3})", "missing streamURL"},
        add_refusal{"null_stream_url_no_id", false, R"({"streamURL":null})", "missing streamURL"},
        add_refusal{"nul_in_stream_url", false, R"({"streamURL":"a\u0000b"})",
                    "missing streamURL"}),
    [](const auto &info) { return std::string(info.param.name); });

struct edit_case {
  const char *name;
  int32_t first, second;  // offset for remove; from and to for move
  int32_t result;
  std::vector<std::string> queue;
};

void PrintTo(const edit_case &c, std::ostream *os) { *os << c.name; }

// Five tracks with current 1: up next is 2, 3, 4.
class RemoveUpNext : public testing::TestWithParam<edit_case> {};

TEST_P(RemoveUpNext, RemovesOneEntryAndKeepsTheTracks) {
  const edit_case &c = GetParam();
  handle h = five_at(1);
  ASSERT_NE(h, nullptr);
  fixtures::write_marker_error();
  fixtures::handle_contents before = contents_of(h.get());
  uint64_t capacity = h->queue.capacity;
  EXPECT_EQ(pbq_remove_up_next(h.get(), c.first), c.result);
  EXPECT_EQ(queue_urls(h.get()), c.queue);
  EXPECT_EQ(contents_of(h.get()).tracks, before.tracks);
  EXPECT_EQ(h->current, 1);
  EXPECT_EQ(h->queue.capacity, capacity);
  EXPECT_EQ(error_text(), fixtures::k_marker_error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RemoveUpNext,
    testing::Values(edit_case{"first", 0, 0, 0, named({0, 1, 3, 4})},
                    edit_case{"middle", 1, 0, 0, named({0, 1, 2, 4})},
                    edit_case{"last", 2, 0, 0, named({0, 1, 2, 3})},
                    edit_case{"equal_to_count", 3, 0, -1, named({0, 1, 2, 3, 4})},
                    edit_case{"int32_max", INT32_MAX, 0, -1, named({0, 1, 2, 3, 4})},
                    edit_case{"minus_one", -1, 0, -1, named({0, 1, 2, 3, 4})},
                    edit_case{"int32_min", INT32_MIN, 0, -1, named({0, 1, 2, 3, 4})}),
    [](const auto &info) { return std::string(info.param.name); });

class MoveUpNext : public testing::TestWithParam<edit_case> {};

TEST_P(MoveUpNext, TakesOutAndPutsBack) {
  const edit_case &c = GetParam();
  handle h = five_at(1);
  ASSERT_NE(h, nullptr);
  fixtures::write_marker_error();
  fixtures::handle_contents before = contents_of(h.get());
  EXPECT_EQ(pbq_move_up_next(h.get(), c.first, c.second), c.result);
  EXPECT_EQ(queue_urls(h.get()), c.queue);
  fixtures::handle_contents after = contents_of(h.get());
  EXPECT_EQ(after.tracks, before.tracks);
  EXPECT_EQ(h->current, 1);
  EXPECT_EQ(error_text(), fixtures::k_marker_error);
  // Records move whole: every entry keeps its own fields.
  for (const auto &entry : after.queue) {
    EXPECT_EQ(entry.title, std::string("T").append(entry.stream_url, 0, 1));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MoveUpNext,
    testing::Values(edit_case{"first_to_last", 0, 2, 0, named({0, 1, 3, 4, 2})},
                    edit_case{"last_to_first", 2, 0, 0, named({0, 1, 4, 2, 3})},
                    edit_case{"down_one", 0, 1, 0, named({0, 1, 3, 2, 4})},
                    edit_case{"up_one", 2, 1, 0, named({0, 1, 2, 4, 3})},
                    edit_case{"same_place", 1, 1, 0, named({0, 1, 2, 3, 4})},
                    edit_case{"to_equal_to_count", 0, 3, -1, named({0, 1, 2, 3, 4})},
                    edit_case{"from_equal_to_count", 3, 0, -1, named({0, 1, 2, 3, 4})},
                    edit_case{"both_equal_to_count", 3, 3, -1, named({0, 1, 2, 3, 4})},
                    edit_case{"from_negative", -1, 0, -1, named({0, 1, 2, 3, 4})},
                    edit_case{"to_negative", 0, -1, -1, named({0, 1, 2, 3, 4})},
                    edit_case{"from_int32_max", INT32_MAX, 0, -1, named({0, 1, 2, 3, 4})},
                    edit_case{"to_int32_max", 0, INT32_MAX, -1, named({0, 1, 2, 3, 4})},
                    edit_case{"to_int32_min", 0, INT32_MIN, -1, named({0, 1, 2, 3, 4})}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(UpNextEdit, ClearDropsEverythingAfterTheCurrentEntry) {
  handle h = fixtures::loaded(fixtures::numbered_tracks(4).c_str(), 1);
  ASSERT_NE(h, nullptr);
  fixtures::write_marker_error();
  fixtures::handle_contents before = contents_of(h.get());
  uint64_t capacity = h->queue.capacity;
  EXPECT_EQ(pbq_clear_up_next(h.get()), 0);
  EXPECT_EQ(queue_urls(h.get()), named({0, 1}));
  EXPECT_EQ(h->queue.count, 2u);
  EXPECT_EQ(h->queue.capacity, capacity);
  EXPECT_EQ(h->current, 1);
  EXPECT_EQ(contents_of(h.get()).tracks, before.tracks);
  EXPECT_EQ(error_text(), fixtures::k_marker_error);

  // Nothing is left up next: a second clear changes nothing.
  before = contents_of(h.get());
  EXPECT_EQ(pbq_clear_up_next(h.get()), 0);
  EXPECT_EQ(contents_of(h.get()), before);
}

// With the current entry last there is nothing up next: remove and move refuse
// every index, clear changes nothing.
TEST(UpNextEdit, NothingUpNextAtTheLastEntry) {
  handle h = five_at(4);
  ASSERT_NE(h, nullptr);
  fixtures::handle_contents before = contents_of(h.get());
  fixtures::write_marker_error();
  EXPECT_EQ(pbq_remove_up_next(h.get(), 0), -1);
  EXPECT_EQ(pbq_move_up_next(h.get(), 0, 0), -1);
  EXPECT_EQ(pbq_move_up_next(h.get(), 0, 1), -1);
  EXPECT_EQ(pbq_clear_up_next(h.get()), 0);
  EXPECT_EQ(contents_of(h.get()), before);
  EXPECT_EQ(error_text(), fixtures::k_marker_error);
}

TEST(UpNextEdit, EmptyQueueAndNullHandle) {
  handle h = fixtures::make_handle();
  fixtures::write_marker_error();
  EXPECT_EQ(pbq_remove_up_next(h.get(), 0), -1);
  EXPECT_EQ(pbq_move_up_next(h.get(), 0, 0), -1);
  EXPECT_EQ(pbq_clear_up_next(h.get()), 0);
  EXPECT_EQ(pbq_remove_up_next(nullptr, 0), -1);
  EXPECT_EQ(pbq_move_up_next(nullptr, 0, 1), -1);
  EXPECT_EQ(pbq_clear_up_next(nullptr), 0);
  EXPECT_EQ(h->queue.count, 0u);
  EXPECT_EQ(h->current, -1);
  EXPECT_EQ(error_text(), fixtures::k_marker_error);
}

// A `current` that is negative or past the end (set directly; the calls never leave
// one behind on a non-empty queue) means nothing is up next. current + 1 + offset is
// formed in 64 bits, so INT32_MAX plus INT32_MAX does not wrap onto an entry.
TEST(UpNextEdit, CurrentOutsideTheQueueLeavesNothingToEdit) {
  for (int32_t current : {-1, -2, INT32_MIN, 5, 6, INT32_MAX - 1, INT32_MAX}) {
    SCOPED_TRACE(current);
    handle h = five_at(0);
    ASSERT_NE(h, nullptr);
    h->current = current;
    fixtures::handle_contents before = contents_of(h.get());
    for (int32_t offset : {0, 1, INT32_MAX}) {
      EXPECT_EQ(pbq_remove_up_next(h.get(), offset), -1);
      EXPECT_EQ(pbq_move_up_next(h.get(), offset, 0), -1);
      EXPECT_EQ(pbq_move_up_next(h.get(), 0, offset), -1);
    }
    EXPECT_EQ(pbq_clear_up_next(h.get()), 0);
    EXPECT_EQ(contents_of(h.get()), before);
  }
}

// Removed, moved and cleared entries stay in the tracks, so turning shuffle off
// brings them back in source order, with the added tracks after them.
TEST(UpNextEdit, ShuffleOffRestoresWhatEditsTookAway) {
  handle h = five_at(1);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(pbq_add_to_queue_json(h.get(), track_json("x.m4a").c_str()), 0);
  ASSERT_EQ(pbq_play_next_json(h.get(), track_json("y.m4a").c_str()), 0);
  ASSERT_EQ(pbq_remove_up_next(h.get(), 1), 0);
  ASSERT_EQ(pbq_move_up_next(h.get(), 0, 2), 0);
  ASSERT_EQ(pbq_clear_up_next(h.get()), 0);
  EXPECT_EQ(queue_urls(h.get()), named({0, 1}));
  ASSERT_EQ(pbq_set_shuffle(h.get(), 0, 0), 0);
  std::vector<std::string> expected = named({0, 1, 2, 3, 4});
  expected.insert(expected.end(), {"x.m4a", "y.m4a"});
  EXPECT_EQ(queue_urls(h.get()), expected);
  EXPECT_EQ(h->current, 1);
}

// A walk of calls in a fixed pseudo-random order: after every call `current` is -1
// with an empty queue or names an entry, and every queue entry is a loaded track.
TEST(UpNextEdit, EveryCallKeepsCurrentValidAndTheQueueWithinTheTracks) {
  handle h = fixtures::make_handle();
  uint64_t state = 0x243F6A8885A308D3ULL;
  auto draw = [&state](uint64_t n) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int32_t>((state >> 33) % n);
  };
  for (int step = 0; step < 3000; step++) {
    int32_t a = draw(9) - 2, b = draw(9) - 2;
    std::string url = std::to_string(draw(12)) + ".m4a";
    switch (draw(14)) {
      case 0: pbq_set_tracks_json(h.get(), fixtures::k_five_tracks, a, static_cast<uint64_t>(b)); break;
      case 1: pbq_set_tracks_json(h.get(), draw(4) == 0 ? "[]" : fixtures::k_three_tracks, a, 3); break;
      case 2: pbq_play_next_json(h.get(), track_json(url.c_str()).c_str()); break;
      case 3: pbq_add_to_queue_json(h.get(), track_json(url.c_str()).c_str()); break;
      case 4: pbq_remove_up_next(h.get(), a); break;
      case 5: pbq_move_up_next(h.get(), a, b); break;
      case 6: pbq_clear_up_next(h.get()); break;
      case 7: pbq_set_shuffle(h.get(), draw(2), static_cast<uint64_t>(step)); break;
      case 8: pbq_next(h.get()); break;
      case 9: pbq_previous(h.get(), a); break;
      case 10: pbq_on_track_ended(h.get()); break;
      case 11: pbq_jump(h.get(), a); break;
      case 12: pbq_set_repeat(h.get(), draw(3)); break;
      default: pbq_set_sleep_timer(h.get(), 2, 0, 0); break;
    }
    SCOPED_TRACE(step);
    if (h->queue.count == 0) {
      ASSERT_EQ(h->current, -1);
    } else {
      ASSERT_GE(h->current, 0);
      ASSERT_LT(static_cast<uint64_t>(h->current), h->queue.count);
    }
    std::vector<std::string> tracks = track_urls(h.get());
    std::set<std::string> loaded(tracks.begin(), tracks.end());
    for (const std::string &entry : queue_urls(h.get())) ASSERT_TRUE(loaded.count(entry)) << entry;
  }
}

}  // namespace
