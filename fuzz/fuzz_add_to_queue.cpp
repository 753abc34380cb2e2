// Fuzz target: pbq_add_to_queue_json with arbitrary text.
#include "fuzz_add_track.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::add_track_target(data, size, fuzz::add_at::end);
  return 0;
}
