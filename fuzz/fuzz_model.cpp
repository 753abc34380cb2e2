// Fuzz target: the input is a call program (up to 256 calls to any exported function,
// on two handles or a null one), run on the library and on the reference model of
// tests/model. Every result, error text, state document and resume document must be
// the same, byte for byte, after every call.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  model::bytes_source in(data, size);
  std::string mismatch = model::compare(model::decode(in, 256));
  if (!mismatch.empty()) {
    fprintf(stderr, "library and model differ %s", mismatch.c_str());
    abort();
  }
  return 0;
}
