// The frame: versions, creation defaults, the per-thread error text and the answers
// every call gives to a null handle.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "fixtures.h"

namespace {

TEST(Frame, VersionsNeedNoHandle) {
  EXPECT_STREQ(pbq_version(), "1.0.0");
  EXPECT_EQ(pbq_abi_version(), 1);
}

TEST(Frame, CreateSetsTheDefaultsAndLeavesTheErrorText) {
  pbq_jump(nullptr, 0);
  fixtures::handle h = fixtures::make_handle();
  ASSERT_NE(h, nullptr);
  const pbq_queue *q = h.get();
  EXPECT_EQ(q->store.recs, nullptr);
  EXPECT_EQ(q->store.text, nullptr);
  EXPECT_EQ(q->tracks.ids, nullptr);
  EXPECT_EQ(q->tracks.count, 0u);
  EXPECT_EQ(q->tracks.capacity, 0u);
  EXPECT_EQ(q->queue.ids, nullptr);
  EXPECT_EQ(q->queue.count, 0u);
  EXPECT_EQ(q->index.slots, nullptr);
  EXPECT_EQ(q->current, -1);
  EXPECT_EQ(q->repeat_mode, 0);
  EXPECT_EQ(q->shuffle, 0);
  EXPECT_EQ(q->rate, 1.0f);
  EXPECT_EQ(q->sleep_mode, 0);
  EXPECT_EQ(q->sleep_deadline, 0);
  EXPECT_STREQ(pbq_last_error(), "jump index out of range");
}

TEST(Frame, FreshHandleAnswers) {
  fixtures::handle h = fixtures::make_handle();
  pbq_queue *q = h.get();
  EXPECT_EQ(pbq_next(q), 1);
  EXPECT_EQ(pbq_on_track_ended(q), 1);
  EXPECT_EQ(pbq_previous(q, 0.0), 1);
  EXPECT_EQ(pbq_check_sleep_timer(q, 0), -1);
  EXPECT_EQ(pbq_cycle_repeat(q), 1);
}

// Every exported call with a null handle: its refusal value and the message it
// writes, if any.
TEST(Frame, NullHandleAnswers) {
  struct row {
    int64_t result;
    int64_t expected;
    const char *message;  // null: the text is left as it was
  };
  double position = -3.0;
  const char *sentinel = "sentinel";
  auto reset = [&] { set_err(sentinel); };
  std::vector<std::pair<const char *, std::function<row()>>> calls = {
      {"set_tracks", [] { return row{pbq_set_tracks_json(nullptr, "[]", 0, 0), -1, "null arg"}; }},
      {"set_tracks null text", [] {
         fixtures::handle h = fixtures::make_handle();
         return row{pbq_set_tracks_json(h.get(), nullptr, 0, 0), -1, "null arg"};
       }},
      {"play_next", [] { return row{pbq_play_next_json(nullptr, "{}"), -1, "null arg"}; }},
      {"add_to_queue", [] { return row{pbq_add_to_queue_json(nullptr, "{}"), -1, "null arg"}; }},
      {"play_next null text", [] {
         fixtures::handle h = fixtures::make_handle();
         return row{pbq_play_next_json(h.get(), nullptr), -1, "null arg"};
       }},
      {"add_to_queue null text", [] {
         fixtures::handle h = fixtures::make_handle();
         return row{pbq_add_to_queue_json(h.get(), nullptr), -1, "null arg"};
       }},
      {"remove", [] { return row{pbq_remove_up_next(nullptr, 0), -1, nullptr}; }},
      {"move", [] { return row{pbq_move_up_next(nullptr, 0, 1), -1, nullptr}; }},
      {"clear", [] { return row{pbq_clear_up_next(nullptr), 0, nullptr}; }},
      {"next", [] { return row{pbq_next(nullptr), 1, nullptr}; }},
      {"ended", [] { return row{pbq_on_track_ended(nullptr), 1, nullptr}; }},
      {"previous", [] { return row{pbq_previous(nullptr, 0.0), 1, nullptr}; }},
      {"jump", [] { return row{pbq_jump(nullptr, 0), -1, "jump index out of range"}; }},
      {"set_repeat", [] { return row{pbq_set_repeat(nullptr, 1), -1, nullptr}; }},
      {"cycle_repeat", [] { return row{pbq_cycle_repeat(nullptr), -1, nullptr}; }},
      {"set_shuffle", [] { return row{pbq_set_shuffle(nullptr, 1, 5), -1, nullptr}; }},
      {"set_sleep", [] { return row{pbq_set_sleep_timer(nullptr, 1, 10, 0), -1, nullptr}; }},
      {"check_sleep", [] { return row{pbq_check_sleep_timer(nullptr, 0), -1, nullptr}; }},
      {"state", [] { return row{pbq_state_json(nullptr) == nullptr ? 0 : 1, 0, nullptr}; }},
      {"export", [] { return row{pbq_export_resume_json(nullptr, 1.0) == nullptr ? 0 : 1, 0, nullptr}; }},
      {"restore", [&] { return row{pbq_restore_resume_json(nullptr, "{}", "[]", &position), -1, nullptr}; }},
      {"restore null resume", [&] {
         fixtures::handle h = fixtures::make_handle();
         return row{pbq_restore_resume_json(h.get(), nullptr, "[]", &position), -1, nullptr};
       }},
      {"restore null tracks", [&] {
         fixtures::handle h = fixtures::make_handle();
         return row{pbq_restore_resume_json(h.get(), "{}", nullptr, &position), -1, nullptr};
       }},
  };
  for (auto &[name, call] : calls) {
    SCOPED_TRACE(name);
    reset();
    row r = call();
    EXPECT_EQ(r.result, r.expected);
    EXPECT_STREQ(pbq_last_error(), r.message != nullptr ? r.message : sentinel);
  }
  EXPECT_EQ(position, -3.0);
  EXPECT_EQ(pbq_set_rate(nullptr, 1.7f), 1.0f);
  pbq_destroy(nullptr);
  pbq_free(nullptr);
}

TEST(ErrorText, IsCutAt255BytesAndStaysTerminated) {
  std::string long_message(400, 'x');
  set_err(long_message.c_str());
  EXPECT_EQ(std::string(pbq_last_error()), std::string(255, 'x'));
  set_err("");
  EXPECT_STREQ(pbq_last_error(), "");
}

TEST(ErrorText, EachThreadHasItsOwn) {
  set_err("main thread");
  std::string seen_before, seen_after;
  std::thread worker([&] {
    seen_before = pbq_last_error();
    pbq_set_tracks_json(nullptr, "[]", 0, 0);
    seen_after = pbq_last_error();
  });
  worker.join();
  EXPECT_EQ(seen_before, "");
  EXPECT_EQ(seen_after, "null arg");
  EXPECT_STREQ(pbq_last_error(), "main thread");
}

// Which calls empty the text on success and which leave an older message.
TEST(ErrorText, OnlyTheJsonCallsClearItOnSuccess) {
  fixtures::handle h = fixtures::loaded(fixtures::k_three_tracks, 0);
  pbq_queue *q = h.get();
  ASSERT_EQ(pbq_set_tracks_json(q, "[1,", 0, 0), -1);
  EXPECT_STREQ(pbq_last_error(), "invalid tracks json");
  EXPECT_EQ(pbq_jump(q, 2), 0);
  EXPECT_EQ(pbq_next(q), 1);
  EXPECT_EQ(pbq_set_shuffle(q, 1, 3), 0);
  EXPECT_EQ(pbq_set_shuffle(q, 0, 3), 0);
  EXPECT_EQ(pbq_set_rate(q, 1.5f), 1.5f);
  EXPECT_NE(fixtures::state_text(q), "(null)");
  fixtures::handle other = fixtures::make_handle();
  EXPECT_STREQ(pbq_last_error(), "invalid tracks json");

  for (auto clearing : {+[](pbq_queue *p) { return pbq_set_tracks_json(p, fixtures::k_three_tracks, 0, 0); },
                        +[](pbq_queue *p) { return pbq_play_next_json(p, R"({"streamURL":"x"})"); },
                        +[](pbq_queue *p) { return pbq_add_to_queue_json(p, R"({"streamURL":"y"})"); }}) {
    set_err("older");
    EXPECT_GE(clearing(q), 0);
    EXPECT_STREQ(pbq_last_error(), "");
  }
}

}  // namespace
