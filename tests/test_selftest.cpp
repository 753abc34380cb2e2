// The built-in self-test: it passes, leaves the error text empty and touches no
// host handle.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "fixtures.h"

namespace {

using fixtures::contents_of;
using fixtures::error_text;
using fixtures::handle;

TEST(Selftest, PassesAndEmptiesTheErrorText) {
  fixtures::write_marker_error();
  EXPECT_EQ(pbq_selftest(), 0);
  EXPECT_EQ(error_text(), "");
}

TEST(Selftest, RunsAgainWithTheSameResult) {
  for (int run = 0; run < 3; run++) EXPECT_EQ(pbq_selftest(), 0) << run;
}

// Host handles, in every mode, are left exactly as they were.
TEST(Selftest, LeavesHostHandlesAlone) {
  handle loaded = fixtures::loaded(fixtures::k_five_tracks, 2, true, 12345);
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(pbq_play_next_json(loaded.get(), R"({"streamURL":"x.m4a"})"), 0);
  ASSERT_EQ(pbq_set_repeat(loaded.get(), 2), 2);
  ASSERT_EQ(pbq_set_rate(loaded.get(), 1.5f), 1.5f);
  ASSERT_EQ(pbq_set_sleep_timer(loaded.get(), 1, 600, 1000), 0);
  handle empty = fixtures::make_handle();
  fixtures::handle_contents loaded_before = contents_of(loaded.get());
  fixtures::handle_contents empty_before = contents_of(empty.get());

  EXPECT_EQ(pbq_selftest(), 0);
  EXPECT_EQ(contents_of(loaded.get()), loaded_before);
  EXPECT_EQ(contents_of(empty.get()), empty_before);
}

// The text the self-test empties is its own thread's: another thread's message
// stays.
TEST(Selftest, EmptiesOnlyItsOwnThreadsErrorText) {
  fixtures::write_marker_error();
  int32_t result = -1;
  std::string text_there = "unset";
  std::thread other([&] {
    fixtures::write_marker_error();
    result = pbq_selftest();
    text_there = pbq_last_error();
  });
  other.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(text_there, "");
  EXPECT_EQ(error_text(), fixtures::k_marker_error);
}

}  // namespace
