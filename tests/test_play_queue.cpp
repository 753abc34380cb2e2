// The play order's gap: every edit at every place, against a plain vector.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "model.h"

namespace {

std::vector<uint32_t> entries(const play_queue &q) {
  std::vector<uint32_t> out;
  for (uint64_t i = 0; i < q.count; i++) out.push_back(queue_id(q, i));
  return out;
}

void expect_sound(const play_queue &q) {
  EXPECT_LE(q.gap_at, q.count);
  EXPECT_LE(q.count + q.gap_len, q.capacity);
  EXPECT_EQ(q.ids == nullptr, q.capacity == 0);
}

TEST(PlayQueue, RandomEditsAgreeWithAVector) {
  std::mt19937_64 rng(99);
  for (int round = 0; round < 40; round++) {
    play_queue q{};
    std::vector<uint32_t> model;
    uint32_t next_id = 0;
    for (int step = 0; step < 2000; step++) {
      uint64_t n = model.size();
      switch (rng() % 8) {
        case 0:
        case 1: {  // insert near a moving "current", as play next does
          uint64_t at = n == 0 ? 0 : rng() % (n + 1);
          if (rng() % 4 != 0 && n > 0) at = (step / 7) % (n + 1);
          ASSERT_EQ(queue_reserve_one(&q), 0);
          queue_insert(&q, at, next_id);
          model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), next_id++);
          break;
        }
        case 2:
        case 3:
          ASSERT_EQ(queue_reserve_one(&q), 0);
          queue_append(&q, next_id);
          model.push_back(next_id++);
          break;
        case 4:
        case 5:
          if (n > 0) {
            uint64_t at = rng() % n;
            ASSERT_EQ(queue_erase(&q, at), model[at]);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
          }
          break;
        case 6:
          if (n > 1) {  // a move: the erase frees the slot the insertion takes
            uint64_t from = rng() % n, to = rng() % n;
            uint32_t id = queue_erase(&q, from);
            queue_insert(&q, to, id);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(from));
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(to), id);
          }
          break;
        default:
          if (rng() % 8 == 0) {
            uint64_t keep = n == 0 ? 0 : rng() % (n + 1);
            queue_truncate(&q, keep);
            model.resize(keep);
          } else if (rng() % 2 == 0) {
            queue_close_gap(&q);
            EXPECT_EQ(q.gap_len, 0u);
          }
          break;
      }
      ASSERT_EQ(entries(q), model) << "round " << round << " step " << step;
      expect_sound(q);
      if (testing::Test::HasFailure()) return;
    }
    queue_free(&q);
  }
}

// Assigning nothing gives an empty queue that takes an insert like any other.
TEST(PlayQueue, AssigningNothingLeavesAnEmptyQueue) {
  play_queue q{};
  ASSERT_EQ(queue_assign(&q, nullptr, 0), 0);
  EXPECT_EQ(q.count, 0u);
  EXPECT_EQ(q.ids, nullptr);
  ASSERT_EQ(queue_reserve_one(&q), 0);
  queue_insert(&q, 0, 7);
  EXPECT_EQ(q.count, 1u);
  EXPECT_EQ(queue_id(q, 0), 7u);
  queue_free(&q);
}

// Inserting where the last insertion was moves nothing: the gap stays there.
TEST(PlayQueue, RepeatedPlayNextKeepsTheGapInPlace) {
  std::vector<uint32_t> ids(10000);
  for (uint32_t i = 0; i < ids.size(); i++) ids[i] = i;
  play_queue q{};
  ASSERT_EQ(queue_assign(&q, ids.data(), ids.size()), 0);
  EXPECT_EQ(q.capacity, 16384u);
  for (uint32_t i = 0; i < 100; i++) {
    ASSERT_EQ(queue_reserve_one(&q), 0);
    queue_insert(&q, 1, 20000 + i);
    EXPECT_EQ(q.gap_at, 2u);
  }
  EXPECT_EQ(queue_id(q, 1), 20099u);
  EXPECT_EQ(queue_id(q, 101), 1u);
  EXPECT_EQ(queue_id(q, q.count - 1), 9999u);
  queue_free(&q);
}

}  // namespace
