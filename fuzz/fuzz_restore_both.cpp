// Fuzz target: pbq_restore_resume_json with both texts from the input: the resume
// text up to the first NUL byte, the tracks text after it.
#include "fuzz_restore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const auto *nul = size > 0 ? static_cast<const uint8_t *>(memchr(data, 0, size)) : nullptr;
  size_t split = nul != nullptr ? static_cast<size_t>(nul - data) : size;
  std::string resume = fuzz::as_text(data, split);
  std::string tracks = split < size ? fuzz::as_text(data + split + 1, size - split - 1) : "";
  fuzz::restore_target(resume, tracks, static_cast<unsigned>(size));
  return 0;
}
