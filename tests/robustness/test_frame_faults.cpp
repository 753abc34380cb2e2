// The per-thread error text when the thread key cannot be had or a thread's buffer
// cannot be stored in it. The two pthread calls are replaced at link time (--wrap),
// and each case runs in its own process since the key is made once per process.
// Usage: pbq_frame_faults_tests key|store
#include <pthread.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "pbq.h"

extern "C" {
int __real_pthread_key_create(pthread_key_t *key, void (*destructor)(void *));
int __real_pthread_setspecific(pthread_key_t key, const void *value);
}

namespace {

bool g_fail_key_create = false;
bool g_fail_store = false;
int g_failures = 0;

void check(bool ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s\n", what);
    g_failures++;
  }
}

const char *const k_one_track = R"([{"streamURL":"u","title":"t"}])";

// Without a key no message is kept, yet every call answers as it would.
void without_a_key() {
  g_fail_key_create = true;
  check(pbq_jump(nullptr, 0) == PBQ_REFUSED, "a null handle is refused");
  check(strcmp(pbq_last_error(), "") == 0, "no message without a key");
  pbq_queue *q = pbq_create();
  check(q != nullptr, "create");
  check(pbq_set_tracks_json(q, "{", 0, 0) == PBQ_REFUSED, "bad JSON refused");
  check(strcmp(pbq_last_error(), "") == 0, "still no message");
  check(pbq_set_tracks_json(q, k_one_track, 0, 0) == PBQ_OK, "load");
  check(pbq_next(q) == PBQ_ACTION_NONE, "next at the end");
  pbq_destroy(q);
}

// A buffer that cannot be stored is freed, and that message is lost; the next call
// that can store one reports as usual.
void buffer_not_stored() {
  g_fail_store = true;
  check(pbq_jump(nullptr, 0) == PBQ_REFUSED, "a null handle is refused");
  check(strcmp(pbq_last_error(), "") == 0, "the message is lost");
  g_fail_store = false;
  check(pbq_jump(nullptr, 0) == PBQ_REFUSED, "refused again");
  check(strcmp(pbq_last_error(), "jump index out of range") == 0, "the message is back");
}

}  // namespace

extern "C" {
int __wrap_pthread_key_create(pthread_key_t *key, void (*destructor)(void *)) {
  return g_fail_key_create ? EAGAIN : __real_pthread_key_create(key, destructor);
}
int __wrap_pthread_setspecific(pthread_key_t key, const void *value) {
  return g_fail_store ? ENOMEM : __real_pthread_setspecific(key, value);
}
}

int main(int argc, char **argv) {
  if (argc == 2 && strcmp(argv[1], "key") == 0) {
    without_a_key();
  } else if (argc == 2 && strcmp(argv[1], "store") == 0) {
    buffer_not_stored();
  } else {
    fprintf(stderr, "usage: %s key|store\n", argv[0]);
    return 2;
  }
  return g_failures == 0 ? 0 : 1;
}
