/* The C baseline of the bindings' benchmark: nanoseconds per call of pbq_next and of
 * pbq_state_json (with its pbq_free) on a queue of 1,000 tracks, the best of five
 * rounds. The bindings' benchmarks measure the same calls the same way. */
#define _POSIX_C_SOURCE 199309L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <pbq.h>

static double now_ns(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e9 + (double)t.tv_nsec;
}

/* 1,000 tracks of about 200 bytes; every language's benchmark writes the same. */
static char *tracks_json(int n) {
  size_t cap = (size_t)n * 256 + 16, len = 0;
  char *s = malloc(cap);
  if (s == NULL) return NULL;
  s[len++] = '[';
  for (int i = 0; i < n; i++) {
    len += (size_t)snprintf(s + len, cap - len,
                            "%s{\"streamURL\":\"https://media.example/artist/album/%04d.m4a\","
                            "\"title\":\"Track %d of the album\",\"artist\":\"Some Artist\","
                            "\"artworkURL\":\"https://media.example/artist/album/cover.jpg\","
                            "\"duration\":215.5}",
                            i ? "," : "", i, i);
  }
  s[len++] = ']';
  s[len] = '\0';
  return s;
}

int main(void) {
  char *tracks = tracks_json(1000);
  pbq_queue *q = pbq_create();
  if (tracks == NULL || q == NULL || pbq_set_tracks_json(q, tracks, 0, 0) != PBQ_OK) return 1;
  pbq_set_repeat(q, PBQ_REPEAT_ALL); /* next always moves */
  double best_next = 1e30, best_state = 1e30;
  size_t length = 0;
  for (int round = 0; round < 5; round++) {
    const int n = 2000000;
    double t0 = now_ns();
    for (int i = 0; i < n; i++) {
      if (pbq_next(q) != PBQ_ACTION_PLAY) return 1;
    }
    double per = (now_ns() - t0) / n;
    if (per < best_next) best_next = per;

    const int m = 2000;
    t0 = now_ns();
    for (int i = 0; i < m; i++) {
      char *doc = pbq_state_json(q);
      if (doc == NULL) return 1;
      pbq_free(doc);
    }
    per = (now_ns() - t0) / m;
    if (per < best_state) best_state = per;
  }
  char *doc = pbq_state_json(q);
  if (doc != NULL) length = strlen(doc);
  pbq_free(doc);
  printf("next %.1f\nstate_json %.1f\ndocument_bytes %zu\n", best_next, best_state, length);
  pbq_destroy(q);
  free(tracks);
  return 0;
}
