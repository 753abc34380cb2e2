// The built-in self-test: a short script on a private handle.
#include "engine.h"
#include "model.h"

namespace {

constexpr const char *k_fixture =
    "[{\"streamURL\":\"https://selftest.pbq.invalid/1.m4a\",\"title\":\"T1\",\"duration\":100},"
    "{\"streamURL\":\"https://selftest.pbq.invalid/2.m4a\",\"title\":\"T2\",\"duration\":200},"
    "{\"streamURL\":\"https://selftest.pbq.invalid/3.m4a\",\"title\":\"T3\",\"duration\":300}]";

// Destroys the private handle on every way out.
struct handle_guard {
  pbq_queue *q;
  explicit handle_guard(pbq_queue *handle) : q(handle) {}
  ~handle_guard() { pbq_destroy(q); }
  handle_guard(const handle_guard &) = delete;
  handle_guard &operator=(const handle_guard &) = delete;
};

}  // namespace

extern "C" int32_t pbq_selftest(void) {
  handle_guard h(pbq_create());  // writes "out of memory" itself when it fails
  if (h.q == nullptr) return PBQ_SELFTEST_NO_HANDLE;
  if (pbq_set_tracks_json(h.q, k_fixture, 1, 99) != 0) return PBQ_SELFTEST_LOAD;
  // GCOVR_EXCL_START unreachable: these fail only in a broken build of the library
  if (pbq_next(h.q) != PBQ_ACTION_PLAY) return PBQ_SELFTEST_FIRST_NEXT;
  if (pbq_next(h.q) != PBQ_ACTION_NONE) return PBQ_SELFTEST_SECOND_NEXT;
  // GCOVR_EXCL_STOP
  // Where one more advance from the last entry would land under repeat all.
  h.q->repeat_mode = k_repeat_all;
  h.q->current = 0;
  // Turning shuffle on reorders in place and allocates nothing, so it cannot fail.
  if (pbq_set_shuffle(h.q, 1, 12345) != 0) return PBQ_SELFTEST_SHUFFLE_ON;  // GCOVR_EXCL_LINE
  if (pbq_set_shuffle(h.q, 0, 0) != 0) return PBQ_SELFTEST_SHUFFLE_OFF;
  return PBQ_SELFTEST_PASSED;
}
