// A host that opens libpbq.so with dlopen, as FFI hosts do, and makes a thread's very
// first call into the library while memory is exhausted. The process must not abort,
// and the thread must read a true error text.
//
// This executable replaces the malloc family. Failures are armed per thread, so only
// the thread under test runs out of memory; the flag is a thread-local of the
// executable itself, which lives in static TLS and is never allocated.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "pbq.h"  // the named codes only: the functions are reached through dlsym

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void __libc_free(void *p);
}

namespace {

enum class exhaustion { none, first_only, all };

thread_local exhaustion t_mode = exhaustion::none;
thread_local uint64_t t_attempts = 0;
thread_local uint64_t t_failed = 0;

bool should_fail() {
  if (t_mode == exhaustion::none) return false;
  t_attempts++;
  if (t_mode == exhaustion::first_only && t_attempts > 1) return false;
  t_failed++;
  errno = ENOMEM;
  return true;
}

}  // namespace

extern "C" {

void *malloc(size_t size) { return should_fail() ? nullptr : __libc_malloc(size); }
void *calloc(size_t count, size_t size) { return should_fail() ? nullptr : __libc_calloc(count, size); }
void *realloc(void *p, size_t size) {
  if (size != 0 && should_fail()) return nullptr;
  return __libc_realloc(p, size);
}
void free(void *p) { __libc_free(p); }

}  // extern "C"

namespace {

// The library as a host that loads it at run time sees it.
struct library {
  void *handle = nullptr;
  void *(*create)() = nullptr;
  void (*destroy)(void *) = nullptr;
  const char *(*last_error)() = nullptr;
  int32_t (*jump)(void *, int32_t) = nullptr;
  int32_t (*set_tracks_json)(void *, const char *, int32_t, uint64_t) = nullptr;
  int32_t (*selftest)() = nullptr;

  template <typename F>
  void find(F *&fn, const char *name) {
    fn = reinterpret_cast<F *>(dlsym(handle, name));
    ASSERT_NE(fn, nullptr) << name;
  }
};

class Dlopen : public ::testing::Test {
 protected:
  void SetUp() override {
    lib.handle = dlopen(PBQ_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    lib.find(lib.create, "pbq_create");
    lib.find(lib.destroy, "pbq_destroy");
    lib.find(lib.last_error, "pbq_last_error");
    lib.find(lib.jump, "pbq_jump");
    lib.find(lib.set_tracks_json, "pbq_set_tracks_json");
    lib.find(lib.selftest, "pbq_selftest");
  }
  void TearDown() override {
    if (lib.handle != nullptr) {
      EXPECT_EQ(dlclose(lib.handle), 0);
    }
  }
  library lib;
};

// What one thread saw: the error text under exhaustion, the text after memory came
// back, and how many allocations were failed on it.
struct observed {
  std::string while_exhausted;
  std::string recovered;
  bool answered = false;
  uint64_t failed = 0;
};

struct scenario {
  const char *name;
  exhaustion mode;
  // The thread's first call into the library, made with memory exhausted; true when
  // it gave its failure answer. Nothing is checked while memory is exhausted.
  std::function<bool(const library &)> first_call;
  const char *while_exhausted;
  bool recover;  // make a refused call once memory is back and read its text
};

observed run_in_fresh_thread(const library &lib, const scenario &s) {
  observed seen;
  std::thread thread([&] {
    t_attempts = 0;
    t_failed = 0;
    t_mode = s.mode;
    bool answered = s.first_call(lib);
    const char *text = lib.last_error();
    t_mode = exhaustion::none;
    seen.while_exhausted = text != nullptr ? text : "(null)";
    seen.failed = t_failed;
    seen.answered = answered;
    if (s.recover) {
      lib.jump(nullptr, 0);
      seen.recovered = lib.last_error();
    }
  });
  thread.join();
  return seen;
}

TEST_F(Dlopen, FirstCallOfAThreadUnderExhaustionNeverAborts) {
  const scenario scenarios[] = {
      {"create with every allocation failing", exhaustion::all,
       [](const library &l) { return l.create() == nullptr; }, "out of memory", true},
      {"a refusal whose message buffer cannot be had", exhaustion::first_only,
       [](const library &l) { return l.jump(nullptr, 0) == PBQ_REFUSED; }, "out of memory", true},
      {"loading with every allocation failing", exhaustion::all,
       [](const library &l) { return l.set_tracks_json(nullptr, "[]", 0, 0) == -1; }, "out of memory", true},
      {"self-test with every allocation failing", exhaustion::all,
       [](const library &l) { return l.selftest() == PBQ_SELFTEST_NO_HANDLE; }, "out of memory", true},
      {"the thread ends holding the fallback text", exhaustion::all,
       [](const library &l) { return l.create() == nullptr; }, "out of memory", false},
      {"reading the text allocates nothing", exhaustion::all, [](const library &) { return true; }, "", true},
  };
  for (const scenario &s : scenarios) {
    SCOPED_TRACE(s.name);
    observed seen = run_in_fresh_thread(lib, s);
    EXPECT_TRUE(seen.answered);
    EXPECT_EQ(seen.while_exhausted, s.while_exhausted);
    // A thread that only read was never denied anything; all others were.
    EXPECT_EQ(seen.failed > 0, std::string(s.while_exhausted) != "");
    if (s.recover) {
      EXPECT_EQ(seen.recovered, "jump index out of range");
    }
  }
}

// Once memory is back, a thread that fell back to the constant text gets its own
// buffer and every later message reads true.
TEST_F(Dlopen, ThreadGetsItsBufferOnceMemoryIsBack) {
  std::string first, second, third;
  std::thread thread([&] {
    t_mode = exhaustion::all;
    lib.jump(nullptr, 0);
    t_mode = exhaustion::none;
    first = lib.last_error();
    void *q = lib.create();
    EXPECT_EQ(lib.set_tracks_json(q, "{}", 0, 0), PBQ_REFUSED);
    second = lib.last_error();
    EXPECT_EQ(lib.set_tracks_json(q, "[]", 0, 0), PBQ_OK);
    third = lib.last_error();
    lib.destroy(q);
  });
  thread.join();
  EXPECT_EQ(first, "out of memory");
  EXPECT_EQ(second, "tracks json must be array");
  EXPECT_EQ(third, "");
}

}  // namespace
