// Fuzz target: the state document written directly against yyjson's writer of the
// same values. The input is a tracks JSON text, loaded with shuffle on or off and
// then edited, and its bytes read as doubles for the number writer.
#include "documents.h"
#include "fuzz_support.h"

namespace {

void check_reals(const uint8_t *data, size_t size) {
  char buffer[k_max_number_text];
  for (size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
    double value;
    memcpy(&value, data + at, sizeof value);
    if (!std::isfinite(value)) continue;
    char *end = put_real(buffer, value);
    FUZZ_CHECK(end - buffer <= static_cast<std::ptrdiff_t>(k_max_number_text));
    FUZZ_CHECK(std::string(buffer, end) == oracle::real_text(value));
  }
}

void check_document(const pbq_queue *q) {
  char *direct = pbq_state_json(q);
  FUZZ_CHECK(direct != nullptr);
  FUZZ_CHECK(oracle::state_text(q) == direct);
  pbq_free(direct);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  check_reals(data, size);
  if (size == 0) return 0;
  const bool shuffled = (data[0] & 1) != 0;
  const std::string text = fuzz::as_text(data + 1, size - 1);
  pbq_queue *q = pbq_create();
  FUZZ_CHECK(q != nullptr);
  pbq_set_shuffle(q, shuffled ? 1 : 0, 0);
  if (pbq_set_tracks_json(q, text.c_str(), data[0] >> 1, size) == 0) {
    check_document(q);
    // The same text's tracks added one by one go through the other reader path.
    pbq_set_rate(q, static_cast<float>(data[0]) / 97.0f);
    pbq_set_repeat(q, data[0] % 3);
    yyjson_doc *doc = yyjson_read(text.c_str(), strlen(text.c_str()), 0);
    size_t i, max;
    yyjson_val *element;
    yyjson_arr_foreach(yyjson_doc_get_root(doc), i, max, element) {
      char *one = yyjson_val_write(element, 0, nullptr);
      if (one != nullptr) {
        (void)(i % 2 == 0 ? pbq_play_next_json(q, one) : pbq_add_to_queue_json(q, one));
        free(one);
      }
      if (i >= 16) break;
    }
    yyjson_doc_free(doc);
    check_document(q);
    pbq_remove_up_next(q, 0);
    pbq_set_shuffle(q, shuffled ? 0 : 1, size);
    check_document(q);
  }
  pbq_destroy(q);
  return 0;
}
