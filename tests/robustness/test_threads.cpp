// Eight threads, each with its own two handles, run every exported call in a loop.
// Handles share nothing, so each thread must see exactly what a single-threaded run
// would; and between rounds every thread leaves a different error text behind and
// then checks that it still reads its own. Built under TSan as well.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <string>
#include <mutex>
#include <thread>
#include <vector>

#include "pbq.h"

namespace {

constexpr int k_threads = 8;
constexpr int k_rounds = 1000;

// What one thread found wrong first, and how many calls it made.
struct thread_report {
  std::string failure;
  uint64_t calls = 0;
};

class worker {
 public:
  worker(int id, thread_report *report) : id_(id), report_(report) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on
    // "text" + std::string temporaries.
    prefix_ = "t";
    prefix_ += std::to_string(id);
    prefix_ += "/";
    tracks_ = "[";
    for (int i = 0; i < 5; i++) {
      if (i > 0) tracks_ += ",";
      tracks_ += R"({"streamURL":")";
      tracks_ += prefix_;
      tracks_ += std::to_string(i);
      tracks_ += R"(","title":"T","duration":10})";
    }
    tracks_ += "]";
  }

  // Every exported call on this thread's handles, with the answers each must give.
  void every_call(int round) {
    check(std::string(pbq_version()) == PBQ_VERSION_STRING && pbq_abi_version() == PBQ_ABI_VERSION, "versions");
    pbq_queue *a = pbq_create();
    pbq_queue *b = pbq_create();
    calls_ += 4;
    check(a != nullptr && b != nullptr, "create");

    check(pbq_set_tracks_json(a, tracks_.c_str(), round % 5, static_cast<uint64_t>(round)) == PBQ_OK, "load");
    check(std::string(pbq_last_error()).empty(), "load clears the error text");
    check(pbq_set_repeat(a, PBQ_REPEAT_OFF) == PBQ_REPEAT_OFF && pbq_jump(a, 3) == PBQ_OK, "repeat off, jump");
    check(pbq_next(a) == PBQ_ACTION_PLAY && pbq_next(a) == PBQ_ACTION_NONE, "next to the end");
    check(pbq_on_track_ended(a) == PBQ_ACTION_NONE && pbq_previous(a, 0.5) == PBQ_ACTION_PLAY &&
              pbq_previous(a, 9.0) == PBQ_ACTION_RESTART,
          "ended, previous");
    check(pbq_cycle_repeat(a) == PBQ_REPEAT_ALL && pbq_jump(a, 0) == PBQ_OK && pbq_previous(a, 0.0) == PBQ_ACTION_PLAY,
          "wrap back");
    std::string track = R"({"streamURL":")" + prefix_ + "new" + std::to_string(round) + R"("})";
    check(pbq_play_next_json(a, track.c_str()) == PBQ_ADDED_QUEUED && pbq_add_to_queue_json(a, track.c_str()) == PBQ_ADDED_QUEUED,
          "add");
    check(pbq_move_up_next(a, 0, 1) == PBQ_OK && pbq_remove_up_next(a, 1) == PBQ_OK && pbq_clear_up_next(a) == PBQ_OK,
          "up next");
    check(pbq_set_shuffle(a, 1, static_cast<uint64_t>(id_)) == PBQ_OK && pbq_set_shuffle(a, 0, 0) == PBQ_OK, "shuffle");
    check(pbq_set_rate(a, 1.5f) == 1.5f && pbq_set_rate(a, 9.0f) == 2.0f, "rate");
    check(pbq_set_sleep_timer(a, PBQ_SLEEP_TIMER, 100, round) == PBQ_OK && pbq_check_sleep_timer(a, round + 40) == 60 &&
              pbq_check_sleep_timer(a, round + 100) == 0 && pbq_set_sleep_timer(a, PBQ_SLEEP_END_OF_TRACK, 0, 0) == PBQ_OK,
          "sleep timer");
    calls_ += 25;

    // The documents hold this thread's tracks only.
    char *state = pbq_state_json(a);
    char *resume = pbq_export_resume_json(a, 12.5);
    check(state != nullptr && resume != nullptr, "documents");
    std::string state_text = state != nullptr ? state : "";
    check(count(state_text, "\"streamURL\":\"" + prefix_) == count(state_text, "\"streamURL\""), "own tracks");
    double position = -1;
    check(pbq_restore_resume_json(b, resume, tracks_.c_str(), &position) == PBQ_RESTORE_RESUMED && position == 12.5,
          "restore");
    check(pbq_selftest() == PBQ_SELFTEST_PASSED, "self-test");
    pbq_free(state);
    pbq_free(resume);
    pbq_destroy(a);
    pbq_destroy(b);
    calls_ += 8;
  }

  // Leaves a message that differs from the other threads' in this round.
  std::string leave_message(int round) {
    calls_++;
    switch ((id_ + round) % k_threads) {
      case 0: pbq_set_tracks_json(nullptr, "[]", 0, 0); return "null arg";
      case 1: pbq_set_tracks_json(nullptr, nullptr, 0, 0); return "null arg";
      case 2: pbq_jump(nullptr, 0); return "jump index out of range";
      case 3: pbq_play_next_json(nullptr, "{}"); return "null arg";
      default: break;
    }
    pbq_queue *q = pbq_create();
    std::string expected;
    switch ((id_ + round) % k_threads) {
      case 4: pbq_set_tracks_json(q, "[", 0, 0); expected = "invalid tracks json"; break;
      case 5: pbq_set_tracks_json(q, "{}", 0, 0); expected = "tracks json must be array"; break;
      case 6: pbq_add_to_queue_json(q, "[1]"); expected = "missing streamURL"; break;
      default: pbq_set_tracks_json(q, tracks_.c_str(), 0, 0); expected = ""; break;
    }
    pbq_destroy(q);
    calls_ += 2;
    return expected;
  }

  void check_message(const std::string &expected) {
    std::string seen = pbq_last_error();
    calls_++;
    check(expected == seen, "own error text: expected \"" + expected + "\", read \"" + seen + "\"");
  }

  void finish() { report_->calls = calls_; }

 private:
  static size_t count(const std::string &text, const std::string &needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) n++;
    return n;
  }

  void check(bool ok, const std::string &what) {
    if (!ok && report_->failure.empty()) report_->failure = "thread " + std::to_string(id_) + ": " + what;
  }

  int id_;
  thread_report *report_;
  std::string prefix_;
  std::string tracks_;
  uint64_t calls_ = 0;
};

// A reusable barrier on a mutex and a condition variable: std::barrier of MinGW's
// libstdc++ 12 never wakes its waiters under wine.
class barrier {
 public:
  explicit barrier(int count) : count_(count) {}
  void arrive_and_wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    uint64_t phase = phase_;
    if (++arrived_ == count_) {
      arrived_ = 0;
      phase_++;
      wake_.notify_all();
      return;
    }
    wake_.wait(lock, [&] { return phase_ != phase; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  const int count_;
  int arrived_ = 0;
  uint64_t phase_ = 0;
};

TEST(Threads, EightThreadsEachSeeOnlyTheirOwnHandlesAndErrorText) {
  std::vector<thread_report> reports(k_threads);
  barrier sync(k_threads);
  std::vector<std::thread> threads;
  for (int id = 0; id < k_threads; id++) {
    threads.emplace_back([id, &reports, &sync] {
      worker w(id, &reports[static_cast<size_t>(id)]);
      for (int round = 0; round < k_rounds; round++) {
        w.every_call(round);
        std::string expected = w.leave_message(round);
        // Every thread has written its message before any thread reads its own.
        sync.arrive_and_wait();
        w.check_message(expected);
        sync.arrive_and_wait();
      }
      w.finish();
    });
  }
  for (std::thread &t : threads) t.join();

  uint64_t calls = 0;
  for (const thread_report &r : reports) {
    EXPECT_EQ(r.failure, "");
    calls += r.calls;
  }
  printf("%d threads, %llu calls\n", k_threads, static_cast<unsigned long long>(calls));
}

}  // namespace
