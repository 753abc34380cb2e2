// The layout in play order: after a shuffle, a shuffled load or turning shuffle off,
// the first state document of a long queue lays the queue's records out in the pool in
// play order and their strings in one text in the same order, with every track, entry
// and document as before. Short queues are laid out here by calling the layout itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fixtures.h"
#include "state_oracle.h"
#include "store_check.h"

namespace {

using fixtures::handle;

// Null when the queue's entries are records [0, count) and every live record's strings
// lie in the text, one record after another in pool order; else what is wrong.
const char *layout_fault(const pbq_queue *q) {
  for (uint64_t i = 0; i < q->queue.count; i++) {
    if (queue_id(q->queue, i) != i) return "queue entry out of pool order";
  }
  const char *last = nullptr;
  for (uint64_t i = 0; i < q->store.count; i++) {
    const track_rec &r = q->store.recs[i];
    if ((r.flags & rec_owns_strings) != 0) return "a record owning its strings";
    if (r.stream_url < q->store.text || r.stream_url <= last) return "strings out of pool order";
    last = r.artwork_url != nullptr ? r.artwork_url : r.artist;
  }
  return nullptr;
}

// Tracks with and without artwork, more than the copy fetches ahead.
std::string mixed_tracks(int n) {
  std::string out = "[";
  for (int i = 0; i < n; i++) {
    if (i > 0) out += ",";
    out += R"({"streamURL":")" + std::to_string(i) + R"(.m4a","title":"T\u00e9)" + std::to_string(i) + R"(")";
    if (i % 3 != 0) out += R"(,"artist":"A","artworkURL":"art/)" + std::to_string(i) + R"(.jpg")";
    out += R"(,"duration":)" + std::to_string(i) + ".5}";
  }
  return out + "]";
}

std::string added(const std::string &url) { return R"({"streamURL":")" + url + R"(","title":"added"})"; }

// Every record of the queue, as strings, sorted: what a reordering keeps.
std::vector<std::string> queue_as_set(const pbq_queue *q) {
  std::vector<std::string> out;
  for (const auto &r : fixtures::records(q, true)) {
    out.push_back(r.stream_url + "|" + r.title + "|" + r.artist + "|" + r.artwork_url + "|" + std::to_string(r.duration));
  }
  std::sort(out.begin(), out.end());
  return out;
}

void expect_sound(const pbq_queue *q) {
  EXPECT_EQ(store_check::fault(q), nullptr);
  EXPECT_EQ(fixtures::state_text(q), oracle::state_text(q));
}

TEST(Layout, ShuffledLoadPutsRecordsAndStringsInPlayOrder) {
  const std::string json = mixed_tracks(50);
  handle plain = fixtures::loaded(json.c_str(), 7);
  handle shuffled = fixtures::loaded(json.c_str(), 7, true, 99);
  EXPECT_NE(layout_fault(shuffled.get()), nullptr);
  lay_out_in_play_order(shuffled.get());
  EXPECT_EQ(layout_fault(shuffled.get()), nullptr);
  EXPECT_EQ(shuffled->store.loaded, 50u);
  EXPECT_EQ(fixtures::records(shuffled.get(), false), fixtures::records(plain.get(), false));
  EXPECT_EQ(queue_as_set(shuffled.get()), queue_as_set(plain.get()));
  EXPECT_EQ(fixtures::queued(shuffled.get(), 0).stream_url, std::string("7.m4a"));
  expect_sound(shuffled.get());
}

TEST(Layout, ShuffledLoadWithoutUsableTracksLeavesAnEmptyQueue) {
  handle h = fixtures::loaded(R"([5,{"title":"no address"}])", 0, true);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->queue.count, 0u);
  EXPECT_EQ(h->store.count, 0u);
  expect_sound(h.get());
}

// Added records (owning their strings, in the tracks or in the queue alone), loaded
// ones the queue no longer names and dead slots, through a shuffle and back.
TEST(Layout, ShuffleOnAndOffKeepEveryKindOfRecord) {
  handle h = fixtures::loaded(mixed_tracks(40).c_str(), 0);
  pbq_queue *q = h.get();
  ASSERT_EQ(pbq_play_next_json(q, added("new/1.m4a").c_str()), PBQ_ADDED_QUEUED);
  ASSERT_EQ(pbq_add_to_queue_json(q, added("new/2.m4a").c_str()), PBQ_ADDED_QUEUED);
  ASSERT_EQ(pbq_play_next_json(q, added("3.m4a").c_str()), PBQ_ADDED_QUEUED);   // queue only
  ASSERT_EQ(pbq_add_to_queue_json(q, added("4.m4a").c_str()), PBQ_ADDED_QUEUED);  // queue only
  ASSERT_EQ(pbq_add_to_queue_json(q, added("5.m4a").c_str()), PBQ_ADDED_QUEUED);  // queue only, removed below
  ASSERT_EQ(pbq_remove_up_next(q, static_cast<int32_t>(q->queue.count) - 2), PBQ_OK);  // a dead slot
  ASSERT_EQ(pbq_remove_up_next(q, 5), PBQ_OK);  // a loaded track the queue no longer names
  ASSERT_EQ(q->store.dead, 1u);
  const auto tracks_before = fixtures::records(q, false);
  const auto queue_before = queue_as_set(q);
  expect_sound(q);

  ASSERT_EQ(pbq_set_shuffle(q, 1, 5), PBQ_OK);
  lay_out_in_play_order(q);
  EXPECT_EQ(layout_fault(q), nullptr);
  EXPECT_EQ(q->store.dead, 0u);
  EXPECT_EQ(q->store.count, q->queue.count + 1);  // the unnamed loaded track last
  EXPECT_EQ(fixtures::records(q, false), tracks_before);
  EXPECT_EQ(queue_as_set(q), queue_before);
  // `loaded` ends at the first record the queue alone names.
  ASSERT_LT(q->store.loaded, q->store.count);
  EXPECT_EQ(q->store.recs[q->store.loaded].flags & rec_in_tracks, 0u);
  expect_sound(q);

  // Records laid out in the text die and compact like added ones.
  ASSERT_EQ(pbq_play_next_json(q, added("6.m4a").c_str()), PBQ_ADDED_QUEUED);
  expect_sound(q);
  for (int i = 0; i < 60; i++) ASSERT_EQ(pbq_add_to_queue_json(q, added("7.m4a").c_str()), PBQ_ADDED_QUEUED);
  ASSERT_EQ(pbq_set_shuffle(q, 1, 6), PBQ_OK);
  lay_out_in_play_order(q);
  EXPECT_EQ(layout_fault(q), nullptr);
  ASSERT_EQ(pbq_clear_up_next(q), PBQ_OK);  // the dead outnumber the live: compacted
  EXPECT_EQ(q->store.dead, 0u);
  expect_sound(q);

  ASSERT_EQ(pbq_set_shuffle(q, 0, 0), PBQ_OK);
  lay_out_in_play_order(q);
  EXPECT_EQ(layout_fault(q), nullptr);
  EXPECT_EQ(fixtures::records(q, false), tracks_before);
  EXPECT_EQ(fixtures::records(q, true), fixtures::records(q, false));
  expect_sound(q);
}

// Edits between the shuffle and the document leave a gap in the play order, where play
// next inserted; the layout renames the entries on both sides of it.
TEST(Layout, AQueueWithAGapIsLaidOutInItsOrder) {
  handle h = fixtures::loaded(mixed_tracks(40).c_str(), 3, true, 8);
  pbq_queue *q = h.get();
  ASSERT_EQ(pbq_play_next_json(q, added("new/1.m4a").c_str()), PBQ_ADDED_QUEUED);
  ASSERT_EQ(pbq_play_next_json(q, added("7.m4a").c_str()), PBQ_ADDED_QUEUED);
  ASSERT_EQ(pbq_remove_up_next(q, 5), PBQ_OK);
  ASSERT_GT(q->queue.gap_len, 0u);
  ASSERT_LT(q->queue.gap_at, q->queue.count);
  const std::string before = fixtures::state_text(q);
  lay_out_in_play_order(q);
  EXPECT_EQ(layout_fault(q), nullptr);
  EXPECT_EQ(fixtures::state_text(q), before);
  expect_sound(q);
}

TEST(Layout, AQueueAlreadyInPoolOrderIsLeftWhereItIs) {
  handle h = fixtures::loaded(fixtures::k_five_tracks, 2);
  const track_rec *recs = h->store.recs;
  const char *text = h->store.text;
  ASSERT_EQ(pbq_set_shuffle(h.get(), 0, 0), PBQ_OK);
  lay_out_in_play_order(h.get());
  EXPECT_EQ(h->store.recs, recs);
  EXPECT_EQ(h->store.text, text);
  // A single entry stays in order whatever the shuffle.
  handle one = fixtures::loaded(R"([{"streamURL":"a"}])", 0);
  recs = one->store.recs;
  ASSERT_EQ(pbq_set_shuffle(one.get(), 1, 3), PBQ_OK);
  lay_out_in_play_order(one.get());
  EXPECT_EQ(one->store.recs, recs);
  expect_sound(one.get());
}

// Through the C interface: the first document after a shuffle, a shuffled load or
// turning shuffle off lays a long queue out, once; a short one is left where it is.
TEST(Layout, TheFirstDocumentLaysOutALongQueueOnce) {
  const int long_count = static_cast<int>(k_layout_min_entries) + 100;
  handle h = fixtures::loaded(mixed_tracks(long_count).c_str(), 11, true, 3);
  pbq_queue *q = h.get();
  EXPECT_TRUE(q->layout_wanted);
  EXPECT_NE(layout_fault(q), nullptr);
  expect_sound(q);  // the document is the oracle's, written from the laid-out pool
  EXPECT_FALSE(q->layout_wanted);
  EXPECT_EQ(layout_fault(q), nullptr);
  const track_rec *recs = q->store.recs;
  expect_sound(q);
  EXPECT_EQ(q->store.recs, recs);  // laid out once, not at every document

  // An edit asks for no new layout; turning shuffle off asks for source order. (The
  // URL index an add builds makes the store check quadratic: the documents only, here.)
  ASSERT_EQ(pbq_play_next_json(q, added("new/1.m4a").c_str()), PBQ_ADDED_QUEUED);
  EXPECT_FALSE(q->layout_wanted);
  EXPECT_EQ(fixtures::state_text(q), oracle::state_text(q));
  ASSERT_EQ(pbq_set_shuffle(q, 0, 0), PBQ_OK);
  EXPECT_TRUE(q->layout_wanted);
  EXPECT_EQ(fixtures::state_text(q), oracle::state_text(q));
  EXPECT_EQ(layout_fault(q), nullptr);
  EXPECT_EQ(fixtures::records(q, true), fixtures::records(q, false));

  // A load in source order needs none; a short shuffled queue gets none.
  ASSERT_EQ(pbq_set_tracks_json(q, mixed_tracks(long_count).c_str(), 0, 0), PBQ_OK);
  EXPECT_FALSE(q->layout_wanted);
  handle short_queue = fixtures::loaded(mixed_tracks(static_cast<int>(k_layout_min_entries) - 1).c_str(), 0, true, 3);
  recs = short_queue->store.recs;
  expect_sound(short_queue.get());
  EXPECT_FALSE(short_queue->layout_wanted);
  EXPECT_EQ(short_queue->store.recs, recs);
  EXPECT_NE(layout_fault(short_queue.get()), nullptr);
}

}  // namespace
