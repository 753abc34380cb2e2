// The light read of the state document against a full parse by yyjson: the members
// before the queue, and every entry by index (in order, backwards, out of range),
// on documents the library writes from hostile titles and on hand-written ones.
#include <gtest/gtest.h>
#include <yyjson.h>

#include <optional>
#include <string>
#include <vector>

#include "pbq.hpp"
#include "state_text.h"

namespace {

std::string text_of(yyjson_val *v) {
  return yyjson_is_str(v) ? std::string(yyjson_get_str(v), yyjson_get_len(v)) : std::string();
}

cli::track_info oracle_track(yyjson_val *obj) {
  cli::track_info t;
  t.url = text_of(yyjson_obj_get(obj, "streamURL"));
  t.title = text_of(yyjson_obj_get(obj, "title"));
  t.artist = text_of(yyjson_obj_get(obj, "artist"));
  t.artwork = text_of(yyjson_obj_get(obj, "artworkURL"));
  t.duration = yyjson_get_num(yyjson_obj_get(obj, "duration"));
  return t;
}

void expect_same(const cli::track_info &a, const cli::track_info &b) {
  EXPECT_EQ(a.url, b.url);
  EXPECT_EQ(a.title, b.title);
  EXPECT_EQ(a.artist, b.artist);
  EXPECT_EQ(a.artwork, b.artwork);
  EXPECT_EQ(a.duration, b.duration);
}

// Everything the light read gives, against yyjson's reading of the whole text.
void expect_matches_full_parse(const std::string &json) {
  yyjson_doc *doc = yyjson_read(json.data(), json.size(), 0);
  ASSERT_NE(doc, nullptr);
  yyjson_val *root = yyjson_doc_get_root(doc);
  cli::state_text s = cli::state_text::parse(json);
  ASSERT_TRUE(s.ok());
  const cli::queue_head &h = s.head();
  EXPECT_EQ(h.current, yyjson_get_sint(yyjson_obj_get(root, "currentIndex")));
  EXPECT_EQ(h.count, yyjson_get_uint(yyjson_obj_get(root, "queueCount")));
  EXPECT_EQ(h.up_next, yyjson_get_uint(yyjson_obj_get(root, "upNextCount")));
  EXPECT_EQ(h.repeat, yyjson_get_sint(yyjson_obj_get(root, "repeatMode")));
  EXPECT_EQ(h.shuffled, yyjson_get_bool(yyjson_obj_get(root, "isShuffled")));
  EXPECT_EQ(h.rate, yyjson_get_num(yyjson_obj_get(root, "playbackRate")));
  EXPECT_EQ(h.sleep, yyjson_get_sint(yyjson_obj_get(root, "sleepMode")));
  EXPECT_EQ(h.has_next, yyjson_get_bool(yyjson_obj_get(root, "hasNext")));
  EXPECT_EQ(h.has_previous, yyjson_get_bool(yyjson_obj_get(root, "hasPrevious")));
  yyjson_val *current = yyjson_obj_get(root, "currentTrack");
  ASSERT_EQ(h.current_track.has_value(), yyjson_is_obj(current));
  if (h.current_track) expect_same(*h.current_track, oracle_track(current));

  yyjson_val *queue = yyjson_obj_get(root, "queue");
  const auto count = static_cast<int64_t>(yyjson_arr_size(queue));
  std::vector<int64_t> order;
  for (int64_t i = -1; i <= count + 1; i++) order.push_back(i);        // forwards, past both ends
  for (int64_t i = count + 1; i >= -1; i--) order.push_back(i);        // backwards
  for (int64_t i = 0; i < count; i += 2) order.push_back(i);           // forwards again, skipping
  for (int64_t i : order) {
    SCOPED_TRACE("entry " + std::to_string(i));
    std::optional<cli::track_info> entry = s.entry(i);
    ASSERT_EQ(entry.has_value(), i >= 0 && i < count);
    if (!entry) continue;
    yyjson_val *element = yyjson_arr_get(queue, static_cast<size_t>(i));
    expect_same(*entry, oracle_track(element));
    // The entry's text is exactly the element: it reads back as the same value.
    std::string_view piece = s.entry_text(i).value_or("");
    yyjson_doc *alone = yyjson_read(piece.data(), piece.size(), 0);
    EXPECT_TRUE(yyjson_equals(yyjson_doc_get_root(alone), element));
    yyjson_doc_free(alone);
  }
  yyjson_doc_free(doc);
}

struct written_case {
  const char *name;
  const char *tracks;  // a track list for the library
  int32_t start;
};

// Titles and artists that a scan for brackets and quotes could mistake for
// structure, and texts outside ASCII.
const written_case k_written[] = {
    {"empty queue", "[]", 0},
    {"one track", R"([{"streamURL":"a.flac","title":"A","artist":"X","duration":61.5}])", 0},
    {"escaped quotes and backslashes",
     R"([{"streamURL":"q\"uote.mp3","title":"say \"hi\"","artist":"back\\slash\\"},
         {"streamURL":"b.mp3","title":"\\\"","artist":"\\\\"},
         {"streamURL":"c.mp3","title":"ends in a backslash \\"}])",
     1},
    {"brackets and braces in titles",
     R"([{"streamURL":"1.ogg","title":"},{\"streamURL\":\"fake.ogg\"}","artist":"]}"},
         {"streamURL":"2.ogg","title":"[[[{{{","artist":"\"]\"}"},
         {"streamURL":"3.ogg","title":"{\"a\":[1,{\"b\":\"]\"}]}","artworkURL":"x}.png"}])",
     2},
    {"control characters", R"([{"streamURL":"t.wav","title":"tab\there\nnew line \u0001 \u001f"},{"streamURL":"u.wav"}])", 0},
    {"unicode", R"([{"streamURL":"s.flac","title":"Ágætis byrjun","artist":"Sigur Rós"},
                    {"streamURL":"e.flac","title":"\u00e9\ud83c\udfb5 音楽","artist":"\u2028\u2029"},
                    {"streamURL":"z.flac","title":"💿"}])",
     1},
};

TEST(StateText, MatchesTheFullParseOfWrittenDocuments) {
  for (const written_case &c : k_written) {
    SCOPED_TRACE(c.name);
    pbq::queue q;
    ASSERT_TRUE(q.set_tracks(c.tracks, c.start));
    expect_matches_full_parse(q.state_json().value());
    // Shuffled, the same holds in play order.
    ASSERT_TRUE(q.set_shuffle(true, 7));
    expect_matches_full_parse(q.state_json().value());
  }
}

// Long enough for the checkpoints that going back starts from: every entry, in
// order and backwards, with titles that look like structure.
TEST(StateText, GoesBackAndForthInALongQueue) {
  std::string tracks = "[";
  for (int i = 0; i < 3000; i++) {
    tracks.append(i > 0 ? "," : "").append(R"({"streamURL":")").append(std::to_string(i));
    tracks.append(i % 3 == 0 ? R"(","title":"},{\"x\":[\"]}"})" : R"(.mp3"})");
  }
  tracks += "]";
  pbq::queue q;
  ASSERT_TRUE(q.set_tracks(tracks, 2500));
  expect_matches_full_parse(q.state_json().value());
  cli::state_text s = cli::state_text::of(q.get());
  for (int64_t i : {2999, 1025, 1024, 1023, 2048, 0, 2047, 3000, 1500}) {
    SCOPED_TRACE(i);
    std::optional<cli::track_info> entry = s.entry(i);
    ASSERT_EQ(entry.has_value(), i < 3000);
    if (entry) {
      EXPECT_EQ(entry->url, std::to_string(i) + (i % 3 == 0 ? "" : ".mp3"));
    }
  }
}

TEST(StateText, ReadsTheDocumentOfAQueue) {
  pbq::queue q;
  ASSERT_TRUE(q.set_tracks(k_written[3].tracks, 1));
  cli::state_text s = cli::state_text::of(q.get());
  ASSERT_TRUE(s.ok());
  EXPECT_EQ(s.text(), q.state_json().value());
  EXPECT_EQ(s.head().current, 1);
  EXPECT_EQ(s.head().count, 3u);
  EXPECT_EQ(s.head().current_track.value_or(cli::track_info{}).title, "[[[{{{");
  EXPECT_EQ(s.entry(0).value_or(cli::track_info{}).title, R"(},{"streamURL":"fake.ogg"})");
  EXPECT_EQ(s.entry(2).value_or(cli::track_info{}).artwork, "x}.png");
  EXPECT_FALSE(s.entry(3).has_value());

  cli::state_text none = cli::state_text::of(nullptr);  // the library gives no document
  EXPECT_FALSE(none.ok());
  EXPECT_FALSE(none.entry(0).has_value());
}

// Documents the library does not write but a reader meets: no current track with
// entries, blanks between tokens, a queue member missing (as under memory
// exhaustion), fewer entries than counted, and texts that are no document.
TEST(StateText, HandWrittenDocuments) {
  const char *head = R"({"currentIndex":-1,"queueCount":2,"upNextCount":0,"repeatMode":1,"isShuffled":false,)"
                     R"("playbackRate":1.5,"sleepMode":2,"hasNext":false,"hasPrevious":false,"currentTrack":null,)";
  expect_matches_full_parse(std::string(head) + R"("queue":[{"streamURL":"a"},{"streamURL":"b","title":"]"}]})");
  expect_matches_full_parse(
      "{ \"currentIndex\" : 0 ,\n \"queueCount\" : 2 , \"currentTrack\" : { \"streamURL\" : \"a\" } ,\n"
      " \"queue\" : [ { \"streamURL\" : \"a\" } ,\n\t{ \"streamURL\" : \"b\" , \"duration\" : 3.0 } ] }");
  expect_matches_full_parse(std::string(head) + R"("queue":[{"streamURL":"only one"}]})");

  cli::state_text no_queue = cli::state_text::parse(R"({"currentIndex":0,"queueCount":3,"currentTrack":{"title":"T"}})");
  ASSERT_TRUE(no_queue.ok());
  EXPECT_EQ(no_queue.head().current_track.value_or(cli::track_info{}).title, "T");
  EXPECT_FALSE(no_queue.entry(0).has_value());

  for (const char *bad : {"", "[]", "null", "{\"currentIndex\":", "not json"}) {
    SCOPED_TRACE(bad);
    cli::state_text s = cli::state_text::parse(bad);
    EXPECT_FALSE(s.ok());
    EXPECT_FALSE(s.entry(0).has_value());
  }
  // A text cut off in the queue: its head is read, an entry cut off is not given.
  for (const char *cut : {R"({"queue":[)", R"({"queue":[{"title":"cut)", R"({"queue":[{"title":"cut\"})"}) {
    SCOPED_TRACE(cut);
    cli::state_text s = cli::state_text::parse(cut);
    EXPECT_TRUE(s.ok());
    EXPECT_FALSE(s.entry(0).has_value());
  }
  cli::state_text second_cut = cli::state_text::parse(std::string(head) + R"("queue":[{"streamURL":"a"},{"streamURL":"b)");
  ASSERT_TRUE(second_cut.ok());
  EXPECT_EQ(second_cut.entry(0).value_or(cli::track_info{}).url, "a");
  EXPECT_FALSE(second_cut.entry(1).has_value());
}

}  // namespace
