// The exported frame: handle creation and teardown, versions, the per-thread error
// text and the release of returned documents.
#include <pthread.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "model.h"

namespace {

// Each thread's error text lives in a heap block reached through a thread key rather
// than in a thread_local: a library opened with dlopen gets its thread_local blocks
// allocated lazily by the C library, which aborts the process when that allocation
// fails. With a key, a failed allocation only costs the message.
pthread_key_t g_last_err;
pthread_once_t g_last_err_once = PTHREAD_ONCE_INIT;
bool g_last_err_ready = false;

// Stored in a thread's slot when its buffer could not be allocated, so that the
// thread still reads a true message. Never freed.
char k_no_buffer_text[] = "out of memory";
constexpr const char *k_empty_text = "";

void free_error_buffer(void *buffer) {
  if (buffer != k_no_buffer_text) free(buffer);
}

// Windows has no -z nodelete (see below): the module pins itself instead when it makes
// the key, so FreeLibrary never unmaps the destructor that threads still run when they
// end (winpthreads, linked into pbq.dll, runs it when each thread detaches). In a
// static build this pins the program, which changes nothing.
#ifdef _WIN32
bool pin_module() {
  HMODULE self = nullptr;
  return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            reinterpret_cast<LPCWSTR>(&free_error_buffer), &self) != 0;
}
#endif

void make_error_key() {
#ifdef _WIN32
  // Unpinned, a FreeLibrary could unmap the destructor that threads run as they end:
  // then no key at all. Calls answer as always; only their error texts read "".
  if (!pin_module()) return;
#endif
  g_last_err_ready = pthread_key_create(&g_last_err, free_error_buffer) == 0;
}

// The calling thread's buffer; allocated zero-filled on first use. Null when the key
// or the buffer could not be had (the slot then holds k_no_buffer_text).
char *error_buffer() {
  // pthread_once has no failure to report on this platform: glibc's always answers 0.
  pthread_once(&g_last_err_once, make_error_key);
  if (!g_last_err_ready) return nullptr;
  void *buffer = pthread_getspecific(g_last_err);
  if (buffer != nullptr && buffer != k_no_buffer_text) return static_cast<char *>(buffer);
  void *fresh = calloc(1, k_error_capacity);
  if (fresh == nullptr) {
    // Unchecked on purpose: if even this store fails, the slot stays empty and the
    // thread reads "", which is all that is left to offer.
    pthread_setspecific(g_last_err, k_no_buffer_text);
    return nullptr;
  }
  if (pthread_setspecific(g_last_err, fresh) != 0) {
    free(fresh);
    return nullptr;
  }
  return static_cast<char *>(fresh);
}

// The key is never deleted. The shared library is linked with -z nodelete, so a
// dlclose leaves its code mapped and its key alive: a thread that wrote its error
// text and ends after the dlclose still runs free_error_buffer, which is still there,
// and its buffer is freed rather than lost. A dlopen after that finds the same copy
// of the library and the same key, so load and unload cycles take no new keys.

}  // namespace

void set_err(const char *message) {
  char *buffer = error_buffer();
  if (buffer != nullptr) snprintf(buffer, k_error_capacity, "%s", message);
}

extern "C" {

const char *pbq_version(void) { return PBQ_VERSION_STRING; }

int32_t pbq_abi_version(void) { return PBQ_ABI_VERSION; }

const char *pbq_last_error(void) {
  pthread_once(&g_last_err_once, make_error_key);  // cannot fail; see error_buffer
  if (!g_last_err_ready) return k_empty_text;
  void *buffer = pthread_getspecific(g_last_err);
  // Reading allocates nothing: a thread that was never told anything reads "".
  return buffer != nullptr ? static_cast<const char *>(buffer) : k_empty_text;
}

void pbq_free(void *p) { free(p); }

pbq_queue *pbq_create(void) {
  auto *q = static_cast<pbq_queue *>(calloc(1, sizeof(pbq_queue)));
  if (q == nullptr) {
    set_err(msg::out_of_memory);
    return nullptr;
  }
  q->current = -1;
  q->repeat_mode = k_repeat_off;
  q->shuffle = 0;
  q->rate = 1.0f;
  q->sleep_mode = k_sleep_off;
  q->sleep_deadline = 0;
  return q;
}

void pbq_destroy(pbq_queue *q) {
  if (q == nullptr) return;
  store_free(&q->store);
  id_list_free(&q->tracks);
  queue_free(&q->queue);
  index_free(&q->index);
  free(q);
}

}  // extern "C"
