// The state document against yyjson writing an equivalent document built beforehand.
#include <benchmark/benchmark.h>

#include <yyjson.h>

#include "bench_common.h"
#include "model.h"

namespace {

pbq_queue *loaded(int n) {
  pbq_queue *q = pbq_create();
  pbq_set_tracks_json(q, typical_tracks_json(n).c_str(), n / 2, 0);
  return q;
}

// The same document, parsed once into a mutable copy: only the writing is timed.
void BM_YyjsonWriteBuilt(benchmark::State &state) {
  pbq_queue *q = loaded(static_cast<int>(state.range(0)));
  char *text = pbq_state_json(q);
  yyjson_doc *doc = yyjson_read(text, strlen(text), 0);
  yyjson_mut_doc *built = yyjson_doc_mut_copy(doc, nullptr);
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

void BM_StateJson(benchmark::State &state) {
  pbq_queue *q = loaded(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    char *text = pbq_state_json(q);
    benchmark::DoNotOptimize(text);
    pbq_free(text);
  }
  pbq_destroy(q);
}

void BM_ExportResume(benchmark::State &state) {
  pbq_queue *q = loaded(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    char *text = pbq_export_resume_json(q, 83.5);
    benchmark::DoNotOptimize(text);
    pbq_free(text);
  }
  pbq_destroy(q);
}

BENCHMARK(BM_YyjsonWriteBuilt)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StateJson)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportResume)->Arg(100000);

}  // namespace
