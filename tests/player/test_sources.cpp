// The text side of a listener's sources: the natural order of a folder's files
// and the reading of M3U playlists.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sources.h"

namespace {

TEST(Sources, NaturalNameOrder) {
  std::vector<std::string> names = {"10 Ten.flac", "2 Two.flac", "CD2/1.flac", "1 one.flac", "cd1/10.flac",
                                    "cd1/9.flac",  "b.flac",     "A.flac",     "01 One.flac", "track2.flac",
                                    "track10.flac"};
  std::sort(names.begin(), names.end(), player::natural_less);
  const std::vector<std::string> expected = {"01 One.flac", "1 one.flac", "2 Two.flac", "10 Ten.flac",
                                             "A.flac",      "b.flac",     "cd1/9.flac", "cd1/10.flac",
                                             "CD2/1.flac",  "track2.flac", "track10.flac"};
  EXPECT_EQ(names, expected);
  // A strict weak order: nothing before itself, never both ways.
  for (const std::string &a : names) {
    EXPECT_FALSE(player::natural_less(a, a)) << a;
    for (const std::string &b : names) EXPECT_FALSE(player::natural_less(a, b) && player::natural_less(b, a));
  }
  EXPECT_TRUE(player::natural_less("99999999999999999999 a", "100000000000000000000 a")) << "numbers of any length";
}

TEST(Sources, M3uEntries) {
  struct m3u_case {
    const char *name;
    std::string text;
    std::vector<player::playlist_entry> expected;
  };
  const m3u_case cases[] = {
      {"plain paths, blank lines and comments", "a.flac\n\n# a note\nsub/b.ogg\n", {{"a.flac", "", 0, 1}, {"sub/b.ogg", "", 0, 4}}},
      {"#EXTINF titles and durations, CRLF and a byte-order mark",
       "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:215,Harbour Lights\r\nh.mp3\r\n#EXTINF:-1,Radio\r\nhttp://example.org/s\r\n",
       {{"h.mp3", "Harbour Lights", 215, 3}, {"http://example.org/s", "Radio", 0, 5}}},
      {"the information holds for the next entry only", "#EXTINF:10,First\none.wav\ntwo.wav\n",
       {{"one.wav", "First", 10, 2}, {"two.wav", "", 0, 3}}},
      {"attributes after the length, commas in the title, a bad length",
       "#EXTINF:61 tvg-id=\"x\",A, B\nx.wav\n#EXTINF:abc,C\ny.wav",
       {{"x.wav", "A, B", 61, 2}, {"y.wav", "C", 0, 4}}},
      {"a length past a double, infinite or not a number: unknown",
       "#EXTINF:1e999,Huge\na.wav\n#EXTINF:inf,Inf\nb.wav\n#EXTINF:nan,NaN\nc.wav\n",
       {{"a.wav", "Huge", 0, 2}, {"b.wav", "Inf", 0, 4}, {"c.wav", "NaN", 0, 6}}},
      {"nothing", "#EXTM3U\n", {}},
  };
  for (const m3u_case &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<player::playlist_entry> got = player::parse_m3u(c.text);
    ASSERT_EQ(got.size(), c.expected.size());
    for (size_t i = 0; i < got.size(); i++) {
      EXPECT_EQ(got[i].address, c.expected[i].address);
      EXPECT_EQ(got[i].title, c.expected[i].title);
      EXPECT_DOUBLE_EQ(got[i].duration, c.expected[i].duration);
      EXPECT_EQ(got[i].line, c.expected[i].line);
    }
  }
}

}  // namespace
