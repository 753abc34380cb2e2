// The library's state document at each size given, through the shared library as a
// host links it, against yyjson writing the same document (already built) in the same
// run: the unit the hosts' benchmarks count in, and the library's own target.
//
//   pbq-bench-state-doc SIZE...   prints, for each size, in source order and shuffled:
//     state document at SIZE, ORDER: T ms
//     yyjson write at SIZE, ORDER: T ms
//     state document / yyjson write at SIZE, ORDER: R
//   and, shuffled, the first document after a new shuffle (which lays a long queue out
//   in play order), the least of 3 rounds:
//     first state document after a shuffle at SIZE: T ms (R x yyjson's write)
//
// Each time is the least of several rounds of CPU time, the two sides taking turns, so
// that a busy machine slows neither side more than the other.
#include <time.h>
#include <yyjson.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../bench_common.h"

namespace {

double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct sides {
  pbq_queue *q;
  yyjson_mut_doc *built;
};

// One call of each side, `reps` times, in seconds per call.
double time_state(const sides &s, int reps) {
  double start = cpu_seconds();
  for (int i = 0; i < reps; i++) pbq_free(pbq_state_json(s.q));
  return (cpu_seconds() - start) / reps;
}
double time_write(const sides &s, int reps) {
  double start = cpu_seconds();
  for (int i = 0; i < reps; i++) free(yyjson_mut_write(s.built, 0, nullptr));
  return (cpu_seconds() - start) / reps;
}

int measure(const std::string &tracks, const char *size, bool shuffled) {
  sides s{loaded_handle(tracks, 3, shuffled), nullptr};
  char *text = pbq_state_json(s.q);
  yyjson_doc *doc = text != nullptr ? yyjson_read(text, strlen(text), 0) : nullptr;
  s.built = doc != nullptr ? yyjson_doc_mut_copy(doc, nullptr) : nullptr;
  yyjson_doc_free(doc);
  if (s.built == nullptr) {
    fprintf(stderr, "pbq-bench-state-doc: no state document at %s tracks\n", size);
    return 1;
  }
  // Both outputs must be the same text, or the ratio compares different work.
  size_t length = 0;
  char *written = yyjson_mut_write(s.built, 0, &length);
  bool same = written != nullptr && length == strlen(text) && memcmp(written, text, length) == 0;
  free(written);
  pbq_free(text);
  if (!same) {
    fprintf(stderr, "pbq-bench-state-doc: the state document differs from yyjson's text at %s tracks\n", size);
    return 1;
  }

  // Enough calls a round for a few milliseconds, and enough rounds for about a second
  // a side (at least 7), after a warm-up call each.
  double one = time_state(s, 1) + time_write(s, 1);
  int reps = one > 0.004 ? 1 : static_cast<int>(0.004 / (one > 1e-7 ? one : 1e-7)) + 1;
  int rounds = one * reps * 7 > 2.0 ? 7 : static_cast<int>(2.0 / (one * reps)) + 1;
  if (rounds > 60) rounds = 60;
  double best_state = 1e30;
  double best_write = 1e30;
  for (int r = 0; r < rounds; r++) {
    double a = time_state(s, reps);
    double b = time_write(s, reps);
    if (a < best_state) best_state = a;
    if (b < best_write) best_write = b;
  }
  const char *order = shuffled ? "shuffled" : "source order";
  printf("state document at %s, %s: %.4f ms\n", size, order, best_state * 1e3);
  printf("yyjson write at %s, %s: %.4f ms\n", size, order, best_write * 1e3);
  printf("state document / yyjson write at %s, %s: %.3f\n", size, order, best_state / best_write);
  if (shuffled) {
    double best_first = 1e30;
    for (uint64_t seed = 11; seed < 14; seed++) {
      pbq_set_shuffle(s.q, 1, seed);
      double start = cpu_seconds();
      pbq_free(pbq_state_json(s.q));
      double first = cpu_seconds() - start;
      if (first < best_first) best_first = first;
    }
    printf("first state document after a shuffle at %s: %.4f ms (%.3f x yyjson's write)\n", size, best_first * 1e3,
           best_first / best_write);
  }
  fflush(stdout);
  yyjson_mut_doc_free(s.built);
  pbq_destroy(s.q);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: pbq-bench-state-doc SIZE...\n");
    return 2;
  }
  for (int i = 1; i < argc; i++) {
    char *end = nullptr;
    long n = strtol(argv[i], &end, 10);
    if (*argv[i] == '\0' || *end != '\0' || n < 1 || n > 10000000) {
      fprintf(stderr, "pbq-bench-state-doc: not a size: %s\n", argv[i]);
      return 2;
    }
    std::string tracks = typical_tracks_json(static_cast<int>(n));
    if (measure(tracks, argv[i], false) != 0 || measure(tracks, argv[i], true) != 0) return 1;
  }
  return 0;
}
