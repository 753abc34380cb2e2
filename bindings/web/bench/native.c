/* The native side of the web package's benchmark: the same calls on the same tracks
 * text, timed in C. Prints the best milliseconds of `rounds` loads and state
 * documents, and writes the last document to `doc_out` for the byte comparison.
 *   pbq_web_bench_native TRACKS_FILE ROUNDS DOC_OUT */
#define _POSIX_C_SOURCE 199309L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <pbq.h>

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static double best(const double *v, int n) {
  double m = v[0];
  for (int i = 1; i < n; i++) m = v[i] < m ? v[i] : m;
  return m;
}

static char *read_file(const char *path) {
  FILE *f = fopen(path, "rb");
  if (f == NULL) return NULL;
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fseek(f, 0, SEEK_SET);
  char *text = malloc((size_t)size + 1);
  if (text != NULL && fread(text, 1, (size_t)size, f) == (size_t)size) text[size] = '\0';
  fclose(f);
  return text;
}

int main(int argc, char **argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s TRACKS_FILE ROUNDS DOC_OUT\n", argv[0]);
    return 2;
  }
  char *tracks = read_file(argv[1]);
  int rounds = atoi(argv[2]);
  pbq_queue *q = pbq_create();
  if (tracks == NULL || q == NULL || rounds < 1 || rounds > 1000) return 1;
  double *load = malloc(sizeof(double) * (size_t)rounds), *state = malloc(sizeof(double) * (size_t)rounds);
  char *doc = NULL;
  for (int i = 0; i < rounds; i++) {
    double t0 = now_ms();
    if (pbq_set_tracks_json(q, tracks, 0, 0) != PBQ_OK) return 1;
    double t1 = now_ms();
    pbq_free(doc);
    doc = pbq_state_json(q);
    double t2 = now_ms();
    if (doc == NULL) return 1;
    load[i] = t1 - t0;
    state[i] = t2 - t1;
  }
  FILE *out = fopen(argv[3], "wb");
  if (out == NULL || fputs(doc, out) < 0 || fclose(out) != 0) return 1;
  printf("{\"load_ms\": %.3f, \"state_ms\": %.3f}\n", best(load, rounds), best(state, rounds));
  pbq_free(doc);
  pbq_destroy(q);
  free(tracks);
  return 0;
}
