// Playback rate and sleep timer: the rate clamp over every kind of float, and the
// timer's arithmetic on the host's clock, wrap-around at both ends included.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "engine.h"
#include "fixtures.h"

namespace {

using fixtures::contents_of;
using fixtures::error_text;
using fixtures::handle;

using flim = std::numeric_limits<float>;

struct rate_case {
  const char *name;
  float rate;
  float expected;
};

void PrintTo(const rate_case &c, std::ostream *os) { *os << c.name; }

class SetRate : public testing::TestWithParam<rate_case> {};

TEST_P(SetRate, ClampsAndStoresTheAnswer) {
  const rate_case &c = GetParam();
  handle h = fixtures::loaded(fixtures::k_three_tracks);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(pbq_set_rate(h.get(), 1.75f), 1.75f);
  fixtures::write_marker_error();
  fixtures::handle_contents expected = contents_of(h.get());
  expected.rate = c.expected;

  float got = pbq_set_rate(h.get(), c.rate);
  // Bit for bit: 0.5 and 2.0 exactly, never a NaN or a negative zero.
  EXPECT_EQ(std::bit_cast<uint32_t>(got), std::bit_cast<uint32_t>(c.expected)) << got;
  EXPECT_EQ(std::bit_cast<uint32_t>(h->rate), std::bit_cast<uint32_t>(c.expected));
  EXPECT_EQ(contents_of(h.get()), expected);
  EXPECT_EQ(error_text(), fixtures::k_marker_error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetRate,
    testing::Values(
        rate_case{"one", 1.0f, 1.0f},
        rate_case{"in_range", 1.25f, 1.25f},
        rate_case{"exactly_half", 0.5f, 0.5f},
        rate_case{"exactly_two", 2.0f, 2.0f},
        rate_case{"just_above_half", std::nextafter(0.5f, 1.0f), std::nextafter(0.5f, 1.0f)},
        rate_case{"just_below_two", std::nextafter(2.0f, 1.0f), std::nextafter(2.0f, 1.0f)},
        rate_case{"just_below_half", std::nextafter(0.5f, 0.0f), 0.5f},
        rate_case{"just_above_two", std::nextafter(2.0f, 3.0f), 2.0f},
        rate_case{"quarter", 0.25f, 0.5f},
        rate_case{"three", 3.0f, 2.0f},
        rate_case{"zero", 0.0f, 0.5f},
        rate_case{"negative_zero", -0.0f, 0.5f},
        rate_case{"negative", -1.5f, 0.5f},
        rate_case{"smallest_denormal", flim::denorm_min(), 0.5f},
        rate_case{"negative_denormal", -flim::denorm_min(), 0.5f},
        rate_case{"largest_denormal", std::nextafter(FLT_MIN, 0.0f), 0.5f},
        rate_case{"smallest_normal", FLT_MIN, 0.5f},
        rate_case{"largest_float", FLT_MAX, 2.0f},
        rate_case{"most_negative_float", -FLT_MAX, 0.5f},
        rate_case{"positive_infinity", flim::infinity(), 0.5f},
        rate_case{"negative_infinity", -flim::infinity(), 0.5f},
        rate_case{"quiet_nan", flim::quiet_NaN(), 0.5f},
        rate_case{"negative_nan", -flim::quiet_NaN(), 0.5f},
        rate_case{"signalling_nan", flim::signaling_NaN(), 0.5f},
        rate_case{"nan_with_payload", std::bit_cast<float>(0x7FC12345u), 0.5f}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SetRate, NullHandleAnswersOne) {
  for (float rate : {1.7f, 0.1f, flim::quiet_NaN(), flim::infinity()}) {
    EXPECT_EQ(pbq_set_rate(nullptr, rate), 1.0f);
  }
}

constexpr int64_t k_min = INT64_MIN, k_max = INT64_MAX;

struct timer_case {
  const char *name;
  int32_t mode;
  int64_t duration, now;
  int32_t result;
  int32_t sleep_mode;  // afterwards
  int64_t deadline;    // afterwards
};

void PrintTo(const timer_case &c, std::ostream *os) { *os << c.name; }

class SetSleepTimer : public testing::TestWithParam<timer_case> {};

// Each row starts from an armed timer (deadline 5000): a successful call replaces
// it whatever its mode, a refused one keeps it.
TEST_P(SetSleepTimer, ReplacesOrKeepsTheSetting) {
  const timer_case &c = GetParam();
  handle h = fixtures::loaded(fixtures::k_three_tracks);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(pbq_set_sleep_timer(h.get(), 1, 4000, 1000), 0);
  fixtures::write_marker_error();
  fixtures::handle_contents expected = contents_of(h.get());
  expected.sleep_mode = c.sleep_mode;
  expected.sleep_deadline = c.deadline;
  EXPECT_EQ(pbq_set_sleep_timer(h.get(), c.mode, c.duration, c.now), c.result);
  EXPECT_EQ(contents_of(h.get()), expected);
  EXPECT_EQ(error_text(), fixtures::k_marker_error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetSleepTimer,
    testing::Values(
        timer_case{"off", 0, 600, 1000, 0, 0, 0},
        timer_case{"off_ignores_its_arguments", 0, -5, k_min, 0, 0, 0},
        timer_case{"timer", 1, 600, 1000, 0, 1, 1600},
        timer_case{"timer_rearmed_earlier", 1, 1, 10, 0, 1, 11},
        timer_case{"timer_negative_clock", 1, 10, -100, 0, 1, -90},
        timer_case{"timer_at_int64_min", 1, 5, k_min, 0, 1, k_min + 5},
        timer_case{"timer_longest", 1, k_max, k_min, 0, 1, -1},
        timer_case{"timer_wraps_past_max", 1, 1, k_max, 0, 1, k_min},
        timer_case{"timer_wraps_far_past_max", 1, k_max, k_max, 0, 1, -2},
        timer_case{"timer_wraps_from_one", 1, k_max, 1, 0, 1, k_min},
        timer_case{"timer_zero_duration", 1, 0, 1000, -1, 1, 5000},
        timer_case{"timer_negative_duration", 1, -5, 1000, -1, 1, 5000},
        timer_case{"timer_int64_min_duration", 1, k_min, k_max, -1, 1, 5000},
        timer_case{"end_of_track", 2, 600, 1000, 0, 2, 0},
        timer_case{"end_of_track_ignores_its_arguments", 2, k_min, k_max, 0, 2, 0},
        timer_case{"mode_3", 3, 600, 1000, -1, 1, 5000},
        timer_case{"mode_minus_1", -1, 600, 1000, -1, 1, 5000},
        timer_case{"mode_int32_max", INT32_MAX, 600, 1000, -1, 1, 5000},
        timer_case{"mode_int32_min", INT32_MIN, 600, 1000, -1, 1, 5000}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SleepTimer, CountsDownAndReportsTheRunOutOnce) {
  handle h = fixtures::make_handle();
  fixtures::write_marker_error();
  ASSERT_EQ(pbq_set_sleep_timer(h.get(), 1, 600, 1000), 0);
  EXPECT_EQ(pbq_check_sleep_timer(h.get(), 1000), 600);
  EXPECT_EQ(pbq_check_sleep_timer(h.get(), 0), 1600);  // a clock read before arming
  EXPECT_EQ(pbq_check_sleep_timer(h.get(), 1599), 1);
  EXPECT_EQ(h->sleep_mode, 1);
  EXPECT_EQ(h->sleep_deadline, 1600);
  EXPECT_EQ(pbq_check_sleep_timer(h.get(), 1600), 0);
  EXPECT_EQ(h->sleep_mode, 0);
  EXPECT_EQ(h->sleep_deadline, 0);
  EXPECT_EQ(pbq_check_sleep_timer(h.get(), 1600), -1);
  EXPECT_EQ(pbq_check_sleep_timer(h.get(), 1000), -1);
  EXPECT_EQ(error_text(), fixtures::k_marker_error);
}

struct check_case {
  const char *name;
  int64_t duration, armed_at, now;
  int64_t result;  // 0: the timer ran out and is now off
};

void PrintTo(const check_case &c, std::ostream *os) { *os << c.name; }

class CheckSleepTimer : public testing::TestWithParam<check_case> {};

// The time left is deadline - now in two's complement: a deadline that wrapped
// past INT64_MAX is still ahead of a clock just below it.
TEST_P(CheckSleepTimer, ComputesTheTimeLeftWithWrapAround) {
  const check_case &c = GetParam();
  handle h = fixtures::make_handle();
  ASSERT_EQ(pbq_set_sleep_timer(h.get(), 1, c.duration, c.armed_at), 0);
  EXPECT_EQ(pbq_check_sleep_timer(h.get(), c.now), c.result);
  EXPECT_EQ(h->sleep_mode, c.result == 0 ? 0 : 1);
  if (c.result == 0) {
    EXPECT_EQ(h->sleep_deadline, 0);
    EXPECT_EQ(pbq_check_sleep_timer(h.get(), c.now), -1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckSleepTimer,
    testing::Values(
        check_case{"far_past_the_deadline", 600, 1000, 1000000000000, 0},
        check_case{"long_after_at_int64_max", 600, 1000, k_max, 0},
        check_case{"deadline_wrapped_clock_at_max", 1, k_max, k_max, 1},
        check_case{"deadline_wrapped_clock_reaches_it", 1, k_max, k_min, 0},
        check_case{"deadline_at_max_clock_at_min", k_max, 0, k_min, 0},
        check_case{"deadline_below_max_clock_at_minus_one", k_max, -1, -1, k_max},
        check_case{"deadline_below_max_clock_at_min", k_max, -1, k_min, 0},
        check_case{"near_int64_min", 5, k_min, k_min, 5},
        check_case{"near_int64_min_clock_wrapped_back", 5, k_min, k_max, 6},
        check_case{"largest_time_left", k_max, k_min, k_min, k_max},
        check_case{"deadline_5_clock_at_min", 10, -5, k_min, 0}),
    [](const auto &info) { return std::string(info.param.name); });

// Without an armed timer there is no time to report, and nothing changes.
TEST(SleepTimer, CheckWithoutATimerAnswersMinusOne) {
  for (int32_t mode : {0, 2}) {
    SCOPED_TRACE(mode);
    handle h = fixtures::make_handle();
    ASSERT_EQ(pbq_set_sleep_timer(h.get(), mode, 600, 1000), 0);
    fixtures::handle_contents before = contents_of(h.get());
    for (int64_t now : {k_min, int64_t{-1}, int64_t{0}, int64_t{1600}, k_max}) {
      EXPECT_EQ(pbq_check_sleep_timer(h.get(), now), -1);
    }
    EXPECT_EQ(contents_of(h.get()), before);
  }
  EXPECT_EQ(pbq_check_sleep_timer(nullptr, 0), -1);
  EXPECT_EQ(pbq_set_sleep_timer(nullptr, 0, 0, 0), -1);
  EXPECT_EQ(pbq_set_sleep_timer(nullptr, 1, 600, 1000), -1);
  EXPECT_EQ(pbq_set_sleep_timer(nullptr, 2, 0, 0), -1);
}

// Switching an armed timer to the end-of-track mode drops its deadline; the next
// end of a track reports the sleep and turns it off.
TEST(SleepTimer, EndOfTrackModeReplacesAnArmedTimer) {
  handle h = fixtures::loaded(fixtures::k_three_tracks);
  ASSERT_EQ(pbq_set_sleep_timer(h.get(), 1, 600, 1000), 0);
  ASSERT_EQ(pbq_set_sleep_timer(h.get(), 2, 0, 0), 0);
  EXPECT_EQ(h->sleep_deadline, 0);
  EXPECT_EQ(pbq_check_sleep_timer(h.get(), 5000), -1);
  EXPECT_EQ(h->sleep_mode, 2);
  EXPECT_EQ(pbq_on_track_ended(h.get()), 3);
  EXPECT_EQ(h->sleep_mode, 0);
  EXPECT_EQ(h->current, 0);
  EXPECT_EQ(pbq_on_track_ended(h.get()), 0);
}

// Arming again before the old deadline replaces it, later or earlier.
TEST(SleepTimer, ReArmingReplacesTheDeadline) {
  handle h = fixtures::make_handle();
  ASSERT_EQ(pbq_set_sleep_timer(h.get(), 1, 600, 1000), 0);
  ASSERT_EQ(pbq_set_sleep_timer(h.get(), 1, 900, 1200), 0);
  EXPECT_EQ(pbq_check_sleep_timer(h.get(), 1600), 500);
  ASSERT_EQ(pbq_set_sleep_timer(h.get(), 1, 10, 1600), 0);
  EXPECT_EQ(pbq_check_sleep_timer(h.get(), 1605), 5);
  EXPECT_EQ(pbq_check_sleep_timer(h.get(), 1610), 0);
}

// A restored rate arrives as a double: values a float cannot hold clamp like a NaN,
// the rest like the same float.
TEST(SetRate, RestoredDoubleClampsLikeTheFloat) {
  const struct {
    double in;
    float out;
  } cases[] = {{NAN, 0.5f},    {INFINITY, 0.5f},       {-INFINITY, 0.5f}, {1e300, 0.5f},
               {-1e300, 0.5f}, {0x1.ffffffp127, 0.5f}, {0x1.fffffep127, 2.0f}, {1.25, 1.25f},
               {0.1, 0.5f},    {3.0, 2.0f}};
  for (const auto &c : cases) EXPECT_EQ(clamp_rate_from_double(c.in), c.out) << c.in;
}

}  // namespace
