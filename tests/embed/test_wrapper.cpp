// The C++ wrapper, driven as a C++ host drives it: through pbq.hpp and the shared
// library only.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "pbq.hpp"

namespace {

constexpr const char *k_album =
    R"([{"streamURL":"a.m4a","title":"A","artist":"X","duration":60},)"
    R"({"streamURL":"b.m4a","title":"B","artist":"X","duration":61},)"
    R"({"streamURL":"c.m4a","title":"C","artist":"Y","duration":62}])";

constexpr const char *k_guest = R"({"streamURL":"g.m4a","title":"Guest"})";

// The state document of the same handle, taken through the C call.
std::string c_state(const pbq::queue &q) {
  char *doc = pbq_state_json(q.get());
  std::string out = doc != nullptr ? doc : "(null)";
  pbq_free(doc);
  return out;
}

pbq::queue loaded(int32_t start = 0) {
  pbq::queue q;
  EXPECT_TRUE(q.set_tracks(k_album, start).ok());
  return q;
}

TEST(Wrapper, OwnsOneHandleAndMovesIt) {
  pbq::queue a = loaded(1);
  pbq_queue *raw = a.get();
  ASSERT_NE(raw, nullptr);

  pbq::queue b(std::move(a));
  EXPECT_FALSE(a.valid());
  EXPECT_EQ(b.get(), raw);

  pbq::queue c;
  c = std::move(b);  // c's own empty handle is destroyed here (ASan watches)
  EXPECT_EQ(c.get(), raw);
  EXPECT_NE(c_state(c).find(R"("currentIndex":1)"), std::string::npos);

  pbq_queue *released = c.release();
  EXPECT_FALSE(c.valid());
  pbq::queue adopted(released);
  EXPECT_EQ(adopted.get(), raw);
  pbq::queue &same = adopted;  // through a reference: clang warns on a plain self-move
  adopted = std::move(same);    // self-move keeps the handle
  EXPECT_EQ(adopted.get(), raw);
}

// A moved-from queue passes a null handle: every call is refused harmlessly.
TEST(Wrapper, MovedFromQueueRefusesEverything) {
  pbq::queue live = loaded();
  pbq::queue gone(std::move(live));
  EXPECT_EQ(live.next(), pbq::action::none);
  EXPECT_EQ(live.track_ended(), pbq::action::none);
  EXPECT_EQ(live.previous(0.0), pbq::action::none);
  EXPECT_EQ(live.set_tracks(k_album).error(), "null arg");
  EXPECT_EQ(live.jump(0).error(), "jump index out of range");
  EXPECT_EQ(live.play_next(k_guest).error(), "null arg");
  EXPECT_EQ(live.set_shuffle(true).error(), "null handle");
  EXPECT_FALSE(live.set_repeat(pbq::repeat_mode::all));
  EXPECT_EQ(static_cast<int32_t>(live.cycle_repeat()), PBQ_REFUSED);
  EXPECT_FALSE(live.remove_up_next(0));
  EXPECT_FALSE(live.set_sleep_timer(pbq::sleep_mode::end_of_track));
  EXPECT_EQ(live.check_sleep_timer(0), -1);
  EXPECT_EQ(live.set_rate(1.5f), 1.0f);
  EXPECT_EQ(live.state_json().error(), "null handle");
  EXPECT_EQ(live.export_resume_json(1.0).error(), "null handle");
  EXPECT_EQ(live.restore_resume_json("{}", k_album).error(), "null handle");
  EXPECT_TRUE(gone.next() == pbq::action::play);
}

// The error of a result is the text of that very call, never an older message left
// in the thread's buffer, and success carries no text.
TEST(Wrapper, ErrorsCarryTheTextOfTheirOwnCall) {
  pbq::queue q = loaded();
  pbq::status bad = q.set_tracks("[1,");
  EXPECT_FALSE(bad);
  EXPECT_EQ(bad.error(), "invalid tracks json");
  EXPECT_EQ(q.set_tracks("{}").error(), "tracks json must be array");
  EXPECT_EQ(q.jump(7).error(), "jump index out of range");
  EXPECT_EQ(q.play_next("nope").error(), "invalid track json");
  EXPECT_EQ(q.add_to_queue(R"({"title":"no address"})").error(), "missing streamURL");

  pbq::status good = q.jump(2);
  EXPECT_TRUE(good.ok());
  EXPECT_EQ(good.error(), "");
  pbq::result<pbq::added> r = q.play_next(k_guest);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.error(), "");
}

// A string_view is not NUL-terminated: the wrapper must pass exactly its characters,
// not whatever follows them in memory.
TEST(Wrapper, StringViewArgumentsStopAtTheirEnd) {
  std::string buffer = std::string(k_album) + "garbage that would not parse";
  std::string_view album(buffer.data(), std::strlen(k_album));
  pbq::queue q;
  EXPECT_TRUE(q.set_tracks(album, 2).ok());
  EXPECT_NE(c_state(q).find(R"("currentIndex":2,"queueCount":3)"), std::string::npos);

  std::string tail = std::string(k_guest) + "]]]";
  EXPECT_TRUE(q.add_to_queue(std::string_view(tail).substr(0, std::strlen(k_guest))).ok());
  std::string owned = k_guest;
  EXPECT_TRUE(q.play_next(owned).ok());
}

TEST(Wrapper, ActionsMapTheNavigationCodes) {
  pbq::queue q = loaded(1);
  EXPECT_EQ(q.track_ended(), pbq::action::play);
  EXPECT_EQ(q.track_ended(), pbq::action::none);  // end of the album: stop
  EXPECT_EQ(q.next(), pbq::action::none);
  EXPECT_EQ(q.previous(10.0), pbq::action::restart);
  EXPECT_EQ(q.previous(1.0), pbq::action::play);

  EXPECT_TRUE(q.set_repeat(pbq::repeat_mode::one));
  EXPECT_EQ(q.track_ended(), pbq::action::restart);
  EXPECT_TRUE(q.set_sleep_timer(pbq::sleep_mode::end_of_track));
  EXPECT_EQ(q.track_ended(), pbq::action::sleep);  // wins over repeat one

  EXPECT_EQ(q.cycle_repeat(), pbq::repeat_mode::off);
  EXPECT_EQ(q.cycle_repeat(), pbq::repeat_mode::all);
  EXPECT_TRUE(q.jump(2).ok());
  EXPECT_EQ(q.next(), pbq::action::play);  // wraps under repeat all
  EXPECT_NE(c_state(q).find(R"("currentIndex":0)"), std::string::npos);
}

TEST(Wrapper, UpNextEditing) {
  pbq::queue empty;
  pbq::result<pbq::added> first = empty.play_next(k_guest);
  ASSERT_TRUE(first.ok());
  EXPECT_EQ(first.value(), pbq::added::started);

  pbq::queue q = loaded();
  EXPECT_EQ(q.play_next(k_guest).value(), pbq::added::queued);
  EXPECT_TRUE(q.move_up_next(0, 2));
  EXPECT_FALSE(q.move_up_next(0, 3));
  EXPECT_TRUE(q.remove_up_next(2));  // the guest again
  EXPECT_FALSE(q.remove_up_next(2));
  EXPECT_FALSE(q.remove_up_next(-1));
  EXPECT_NE(c_state(q).find(R"("upNextCount":2)"), std::string::npos);
  q.clear_up_next();
  EXPECT_NE(c_state(q).find(R"("upNextCount":0)"), std::string::npos);
}

TEST(Wrapper, ShuffleRateAndSleep) {
  pbq::queue a = loaded(1);
  pbq::queue b = loaded(1);
  ASSERT_TRUE(a.set_shuffle(true, 99).ok());
  ASSERT_EQ(pbq_set_shuffle(b.get(), 1, 99), PBQ_OK);
  EXPECT_EQ(c_state(a), c_state(b));
  EXPECT_TRUE(a.set_shuffle(false).ok());

  EXPECT_EQ(a.set_rate(3.0f), 2.0f);
  EXPECT_EQ(a.set_rate(0.75f), 0.75f);

  EXPECT_FALSE(a.set_sleep_timer(pbq::sleep_mode::timer, 0, 100));
  EXPECT_TRUE(a.set_sleep_timer(pbq::sleep_mode::timer, 30, 100));
  EXPECT_EQ(a.check_sleep_timer(110), 20);
  EXPECT_EQ(a.check_sleep_timer(130), 0);
  EXPECT_EQ(a.check_sleep_timer(131), -1);  // reported once, then off
}

TEST(Wrapper, DocumentsMatchTheCCalls) {
  pbq::queue q = loaded(2);
  pbq::result<std::string> state = q.state_json();
  ASSERT_TRUE(state.ok());
  EXPECT_EQ(state.value(), c_state(q));

  char *c_resume = pbq_export_resume_json(q.get(), 12.5);
  ASSERT_NE(c_resume, nullptr);
  EXPECT_EQ(q.export_resume_json(12.5).value(), c_resume);
  pbq_free(c_resume);
}

TEST(Wrapper, ResumeAcrossLaunches) {
  std::string saved;
  {
    pbq::queue before = loaded(1);
    before.set_repeat(pbq::repeat_mode::all);
    saved = std::move(before.export_resume_json(83.5)).value();
  }
  pbq::queue after;
  pbq::result<pbq::resumed> r = after.restore_resume_json(saved, k_album);
  ASSERT_TRUE(r.ok()) << r.error();
  EXPECT_TRUE(r.value().found);
  EXPECT_EQ(r.value().position, 83.5);
  std::string state = after.state_json().value();
  EXPECT_NE(state.find(R"("currentIndex":1)"), std::string::npos);
  EXPECT_NE(state.find(R"("repeatMode":1)"), std::string::npos);

  pbq::result<pbq::resumed> missing =
      after.restore_resume_json(R"({"lastTrackURL":"zzz.m4a","lastTrackTime":5})", k_album);
  ASSERT_TRUE(missing.ok());
  EXPECT_FALSE(missing.value().found);
  EXPECT_EQ(missing.value().position, 0.0);

  EXPECT_EQ(after.restore_resume_json("[]", k_album).error(), "resume refused");
  EXPECT_EQ(after.restore_resume_json(saved, "{}").error(), "resume refused");
}

TEST(Wrapper, FreeFunctions) {
  EXPECT_EQ(pbq::version(), "1.0.0");
  EXPECT_EQ(pbq::abi_version(), 1);
  EXPECT_EQ(pbq::selftest(), PBQ_SELFTEST_PASSED);
}

}  // namespace
