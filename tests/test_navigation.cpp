// Navigation and repeat: next, end of track, previous, jump and the repeat mode.
// Each row checks the answer and that nothing but `current` (and, for the end-of-
// track sleep, the sleep setting) changed.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "fixtures.h"

namespace {

using fixtures::contents_of;
using fixtures::error_text;
using fixtures::handle;

// A handle with `count` tracks, `current` set by a jump, and the repeat mode.
handle at(int count, int32_t current, int32_t repeat) {
  std::string json = fixtures::numbered_tracks(count);
  handle h = fixtures::loaded(json.c_str());
  if (h == nullptr || pbq_jump(h.get(), current) != 0 || pbq_set_repeat(h.get(), repeat) != repeat) {
    return nullptr;
  }
  return h;
}

constexpr int32_t off = 0, all = 1, one = 2;

struct step_case {
  int count;
  int32_t current;
  int32_t repeat;
  int32_t result;
  int32_t new_current;
};

std::string describe(const step_case &c) {
  return "count " + std::to_string(c.count) + " current " + std::to_string(c.current) +
         " repeat " + std::to_string(c.repeat);
}

// Each case from its own handle: the call's answer, and nothing changed but current.
template <size_t N>
void expect_steps(const step_case (&cases)[N], int32_t (*step)(pbq_queue *)) {
  for (const step_case &c : cases) {
    SCOPED_TRACE(describe(c));
    handle h = at(c.count, c.current, c.repeat);
    ASSERT_NE(h, nullptr);
    fixtures::handle_contents expected = contents_of(h.get());
    expected.current = c.new_current;
    EXPECT_EQ(step(h.get()), c.result);
    EXPECT_EQ(contents_of(h.get()), expected);
  }
}

TEST(Navigation, NextMovesForwardAndWrapsOnlyUnderRepeatAll) {
  const step_case cases[] = {
      {3, 0, off, 0, 1}, {3, 1, off, 0, 2}, {3, 2, off, 1, 2}, {3, 2, all, 0, 0},
      {3, 2, one, 1, 2}, {3, 0, one, 0, 1}, {3, 1, all, 0, 2}, {1, 0, off, 1, 0},
      {1, 0, all, 0, 0}, {1, 0, one, 1, 0},
  };
  expect_steps(cases, pbq_next);
}

TEST(Navigation, TrackEndedMovesOnRepeatsOneAndStopsAtTheEnd) {
  const step_case cases[] = {
      {3, 0, off, 0, 1}, {3, 1, off, 0, 2}, {3, 2, off, 1, 2}, {3, 2, all, 0, 0},
      {3, 2, one, 2, 2}, {3, 0, one, 2, 0}, {1, 0, all, 0, 0}, {1, 0, off, 1, 0},
  };
  expect_steps(cases, pbq_on_track_ended);
}

// The end-of-track sleep wins over both repeat modes and is reported once.
TEST(Navigation, TrackEndedReportsTheEndOfTrackSleepOnce) {
  const step_case cases[] = {
      // result and current of the call after the sleep was reported
      {3, 2, one, 2, 2}, {3, 2, all, 0, 0}, {3, 0, off, 0, 1}, {3, 2, off, 1, 2},
  };
  for (const step_case &c : cases) {
    SCOPED_TRACE(describe(c));
    handle h = at(c.count, c.current, c.repeat);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(pbq_set_sleep_timer(h.get(), 2, 0, 0), 0);
    fixtures::handle_contents expected = contents_of(h.get());
    expected.sleep_mode = 0;
    expected.sleep_deadline = 0;
    EXPECT_EQ(pbq_on_track_ended(h.get()), 3);
    EXPECT_EQ(contents_of(h.get()), expected);

    expected.current = c.new_current;
    EXPECT_EQ(pbq_on_track_ended(h.get()), c.result);
    EXPECT_EQ(contents_of(h.get()), expected);
  }
}

// An armed timer is polled by the host; the end of a track ignores it.
TEST(Navigation, TrackEndedIgnoresAnArmedTimer) {
  handle h = at(3, 0, off);
  ASSERT_EQ(pbq_set_sleep_timer(h.get(), 1, 600, 1000), 0);
  EXPECT_EQ(pbq_on_track_ended(h.get()), 0);
  EXPECT_EQ(h->current, 1);
  EXPECT_EQ(h->sleep_mode, 1);
  EXPECT_EQ(h->sleep_deadline, 1600);
}

// Without an entry to end, an armed end-of-track sleep stays armed.
TEST(Navigation, EmptyQueueAnswersOneAndKeepsTheSleep) {
  handle h = fixtures::make_handle();
  ASSERT_EQ(pbq_set_sleep_timer(h.get(), 2, 0, 0), 0);
  ASSERT_EQ(pbq_set_repeat(h.get(), 1), 1);
  fixtures::handle_contents before = contents_of(h.get());
  EXPECT_EQ(pbq_on_track_ended(h.get()), 1);
  EXPECT_EQ(pbq_next(h.get()), 1);
  EXPECT_EQ(pbq_previous(h.get(), 0.0), 1);
  EXPECT_EQ(pbq_previous(h.get(), 10.0), 1);
  EXPECT_EQ(contents_of(h.get()), before);
}

struct previous_case {
  int count;
  int32_t current;
  int32_t repeat;
  double position;
  int32_t result;
  int32_t new_current;
};

TEST(Navigation, PreviousRestartsAfterThreeSecondsAndAtTheFirstEntry) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const previous_case cases[] = {
      {3, 1, off, 0.0, 0, 0},
      {3, 1, off, 3.0, 0, 0},  // exactly 3 seconds still moves back
      {3, 1, off, 3.001, 2, 1},
      {3, 1, off, std::nextafter(3.0, 4.0), 2, 1},
      {3, 1, off, nan, 0, 0},
      {3, 1, off, -nan, 0, 0},
      {3, 1, off, inf, 2, 1},
      {3, 1, off, -inf, 0, 0},
      {3, 1, off, -1.0, 0, 0},
      {3, 2, one, 0.0, 0, 1},
      {3, 2, all, 0.5, 0, 1},
      {3, 0, off, 0.0, 2, 0},
      {3, 0, one, 0.0, 2, 0},
      {3, 0, all, 0.0, 0, 2},  // wraps to the last entry
      {3, 0, all, 3.5, 2, 0},
      {1, 0, all, 0.0, 0, 0},
      {1, 0, off, 0.0, 2, 0},
  };
  for (const previous_case &c : cases) {
    SCOPED_TRACE("current " + std::to_string(c.current) + " repeat " + std::to_string(c.repeat) +
                 " position " + std::to_string(c.position));
    handle h = at(c.count, c.current, c.repeat);
    ASSERT_NE(h, nullptr);
    fixtures::handle_contents expected = contents_of(h.get());
    expected.current = c.new_current;
    EXPECT_EQ(pbq_previous(h.get(), c.position), c.result);
    EXPECT_EQ(contents_of(h.get()), expected);
  }
}

TEST(Navigation, JumpAcceptsOnlyIndicesOfTheQueue) {
  struct {
    int32_t index;
    int32_t result;
  } const cases[] = {
      {0, 0}, {2, 0}, {4, 0}, {5, -1}, {6, -1}, {INT32_MAX, -1}, {-1, -1}, {INT32_MIN, -1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.index);
    handle h = at(5, 3, all);
    ASSERT_NE(h, nullptr);
    fixtures::write_marker_error();
    fixtures::handle_contents expected = contents_of(h.get());
    if (c.result == 0) expected.current = c.index;
    EXPECT_EQ(pbq_jump(h.get(), c.index), c.result);
    EXPECT_EQ(contents_of(h.get()), expected);
    // A refusal writes its message; a successful jump leaves the older one.
    EXPECT_EQ(error_text(), c.result == 0 ? fixtures::k_marker_error : "jump index out of range");
  }
}

TEST(Navigation, JumpOnAnEmptyQueueIsRefused) {
  handle h = fixtures::make_handle();
  EXPECT_EQ(pbq_jump(h.get(), 0), -1);
  EXPECT_EQ(error_text(), "jump index out of range");
  EXPECT_EQ(h->current, -1);
}

TEST(Navigation, SuccessfulJumpAfterARefusedOneKeepsItsMessage) {
  handle h = at(3, 0, off);
  ASSERT_EQ(pbq_jump(h.get(), 3), -1);
  ASSERT_EQ(pbq_jump(h.get(), 2), 0);
  EXPECT_EQ(error_text(), "jump index out of range");
  EXPECT_EQ(h->current, 2);
}

TEST(Navigation, SetRepeatAcceptsOnlyTheThreeModes) {
  struct {
    int32_t mode;
    int32_t result;
  } const cases[] = {
      {0, 0}, {1, 1}, {2, 2}, {3, -1}, {-1, -1}, {INT32_MAX, -1}, {INT32_MIN, -1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mode);
    handle h = at(3, 1, one);
    ASSERT_NE(h, nullptr);
    fixtures::handle_contents expected = contents_of(h.get());
    if (c.result >= 0) expected.repeat_mode = c.mode;
    EXPECT_EQ(pbq_set_repeat(h.get(), c.mode), c.result);
    EXPECT_EQ(contents_of(h.get()), expected);
  }
}

TEST(Navigation, CycleRepeatGoesOffAllOneOff) {
  handle h = fixtures::make_handle();
  EXPECT_EQ(pbq_cycle_repeat(h.get()), 1);
  EXPECT_EQ(pbq_cycle_repeat(h.get()), 2);
  EXPECT_EQ(pbq_cycle_repeat(h.get()), 0);
  EXPECT_EQ(h->repeat_mode, 0);
  for (int32_t start : {0, 1, 2}) {
    ASSERT_EQ(pbq_set_repeat(h.get(), start), start);
    for (int i = 0; i < 3; i++) pbq_cycle_repeat(h.get());
    EXPECT_EQ(h->repeat_mode, start);
  }
}

TEST(Navigation, NullHandleAnswers) {
  fixtures::write_marker_error();
  EXPECT_EQ(pbq_next(nullptr), 1);
  EXPECT_EQ(pbq_on_track_ended(nullptr), 1);
  EXPECT_EQ(pbq_previous(nullptr, 0.0), 1);
  EXPECT_EQ(pbq_previous(nullptr, 10.0), 1);
  EXPECT_EQ(pbq_set_repeat(nullptr, 1), -1);
  EXPECT_EQ(pbq_cycle_repeat(nullptr), -1);
  EXPECT_EQ(error_text(), fixtures::k_marker_error);
  EXPECT_EQ(pbq_jump(nullptr, 0), -1);
  EXPECT_EQ(error_text(), "jump index out of range");
}

// Only a refused jump writes the error text: every other answer of this family,
// moved, stayed, replayed or refused, leaves it as it was.
TEST(Navigation, LeavesTheErrorTextAlone) {
  handle h = at(3, 2, off);
  fixtures::write_marker_error();
  EXPECT_EQ(pbq_next(h.get()), 1);
  EXPECT_EQ(pbq_on_track_ended(h.get()), 1);
  EXPECT_EQ(pbq_previous(h.get(), 10.0), 2);
  EXPECT_EQ(pbq_previous(h.get(), 0.0), 0);
  EXPECT_EQ(pbq_next(h.get()), 0);
  EXPECT_EQ(pbq_set_repeat(h.get(), 7), -1);
  EXPECT_EQ(pbq_set_repeat(h.get(), 2), 2);
  EXPECT_EQ(pbq_on_track_ended(h.get()), 2);
  EXPECT_EQ(pbq_cycle_repeat(h.get()), 0);
  EXPECT_EQ(pbq_jump(h.get(), 0), 0);
  ASSERT_EQ(pbq_set_sleep_timer(h.get(), 2, 0, 0), 0);
  EXPECT_EQ(pbq_on_track_ended(h.get()), 3);
  EXPECT_EQ(error_text(), fixtures::k_marker_error);
}

// `current` past the end of the queue cannot come from the calls themselves, but
// the arithmetic must hold for it: current + 1 is formed without overflow and no
// entry outside the queue is read.
TEST(Navigation, CurrentPastTheEndIsComparedWithoutOverflow) {
  for (int32_t current : {3, 4, INT32_MAX - 1, INT32_MAX}) {
    SCOPED_TRACE(current);
    handle h = at(3, 0, off);
    ASSERT_NE(h, nullptr);
    h->current = current;
    fixtures::handle_contents before = contents_of(h.get());
    EXPECT_EQ(pbq_next(h.get()), 1);
    EXPECT_EQ(pbq_on_track_ended(h.get()), 1);
    EXPECT_EQ(contents_of(h.get()), before);
  }
}

}  // namespace
