// Every allocating call, made to fail at its 1st, 2nd, 3rd ... allocation until it
// succeeds: each failure must give the call's failure value, the error text it
// promises, an unchanged handle and no leaked block.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "failing_alloc.h"
#include "fixtures.h"
#include "store_check.h"

namespace {

using fixtures::handle;

// A list of n tracks with artwork, so every record owns four strings.
std::string tracks_json(int n, const char *extra = "") {
  std::string out = "[";
  for (int i = 0; i < n; i++) {
    if (i > 0) out += ",";
    out += R"({"streamURL":"s/)" + std::to_string(i) + R"(.m4a","title":"T","artist":"A",)"
           R"("artworkURL":"art/)" + std::to_string(i) + R"(.jpg","duration":)" + std::to_string(i + 1) + "}";
  }
  out += extra;
  return out + "]";
}

// Rejected elements, an "id" track and a duplicate stream URL among usable ones.
const std::string k_mixed_tracks =
    R"([5,{"title":"no address"},{"id":"id/1.m4a","title":"by id"},{"streamURL":""},)"
    R"({"streamURL":"s/0.m4a","artworkURL":"a.jpg"},{"streamURL":"s/0.m4a"},"x",{"streamURL":"s/9.m4a"}])";

const char *const k_new_track = R"({"streamURL":"new.m4a","title":"N","artist":"M","artworkURL":"n.jpg","duration":3})";
const char *const k_known_track = R"({"streamURL":"s/1.m4a","title":"again"})";

handle empty_handle() { return fixtures::make_handle(); }
handle loaded_with(const std::string &json, int32_t start, bool shuffle) {
  return fixtures::loaded(json.c_str(), start, shuffle, 7);
}

// The heap blocks a handle owns: itself, its pool, its loaded text, the strings of
// each added track, its two lists and its index.
int64_t blocks_held(const pbq_queue *q) {
  int64_t blocks = 1 + (q->store.recs != nullptr) + (q->store.text != nullptr) + (q->tracks.ids != nullptr) +
                   (q->queue.ids != nullptr) + (q->index.slots != nullptr);
  for (uint64_t i = 0; i < q->store.count; i++) blocks += (q->store.recs[i].flags & rec_owns_strings) != 0;
  return blocks;
}

// Everything a host can observe of a handle, for the unchanged check.
struct snapshot {
  std::string state, resume;
  std::vector<std::string> tracks;
  bool operator==(const snapshot &) const = default;
};

snapshot take(const pbq_queue *q) {
  return {fixtures::state_text(q), fixtures::resume_text(q, 1.0), fixtures::track_urls(q)};
}

// Only the lists and the current entry: a restore keeps the settings it applied.
snapshot take_lists(const pbq_queue *q) {
  return {std::to_string(q->current), "", fixtures::track_urls(q)};
}

// untouched_or_loading: the restore writes nothing itself, but its loading step
// reports "out of memory" when that is where memory ran out.
enum class failure_text { out_of_memory, untouched, untouched_or_loading };

struct scenario {
  const char *name;
  std::function<handle()> setup;
  std::function<int64_t(pbq_queue *)> call;  // the call's result; documents give 0/-1
  int64_t failure;
  failure_text text;
  bool keeps_settings_only = false;  // restore: compare lists, not settings
};

// Documents as results: -1 for null, 0 for a text (freed here, after the leak check).
std::function<int64_t(pbq_queue *)> state_call() {
  return [](pbq_queue *q) -> int64_t {
    char *text = pbq_state_json(q);
    if (text == nullptr) return -1;
    pbq_free(text);
    return 0;
  };
}

std::function<int64_t(pbq_queue *)> export_call() {
  return [](pbq_queue *q) -> int64_t {
    char *text = pbq_export_resume_json(q, 83.5);
    if (text == nullptr) return -1;
    pbq_free(text);
    return 0;
  };
}

std::vector<scenario> scenarios() {
  const std::string three = tracks_json(3), sixteen = tracks_json(16), seventeen = tracks_json(17),
                    thirty_two = tracks_json(32), thirty_three = tracks_json(33), forty = tracks_json(40);
  auto load = [](std::string json, int32_t start) {
    return [json, start](pbq_queue *q) -> int64_t { return pbq_set_tracks_json(q, json.c_str(), start, 99); };
  };
  auto play_next = [](const char *json) {
    return [json](pbq_queue *q) -> int64_t { return pbq_play_next_json(q, json); };
  };
  auto add = [](const char *json) {
    return [json](pbq_queue *q) -> int64_t { return pbq_add_to_queue_json(q, json); };
  };
  auto shuffle_off = [](pbq_queue *q) -> int64_t { return pbq_set_shuffle(q, 0, 0); };
  // The layout a long queue's first document after a shuffle makes: it does without
  // when memory runs out (called here on a short queue, which a document leaves as is).
  auto lay_out = [](pbq_queue *q) -> int64_t {
    lay_out_in_play_order(q);
    return 0;
  };
  auto restore = [](std::string resume, std::string json) {
    return [resume, json](pbq_queue *q) -> int64_t {
      double position = -7.0;
      int32_t r = pbq_restore_resume_json(q, resume.c_str(), json.c_str(), &position);
      // A failed restore never writes the position.
      if (r == -1 && position != -7.0) return -99;
      return r;
    };
  };
  const std::string resume_second =
      R"({"lastTrackURL":"s/1.m4a","lastTrackTime":83.5,"repeatMode":1,"isShuffled":false,"playbackRate":1.5})";
  const std::string resume_shuffled =
      R"({"lastTrackURL":"s/2.m4a","lastTrackTime":12,"repeatMode":2,"isShuffled":true,"playbackRate":0.75})";
  const std::string resume_by_id = R"({"lastTrackURL":"id/1.m4a","isShuffled":false})";
  auto oom = failure_text::out_of_memory;
  auto none = failure_text::untouched;
  auto by_loading = failure_text::untouched_or_loading;

  return {
      {"load 3 into empty", empty_handle, load(three, 1), -1, oom},
      {"load 17 (growth at 16) over a loaded handle", [=] { return loaded_with(three, 2, false); }, load(seventeen, 5), -1, oom},
      {"load 33 with shuffle on", [=] { return loaded_with(three, 0, true); }, load(thirty_three, 4), -1, oom},
      {"load mixed elements", [=] { return loaded_with(sixteen, 3, false); }, load(k_mixed_tracks, 2), -1, oom},
      {"load mixed elements, shuffle on", [=] { return loaded_with(three, 1, true); }, load(k_mixed_tracks, 1), -1, oom},
      {"play next into empty", empty_handle, play_next(k_new_track), -1, oom},
      {"play next, lists at capacity 16", [=] { return loaded_with(sixteen, 3, false); }, play_next(k_new_track), -1, oom},
      {"play next, known stream URL", [=] { return loaded_with(three, 0, false); }, play_next(k_known_track), -1, oom},
      {"play next, shuffle on", [=] { return loaded_with(seventeen, 5, true); }, play_next(k_new_track), -1, oom},
      {"play next, the URL index grows", [=] {
         handle h = loaded_with(thirty_two, 0, false);
         pbq_add_to_queue_json(h.get(), k_known_track);  // builds the index for 32 tracks
         return h;
       }, play_next(k_new_track), -1, oom},
      {"add to queue into empty", empty_handle, add(k_new_track), -1, oom},
      {"add to queue, lists at capacity 16", [=] { return loaded_with(sixteen, 15, false); }, add(k_new_track), -1, oom},
      {"add to queue, known stream URL", [=] { return loaded_with(three, 2, false); }, add(k_known_track), -1, oom},
      {"shuffle off after shuffle on", [=] { return loaded_with(seventeen, 6, true); }, shuffle_off, -1, oom},
      {"shuffle off, duplicate stream URLs", [=] { return loaded_with(k_mixed_tracks, 1, true); }, shuffle_off, -1, oom},
      {"shuffle off while off", [=] { return loaded_with(three, 1, false); }, shuffle_off, -1, oom},
      {"layout after shuffle on with added tracks", [=] {
         handle h = loaded_with(forty, 3, false);
         pbq_play_next_json(h.get(), k_new_track);
         pbq_add_to_queue_json(h.get(), k_known_track);
         pbq_set_shuffle(h.get(), 1, 5);
         return h;
       }, lay_out, -1, oom},
      {"state of an empty handle", empty_handle, state_call(), -1, none},
      {"state of 40 entries", [=] { return loaded_with(forty, 20, false); }, state_call(), -1, none},
      {"state with shuffle on and artwork-less tracks", [=] { return loaded_with(k_mixed_tracks, 1, true); }, state_call(), -1, none},
      {"export of an empty handle", empty_handle, export_call(), -1, none},
      {"export of a loaded handle", [=] { return loaded_with(three, 1, false); }, export_call(), -1, none},
      {"restore into an empty handle", empty_handle, restore(resume_second, three), -1, by_loading, true},
      {"restore with shuffle on", [=] { return loaded_with(sixteen, 2, false); }, restore(resume_shuffled, seventeen), -1, by_loading, true},
      {"restore an id track among rejected ones", empty_handle, restore(resume_by_id, k_mixed_tracks), -1, by_loading, true},
  };
}

class OutOfMemory : public ::testing::TestWithParam<failing_alloc::mode> {
 protected:
  void SetUp() override {
    // The first use of the error text on a thread allocates its buffer; do it now.
    pbq_jump(nullptr, 0);
  }
};

TEST_P(OutOfMemory, EveryFailureLeavesTheHandleAsItWasAndLeaksNothing) {
  const failing_alloc::mode m = GetParam();
  uint64_t total_failures = 0;
  for (const scenario &s : scenarios()) {
    SCOPED_TRACE(s.name);
    // What the call does when memory is plenty: a failure it can do without (giving
    // back a list's slack) must lead to exactly this.
    snapshot reference;
    int64_t reference_result;
    {
      handle h = s.setup();
      ASSERT_NE(h, nullptr);
      reference_result = s.call(h.get());
      reference = take(h.get());
    }
    uint64_t failures = 0;
    bool succeeded = false;
    for (uint64_t n = 1; n < 100000 && !succeeded; n++) {
      handle h = s.setup();
      ASSERT_NE(h, nullptr);
      const snapshot before = s.keeps_settings_only ? take_lists(h.get()) : take(h.get());
      const int64_t held_before = blocks_held(h.get());
      pbq_jump(nullptr, 0);  // a known message, to see whether the call writes one
      const int64_t live_before = failing_alloc::live_blocks();
      failing_alloc::arm(n, m);
      const int64_t result = s.call(h.get());
      const bool injected = failing_alloc::disarm();
      // Storage a failed call made and kept (a list's growth, the URL index) is the
      // handle's, not a leak.
      const int64_t kept_storage = blocks_held(h.get()) - held_before;
      const int64_t leaked = failing_alloc::live_blocks() - live_before - kept_storage;
      EXPECT_EQ(store_check::fault(h.get()), nullptr);
      if (!injected) {
        succeeded = true;
        EXPECT_NE(result, s.failure) << "succeeded after " << n - 1 << " failures";
        break;
      }
      failures++;
      SCOPED_TRACE("allocation " + std::to_string(n));
      EXPECT_EQ(leaked, 0);
      if (result != s.failure) {
        // Only an allocation the call could do without: the outcome is the plenty one.
        EXPECT_EQ(result, reference_result);
        EXPECT_EQ(take(h.get()), reference);
        if (testing::Test::HasFailure()) return;
        continue;
      }
      const std::string text = pbq_last_error();
      switch (s.text) {
        case failure_text::out_of_memory: EXPECT_EQ(text, "out of memory"); break;
        case failure_text::untouched: EXPECT_EQ(text, "jump index out of range"); break;
        case failure_text::untouched_or_loading:
          EXPECT_TRUE(text == "jump index out of range" || text == "out of memory") << text;
          break;
      }
      const snapshot after = s.keeps_settings_only ? take_lists(h.get()) : take(h.get());
      EXPECT_EQ(after, before);
      // Still usable: the next call works as on any handle.
      EXPECT_NE(fixtures::state_text(h.get()), "(null)");
      if (testing::Test::HasFailure()) return;
    }
    EXPECT_TRUE(succeeded);
    EXPECT_GT(failures, 0u) << "the call allocated nothing";
    total_failures += failures;
  }
  RecordProperty("allocations_failed", std::to_string(total_failures));
  printf("allocations failed in this mode: %llu\n", static_cast<unsigned long long>(total_failures));
}

INSTANTIATE_TEST_SUITE_P(Modes, OutOfMemory,
                         ::testing::Values(failing_alloc::mode::only_nth, failing_alloc::mode::nth_and_later),
                         [](const auto &info) {
                           return info.param == failing_alloc::mode::only_nth ? std::string("OnlyNth")
                                                                              : std::string("NthAndLater");
                         });

// Calls whose handle is their own: creation and the self-test.
TEST(OutOfMemoryFrame, CreateAndSelfTestFailCleanly) {
  pbq_jump(nullptr, 0);
  for (auto m : {failing_alloc::mode::only_nth, failing_alloc::mode::nth_and_later}) {
    const int64_t before_create = failing_alloc::live_blocks();
    failing_alloc::arm(1, m);
    pbq_queue *q = pbq_create();
    failing_alloc::disarm();
    EXPECT_EQ(q, nullptr);
    EXPECT_EQ(failing_alloc::live_blocks(), before_create);
    EXPECT_STREQ(pbq_last_error(), "out of memory");

    bool succeeded = false;
    for (uint64_t n = 1; n < 10000 && !succeeded; n++) {
      const int64_t live_before = failing_alloc::live_blocks();
      failing_alloc::arm(n, m);
      const int32_t result = pbq_selftest();
      const bool injected = failing_alloc::disarm();
      EXPECT_EQ(failing_alloc::live_blocks(), live_before) << "allocation " << n;
      if (!injected) {
        EXPECT_EQ(result, 0);
        succeeded = true;
      } else {
        // Creation, loading or the rebuild when shuffle goes off; or an allocation
        // the script could do without.
        EXPECT_TRUE(result == 0 || result == 1 || result == 2 || result == 7) << result;
        if (result != 0) {
          EXPECT_STREQ(pbq_last_error(), "out of memory");
        }
      }
    }
    EXPECT_TRUE(succeeded);
  }
}

// Compaction is best effort: when its memory cannot be had the remove still happens
// and the pool stays as it was, consistent and leak-free.
TEST(OutOfMemoryModel, CompactionGivesWayQuietly) {
  for (auto m : {failing_alloc::mode::only_nth, failing_alloc::mode::nth_and_later}) {
    for (uint64_t n = 1; n <= 3; n++) {
      handle h = fixtures::loaded(tracks_json(2).c_str(), 0);
      for (int i = 0; i < 41; i++) ASSERT_EQ(pbq_play_next_json(h.get(), k_known_track), 0);
      // 41 queue-only copies: after 21 removals the 22nd leaves more dead than live.
      for (int i = 0; i < 21; i++) ASSERT_EQ(pbq_remove_up_next(h.get(), 0), 0);
      ASSERT_EQ(h->store.dead, 21u);
      std::vector<std::string> expected = fixtures::queue_urls(h.get());
      expected.erase(expected.begin() + 1);
      const int64_t live_before = failing_alloc::live_blocks();
      failing_alloc::arm(n, m);
      const int32_t r = pbq_remove_up_next(h.get(), 0);
      const bool injected = failing_alloc::disarm();
      EXPECT_EQ(r, 0);
      EXPECT_EQ(fixtures::queue_urls(h.get()), expected);
      if (injected) {
        EXPECT_EQ(h->store.dead, 22u) << "allocation " << n;
        EXPECT_EQ(failing_alloc::live_blocks(), live_before - 1);  // the removed track's strings
      } else {
        EXPECT_EQ(h->store.dead, 0u);
        EXPECT_EQ(h->store.count, 21u);
      }
    }
  }
}

// With the stored bound short the state document grows its block as it writes; when
// that memory cannot be had the call answers null and frees what it had.
TEST(OutOfMemoryModel, StateDocumentGrowthFailsCleanly) {
  handle h = fixtures::loaded(fixtures::k_five_tracks, 1);
  char *whole = pbq_state_json(h.get());
  ASSERT_NE(whole, nullptr);
  const std::string expected = whole;
  pbq_free(whole);
  const uint64_t true_bound = h->store.live_text_bound;
  h->store.live_text_bound = 0;
  for (auto m : {failing_alloc::mode::only_nth, failing_alloc::mode::nth_and_later}) {
    bool whole_text_seen = false;
    for (uint64_t n = 1; n < 100 && !whole_text_seen; n++) {
      const int64_t live_before = failing_alloc::live_blocks();
      failing_alloc::arm(n, m);
      char *text = pbq_state_json(h.get());
      const bool injected = failing_alloc::disarm();
      if (text != nullptr) {
        EXPECT_EQ(std::string(text), expected) << "allocation " << n;
        pbq_free(text);
      }
      EXPECT_EQ(failing_alloc::live_blocks(), live_before) << "allocation " << n;
      whole_text_seen = !injected;
    }
    EXPECT_TRUE(whole_text_seen);
  }
  h->store.live_text_bound = true_bound;
}

// The reader only points into the parsed document: it cannot run out of memory.
TEST(OutOfMemoryModel, ReaderAllocatesNothing) {
  const char *json = R"({"streamURL":"u","title":"t","artist":"a","artworkURL":"art"})";
  yyjson_doc *doc = yyjson_read(json, strlen(json), 0);
  track_rec out{};
  failing_alloc::arm(1, failing_alloc::mode::nth_and_later);
  const read_result r = parse_track_val(yyjson_doc_get_root(doc), &out);
  EXPECT_FALSE(failing_alloc::disarm());
  EXPECT_EQ(r, read_ok);
  yyjson_doc_free(doc);
}

// The lists' and the pool's growth: a failure leaves each exactly as it was.
TEST(OutOfMemoryModel, GrowthLeavesListsIntact) {
  id_list list{};
  ASSERT_EQ(id_list_reserve(&list, 16), 0);
  failing_alloc::arm(1, failing_alloc::mode::only_nth);
  EXPECT_EQ(id_list_reserve(&list, 17), -1);
  failing_alloc::disarm();
  EXPECT_EQ(list.capacity, 16u);
  id_list_free(&list);

  track_store store{};
  failing_alloc::arm(1, failing_alloc::mode::only_nth);
  EXPECT_EQ(store_reserve(&store, 1), -1);
  failing_alloc::disarm();
  EXPECT_EQ(store.recs, nullptr);
  EXPECT_EQ(store.capacity, 0u);

  track_rec rec{"u", "t", "a", nullptr, 1, 1, 1, 0, 2.0, 0, 0};
  failing_alloc::arm(1, failing_alloc::mode::only_nth);
  EXPECT_EQ(own_strings(&rec), -1);
  failing_alloc::disarm();
  EXPECT_STREQ(rec.stream_url, "u");
  EXPECT_EQ(rec.flags & rec_owns_strings, 0u);
}

}  // namespace
