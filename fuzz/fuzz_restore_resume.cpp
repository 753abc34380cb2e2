// Fuzz target: pbq_restore_resume_json with the resume text from the input and a
// fixed track list that holds "id" tracks, a repeated URL and, between the tracks,
// rejected elements of every kind: a resumed track's index must not count them.
#include "fuzz_restore.h"

namespace {

constexpr const char *k_tracks =
    R"([{"streamURL":"a.m4a","title":"A","duration":10},7,"b.m4a",{"streamURL":""},)"
    R"({"id":"b.m4a"},null,true,[],{},{"streamURL":5},{"streamURL":5,"id":"c.m4a"},)"
    R"({"streamURL":"a.m4a","title":"again"},{"streamURL":"e\u0000"},{"id":""},)"
    R"({"streamURL":"d.m4a","artworkURL":"d.jpg","duration":-1}])";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::restore_target(fuzz::as_text(data, size), k_tracks, static_cast<unsigned>(size));
  return 0;
}
