// The record pool, the id lists and the URL index: growth, ownership, compaction and
// the index's agreement with the loaded tracks, through the calls that drive them.
#include <gtest/gtest.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fixtures.h"
#include "mul_high.h"
#include "sizes.h"
#include "store_check.h"

namespace {

using fixtures::handle;

// Built by appending: gcc 12 at -O3 warns falsely (-Wrestrict) on "text" + string.
std::string cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out.append(p);
  return out;
}

std::string track(std::string_view url, std::string_view title = "T") {
  return cat({R"({"streamURL":")", url, R"(","title":")", title, R"(","artworkURL":"a.jpg","duration":3})"});
}

void expect_consistent(const pbq_queue *q) {
  const char *fault = store_check::fault(q);
  EXPECT_EQ(fault, nullptr) << fault;
}

TEST(IdList, GrowsFromSixteenByDoubling) {
  id_list list{};
  const uint64_t expected[][2] = {{1, 16}, {16, 16}, {17, 32}, {33, 64}, {100, 128}};
  for (const auto &e : expected) {
    ASSERT_EQ(id_list_reserve(&list, e[0]), 0);
    EXPECT_EQ(list.capacity, e[1]) << e[0];
  }
  EXPECT_EQ(id_list_reserve(&list, k_max_list_count + 1), -1);
  EXPECT_EQ(list.capacity, 128u);
  id_list_free(&list);
  EXPECT_EQ(list.ids, nullptr);
  id_list_free(&list);  // a second free is harmless
}

// Each record is one cache line wherever realloc puts the pool: growth that moves the
// block to another alignment moves the records back onto a boundary, intact, and so
// does giving the slack back. glibc's allocator does move it off a boundary within
// these 400 records (the coverage build counts that path); the sanitizers' allocators
// may keep every block on one, so that is not asserted.
TEST(Store, PoolStaysOnCacheLinesAsItGrowsAndShrinks) {
  track_store store{};
  std::vector<void *> blockers;  // other blocks after the pool, so realloc has to move it
  for (uint32_t i = 0; i < 400; i++) {
    ASSERT_EQ(store_reserve(&store, store.count + 1), 0);
    ASSERT_EQ(reinterpret_cast<uintptr_t>(store.recs) % k_cache_line, 0u) << i;
    track_rec rec{};
    rec.stream_url = "u";
    rec.stream_url_len = 1;
    rec.title = rec.artist = "";
    rec.duration = i;
    rec.flags = rec_in_tracks;
    store_push(&store, rec);
    blockers.push_back(malloc(16 * (i % 7 + 1)));
    for (uint32_t j = 0; j <= i; j++) ASSERT_EQ(store.recs[j].duration, j) << "after " << i;
  }
  ASSERT_GT(store.capacity, store.count);
  store_shrink_to_fit(&store);
  EXPECT_EQ(store.capacity, store.count);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(store.recs) % k_cache_line, 0u);
  for (uint32_t j = 0; j < store.count; j++) EXPECT_EQ(store.recs[j].duration, j);
  store_free(&store);
  for (void *b : blockers) free(b);
}

// An added track owns its strings: the host's text and the parsed document may go.
TEST(Store, AddedTracksOwnTheirStrings) {
  handle h = fixtures::loaded(fixtures::k_three_tracks, 0);
  std::string json = track("added.m4a", "mine");
  ASSERT_EQ(pbq_play_next_json(h.get(), json.c_str()), 0);
  std::fill(json.begin(), json.end(), 'x');
  const track_rec &added = fixtures::queued(h.get(), 1);
  EXPECT_STREQ(added.stream_url, "added.m4a");
  EXPECT_STREQ(added.title, "mine");
  EXPECT_STREQ(added.artwork_url, "a.jpg");
  EXPECT_NE(added.flags & rec_owns_strings, 0u);
  expect_consistent(h.get());
}

// A track added with a URL the loaded tracks already have lives in the queue alone;
// removing it frees it, and once dead slots outnumber the live records the pool is
// compacted without changing what any list shows.
TEST(Store, RemovedQueueOnlyRecordsAreCompactedAway) {
  handle h = fixtures::loaded(fixtures::numbered_tracks(4).c_str(), 0);
  for (int round = 0; round < 200; round++) {
    ASSERT_EQ(pbq_play_next_json(h.get(), track("2.m4a", cat({"copy ", std::to_string(round)})).c_str()), 0);
    if (round % 3 == 0) {
      ASSERT_EQ(pbq_add_to_queue_json(h.get(), track("3.m4a").c_str()), 0);
    }
    if (round % 2 == 1) {
      ASSERT_EQ(pbq_remove_up_next(h.get(), 0), 0);
    }
    expect_consistent(h.get());
  }
  uint64_t live = h->store.count - h->store.dead;
  EXPECT_LE(h->store.count, 2 * live + k_first_capacity);
  ASSERT_EQ(pbq_clear_up_next(h.get()), 0);
  expect_consistent(h.get());
  EXPECT_EQ(h->store.count, 4u);  // only the loaded tracks are left
  EXPECT_EQ(h->store.queue_only, 0u);
}

// However long a session of adds and removes runs, the pool stays bounded by the
// records still in use.
TEST(Store, LongSessionOfAddsAndRemovesDoesNotGrow) {
  handle h = fixtures::loaded(fixtures::numbered_tracks(8).c_str(), 0);
  uint64_t most = 0;
  for (int i = 0; i < 20000; i++) {
    // New URLs go into the loaded tracks too; known ones only into the queue.
    std::string url = i % 2 == 0 ? "3.m4a" : cat({"new", std::to_string(i % 10), ".m4a"});
    ASSERT_GE(pbq_add_to_queue_json(h.get(), track(url).c_str()), 0);
    ASSERT_EQ(pbq_remove_up_next(h.get(), 0), 0);
    if (i > 100 && h->store.capacity > most) most = h->store.capacity;
  }
  expect_consistent(h.get());
  EXPECT_LE(h->store.count, 64u);
  EXPECT_LE(most, 128u);
  EXPECT_EQ(h->tracks.count, 13u);  // the 8 loaded, then new1, new3, new5, new7, new9 once each
}

// Turning shuffle off rebuilds the queue from the tracks: every queue-only record dies
// and the playing URL's first loaded track becomes current.
TEST(Store, ShuffleOffDropsQueueOnlyRecords) {
  handle h = fixtures::loaded(fixtures::numbered_tracks(40).c_str(), 5, true, 9);
  for (int i = 0; i < 30; i++) ASSERT_EQ(pbq_play_next_json(h.get(), track(std::to_string(i) + ".m4a").c_str()), 0);
  ASSERT_EQ(pbq_next(h.get()), 0);  // now playing a queue-only copy
  std::string playing = fixtures::queued(h.get(), static_cast<uint64_t>(h->current)).stream_url;
  EXPECT_EQ(h->store.queue_only, 30u);
  ASSERT_EQ(pbq_set_shuffle(h.get(), 0, 0), 0);
  expect_consistent(h.get());
  EXPECT_EQ(h->store.queue_only, 0u);
  EXPECT_EQ(h->store.count - h->store.dead, 40u);
  EXPECT_EQ(fixtures::queue_urls(h.get()), fixtures::named_range(40));
  EXPECT_EQ(fixtures::queued(h.get(), static_cast<uint64_t>(h->current)).stream_url, playing);
}

// The index is built on the first add that needs it and follows later appends; the
// first occurrence of a URL stays the one it finds.
TEST(UrlIndex, FindsTheFirstOccurrenceAcrossGrowth) {
  std::string list = "[";
  for (int i = 0; i < 50; i++) list.append(i > 0 ? "," : "").append(track(cat({std::to_string(i % 20), ".m4a"})));
  list += "]";
  handle h = fixtures::loaded(list.c_str(), 0);
  EXPECT_EQ(h->index.slots, nullptr);
  EXPECT_EQ(tracks_find(h.get(), "7.m4a", 5), 7);
  ASSERT_EQ(pbq_add_to_queue_json(h.get(), track("7.m4a").c_str()), 0);
  ASSERT_NE(h->index.slots, nullptr);
  EXPECT_EQ(h->tracks.count, 50u);
  for (int i = 0; i < 200; i++) {
    ASSERT_EQ(pbq_play_next_json(h.get(), track(cat({"n", std::to_string(i)})).c_str()), 0);
  }
  EXPECT_EQ(h->tracks.count, 250u);
  expect_consistent(h.get());
  EXPECT_EQ(tracks_find(h.get(), "n199", 4), 249);
  EXPECT_EQ(tracks_find(h.get(), "19.m4a", 6), 19);
  EXPECT_EQ(tracks_find(h.get(), "nowhere", 7), -1);
  // A load drops the index with everything else.
  ASSERT_EQ(pbq_set_tracks_json(h.get(), fixtures::k_three_tracks, 0, 0), 0);
  EXPECT_EQ(h->index.slots, nullptr);
}

// The index's home slot is the high half of hash * capacity. The four-product form,
// which 32-bit targets use, must agree with the exact product everywhere: carries
// out of the middle column, all-ones operands, the extremes.
TEST(UrlIndex, HighHalfOfTheProductIsExact) {
  struct row {
    uint64_t a, b, high;
  };
  const row rows[] = {
      {0, 0xffffffffffffffffu, 0},
      {0xffffffffffffffffu, 0xffffffffffffffffu, 0xfffffffffffffffeu},
      {0x8000000000000000u, 2, 1},
      {0xffffffffu, 0xffffffffu, 0},
      {0x100000000u, 0x100000000u, 1},
      {0x9e3779b97f4a7c15u, 0xc2b2ae3d27d4eb4fu, 0x78547880b6031473u},
      {0xffffffff00000001u, 0xffffffff00000001u, 0xfffffffe00000002u},
      {0x1ffffffffu, 0xffffffff00000000u, 0x1fffffffdu},
      {0xab54a98ceb1f0ad2u, 67, 0x2c},
  };
  for (const row &r : rows) {
    EXPECT_EQ(mul_high_u64_portable(r.a, r.b), r.high) << std::hex << r.a << " * " << r.b;
    EXPECT_EQ(mul_high_u64_portable(r.b, r.a), r.high) << std::hex << r.b << " * " << r.a;
    EXPECT_EQ(mul_high_u64(r.a, r.b), r.high) << std::hex << r.a << " * " << r.b;
  }
#ifdef __SIZEOF_INT128__
  uint64_t x = 0x243f6a8885a308d3u;
  for (int i = 0; i < 100000; i++) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    const uint64_t a = x, b = x * 0x9e3779b97f4a7c15u >> (i % 64);
    ASSERT_EQ(mul_high_u64_portable(a, b), static_cast<uint64_t>((static_cast<unsigned __int128>(a) * b) >> 64))
        << std::hex << a << " * " << b;
  }
#endif
}

// An array whose bytes pass the address space is refused as if memory ran out, never
// allocated at a wrapped, smaller size: on a 32-bit target past SIZE_MAX, and on every
// target past 2^64 bytes. Within range the allocation is exact everywhere.
TEST(Sizes, ArraysBeyondTheAddressSpaceAreRefused) {
  const uint64_t past_size_t = uint64_t{SIZE_MAX} / sizeof(uint32_t) + 1;  // wraps to 0 bytes
  const uint64_t past_64_bits = UINT64_MAX / sizeof(uint32_t) + 1;         // wraps to 0 bytes
  for (uint64_t too_many : {past_size_t, past_64_bits, UINT64_MAX}) {
    SCOPED_TRACE(too_many);
    EXPECT_EQ(malloc_array(too_many, sizeof(uint32_t)), nullptr);
    EXPECT_EQ(calloc_array(too_many, sizeof(uint32_t)), nullptr);
    void *block = malloc_array(4, sizeof(uint32_t));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(realloc_array(block, too_many, sizeof(uint32_t)), nullptr);  // the block stays
    free(block);
  }
  auto *ids = static_cast<uint32_t *>(calloc_array(1000, sizeof(uint32_t)));
  ASSERT_NE(ids, nullptr);
  ids[999] = 7;
  ids = static_cast<uint32_t *>(realloc_array(ids, 2000, sizeof(uint32_t)));
  ASSERT_NE(ids, nullptr);
  EXPECT_EQ(ids[999], 7u);
  ids[1999] = 8;
  free(ids);
  EXPECT_EQ(bytes_in_block(uint64_t{1000} * sizeof(uint32_t)), 4000u);
}

// Two URLs whose hashes share the index's 32-bit tag and, in the 67-slot table the
// first add builds over one loaded track, the home slot too (found by a birthday
// search). The index must tell them apart by their text.
TEST(UrlIndex, EqualTagsOfDifferentUrlsStayApart) {
  const std::string first = "https://example.com/track/316053.mp3";
  const std::string second = "https://example.com/track/334656.mp3";
  const uint64_t a = XXH3_64bits(first.data(), first.size());
  const uint64_t b = XXH3_64bits(second.data(), second.size());
  auto home = [](uint64_t hash) { return mul_high_u64(hash, 67); };
  ASSERT_EQ(static_cast<uint32_t>(a), static_cast<uint32_t>(b));
  ASSERT_EQ(home(a), home(b));

  handle h = fixtures::loaded(cat({"[", track(first), "]"}).c_str(), 0);
  ASSERT_EQ(pbq_add_to_queue_json(h.get(), track(second).c_str()), PBQ_ADDED_QUEUED);
  ASSERT_EQ(h->index.capacity, 67u);
  EXPECT_EQ(fixtures::track_urls(h.get()), (std::vector<std::string>{first, second}));
  // Both are known now: queued again, neither added to the tracks a second time.
  EXPECT_EQ(pbq_add_to_queue_json(h.get(), track(first).c_str()), PBQ_ADDED_QUEUED);
  EXPECT_EQ(pbq_add_to_queue_json(h.get(), track(second).c_str()), PBQ_ADDED_QUEUED);
  EXPECT_EQ(h->tracks.count, 2u);
  EXPECT_EQ(h->queue.count, 4u);
  expect_consistent(h.get());
}

// Without an index the tracks are walked, and a URL that is not there is not found.
TEST(UrlIndex, WalkWithoutAnIndexMissesAnAbsentUrl) {
  handle h = fixtures::loaded(fixtures::k_three_tracks, 0);
  ASSERT_EQ(h->index.slots, nullptr);
  EXPECT_EQ(tracks_find(h.get(), "3.m4a", 5), 2);
  EXPECT_EQ(tracks_find(h.get(), "4.m4a", 5), -1);
  EXPECT_EQ(tracks_find(h.get(), "3.m4", 4), -1);
}

// Records of a loaded list point into the handle's own copy of the text, decoded in
// place; an escaped string is decoded there too.
TEST(Store, LoadedRecordsLiveInTheLoadedText) {
  handle h = fixtures::loaded(R"([{"streamURL":"a\/b","title":"caf\u00e9","artist":"x"}])");
  const track_rec &r = fixtures::loaded_track(h.get(), 0);
  ASSERT_NE(h->store.text, nullptr);
  EXPECT_STREQ(r.stream_url, "a/b");
  EXPECT_STREQ(r.title, "caf\xc3\xa9");
  EXPECT_EQ(r.flags & (rec_plain_stream_url | rec_plain_title), 0u);
  EXPECT_NE(r.flags & rec_plain_artist, 0u);
  EXPECT_EQ(r.flags & rec_owns_strings, 0u);
  EXPECT_GE(r.stream_url, h->store.text);
  expect_consistent(h.get());
}

}  // namespace
