// The track reader: which objects make a track, and what the record holds.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "model.h"

namespace {

struct expected_track {
  std::string url, title, artist;
  std::optional<std::string> art;
  double duration;
};

struct reader_case {
  const char *name;
  const char *json;
  std::optional<expected_track> expected;  // nullopt: rejected
};

const reader_case k_cases[] = {
    {"address only", R"({"streamURL":"u"})", expected_track{"u", "", "", std::nullopt, 0}},
    {"every member", R"({"streamURL":"u","title":"T","artist":"A","artworkURL":"p.jpg","duration":185})",
     expected_track{"u", "T", "A", "p.jpg", 185}},
    {"id without streamURL", R"({"id":"by-id","title":"T"})", expected_track{"by-id", "T", "", std::nullopt, 0}},
    {"streamURL a number falls back to id", R"({"streamURL":7,"id":"by-id"})",
     expected_track{"by-id", "", "", std::nullopt, 0}},
    {"streamURL null falls back to id", R"({"streamURL":null,"id":"i"})", expected_track{"i", "", "", std::nullopt, 0}},
    {"empty streamURL does not fall back", R"({"streamURL":"","id":"by-id"})", std::nullopt},
    {"streamURL null and no id", R"({"streamURL":null})", std::nullopt},
    {"empty id", R"({"id":""})", std::nullopt},
    {"id not a string", R"({"id":5})", std::nullopt},
    {"first streamURL decides", R"({"streamURL":1,"streamURL":"late","id":"i"})",
     expected_track{"i", "", "", std::nullopt, 0}},
    {"first title decides even when not a string", R"({"streamURL":"u","title":5,"title":"late"})",
     expected_track{"u", "", "", std::nullopt, 0}},
    {"first title string wins", R"({"streamURL":"u","title":"a","title":"b"})",
     expected_track{"u", "a", "", std::nullopt, 0}},
    {"keys are case-sensitive", R"({"streamurl":"u","ID":"v","Title":"t"})", std::nullopt},
    {"other names of a known key's length are ignored", R"({"streamURL":"u","artisT":"a","Duration":5,"ARTWORKURL":"x"})",
     expected_track{"u", "", "", std::nullopt, 0}},
    {"escaped key matches", R"({"stream\u0055RL":"u"})", expected_track{"u", "", "", std::nullopt, 0}},
    {"key with a NUL does not match", R"({"streamURL\u0000":"u","id":"i"})", expected_track{"i", "", "", std::nullopt, 0}},
    {"empty artwork is none", R"({"streamURL":"u","artworkURL":""})", expected_track{"u", "", "", std::nullopt, 0}},
    {"artwork a number is none", R"({"streamURL":"u","artworkURL":5})", expected_track{"u", "", "", std::nullopt, 0}},
    {"artwork with a NUL is none", R"({"streamURL":"u","artworkURL":"a\u0000b"})",
     expected_track{"u", "", "", std::nullopt, 0}},
    {"duration real", R"({"streamURL":"u","duration":12.5})", expected_track{"u", "", "", std::nullopt, 12.5}},
    {"duration negative", R"({"streamURL":"u","duration":-3})", expected_track{"u", "", "", std::nullopt, 0}},
    {"duration zero", R"({"streamURL":"u","duration":0})", expected_track{"u", "", "", std::nullopt, 0}},
    {"duration negative zero", R"({"streamURL":"u","duration":-0.0})", expected_track{"u", "", "", std::nullopt, 0}},
    {"duration as a string", R"({"streamURL":"u","duration":"185"})", expected_track{"u", "", "", std::nullopt, 0}},
    {"duration true", R"({"streamURL":"u","duration":true})", expected_track{"u", "", "", std::nullopt, 0}},
    {"duration largest unsigned", R"({"streamURL":"u","duration":18446744073709551615})",
     expected_track{"u", "", "", std::nullopt, 18446744073709551615.0}},
    {"duration before streamURL", R"({"duration":185,"title":"T","streamURL":"u"})",
     expected_track{"u", "T", "", std::nullopt, 185}},
    {"title with a NUL is kept up to it", R"({"streamURL":"u","title":"ab\u0000cd","artist":"\u0000"})",
     expected_track{"u", "ab", "", std::nullopt, 0}},
    {"non-ASCII kept as is", R"({"streamURL":"u/é","title":"日本"})", expected_track{"u/é", "日本", "", std::nullopt, 0}},
    {"streamURL holding a NUL is rejected", R"({"streamURL":"\u0000x","id":"i"})", std::nullopt},
    {"address cut by a NUL is rejected", R"({"streamURL":"http://a/b\u0000.evil"})", std::nullopt},
    {"id holding a NUL is rejected", R"({"id":"a\u0000"})", std::nullopt},
    {"empty object", R"({})", std::nullopt},
    {"array", R"([{"streamURL":"u"}])", std::nullopt},
    {"string", R"("u")", std::nullopt},
    {"number", R"(5)", std::nullopt},
    {"null", R"(null)", std::nullopt},
};

TEST(TrackReader, Table) {
  for (const reader_case &c : k_cases) {
    SCOPED_TRACE(c.name);
    yyjson_doc *doc = yyjson_read(c.json, strlen(c.json), 0);
    ASSERT_NE(doc, nullptr);
    track_rec out;
    memset(&out, 0x5a, sizeof out);  // the reader zeroes it first, whatever it holds
    read_result r = parse_track_val(yyjson_doc_get_root(doc), &out);
    if (!c.expected) {
      EXPECT_EQ(r, read_rejected);
      EXPECT_EQ(out.stream_url, nullptr);
      EXPECT_EQ(out.title, nullptr);
      EXPECT_EQ(out.artist, nullptr);
      EXPECT_EQ(out.artwork_url, nullptr);
      EXPECT_EQ(out.duration, 0.0);
      yyjson_doc_free(doc);
      continue;
    }
    ASSERT_EQ(r, read_ok);
    // The record's strings are the document's, so they are read before it goes.
    EXPECT_EQ(std::string(out.stream_url, out.stream_url_len), c.expected->url);
    EXPECT_EQ(std::string(out.title, out.title_len), c.expected->title);
    EXPECT_EQ(std::string(out.artist, out.artist_len), c.expected->artist);
    EXPECT_EQ(strlen(out.title), out.title_len);
    EXPECT_EQ(strlen(out.artist), out.artist_len);
    if (c.expected->art) {
      ASSERT_NE(out.artwork_url, nullptr);
      EXPECT_EQ(std::string(out.artwork_url, out.artwork_url_len), *c.expected->art);
    } else {
      EXPECT_EQ(out.artwork_url, nullptr);
    }
    EXPECT_EQ(out.duration, c.expected->duration);
    yyjson_doc_free(doc);
  }
}

TEST(TrackReader, NullValueIsRejected) {
  track_rec out;
  memset(&out, 0x5a, sizeof out);
  EXPECT_EQ(parse_track_val(nullptr, &out), read_rejected);
  EXPECT_EQ(out.stream_url, nullptr);
}

// The address the restore matches against is the one the reader would store.
TEST(TrackReader, AddressAgreesWithTheReader) {
  for (const reader_case &c : k_cases) {
    SCOPED_TRACE(c.name);
    yyjson_doc *doc = yyjson_read(c.json, strlen(c.json), 0);
    const char *address = nullptr;
    size_t length = 0;
    bool usable = track_address(yyjson_doc_get_root(doc), &address, &length);
    EXPECT_EQ(usable, c.expected.has_value());
    if (usable && c.expected) {
      EXPECT_EQ(std::string(address, length), c.expected->url);
    }
    yyjson_doc_free(doc);
  }
}

}  // namespace
