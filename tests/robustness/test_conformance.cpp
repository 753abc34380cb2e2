// The JSON parsing conformance corpus through every entry point that takes JSON:
// texts that must be refused are refused with the right message and change nothing,
// texts that must be accepted are judged by the shape of their root, and no text,
// whatever it holds, breaks a handle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "fixtures.h"

namespace {

namespace fs = std::filesystem;

struct corpus_file {
  std::string name;
  char kind;         // 'y' accepted, 'n' refused, 'i' either
  std::string text;  // the bytes up to the first NUL: what a C string carries
};

std::vector<corpus_file> load_corpus() {
  std::vector<corpus_file> files;
  for (const auto &entry : fs::directory_iterator(PBQ_JSON_CORPUS_DIR)) {
    std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".json") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    files.push_back({name, name[0], bytes.substr(0, bytes.find('\0'))});
  }
  std::sort(files.begin(), files.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
  return files;
}

const std::vector<corpus_file> &corpus() {
  static const std::vector<corpus_file> files = load_corpus();
  return files;
}

// The one refused file whose text before its NUL byte is a whole document: "123".
const std::map<std::string, std::string> k_valid_before_nul = {{"n_multidigit_number_then_00.json", "123"}};

bool refused_at_full_length(const corpus_file &f) {
  return f.kind == 'n' && k_valid_before_nul.count(f.name) == 0;
}

// The first byte that is not JSON white space: '[' or '{' for an array or an object.
char root_opener(const std::string &text) {
  size_t at = text.find_first_not_of(" \t\r\n");
  return at == std::string::npos ? '\0' : text[at];
}

TEST(Conformance, CorpusIsComplete) {
  std::map<char, int> counts;
  for (const corpus_file &f : corpus()) counts[f.kind]++;
  EXPECT_EQ(counts['y'], 95);
  EXPECT_EQ(counts['n'], 188);
  EXPECT_EQ(counts['i'], 35);
  for (const corpus_file &f : corpus()) {
    auto exception = k_valid_before_nul.find(f.name);
    if (exception != k_valid_before_nul.end()) {
      EXPECT_EQ(f.text, exception->second);
    }
  }
}

TEST(Conformance, LoadingRefusesOrAcceptsByTheRules) {
  for (const corpus_file &f : corpus()) {
    SCOPED_TRACE(f.name);
    fixtures::handle h = fixtures::loaded(fixtures::k_five_tracks, 2);
    std::string before = fixtures::state_text(h.get());
    int32_t r = pbq_set_tracks_json(h.get(), f.text.c_str(), 1, 7);
    std::string error = pbq_last_error();
    std::string after = fixtures::state_text(h.get());

    if (refused_at_full_length(f)) {
      EXPECT_EQ(r, PBQ_REFUSED);
      EXPECT_EQ(error, "invalid tracks json");
    } else if (f.kind == 'n') {
      EXPECT_EQ(r, PBQ_REFUSED);
      EXPECT_EQ(error, "tracks json must be array");
    } else if (f.kind == 'y') {
      bool array = root_opener(f.text) == '[';
      EXPECT_EQ(r, array ? PBQ_OK : PBQ_REFUSED);
      EXPECT_EQ(error, array ? "" : "tracks json must be array");
    } else {
      EXPECT_TRUE(r == PBQ_OK || r == PBQ_REFUSED);
      if (r == PBQ_OK) {
        EXPECT_EQ(error, "");
      } else {
        EXPECT_TRUE(error == "invalid tracks json" || error == "tracks json must be array") << error;
      }
    }
    if (r != PBQ_OK) {
      EXPECT_EQ(after, before);
    }
    // No file holds a track object, so an accepted array empties the handle.
    if (r == PBQ_OK) {
      EXPECT_EQ(h->current, -1);
    }
  }
}

// The one accepted file whose root is a usable track: an object with an "id" string.
const std::string k_usable_track = "y_object_long_strings.json";

TEST(Conformance, AddingOneTrackTakesOnlyAUsableTrack) {
  for (const corpus_file &f : corpus()) {
    for (bool play_next : {true, false}) {
      SCOPED_TRACE(f.name + (play_next ? " (play next)" : " (add to queue)"));
      fixtures::handle h = fixtures::loaded(fixtures::k_three_tracks, 1);
      std::string before = fixtures::state_text(h.get());
      int32_t r = play_next ? pbq_play_next_json(h.get(), f.text.c_str())
                            : pbq_add_to_queue_json(h.get(), f.text.c_str());
      std::string error = pbq_last_error();
      if (f.name == k_usable_track) {
        EXPECT_EQ(r, PBQ_ADDED_QUEUED);
        EXPECT_EQ(error, "");
        EXPECT_EQ(h->queue.count, 4u);
        EXPECT_EQ(std::string(fixtures::queued(h.get(), play_next ? 2 : 3).stream_url), std::string(40, 'x'));
        continue;
      }
      // Refused either as text that is not JSON or as a root that is no usable track.
      EXPECT_EQ(r, PBQ_REFUSED);
      if (refused_at_full_length(f)) {
        EXPECT_EQ(error, "invalid track json");
      } else if (f.kind != 'i') {
        EXPECT_EQ(error, "missing streamURL");
      } else {
        EXPECT_TRUE(error == "invalid track json" || error == "missing streamURL") << error;
      }
      EXPECT_EQ(fixtures::state_text(h.get()), before);
    }
  }
}

TEST(Conformance, RestoreTakesEveryFileAsEitherText) {
  const std::string resume = R"({"lastTrackURL":"2.m4a","lastTrackTime":4.5,"repeatMode":1})";
  for (const corpus_file &f : corpus()) {
    SCOPED_TRACE(f.name);
    bool valid = !refused_at_full_length(f) && f.kind != 'i';
    double position = -1.0;

    // The file as the resume document: only an object restores settings.
    fixtures::handle h = fixtures::loaded(fixtures::k_three_tracks, 0);
    int32_t r = pbq_restore_resume_json(h.get(), f.text.c_str(), fixtures::k_three_tracks, &position);
    if (!valid || root_opener(f.text) != '{') {
      if (f.kind != 'i' || r == PBQ_REFUSED) {
        EXPECT_EQ(r, PBQ_REFUSED);
        EXPECT_EQ(position, -1.0);
      }
    } else {
      // No file names a track, so nothing is resumed.
      EXPECT_EQ(r, PBQ_RESTORE_NOTHING);
      EXPECT_EQ(position, 0.0);
    }
    EXPECT_EQ(h->current, 0);

    // The file as the track list: an array that holds no track resumes nothing.
    fixtures::handle g = fixtures::loaded(fixtures::k_three_tracks, 0);
    position = -1.0;
    r = pbq_restore_resume_json(g.get(), resume.c_str(), f.text.c_str(), &position);
    if (valid) {
      EXPECT_EQ(r, root_opener(f.text) == '[' ? int32_t{PBQ_RESTORE_NOTHING} : int32_t{PBQ_REFUSED});
    } else if (f.kind == 'n') {
      EXPECT_EQ(r, PBQ_REFUSED);
    } else {
      EXPECT_TRUE(r == PBQ_RESTORE_NOTHING || r == PBQ_REFUSED);
    }
    EXPECT_EQ(g->current, 0);
    EXPECT_EQ(g->repeat_mode, PBQ_REPEAT_ALL);  // the settings were applied before the list was read
    EXPECT_EQ(position, r == PBQ_RESTORE_NOTHING ? 0.0 : -1.0);
  }
}

}  // namespace
