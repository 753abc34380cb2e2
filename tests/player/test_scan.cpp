// The background scan's threads: a walker and the discoverers hand entries to the
// caller's loop in listing order, whatever order they finish in. Run with file names
// for tags, so that a thread checker sees the scan's own locking and not GStreamer's.
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "scan.h"

namespace {

// What the caller's loop sees: every take() until the scan says it is finished.
struct collected {
  std::vector<player::scanned> entries;
  int wake_ups = 0;
};

collected run_scan(std::vector<player::source_item> items) {
  std::mutex lock;
  std::condition_variable woken;
  bool pending = false;
  int wake_ups = 0;
  player::scan s(
      std::move(items),
      [&] {
        std::lock_guard<std::mutex> guard(lock);
        pending = true;
        wake_ups++;
        woken.notify_one();
      },
      false);
  collected out;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!s.finished()) {
    {
      std::unique_lock<std::mutex> guard(lock);
      woken.wait_until(guard, deadline, [&] { return pending; });
      pending = false;
    }
    for (player::scanned &e : s.take()) out.entries.push_back(std::move(e));
    if (std::chrono::steady_clock::now() > deadline) break;
  }
  for (player::scanned &e : s.take()) out.entries.push_back(std::move(e));
  player::scan_progress p = s.progress();
  EXPECT_TRUE(p.listed);
  EXPECT_EQ(p.found, out.entries.size());
  EXPECT_EQ(p.read, out.entries.size());
  std::lock_guard<std::mutex> guard(lock);
  out.wake_ups = wake_ups;
  return out;
}

player::source_item folder(const std::string &path) {
  player::source_item item;
  item.what = player::source_item::kind::folder;
  item.path = item.shown = path;
  return item;
}

// The file name an entry was read from ("" for a skipped one).
std::string file_name(const player::scanned &e) {
  if (e.url.empty()) return "";
  return e.url.substr(e.url.rfind('/') + 1);
}

class Scan : public testing::Test {
 protected:
  static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
  void SetUp() override {
    std::string pattern = testing::TempDir() + "pbq_scan_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  void touch(const std::string &relative) { std::ofstream(dir_ + "/" + relative) << "x"; }
  std::string dir_;
};

TEST_F(Scan, ListsInNaturalOrderAndWalksEachFolderOnce) {
  ASSERT_EQ(system(("mkdir -p '" + dir_ + "/music/sub'").c_str()), 0);
  std::string music = dir_ + "/music";
  for (const char *name : {"music/10.wav", "music/2.wav", "music/1.wav", "music/cover.jpg", "music/.hidden.wav",
                           "music/sub/a.mp3"}) {
    touch(name);
  }
  ASSERT_EQ(symlink("sub", (music + "/again").c_str()), 0);  // the same folder by another path, listed first
  ASSERT_EQ(symlink(".", (music + "/loop").c_str()), 0);     // the folder itself
  ASSERT_EQ(symlink("..", (music + "/up").c_str()), 0);      // a folder that holds it

  player::source_item track;
  track.what = player::source_item::kind::track;
  track.track = "{\"streamURL\":\"https://example.com/live\"}";
  track.url = "https://example.com/live";
  player::source_item skipped;
  skipped.shown = "gone.m3u";
  skipped.why = "no such file";
  collected c = run_scan({folder(music), track, skipped, folder(dir_ + "/missing")});

  std::vector<std::string> names;
  for (const player::scanned &e : c.entries) names.push_back(e.url.empty() ? e.skipped : file_name(e));
  std::vector<std::string> expected = {"1.wav",
                                       "2.wav",
                                       "10.wav",
                                       "a.mp3",
                                       "skipped " + music + "/loop: a folder already played from another path",
                                       "skipped " + music + "/sub: a folder already played from another path",
                                       "skipped " + music + "/up: a link to a folder that holds this one",
                                       "live",
                                       "skipped gone.m3u: no such file"};
  ASSERT_EQ(names.size(), expected.size() + 1);
  for (size_t i = 0; i < expected.size(); i++) EXPECT_EQ(names[i], expected[i]) << "entry " << i;
  EXPECT_NE(names.back().find("/missing: No such file or directory"), std::string::npos) << names.back();
  EXPECT_NE(c.entries[0].track.find("\"title\":\"1.wav\""), std::string::npos) << c.entries[0].track;
  EXPECT_GT(c.wake_ups, 0);
}

// Many files read by every thread at once come out complete and in order.
TEST_F(Scan, ManyFilesComeOutInOrder) {
  constexpr int k_files = 3000;
  for (int i = 1; i <= k_files; i++) touch(std::to_string(i) + ".wav");
  collected c = run_scan({folder(dir_)});
  ASSERT_EQ(c.entries.size(), static_cast<size_t>(k_files));
  for (int i = 0; i < k_files; i++) {
    ASSERT_EQ(file_name(c.entries[static_cast<size_t>(i)]), std::to_string(i + 1) + ".wav") << "entry " << i;
  }
}

// A scan dropped while it walks and reads stops its threads and waits for them.
TEST_F(Scan, StopsWhenDroppedMidWay) {
  for (int i = 1; i <= 2000; i++) touch(std::to_string(i) + ".wav");
  for (int round = 0; round < 20; round++) {
    player::scan s({folder(dir_)}, [] {}, false);
    if (round % 2 == 1) (void)s.take();
  }
}

}  // namespace
