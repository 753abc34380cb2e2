// The gapless choice, read from the state document before the end of a track,
// against what pbq_on_track_ended then does, in every repeat and sleep mode and at
// every place in the queue.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "gapless.h"
#include "pbq.hpp"
#include "state_text.h"

namespace {

std::string album(int count) {
  std::string json = "[";
  for (int i = 0; i < count; i++) {
    // Appended piece by piece: gcc 12 at -O3 warns falsely on "text" + string.
    json.append(i > 0 ? "," : "").append("{\"streamURL\":\"").append(std::to_string(i)).append(".wav\"}");
  }
  return json + "]";
}

cli::queue_head read(const pbq::queue &q) {
  cli::state_text s = cli::state_text::of(q.get());
  EXPECT_TRUE(s.ok());
  return s.head();
}

TEST(Gapless, ChoiceAgreesWithTheEndOfTrack) {
  const pbq::repeat_mode repeats[] = {pbq::repeat_mode::off, pbq::repeat_mode::all, pbq::repeat_mode::one};
  const pbq::sleep_mode sleeps[] = {pbq::sleep_mode::off, pbq::sleep_mode::timer, pbq::sleep_mode::end_of_track};
  int checked = 0;
  for (int count : {1, 2, 4}) {
    for (int current = 0; current < count; current++) {
      for (pbq::repeat_mode repeat : repeats) {
        for (pbq::sleep_mode sleep : sleeps) {
          for (bool shuffled : {false, true}) {
            std::string trace = "count ";
            trace.append(std::to_string(count)).append(", current ").append(std::to_string(current));
            trace.append(", repeat ").append(std::to_string(static_cast<int>(repeat)));
            trace.append(", sleep ").append(std::to_string(static_cast<int>(sleep)));
            SCOPED_TRACE(trace.append(shuffled ? ", shuffled" : ""));
            pbq::queue q;
            ASSERT_TRUE(q.set_tracks(album(count), current));
            if (shuffled) {
              ASSERT_TRUE(q.set_shuffle(true, 99));
            }
            ASSERT_TRUE(q.set_repeat(repeat));
            ASSERT_TRUE(q.set_sleep_timer(sleep, 600, 1000));
            cli::queue_head before = read(q);
            std::optional<int64_t> choice = player::entry_after_end(before);

            pbq::action answer = q.track_ended();
            cli::queue_head after = read(q);
            switch (answer) {
              case pbq::action::play:
                ASSERT_TRUE(choice.has_value());
                EXPECT_EQ(*choice, after.current);
                break;
              case pbq::action::restart:
                ASSERT_TRUE(choice.has_value());
                EXPECT_EQ(*choice, before.current);
                EXPECT_EQ(after.current, before.current);
                break;
              case pbq::action::none:
              case pbq::action::sleep:
                EXPECT_FALSE(choice.has_value()) << "queued #" << *choice << " but the queue stops";
                break;
            }
            checked++;
          }
        }
      }
    }
  }
  EXPECT_EQ(checked, 7 * 3 * 3 * 2);
}

TEST(Gapless, NothingWithoutACurrentEntry) {
  pbq::queue empty;
  EXPECT_FALSE(player::entry_after_end(read(empty)).has_value());
  ASSERT_TRUE(empty.set_repeat(pbq::repeat_mode::one));
  EXPECT_FALSE(player::entry_after_end(read(empty)).has_value());
}

// An edit of up next changes the choice at once: the new entry is what follows.
TEST(Gapless, FollowsEditsOfUpNext) {
  pbq::queue q;
  ASSERT_TRUE(q.set_tracks(album(3), 0));
  EXPECT_EQ(player::entry_after_end(read(q)), std::optional<int64_t>(1));
  ASSERT_TRUE(q.play_next("{\"streamURL\":\"new.wav\"}"));
  cli::state_text s = cli::state_text::of(q.get());
  ASSERT_EQ(player::entry_after_end(s.head()), std::optional<int64_t>(1));
  EXPECT_EQ(s.entry(1).value_or(cli::track_info{}).url, "new.wav");
  ASSERT_TRUE(q.jump(3));
  EXPECT_FALSE(player::entry_after_end(read(q)).has_value());
}

}  // namespace
