// A host that opens libpbq.so with dlopen and closes it again while threads that
// wrote their error text are still ending, or are parked and outlive the dlclose.
// Nothing may crash (a thread's last act runs the error buffer's destructor), and
// under valgrind no buffer may be lost.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>
// valgrind's header where the target has it (MinGW has none): no valgrind there.
#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Many cycles natively, where a destructor called after the code was unmapped would
// crash; a few under valgrind, where each thread costs milliseconds and what is
// looked for is a lost buffer, which one cycle already shows; a tenth under an
// emulator (PBQ_TEST_EMULATED, set by the cross builds), where threads are as slow.
int cycles(int native, int under_valgrind) {
  if (RUNNING_ON_VALGRIND) return under_valgrind;
  return getenv("PBQ_TEST_EMULATED") != nullptr ? native / 10 : native;
}

using jump_fn = int32_t (*)(void *, int32_t);
using last_error_fn = const char *(*)();

struct opened {
  void *handle = nullptr;
  jump_fn jump = nullptr;
  last_error_fn last_error = nullptr;

  opened() {
    handle = dlopen(PBQ_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return;
    jump = reinterpret_cast<jump_fn>(dlsym(handle, "pbq_jump"));
    last_error = reinterpret_cast<last_error_fn>(dlsym(handle, "pbq_last_error"));
  }
  bool ok() const { return handle != nullptr && jump != nullptr && last_error != nullptr; }
};

// Each cycle: open, let every thread write its error text and meet the others at a
// barrier, close while they are returning. The threads are joined only after the
// dlclose, so their buffers' destructors run against a closed library.
TEST(Unload, ThreadsEndingAcrossDlclose) {
  const int k_cycles = cycles(300, 6);
  constexpr int k_threads = 32;
  for (int cycle = 0; cycle < k_cycles; cycle++) {
    opened lib;
    ASSERT_TRUE(lib.ok()) << dlerror();
    pthread_barrier_t barrier;
    ASSERT_EQ(pthread_barrier_init(&barrier, nullptr, k_threads + 1), 0);
    std::vector<std::thread> threads;
    std::vector<int> read_back(k_threads, 0);
    for (int t = 0; t < k_threads; t++) {
      threads.emplace_back([&, t] {
        int32_t r = lib.jump(nullptr, 0);
        read_back[static_cast<size_t>(t)] = r == -1 && strcmp(lib.last_error(), "jump index out of range") == 0;
        pthread_barrier_wait(&barrier);
      });
    }
    pthread_barrier_wait(&barrier);
    ASSERT_EQ(dlclose(lib.handle), 0);
    for (std::thread &t : threads) t.join();
    pthread_barrier_destroy(&barrier);
    for (int t = 0; t < k_threads; t++) ASSERT_EQ(read_back[static_cast<size_t>(t)], 1) << "thread " << t;
  }
}

// Threads that wrote their text stay parked across the dlclose and a new dlopen, use
// the library again, and only then end: their buffers are freed, not lost.
TEST(Unload, ParkedThreadsOutliveDlclose) {
  const int k_cycles = cycles(50, 4);
  constexpr int k_threads = 8;
  for (int cycle = 0; cycle < k_cycles; cycle++) {
    opened first;
    ASSERT_TRUE(first.ok()) << dlerror();
    std::mutex m;
    std::condition_variable cv;
    int written = 0;
    bool reopened = false;
    opened *second = nullptr;
    std::vector<std::string> before(k_threads), after(k_threads);
    std::vector<std::thread> threads;
    for (int t = 0; t < k_threads; t++) {
      threads.emplace_back([&, t] {
        first.jump(nullptr, 0);
        before[static_cast<size_t>(t)] = first.last_error();
        std::unique_lock<std::mutex> lock(m);
        written++;
        cv.notify_all();
        cv.wait(lock, [&] { return reopened; });
        // The library opened again is the one the thread already wrote into.
        after[static_cast<size_t>(t)] = second->last_error();
      });
    }
    {
      std::unique_lock<std::mutex> lock(m);
      cv.wait(lock, [&] { return written == k_threads; });
    }
    ASSERT_EQ(dlclose(first.handle), 0);
    opened again;
    ASSERT_TRUE(again.ok()) << dlerror();
    {
      std::lock_guard<std::mutex> lock(m);
      second = &again;
      reopened = true;
    }
    cv.notify_all();
    for (std::thread &t : threads) t.join();
    ASSERT_EQ(dlclose(again.handle), 0);
    for (int t = 0; t < k_threads; t++) {
      EXPECT_EQ(before[static_cast<size_t>(t)], "jump index out of range");
      EXPECT_EQ(after[static_cast<size_t>(t)], "jump index out of range");
    }
  }
}

// dlclose leaves the library mapped: that is what keeps the destructor callable.
TEST(Unload, LibraryStaysMappedAfterDlclose) {
  opened lib;
  ASSERT_TRUE(lib.ok()) << dlerror();
  ASSERT_EQ(dlclose(lib.handle), 0);
  void *still = dlopen(PBQ_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(still, nullptr);
  EXPECT_EQ(dlclose(still), 0);
}

}  // namespace
