// Heap held per loaded track and the peak while a loaded handle is reloaded, each as a
// multiple of the JSON text, beside yyjson's own parse of the same text. The malloc
// family is counted here by forwarding to the C library's own entry points.
#include <malloc.h>

#include <yyjson.h>

#include <cstddef>
#include <cstdio>
#include <string>

#include "bench_common.h"

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void __libc_free(void *p);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {

// Single-threaded program: plain counters.
size_t g_current = 0;
size_t g_peak = 0;

void *counted(void *p) {
  if (p != nullptr) {
    g_current += malloc_usable_size(p);
    if (g_current > g_peak) g_peak = g_current;
  }
  return p;
}

void uncount(void *p) {
  if (p != nullptr) g_current -= malloc_usable_size(p);
}

}  // namespace

extern "C" {
void *malloc(size_t size) { return counted(__libc_malloc(size)); }
void *calloc(size_t count, size_t size) { return counted(__libc_calloc(count, size)); }
void *realloc(void *p, size_t size) {
  size_t before = p != nullptr ? malloc_usable_size(p) : 0;
  void *grown = __libc_realloc(p, size);
  if (grown == nullptr) return nullptr;
  g_current -= before;
  return counted(grown);
}
void free(void *p) {
  uncount(p);
  __libc_free(p);
}
void *memalign(size_t alignment, size_t size) { return counted(__libc_memalign(alignment, size)); }
int posix_memalign(void **out, size_t alignment, size_t size) {
  *out = counted(__libc_memalign(alignment, size));
  return *out != nullptr ? 0 : 12;
}
void *aligned_alloc(size_t alignment, size_t size) { return counted(__libc_memalign(alignment, size)); }
}

int main() {
  printf("%-9s %12s %12s %16s %16s %17s %17s\n", "tracks", "JSON bytes", "held/track", "held/JSON", "+8 adds/JSON",
         "reload peak/JSON", "yyjson peak/JSON");
  for (int n : {1000, 10000, 100000, 1000000}) {
    const std::string json = typical_tracks_json(n);
    const double text = static_cast<double>(json.size());

    size_t base = g_current;
    pbq_queue *q = pbq_create();
    pbq_set_shuffle(q, 1, 0);
    pbq_set_tracks_json(q, json.c_str(), 3, 7);
    size_t held = g_current - base;
    // The first adds with a current entry build the URL index.
    for (int i = 0; i < 8; i++) pbq_play_next_json(q, extra_track_json(i).c_str());
    size_t held_after_adds = g_current - base;

    // The reload's peak over what the loaded handle already held.
    g_peak = g_current;
    size_t before_reload = g_current;
    pbq_set_tracks_json(q, json.c_str(), 3, 7);
    size_t reload_peak = g_peak - before_reload;
    pbq_destroy(q);

    g_peak = g_current;
    size_t before_parse = g_current;
    yyjson_doc *doc = yyjson_read(json.c_str(), json.size(), 0);
    size_t parse_peak = g_peak - before_parse;
    yyjson_doc_free(doc);

    printf("%-9d %12zu %10.1f B %15.2fx %15.2fx %16.2fx %16.2fx\n", n, json.size(), static_cast<double>(held) / n,
           static_cast<double>(held) / text, static_cast<double>(held_after_adds) / text,
           static_cast<double>(reload_peak) / text, static_cast<double>(parse_peak) / text);
  }
  return 0;
}
