// The track writer and the state document: exact texts, number format, escaping and
// the flags over every repeat mode and position.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "documents.h"
#include "fixtures.h"

namespace {

using fixtures::state_text;

const char *const k_worked_state =
    R"({"currentIndex":1,"queueCount":3,"upNextCount":1,"repeatMode":0,"isShuffled":false,"playbackRate":1.0,)"
    R"("sleepMode":0,"hasNext":true,"hasPrevious":true,)"
    R"("currentTrack":{"streamURL":"2.m4a","title":"T2","artist":"","artworkURL":null,"duration":200.0},)"
    R"("queue":[{"streamURL":"1.m4a","title":"T1","artist":"","artworkURL":null,"duration":100.0},)"
    R"({"streamURL":"2.m4a","title":"T2","artist":"","artworkURL":null,"duration":200.0},)"
    R"({"streamURL":"3.m4a","title":"T3","artist":"","artworkURL":null,"duration":300.0}]})";

const char *const k_fresh_state =
    R"({"currentIndex":-1,"queueCount":0,"upNextCount":0,"repeatMode":0,"isShuffled":false,"playbackRate":1.0,)"
    R"("sleepMode":0,"hasNext":false,"hasPrevious":false,"currentTrack":null,"queue":[]})";

// One track object written alone, as compact text.
std::string track_object(const track &t) {
  yyjson_mut_doc *doc = yyjson_mut_doc_new(nullptr);
  yyjson_mut_val *obj = yyjson_mut_obj(doc);
  yyjson_mut_doc_set_root(doc, obj);
  EXPECT_TRUE(add_track_to_json(doc, obj, &t));
  std::string out = fixtures::take_text(yyjson_mut_write(doc, 0, nullptr));
  yyjson_mut_doc_free(doc);
  return out;
}

TEST(TrackWriter, WritesFiveMembersInOrder) {
  char url[] = "1.m4a", title[] = "T1", artist[] = "", art[] = "https://img/a.jpg";
  EXPECT_EQ(track_object({url, title, artist, nullptr, 100}),
            R"({"streamURL":"1.m4a","title":"T1","artist":"","artworkURL":null,"duration":100.0})");
  EXPECT_EQ(track_object({url, title, artist, art, 215.5}),
            R"({"streamURL":"1.m4a","title":"T1","artist":"","artworkURL":"https://img/a.jpg","duration":215.5})");
  EXPECT_EQ(track_object({url, title, artist, nullptr, 0}),
            R"({"streamURL":"1.m4a","title":"T1","artist":"","artworkURL":null,"duration":0.0})");
}

TEST(TrackWriter, RefusesAnUnusableTarget) {
  char url[] = "u";
  track t{url, url, url, nullptr, 1};
  yyjson_mut_doc *doc = yyjson_mut_doc_new(nullptr);
  EXPECT_FALSE(add_track_to_json(nullptr, nullptr, &t));
  EXPECT_FALSE(add_track_to_json(doc, nullptr, &t));
  EXPECT_FALSE(add_track_to_json(doc, yyjson_mut_arr(doc), &t));
  yyjson_mut_doc_free(doc);
}

TEST(StateDocument, WorkedExamplesByteForByte) {
  fixtures::handle fresh = fixtures::make_handle();
  EXPECT_EQ(state_text(fresh.get()), k_fresh_state);
  fixtures::handle h = fixtures::loaded(fixtures::k_three_tracks, 1);
  EXPECT_EQ(state_text(h.get()), k_worked_state);
  EXPECT_EQ(pbq_state_json(nullptr), nullptr);
}

TEST(StateDocument, NumbersAndEscaping) {
  fixtures::handle h = fixtures::loaded(
      R"([{"streamURL":"http://h/a b/é.m4a","title":"say \"hi\" \\ now\u0001\n","artist":"Björk 日本",)"
      R"("duration":83.5}])");
  struct rate_row {
    float rate;
    const char *text;
  };
  for (const rate_row &r : {rate_row{1.1f, "1.100000023841858"}, {0.5f, "0.5"}, {0.75f, "0.75"},
                            {1.25f, "1.25"}, {2.0f, "2.0"}, {1.0f, "1.0"}}) {
    pbq_set_rate(h.get(), r.rate);
    EXPECT_NE(state_text(h.get()).find(std::string("\"playbackRate\":") + r.text + ","), std::string::npos) << r.text;
  }
  std::string s = state_text(h.get());
  EXPECT_NE(s.find(R"("streamURL":"http://h/a b/é.m4a")"), std::string::npos) << s;
  EXPECT_NE(s.find(R"("title":"say \"hi\" \\ now\u0001\n")"), std::string::npos) << s;
  EXPECT_NE(s.find(R"("artist":"Björk 日本")"), std::string::npos) << s;
  EXPECT_NE(s.find(R"("duration":83.5)"), std::string::npos) << s;
  // The text reads back as the same strings.
  yyjson_doc *doc = yyjson_read(s.c_str(), s.size(), 0);
  ASSERT_NE(doc, nullptr);
  yyjson_val *current = yyjson_obj_get(yyjson_doc_get_root(doc), "currentTrack");
  EXPECT_STREQ(yyjson_get_str(yyjson_obj_get(current, "title")), "say \"hi\" \\ now\x01\n");
  yyjson_doc_free(doc);
}

// The flags and counts over the repeat modes and positions of a three-entry queue.
TEST(StateDocument, FlagsOverRepeatModesAndPositions) {
  struct row {
    int32_t current;
    int32_t repeat;
    const char *expected;  // currentIndex .. hasPrevious, as written
  };
  const row rows[] = {
      {0, 0, R"("currentIndex":0,"queueCount":3,"upNextCount":2,"repeatMode":0)" "|true|false"},
      {0, 1, R"("currentIndex":0,"queueCount":3,"upNextCount":2,"repeatMode":1)" "|true|true"},
      {0, 2, R"("currentIndex":0,"queueCount":3,"upNextCount":2,"repeatMode":2)" "|true|false"},
      {1, 0, R"("currentIndex":1,"queueCount":3,"upNextCount":1,"repeatMode":0)" "|true|true"},
      {2, 0, R"("currentIndex":2,"queueCount":3,"upNextCount":0,"repeatMode":0)" "|false|true"},
      {2, 1, R"("currentIndex":2,"queueCount":3,"upNextCount":0,"repeatMode":1)" "|true|true"},
      {2, 2, R"("currentIndex":2,"queueCount":3,"upNextCount":0,"repeatMode":2)" "|false|true"},
      {-1, 1, R"("currentIndex":-1,"queueCount":3,"upNextCount":0,"repeatMode":1)" "|false|false"},
      {3, 1, R"("currentIndex":3,"queueCount":3,"upNextCount":0,"repeatMode":1)" "|false|false"},
  };
  for (const row &r : rows) {
    SCOPED_TRACE(r.expected);
    fixtures::handle h = fixtures::loaded(fixtures::k_three_tracks);
    h->current = r.current;  // -1 and 3 are states only a hostile caller could reach
    pbq_set_repeat(h.get(), r.repeat);
    std::string s = state_text(h.get());
    std::string head = s.substr(1, s.find(",\"isShuffled\"") - 1);
    bool has_next = s.find("\"hasNext\":true") != std::string::npos;
    bool has_previous = s.find("\"hasPrevious\":true") != std::string::npos;
    EXPECT_EQ(head + "|" + (has_next ? "true" : "false") + "|" + (has_previous ? "true" : "false"), r.expected);
    bool has_current = r.current >= 0 && r.current < 3;
    EXPECT_EQ(s.find("\"currentTrack\":null") != std::string::npos, !has_current);
    EXPECT_NE(s.find(R"("queue":[{"streamURL":"1.m4a")"), std::string::npos);
    // The flags are the navigation's own rules.
    if (has_current) {
      EXPECT_EQ(has_next, pbq_next(h.get()) == 0);
      h->current = r.current;
      EXPECT_EQ(has_previous, pbq_previous(h.get(), 3.0) == 0);
    }
  }
}

TEST(StateDocument, OneEntryUnderRepeatAll) {
  fixtures::handle h = fixtures::loaded(R"([{"streamURL":"only","artworkURL":"a.png"}])");
  pbq_set_repeat(h.get(), 1);
  std::string s = state_text(h.get());
  EXPECT_NE(s.find(R"("upNextCount":0,"repeatMode":1)"), std::string::npos);
  EXPECT_NE(s.find(R"("hasNext":true,"hasPrevious":true)"), std::string::npos);
  EXPECT_NE(s.find(R"("currentTrack":{"streamURL":"only","title":"","artist":"","artworkURL":"a.png","duration":0.0})"),
            std::string::npos);
}

TEST(StateDocument, ShowsThePlayOrderAndEditedCounts) {
  fixtures::handle h = fixtures::loaded(fixtures::k_five_tracks, 2, true, 12345);
  ASSERT_EQ(pbq_add_to_queue_json(h.get(), R"({"streamURL":"x.m4a"})"), 0);
  pbq_set_sleep_timer(h.get(), 2, 0, 0);
  std::string s = state_text(h.get());
  EXPECT_EQ(s.rfind(R"({"currentIndex":0,"queueCount":6,"upNextCount":5,"repeatMode":0,"isShuffled":true,)"
                    R"("playbackRate":1.0,"sleepMode":2,)", 0),
            0u)
      << s;
  // "queue" lists the play order, which starts with the chosen track.
  std::string order, expected;
  for (size_t at = s.find("\"queue\":["); (at = s.find("\"streamURL\":\"", at)) != std::string::npos; at++) {
    order += s.substr(at + 13, 1);
  }
  for (const std::string &u : fixtures::queue_urls(h.get())) expected += u.substr(0, 1);
  EXPECT_EQ(order, expected);
  EXPECT_EQ(order[0], '2');
  EXPECT_NE(s.find(R"("currentTrack":{"streamURL":"2.m4a")"), std::string::npos);
}

TEST(StateDocument, TextDoesNotChangeWithTheHandle) {
  fixtures::handle h = fixtures::loaded(fixtures::k_three_tracks, 1);
  char *text = pbq_state_json(h.get());
  ASSERT_NE(text, nullptr);
  h.reset();
  EXPECT_STREQ(text, k_worked_state);
  pbq_free(text);
}

}  // namespace
