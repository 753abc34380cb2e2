// The library against the reference model: first the model against a few values
// that are pinned by the contract, so that the two cannot be wrong together; then
// call programs written for the paths that matter, and random programs from fixed
// seeds, each compared call by call.
#include <gtest/gtest.h>
// valgrind's header where the target has it (MinGW has none): no valgrind there.
#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

#include <cstdlib>
#include <string>
#include <vector>

#include "pbq.h"
#include "program.h"
#include "reference.h"

namespace {

std::vector<model::track> named(int n) {
  std::vector<model::track> items;
  for (int i = 0; i < n; i++) items.push_back({std::to_string(i), "", "", std::nullopt, 0.0});
  return items;
}

std::string order(const std::vector<model::track> &items) {
  std::string s;
  for (const model::track &t : items) s += t.url;
  return s;
}

TEST(Model, ShuffleReproducesThePinnedOrders) {
  struct row {
    int n;
    size_t lo;
    uint64_t seed;
    const char *expected;
  };
  const row rows[] = {{5, 1, 12345, "03241"}, {5, 0, 12345, "32014"}, {5, 1, 0, "02413"}, {5, 0, 0, "12304"},
                      {5, 1, 42, "03142"},    {3, 1, 12345, "021"},   {3, 1, 99, "012"},   {2, 0, 12345, "10"},
                      {5, 0, 0x5C029101A2B3C4D5ull, "12304"}};
  for (const row &r : rows) {
    std::vector<model::track> items = named(r.n);
    model::shuffle(items, r.lo, items.size(), r.seed);
    EXPECT_EQ(order(items), r.expected) << r.n << " " << r.lo << " " << r.seed;
  }
}

TEST(Model, DocumentsMatchTheWorkedExamples) {
  model::world w;
  model::queue q;
  EXPECT_EQ(model::state_json(&q),
            R"({"currentIndex":-1,"queueCount":0,"upNextCount":0,"repeatMode":0,"isShuffled":false,"playbackRate":1.0,)"
            R"("sleepMode":0,"hasNext":false,"hasPrevious":false,"currentTrack":null,"queue":[]})");
  ASSERT_EQ(w.set_tracks(&q,
                         R"([{"streamURL":"1.m4a","title":"T1","duration":100},{"streamURL":"2.m4a","title":"T2","duration":200},)"
                         R"({"streamURL":"3.m4a","title":"T3","duration":300}])",
                         1, 0),
            PBQ_OK);
  EXPECT_EQ(model::state_json(&q),
            R"({"currentIndex":1,"queueCount":3,"upNextCount":1,"repeatMode":0,"isShuffled":false,"playbackRate":1.0,)"
            R"("sleepMode":0,"hasNext":true,"hasPrevious":true,)"
            R"("currentTrack":{"streamURL":"2.m4a","title":"T2","artist":"","artworkURL":null,"duration":200.0},)"
            R"("queue":[{"streamURL":"1.m4a","title":"T1","artist":"","artworkURL":null,"duration":100.0},)"
            R"({"streamURL":"2.m4a","title":"T2","artist":"","artworkURL":null,"duration":200.0},)"
            R"({"streamURL":"3.m4a","title":"T3","artist":"","artworkURL":null,"duration":300.0}]})");
  w.set_repeat(&q, PBQ_REPEAT_ALL);
  w.set_rate(&q, 1.5f);
  EXPECT_EQ(model::resume_json(&q, 83.5),
            R"({"lastTrackURL":"2.m4a","lastTrackTime":83.5,"repeatMode":1,"isShuffled":false,"playbackRate":1.5})");
  EXPECT_EQ(w.selftest(), PBQ_SELFTEST_PASSED);
}

// Programs aimed at the rules a wrong implementation is most likely to bend: the
// fields of each track, seeded orders, the last element of a list, the first of two
// equal addresses, and the error text's life.
TEST(Model, WrittenPrograms) {
  using model::call;
  using model::op;
  const char *const dup = R"([{"streamURL":"a","title":"A1"},{"streamURL":"b","title":"B1","artist":"x"},)"
                          R"({"streamURL":"a","title":"A2"},{"id":"c","artworkURL":"c.jpg","duration":1e-7}])";
  struct named_program {
    const char *name;
    model::program calls;
  };
  const named_program programs[] = {
      {"fields of every track",
       {{.kind = op::set_tracks, .a = 2,
         .text = R"([{"streamURL":"s","title":"t\"1","artist":"日本","artworkURL":"p\/q","duration":215.5},7,)"
                 R"({"id":"i","duration":1e21}])"},
        {.kind = op::state}}},
      {"seeded shuffles",
       {{.kind = op::set_tracks, .text = dup},
        {.kind = op::set_shuffle, .a = 1, .seed = 12345},
        {.kind = op::set_shuffle, .a = 1, .seed = 99},
        {.kind = op::set_shuffle, .a = 0},
        {.kind = op::set_shuffle, .a = 1, .seed = 0},
        {.kind = op::set_tracks, .a = 3, .seed = 77, .text = dup}}},
      {"restore takes the first of two equal addresses",
       {{.kind = op::restore, .text = R"({"lastTrackURL":"a","lastTrackTime":9})", .text2 = dup},
        {.kind = op::next},
        {.kind = op::restore, .slot = 1, .text = R"({"lastTrackURL":"c","isShuffled":true,"repeatMode":2})",
         .text2 = dup}}},
      {"up next and the loaded tracks",
       {{.kind = op::set_tracks, .a = 1, .text = dup},
        {.kind = op::play_next, .text = R"({"streamURL":"b","title":"other"})"},
        {.kind = op::add_to_queue, .text = R"({"streamURL":"z"})"},
        {.kind = op::move_up_next, .a = 0, .b = 2},
        {.kind = op::remove_up_next, .a = 1},
        {.kind = op::set_shuffle, .a = 0},
        {.kind = op::clear_up_next}}},
      {"error text across calls and handles",
       {{.kind = op::set_tracks, .text = "{}"},
        {.kind = op::jump, .slot = 1},
        {.kind = op::set_tracks, .slot = 1, .null_text = true},
        {.kind = op::play_next, .text = "[]"},
        {.kind = op::add_to_queue, .slot = model::k_null_slot, .text = "{}"},
        {.kind = op::selftest}}},
  };
  for (const named_program &p : programs) {
    EXPECT_EQ(model::compare(p.calls), "") << p.name;
  }
}

// Random programs from fixed seeds: the same ones on every run. Fewer under valgrind,
// which runs every test executable and is two orders of magnitude slower, and under
// an emulator (PBQ_TEST_EMULATED, set by the cross builds), where the identity test
// runs a hundred more of them.
TEST(Model, RandomPrograms) {
  const uint64_t programs = RUNNING_ON_VALGRIND ? 100 : getenv("PBQ_TEST_EMULATED") != nullptr ? 400 : 1500;
  for (uint64_t seed = 1; seed <= programs; seed++) {
    std::string mismatch = model::compare(model::random_program(seed, 150));
    ASSERT_EQ(mismatch, "") << "seed " << seed;
  }
}

}  // namespace
