// Scale smoke: every call family on a queue of 100k-200k tracks, through the public
// interface, against limits of CPU time that a linear cost never comes near on any
// machine (today's figures are 15 to 1000 times below them) and a quadratic one
// exceeds. Each loop gives up as soon as its limit is spent, so a failure is quick.
// CPU time of this thread, not wall time, so that other processes on the machine do
// not count.
#include <gtest/gtest.h>
// valgrind's header where the target has it (MinGW has none): no valgrind there.
#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

#include "pbq.h"

namespace {

constexpr int k_tracks = 200000;
constexpr int k_calls = 100000;
constexpr double k_limit_seconds = 60.0;

double cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::string track_json(const char *kind, int i) {
  char buffer[320];
  snprintf(buffer, sizeof buffer,
           "{\"streamURL\":\"https://media.example/%s/track-%07d.m4a\",\"title\":\"A typical track title %07d\","
           "\"artist\":\"Some Artist Name\",\"artworkURL\":\"https://media.example/art/album-%06d.jpg\","
           "\"duration\":%d.5}",
           kind, i, i, i / 12, 120 + i % 300);
  return buffer;
}

const std::string &big_list() {
  static const std::string text = [] {
    std::string s = "[";
    for (int i = 0; i < k_tracks; i++) {
      if (i > 0) s += ",";
      s += track_json("music", i);
    }
    return s + "]";
  }();
  return text;
}

struct handle {
  pbq_queue *q = pbq_create();
  ~handle() { pbq_destroy(q); }
};

// Runs `step` `times` times, or until the limit is spent; returns the CPU seconds.
double timed(int times, const std::function<void(int)> &step) {
  double start = cpu_seconds();
  for (int i = 0; i < times; i++) {
    step(i);
    if ((i & 255) == 255 && cpu_seconds() - start > k_limit_seconds) {
      ADD_FAILURE() << "gave up after " << i + 1 << " of " << times << " calls";
      break;
    }
  }
  return cpu_seconds() - start;
}

class Scale : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RUNNING_ON_VALGRIND) GTEST_SKIP() << "meaningless under valgrind";
    ASSERT_EQ(pbq_set_tracks_json(h.q, big_list().c_str(), k_tracks / 2, 7), PBQ_OK);
  }
  handle h;
};

TEST_F(Scale, LoadsShuffleTogglesAndDocuments) {
  struct row {
    const char *name;
    int times;
    std::function<void(int)> step;
  };
  const row rows[] = {
      {"reload, shuffle off", 3, [&](int) { ASSERT_EQ(pbq_set_tracks_json(h.q, big_list().c_str(), 5, 7), PBQ_OK); }},
      {"shuffle on and off", 3,
       [&](int i) {
         ASSERT_EQ(pbq_set_shuffle(h.q, 1, static_cast<uint64_t>(i) + 1), PBQ_OK);
         ASSERT_EQ(pbq_set_shuffle(h.q, 0, 0), PBQ_OK);
       }},
      {"reload, shuffle on", 3,
       [&](int i) {
         pbq_set_shuffle(h.q, 1, 0);
         ASSERT_EQ(pbq_set_tracks_json(h.q, big_list().c_str(), i, 7), PBQ_OK);
       }},
      {"state document, shuffled", 3, [&](int) { pbq_free(pbq_state_json(h.q)); }},
      {"resume export and restore", 3,
       [&](int) {
         char *resume = pbq_export_resume_json(h.q, 12.0);
         ASSERT_EQ(pbq_restore_resume_json(h.q, resume, big_list().c_str(), nullptr), PBQ_RESTORE_RESUMED);
         pbq_free(resume);
       }},
  };
  for (const row &r : rows) {
    double seconds = timed(r.times, r.step);
    EXPECT_LT(seconds, k_limit_seconds) << r.name;
    printf("%-28s %d x at %d tracks: %.3f s CPU\n", r.name, r.times, k_tracks, seconds);
  }
}

TEST_F(Scale, NavigationAndUpNextEdits) {
  struct row {
    const char *name;
    int times;
    std::function<void(int)> step;
  };
  ASSERT_EQ(pbq_set_repeat(h.q, PBQ_REPEAT_ALL), PBQ_REPEAT_ALL);
  const row rows[] = {
      {"next, ended, previous", k_calls,
       [&](int) {
         pbq_next(h.q);
         pbq_on_track_ended(h.q);
         pbq_previous(h.q, 0.0);
       }},
      {"jump", k_calls, [&](int i) { ASSERT_EQ(pbq_jump(h.q, (i * 7919) % k_tracks), PBQ_OK); }},
      {"jump to the first entry", 1, [&](int) { ASSERT_EQ(pbq_jump(h.q, 0), PBQ_OK); }},
      {"move up next", 1000, [&](int i) { ASSERT_EQ(pbq_move_up_next(h.q, i % 1000, 50000 + i), PBQ_OK); }},
      {"clear up next", 1, [&](int) { ASSERT_EQ(pbq_clear_up_next(h.q), PBQ_OK); }},
  };
  for (const row &r : rows) {
    double seconds = timed(r.times, r.step);
    EXPECT_LT(seconds, k_limit_seconds) << r.name;
    printf("%-28s %d x at %d tracks: %.3f s CPU\n", r.name, r.times, k_tracks, seconds);
  }
}

// 100,000 successive adds with a current entry: a walk over the loaded tracks for each,
// or a block move of the whole queue, would make this take minutes.
TEST_F(Scale, HundredThousandAdds) {
  struct row {
    const char *name;
    int32_t (*add)(pbq_queue *, const char *);
  };
  const row rows[] = {{"play next", pbq_play_next_json}, {"add to queue", pbq_add_to_queue_json}};
  for (const row &r : rows) {
    double seconds = timed(k_calls, [&](int i) {
      std::string track = track_json(r.add == pbq_play_next_json ? "next" : "queued", i);
      ASSERT_EQ(r.add(h.q, track.c_str()), PBQ_ADDED_QUEUED);
    });
    EXPECT_LT(seconds, k_limit_seconds) << r.name;
    printf("%-28s %d x at %d tracks: %.3f s CPU\n", r.name, k_calls, k_tracks, seconds);
  }
}

}  // namespace
