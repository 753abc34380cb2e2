// The resume document: its exact text, the restore rule of each member, and the
// round trip through a fresh handle.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "fixtures.h"

namespace {

using fixtures::named;
using fixtures::queue_urls;
using fixtures::resume_text;

const char *const k_fresh_resume =
    R"({"lastTrackURL":null,"lastTrackTime":0.0,"repeatMode":0,"isShuffled":false,"playbackRate":1.0})";
const char *const k_worked_resume =
    R"({"lastTrackURL":"2.m4a","lastTrackTime":83.5,"repeatMode":1,"isShuffled":false,"playbackRate":1.5})";

TEST(ResumeExport, WorkedTexts) {
  fixtures::handle fresh = fixtures::make_handle();
  EXPECT_EQ(resume_text(fresh.get(), 0.0), k_fresh_resume);
  fixtures::handle h = fixtures::loaded(fixtures::k_three_tracks, 1);
  pbq_set_repeat(h.get(), 1);
  pbq_set_rate(h.get(), 1.5f);
  EXPECT_EQ(resume_text(h.get(), 83.5), k_worked_resume);
  pbq_set_rate(h.get(), 1.1f);
  EXPECT_NE(resume_text(h.get(), 120).find(R"("lastTrackTime":120.0,)"), std::string::npos);
  EXPECT_NE(resume_text(h.get(), 1).find(R"("playbackRate":1.100000023841858})"), std::string::npos);
  EXPECT_EQ(pbq_export_resume_json(nullptr, 1.0), nullptr);
}

TEST(ResumeExport, PositionIsNeverNegativeOrNotFinite) {
  fixtures::handle h = fixtures::loaded(fixtures::k_three_tracks);
  for (double position : {-3.0, -0.0, 0.0, std::nan(""), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()}) {
    EXPECT_NE(resume_text(h.get(), position).find(R"("lastTrackTime":0.0,)"), std::string::npos) << position;
  }
}

TEST(ResumeExport, EscapesTheStreamUrl) {
  fixtures::handle h = fixtures::loaded(R"([{"streamURL":"a\"b\\c/é"}])");
  EXPECT_NE(resume_text(h.get()).find(R"("lastTrackURL":"a\"b\\c/é")"), std::string::npos);
}

TEST(ResumeRestore, WorkedExample) {
  fixtures::handle h = fixtures::make_handle();
  double position = -1;
  ASSERT_EQ(pbq_restore_resume_json(h.get(), k_worked_resume, fixtures::k_three_tracks, &position), 0);
  EXPECT_EQ(position, 83.5);
  EXPECT_EQ(queue_urls(h.get()), named({1, 2, 3}));
  EXPECT_EQ(h->current, 1);
  EXPECT_EQ(h->repeat_mode, 1);
  EXPECT_EQ(h->shuffle, 0);
  EXPECT_EQ(h->rate, 1.5f);
}

// Each member's rule: what a value does to a handle whose settings are repeat one,
// shuffle off and rate 0.75, and the position handed back.
TEST(ResumeRestore, MemberRules) {
  struct row {
    const char *members;  // spliced into a document naming the second track
    int32_t repeat;
    float rate;
    double position;
  };
  const row rows[] = {
      {R"("repeatMode":3)", 2, 0.75f, 0},
      {R"("repeatMode":1.0)", 2, 0.75f, 0},
      {R"("repeatMode":"1")", 2, 0.75f, 0},
      {R"("repeatMode":null)", 2, 0.75f, 0},
      {R"("repeatMode":-1)", 2, 0.75f, 0},
      {R"("repeatMode":0)", 0, 0.75f, 0},
      {R"("repeatMode":4294967297)", 1, 0.75f, 0},   // 2^32 + 1: low 32 bits are 1
      {R"("repeatMode":-4294967295)", 1, 0.75f, 0},  // low 32 bits are 1 as well
      {R"("repeatMode":1,"repeatMode":0)", 1, 0.75f, 0},
      {R"("playbackRate":5)", 2, 2.0f, 0},
      {R"("playbackRate":-1)", 2, 0.5f, 0},
      {R"("playbackRate":1e39)", 2, 0.5f, 0},
      {R"("playbackRate":-1e300)", 2, 0.5f, 0},
      {R"("playbackRate":1)", 2, 1.0f, 0},
      {R"("playbackRate":1.1)", 2, 1.1f, 0},
      {R"("playbackRate":"1.5")", 2, 0.75f, 0},
      {R"("playbackRate":3.4028235e38)", 2, 2.0f, 0},  // rounds to the largest float
      {R"("lastTrackTime":-5)", 2, 0.75f, 0},
      {R"("lastTrackTime":120)", 2, 0.75f, 120},
      {R"("lastTrackTime":83.25)", 2, 0.75f, 83.25},
      {R"("lastTrackTime":"7")", 2, 0.75f, 0},
  };
  for (const row &r : rows) {
    SCOPED_TRACE(r.members);
    fixtures::handle h = fixtures::make_handle();
    pbq_set_repeat(h.get(), 2);
    pbq_set_rate(h.get(), 0.75f);
    std::string doc = std::string(R"({"lastTrackURL":"2.m4a",)") + r.members + "}";
    double position = -1;
    ASSERT_EQ(pbq_restore_resume_json(h.get(), doc.c_str(), fixtures::k_three_tracks, &position), 0);
    EXPECT_EQ(h->repeat_mode, r.repeat);
    EXPECT_EQ(h->rate, r.rate);
    EXPECT_EQ(position, r.position);
    EXPECT_FALSE(std::signbit(position));
    EXPECT_EQ(h->current, 1);
  }
}

// Results 1 and -1: which settings stay applied and what is written to the position.
TEST(ResumeRestore, NothingResumed) {
  struct row {
    const char *name, *resume, *tracks;
    int32_t result;
    bool settings_applied;  // repeat all and rate 1.25 come from the document
  };
  const char *const three = fixtures::k_three_tracks;
  const row rows[] = {
      {"root is an array", R"([{"lastTrackURL":"2.m4a"}])", three, -1, false},
      {"not JSON", R"({"repeatMode":1,)", three, -1, false},
      {"empty object", "{}", three, 1, false},
      {"fresh-handle document", k_fresh_resume, three, 1, false},
      {"no URL", R"({"repeatMode":1,"playbackRate":1.25})", three, 1, true},
      {"URL not a string", R"({"repeatMode":1,"playbackRate":1.25,"lastTrackURL":5})", three, 1, true},
      {"empty URL", R"({"repeatMode":1,"playbackRate":1.25,"lastTrackURL":""})", three, 1, true},
      {"URL not in the list", R"({"repeatMode":1,"playbackRate":1.25,"lastTrackURL":"9.m4a"})", three, 1, true},
      {"URL differs in case", R"({"repeatMode":1,"playbackRate":1.25,"lastTrackURL":"2.M4A"})", three, 1, true},
      {"URL holding a NUL", R"({"repeatMode":1,"playbackRate":1.25,"lastTrackURL":"2.m4a\u0000"})", three, 1, true},
      {"empty list", R"({"repeatMode":1,"playbackRate":1.25,"lastTrackURL":"2.m4a"})", "[]", 1, true},
      {"tracks not an array", R"({"repeatMode":1,"playbackRate":1.25,"lastTrackURL":"2.m4a"})", "{}", -1, true},
      {"tracks not JSON", R"({"repeatMode":1,"playbackRate":1.25,"lastTrackURL":"2.m4a"})", "[", -1, true},
  };
  for (const row &r : rows) {
    SCOPED_TRACE(r.name);
    fixtures::handle h = fixtures::loaded(R"([{"streamURL":"old.m4a"},{"streamURL":"older.m4a"}])", 1);
    set_err("earlier");
    double position = -1;
    EXPECT_EQ(pbq_restore_resume_json(h.get(), r.resume, r.tracks, &position), r.result);
    EXPECT_EQ(position, r.result == 1 ? 0.0 : -1.0);
    EXPECT_EQ(queue_urls(h.get()), (std::vector<std::string>{"old.m4a", "older.m4a"}));
    EXPECT_EQ(fixtures::track_urls(h.get()), (std::vector<std::string>{"old.m4a", "older.m4a"}));
    EXPECT_EQ(h->current, 1);
    EXPECT_EQ(h->repeat_mode, r.settings_applied ? 1 : 0);
    EXPECT_EQ(h->rate, r.settings_applied ? 1.25f : 1.0f);
    EXPECT_STREQ(pbq_last_error(), "earlier");
    // The same without a place for the position.
    EXPECT_EQ(pbq_restore_resume_json(h.get(), r.resume, r.tracks, nullptr), r.result);
  }
}

// A restore that loads clears the error text through its loading step; with shuffle
// on the saved track comes first. (Loading that fails is in the out-of-memory sweep.)
TEST(ResumeRestore, ShuffledRestoreStartsAtTheSavedTrack) {
  fixtures::handle h = fixtures::make_handle();
  set_err("earlier");
  ASSERT_EQ(pbq_restore_resume_json(h.get(), R"({"lastTrackURL":"2.m4a","isShuffled":true})",
                                    fixtures::k_three_tracks, nullptr),
            0);
  EXPECT_STREQ(pbq_last_error(), "");
  EXPECT_EQ(queue_urls(h.get()), named({2, 1, 3}));  // seed 42 leaves three where loading put them
  EXPECT_EQ(h->current, 0);
  EXPECT_EQ(h->shuffle, 1);
}

// The saved track is found among the tracks loading accepts, by the address loading
// stores: skipped elements do not move it, and "id" tracks resume too.
TEST(ResumeRestore, FindsTheSavedTrackAmongAcceptedTracks) {
  struct row {
    const char *name, *tracks, *url;
    int32_t current;
    const char *current_url;
  };
  const row rows[] = {
      {"rejected elements ahead", R"([5,{"title":"x"},{"streamURL":""},"s",{"streamURL":"a"},{"streamURL":"b"}])", "b", 1, "b"},
      {"id track ahead", R"([{"id":"i"},{"streamURL":"a"},{"streamURL":"b"}])", "b", 2, "b"},
      {"id track saved", R"([{"streamURL":"a"},{"id":"i","title":"by id"},{"streamURL":"b"}])", "i", 1, "i"},
      {"id used when streamURL is not a string", R"([{"streamURL":"a"},{"streamURL":7,"id":"i"}])", "i", 1, "i"},
      {"streamURL preferred over id", R"([{"streamURL":"a","id":"b"},{"streamURL":"b"}])", "b", 1, "b"},
      {"NUL address skipped", R"([{"streamURL":"b\u0000"},{"streamURL":"a"},{"streamURL":"b"}])", "b", 1, "b"},
      {"first of two equal URLs", R"([{"streamURL":"a"},{"streamURL":"b","title":"1st"},{"streamURL":"b"}])", "b", 1, "b"},
  };
  for (const row &r : rows) {
    SCOPED_TRACE(r.name);
    fixtures::handle h = fixtures::make_handle();
    std::string doc = std::string(R"({"lastTrackURL":")") + r.url + R"(","lastTrackTime":9})";
    double position = 0;
    ASSERT_EQ(pbq_restore_resume_json(h.get(), doc.c_str(), r.tracks, &position), 0);
    EXPECT_EQ(position, 9.0);
    EXPECT_EQ(h->current, r.current);
    EXPECT_STREQ(fixtures::queued(h.get(), static_cast<uint64_t>(h->current)).stream_url, r.current_url);
  }
}

TEST(ResumeRoundTrip, ShuffleOffGivesTheSameDocumentAgain) {
  for (int32_t start = 0; start < 5; start++) {
    fixtures::handle h = fixtures::loaded(fixtures::k_five_tracks, start);
    pbq_set_repeat(h.get(), 2);
    pbq_set_rate(h.get(), 1.1f);
    std::string saved = resume_text(h.get(), 61.25);
    fixtures::handle restored = fixtures::make_handle();
    double position = 0;
    ASSERT_EQ(pbq_restore_resume_json(restored.get(), saved.c_str(), fixtures::k_five_tracks, &position), 0);
    EXPECT_EQ(position, 61.25);
    EXPECT_EQ(resume_text(restored.get(), position), saved);
    EXPECT_EQ(fixtures::state_text(restored.get()), fixtures::state_text(h.get()));
  }
}

TEST(ResumeRoundTrip, ShuffleOnPutsTheSavedTrackFirstAndCurrent) {
  for (int32_t at = 0; at < 5; at++) {
    fixtures::handle h = fixtures::loaded(fixtures::k_five_tracks, 0, true, 777);
    ASSERT_EQ(pbq_jump(h.get(), at), 0);
    std::string playing = fixtures::queued(h.get(), static_cast<uint64_t>(at)).stream_url;
    std::string saved = resume_text(h.get(), 5);
    fixtures::handle restored = fixtures::make_handle();
    ASSERT_EQ(pbq_restore_resume_json(restored.get(), saved.c_str(), fixtures::k_five_tracks, nullptr), 0);
    EXPECT_EQ(restored->shuffle, 1);
    EXPECT_EQ(restored->current, 0);
    EXPECT_EQ(fixtures::queued(restored.get(), 0).stream_url, playing);
    EXPECT_EQ(resume_text(restored.get(), 5), saved);
  }
}

}  // namespace
