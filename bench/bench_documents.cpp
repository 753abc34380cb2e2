// The state document against its floor: yyjson writing the same document, already
// built. In source order and once the queue was shuffled; the resume document.
#include <benchmark/benchmark.h>

#include <yyjson.h>

#include <cstdlib>
#include <cstring>

#include "bench_common.h"

namespace {

// The floor: the same document, parsed once into a mutable copy; only the writing is
// timed.
void BM_WriteFloor(benchmark::State &state) {
  pbq_queue *q = loaded_handle(typical_tracks_json(static_cast<int>(state.range(0))), 3, state.range(1) != 0);
  char *text = pbq_state_json(q);
  yyjson_doc *doc = yyjson_read(text, strlen(text), 0);
  yyjson_mut_doc *built = yyjson_doc_mut_copy(doc, nullptr);
  free(yyjson_mut_write(built, 0, nullptr));  // warms the heap for the first round
  for (auto _ : state) {
    char *out = yyjson_mut_write(built, 0, nullptr);
    benchmark::DoNotOptimize(out);
    free(out);
  }
  yyjson_mut_doc_free(built);
  yyjson_doc_free(doc);
  pbq_free(text);
  pbq_destroy(q);
}

// Range 1: 0 source order, 1 shuffled (the records then visited out of order).
void BM_StateJson(benchmark::State &state) {
  pbq_queue *q = loaded_handle(typical_tracks_json(static_cast<int>(state.range(0))), 3, state.range(1) != 0);
  pbq_free(pbq_state_json(q));  // warms the heap for the first round
  for (auto _ : state) {
    char *text = pbq_state_json(q);
    benchmark::DoNotOptimize(text);
    pbq_free(text);
  }
  pbq_destroy(q);
}

void BM_ExportResume(benchmark::State &state) {
  pbq_queue *q = loaded_handle(typical_tracks_json(static_cast<int>(state.range(0))), 3, false);
  for (auto _ : state) {
    char *text = pbq_export_resume_json(q, 83.5);
    benchmark::DoNotOptimize(text);
    pbq_free(text);
  }
  pbq_destroy(q);
}

// A restore of a saved position: the tracks parsed once and loaded.
void BM_Restore(benchmark::State &state) {
  const std::string json = typical_tracks_json(static_cast<int>(state.range(0)));
  pbq_queue *saved = loaded_handle(json, static_cast<int32_t>(state.range(0) / 2), false);
  char *resume = pbq_export_resume_json(saved, 61.0);
  for (auto _ : state) {
    pbq_queue *q = pbq_create();
    double position = 0;
    if (pbq_restore_resume_json(q, resume, json.c_str(), &position) != 0) state.SkipWithError("restore failed");
    state.PauseTiming();
    pbq_destroy(q);
    state.ResumeTiming();
  }
  pbq_free(resume);
  pbq_destroy(saved);
}

BENCHMARK(BM_WriteFloor)->ArgsProduct({{1000, 10000, 100000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StateJson)->ArgsProduct({{1000, 10000, 100000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportResume)->Arg(100000);
BENCHMARK(BM_Restore)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
