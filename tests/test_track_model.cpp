// Track records and lists: deep copies, growth and release.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "model.h"

namespace {

char *dup(const char *s) { return s != nullptr ? strdup(s) : nullptr; }

track make_track(const char *url, const char *title, const char *artist, const char *art, double d) {
  return track{dup(url), dup(title), dup(artist), dup(art), d};
}

TEST(TrackCopy, NullFieldsBecomeEmptyTextsExceptArtwork) {
  struct row {
    const char *url, *title, *artist, *art;
  };
  for (const row &r : {row{"u", "t", "a", "art"}, row{"u", nullptr, nullptr, nullptr},
                       row{nullptr, "t", nullptr, "art"}}) {
    track src{const_cast<char *>(r.url), const_cast<char *>(r.title), const_cast<char *>(r.artist),
              const_cast<char *>(r.art), 12.5};
    track dst;
    memset(&dst, 0x5a, sizeof dst);  // old contents are overwritten, not freed
    ASSERT_EQ(track_copy(&dst, &src), 0);
    EXPECT_STREQ(dst.stream_url, r.url != nullptr ? r.url : "");
    EXPECT_STREQ(dst.title, r.title != nullptr ? r.title : "");
    EXPECT_STREQ(dst.artist, r.artist != nullptr ? r.artist : "");
    if (r.art == nullptr) {
      EXPECT_EQ(dst.artwork_url, nullptr);
    } else {
      EXPECT_STREQ(dst.artwork_url, r.art);
    }
    EXPECT_EQ(dst.duration, 12.5);
    // Private blocks, never the source's.
    for (auto [copy, orig] : {std::pair{dst.stream_url, r.url}, {dst.title, r.title}, {dst.artist, r.artist},
                              {dst.artwork_url, r.art}}) {
      if (copy != nullptr) {
        EXPECT_NE(copy, orig);
      }
    }
    track_free(&dst);
  }
}

TEST(TrackList, CapacityRunsSixteenThirtyTwoSixtyFour) {
  track t = make_track("u", "t", "a", nullptr, 1.0);
  track_list list{};
  struct step {
    int pushes;
    uint64_t capacity;
  };
  int pushed = 0;
  for (const step &s : {step{1, 16}, step{16, 16}, step{17, 32}, step{32, 32}, step{33, 64}, step{65, 128}}) {
    while (pushed < s.pushes) {
      ASSERT_EQ(list_push_copy(&list, &t), 0);
      pushed++;
    }
    EXPECT_EQ(list.count, static_cast<uint64_t>(s.pushes));
    EXPECT_EQ(list.capacity, s.capacity);
  }
  list_clear(&list);
  track_free(&t);
}

TEST(TrackList, PushedRecordIsIndependentOfItsSource) {
  track t = make_track("stream", "title", "artist", "art", 3.0);
  track_list list{};
  ASSERT_EQ(list_push_copy(&list, &t), 0);
  ASSERT_EQ(list_push_copy(&list, &t), 0);
  t.title[0] = 'X';
  track_free(&t);
  EXPECT_STREQ(list.items[0].title, "title");
  EXPECT_STREQ(list.items[1].artwork_url, "art");
  EXPECT_NE(list.items[0].stream_url, list.items[1].stream_url);
  list_clear(&list);
}

TEST(TrackList, ClearIsHarmlessTwiceAndOnANeverUsedList) {
  track_list list{};
  list_clear(&list);
  track t = make_track("u", nullptr, nullptr, nullptr, 0);
  ASSERT_EQ(list_push_copy(&list, &t), 0);
  list_clear(&list);
  list_clear(&list);
  EXPECT_EQ(list.items, nullptr);
  EXPECT_EQ(list.count, 0u);
  EXPECT_EQ(list.capacity, 0u);
  ASSERT_EQ(list_push_copy(&list, &t), 0);  // usable again
  EXPECT_EQ(list.capacity, 16u);
  list_clear(&list);
  track_free(&t);
}

TEST(TrackList, RefusesToGrowPastTheLargestIndex) {
  track_list list{};
  EXPECT_EQ(list_reserve(&list, k_max_list_count + 1), -1);
  EXPECT_EQ(list.items, nullptr);
  EXPECT_EQ(list.capacity, 0u);
  EXPECT_EQ(list_reserve(&list, 100), 0);
  EXPECT_EQ(list.capacity, 128u);
  list_clear(&list);
}

TEST(TrackList, PushMoveTakesTheStrings) {
  track t = make_track("u", "t", "a", nullptr, 1.0);
  char *url = t.stream_url;
  track_list list{};
  ASSERT_EQ(list_push_move(&list, &t), 0);
  EXPECT_EQ(list.items[0].stream_url, url);
  EXPECT_EQ(t.stream_url, nullptr);
  list_clear(&list);
}

}  // namespace
