// The track writer and the state document: exact texts, number format, escaping and
// the flags over every repeat mode and position.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "documents.h"
#include "fixtures.h"
#include "state_oracle.h"

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

// A record over the given strings; plain when they need no escaping.
track_rec record(const char *url, const char *title, const char *artist, const char *art, double duration,
                 uint32_t plain = rec_plain_stream_url | rec_plain_title | rec_plain_artist | rec_plain_artwork) {
  auto len = [](const char *s) { return s != nullptr ? static_cast<uint32_t>(strlen(s)) : 0u; };
  return {url, title, artist, art, len(url), len(title), len(artist), len(art), duration, plain, 0};
}

std::string direct_track_text(const track_rec &t) {
  std::string out(record_text_bound(t), '\0');
  char *end = put_track_object(out.data(), t);
  out.resize(static_cast<size_t>(end - out.data()));
  return out;
}

TEST(TrackWriter, WritesFiveMembersInOrder) {
  EXPECT_EQ(direct_track_text(record("1.m4a", "T1", "", nullptr, 100)),
            R"({"streamURL":"1.m4a","title":"T1","artist":"","artworkURL":null,"duration":100.0})");
  EXPECT_EQ(direct_track_text(record("1.m4a", "T1", "", "https://img/a.jpg", 215.5)),
            R"({"streamURL":"1.m4a","title":"T1","artist":"","artworkURL":"https://img/a.jpg","duration":215.5})");
  EXPECT_EQ(direct_track_text(record("1.m4a", "T1", "", nullptr, 0)),
            R"({"streamURL":"1.m4a","title":"T1","artist":"","artworkURL":null,"duration":0.0})");
}

// Every byte below 0x80 (bar NUL) in each field, escaped as yyjson escapes it, within
// the record's bound.
TEST(TrackWriter, EscapesEveryAsciiByteAsYyjsonDoes) {
  for (int c = 1; c < 0x80; c++) {
    std::string text = "a";
    text.append(1, static_cast<char>(c)).append("\xc3\xa9\xe2\x80\xa8/");
    const char *s = text.c_str();
    for (int field = 0; field < 4; field++) {
      SCOPED_TRACE("byte " + std::to_string(c) + " in field " + std::to_string(field));
      track_rec t = record(field == 0 ? s : "u", field == 1 ? s : "t", field == 2 ? s : "a", field == 3 ? s : "w",
                           1.5, 0);
      std::string direct = direct_track_text(t);
      EXPECT_EQ(direct, oracle::track_text(t));
      EXPECT_LE(direct.size() + 1, record_text_bound(t));
    }
  }
}

TEST(JsonText, RealsMatchYyjson) {
  const double awkward[] = {0.0,     1.0,      100.0,   83.5,    0.1,       1.0 / 3,   5e-324,   2.2250738585072014e-308,
                            1e-7,    1e-6,     1.5e-6,  9.99e-7, 1e21,      9.99e20,   1e22,     DBL_MAX,
                            0x1p53,  0x1p53 + 2, 9007199254740993.0, 123456789012345678.0, 1e16, 1e17,
                            static_cast<double>(1.1f), static_cast<double>(0.5f), 2.0, 215.493, 4294967296.0,
                            18446744073709551615.0, 1e300, 2.5e-5, 0.000001, 12345678901234567890.0,
                            -0.0, -1.0, -83.5, -1e-7, -5e-324, -DBL_MAX, -1e21};
  char buf[k_max_number_text];
  for (double v : awkward) {
    SCOPED_TRACE(v);
    char *end = put_real(buf, v);
    ASSERT_LE(end - buf, static_cast<std::ptrdiff_t>(k_max_number_text));
    EXPECT_EQ(std::string(buf, end), oracle::real_text(v));
  }
  // Random bit patterns of either sign and random decimal fractions, the two shapes
  // durations take.
  std::mt19937_64 rng(20261210);
  for (int i = 0; i < 200000; i++) {
    double v;
    if (i % 2 == 0) {
      uint64_t bits = rng();
      memcpy(&v, &bits, sizeof v);
      if (!std::isfinite(v)) continue;
    } else {
      v = static_cast<double>(rng() % 100000000) / static_cast<double>(1 + rng() % 10000);
    }
    char *end = put_real(buf, v);
    ASSERT_EQ(std::string(buf, end), oracle::real_text(v)) << v;
  }
  // Decimals of every length up to the limit of exact digits, and their neighbouring
  // doubles, which have no short form.
  const double powers[] = {1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};
  for (int i = 0; i < 200000; i++) {
    double scale = powers[rng() % std::size(powers)];
    double v = static_cast<double>(rng() >> (11 + rng() % 40)) / scale;
    if (i % 3 == 1) v = std::nextafter(v, INFINITY);
    if (i % 3 == 2) v = std::nextafter(v, 0.0);
    char *end = put_real(buf, v);
    ASSERT_EQ(std::string(buf, end), oracle::real_text(v)) << v;
  }
}

TEST(JsonText, IntegersAtTheirLimits) {
  char buf[k_max_number_text];
  EXPECT_EQ(std::string(buf, put_int(buf, INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(std::string(buf, put_int(buf, -1)), "-1");
  EXPECT_EQ(std::string(buf, put_int(buf, 0)), "0");
  EXPECT_EQ(std::string(buf, put_uint(buf, UINT64_MAX)), "18446744073709551615");
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

// Random queues with hostile strings and awkward numbers, edited every way a host can:
// the direct writer and yyjson agree on every byte.
TEST(StateDocument, MatchesYyjsonOverRandomQueues) {
  // JSON string contents as the host writes them: escapes, raw UTF-8, a NUL.
  const char *const strings[] = {"plain", "", R"(say \"hi\")", R"(back\\slash)", R"(tab\there)", R"(nl\nx)",
                                 R"(\u0001\u001f)", "caf\u00e9 \u65e5\u672c", R"(caf\u00e9)", "\u2028\u2029",
                                 R"(\u2028)", R"(sol\/idus)", "sol/idus", R"(nul\u0000cut)", "\x7f"};
  const char *const numbers[] = {"0", "1", "215.5", "5e-324", "1e-7", "1e21", "1.7976931348623157e308",
                                 "0.1", "0.3333333333333333", "9007199254740993", "-3", "1e-6", "123.456"};
  std::mt19937_64 rng(42);
  auto pick = [&](auto &table) { return table[rng() % std::size(table)]; };
  auto track_json = [&](int n) {
    // Appended piece by piece: gcc 12 at -O3 warns falsely on "text" + string.
    std::string j = R"({"streamURL":"u)";
    j.append(std::to_string(n)).append("/").append(pick(strings)).append(R"(","title":")");
    j.append(pick(strings)).append(R"(","artist":")").append(pick(strings)).append("\"");
    if (rng() % 3 != 0) j.append(R"(,"artworkURL":")").append(pick(strings)).append("\"");
    return j.append(R"(,"duration":)").append(pick(numbers)).append("}");
  };
  for (int round = 0; round < 60; round++) {
    SCOPED_TRACE(round);
    int n = static_cast<int>(rng() % 40);
    std::string list = "[";
    for (int i = 0; i < n; i++) list.append(i > 0 ? "," : "").append(track_json(static_cast<int>(rng() % 30)));
    list += "]";
    fixtures::handle h = fixtures::make_handle();
    if (rng() % 2 == 0) pbq_set_shuffle(h.get(), 1, 0);
    ASSERT_EQ(pbq_set_tracks_json(h.get(), list.c_str(), static_cast<int32_t>(rng() % 50), rng()), 0);
    for (int step = 0; step < 30; step++) {
      ASSERT_EQ(state_text(h.get()), oracle::state_text(h.get())) << "step " << step;
      switch (rng() % 9) {
        case 0: pbq_play_next_json(h.get(), track_json(static_cast<int>(rng() % 40)).c_str()); break;
        case 1: pbq_add_to_queue_json(h.get(), track_json(static_cast<int>(rng() % 40)).c_str()); break;
        case 2: pbq_remove_up_next(h.get(), static_cast<int32_t>(rng() % 5)); break;
        case 3: pbq_set_shuffle(h.get(), static_cast<int32_t>(rng() % 2), rng()); break;
        case 4: pbq_next(h.get()); break;
        case 5: pbq_set_rate(h.get(), static_cast<float>(rng() % 300) / 100.0f); break;
        case 6: pbq_clear_up_next(h.get()); break;
        case 7: pbq_set_repeat(h.get(), static_cast<int32_t>(rng() % 3)); break;
        default: pbq_move_up_next(h.get(), static_cast<int32_t>(rng() % 4), static_cast<int32_t>(rng() % 4)); break;
      }
    }
  }
}

// The writer fetches each entry's strings well ahead of the walk, as one stretch of
// the text when they lie together and one by one when they do not: members in any
// order, missing, or far apart. Long shuffled queues of such tracks, fresh and after
// adds, read the same as yyjson writes them.
TEST(StateDocument, LongShuffledQueuesOfTracksLaidOutAnyWay) {
  const std::string far(600, 'x');
  const std::string shapes[] = {
      R"({"streamURL":"u#","title":"t","artist":"a","artworkURL":"w","duration":1.5})",
      R"({"streamURL":"u#","title":"t","artist":"a","duration":2})",
      R"({"artworkURL":"w","title":"t","streamURL":"u#","artist":"a"})",
      R"({"artist":"a","streamURL":"u#","duration":3.25})",
      R"({"streamURL":"u#","title":")" + far + R"(","artist":"a","artworkURL":"w"})",
      R"({"streamURL":"u#","title":")" + far + R"(","artist":"a"})",
      R"({"id":"u#","title":"t"})",
  };
  for (int count : {40, 300}) {
    SCOPED_TRACE(count);
    std::string list = "[";
    for (int i = 0; i < count; i++) {
      std::string track = shapes[static_cast<size_t>(i) % std::size(shapes)];
      track.replace(track.find('#'), 1, std::to_string(i));
      list.append(i > 0 ? "," : "").append(track);
    }
    list += "]";
    fixtures::handle h = fixtures::loaded(list.c_str(), 5, true, 11);
    ASSERT_EQ(h->queue.count, static_cast<uint64_t>(count));
    EXPECT_EQ(state_text(h.get()), oracle::state_text(h.get()));
    for (int i = 0; i < 40; i++) {
      std::string track = shapes[static_cast<size_t>(i) % std::size(shapes)];
      track.replace(track.find('#'), 1, "added-" + std::to_string(i));
      ASSERT_EQ(pbq_add_to_queue_json(h.get(), track.c_str()), 0);
    }
    EXPECT_EQ(state_text(h.get()), oracle::state_text(h.get()));
  }
}

// The text block is sized from a bound the store keeps; should that bound ever fall
// short, the writer grows the block instead of writing past it. Every short bound,
// down to none at all, still gives the whole document.
TEST(StateDocument, ShortStoredBoundStillGivesTheWholeText) {
  fixtures::handle h = fixtures::loaded(fixtures::k_five_tracks, 2, true, 7);
  ASSERT_EQ(pbq_play_next_json(h.get(), R"({"streamURL":"say \"hi\"","title":"\u0001"})"), 0);
  const std::string expected = oracle::state_text(h.get());
  const uint64_t true_bound = h->store.live_text_bound;
  for (uint64_t bound = 0; bound <= true_bound; bound++) {
    h->store.live_text_bound = bound;
    ASSERT_EQ(state_text(h.get()), expected) << "bound " << bound;
  }
  h->store.live_text_bound = true_bound;
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
