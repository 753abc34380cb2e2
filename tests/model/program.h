// Call programs: a list of calls to the exported functions on two handles or a null
// one, run on the library (through its C interface only) and on the reference model,
// with every result, error text and document compared byte for byte after each call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace model {

enum class op : uint8_t {
  recreate,  // destroy the handle and create a new one
  set_tracks,
  play_next,
  add_to_queue,
  remove_up_next,
  move_up_next,
  clear_up_next,
  next,
  track_ended,
  previous,
  jump,
  set_repeat,
  cycle_repeat,
  set_shuffle,
  set_rate,
  set_sleep_timer,
  check_sleep_timer,
  state,
  export_resume,
  restore,
  selftest,
  frame,  // versions, and pbq_free and pbq_destroy of null
  count_
};

constexpr int k_null_slot = 2;

struct call {
  op kind = op::frame;
  int slot = 0;  // handle 0 or 1, or k_null_slot for a null handle
  int32_t a = 0, b = 0;
  int64_t c = 0, d = 0;
  uint64_t seed = 0;
  double position = 0.0;
  float rate = 1.0f;
  std::string text{};   // the JSON text of set_tracks and the add calls; restore's resume text
  std::string text2{};  // restore's tracks text
  bool null_text = false;
  int resume_from = -1;  // restore: use the resume export of this handle instead of `text`
  bool with_out = true;  // restore: pass a place for the position
};

using program = std::vector<call>;

// Where the choices of a decoded program come from: the fuzzer's input bytes, or a
// seeded generator. An exhausted source reads zeros.
class byte_source {
 public:
  virtual ~byte_source() = default;
  virtual uint8_t u8() = 0;
  virtual bool exhausted() const = 0;
  uint32_t u32();
  uint64_t u64();
};

class bytes_source : public byte_source {
 public:
  bytes_source(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  uint8_t u8() override { return pos_ < size_ ? data_[pos_++] : 0; }
  bool exhausted() const override { return pos_ >= size_; }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t pos_ = 0;
};

// A program of up to `max_calls` calls read from `in`, stopping when it runs dry.
program decode(byte_source &in, size_t max_calls);

// A program of `calls` calls chosen by a generator started from `seed`.
program random_program(uint64_t seed, size_t calls);

std::string describe(const call &c);

// Runs the program on the library and the model. Empty when they agreed on every
// result, error text, state document and resume document; otherwise what differed
// first, with the calls that led there.
std::string compare(const program &p);

// The library's side of a run, printed the same way on every target: each call's
// result and error text and both handles' documents, a line each (and, should the
// model disagree, what compare would report). Two builds that behave the same give
// the same bytes.
std::string trace(const program &p);

}  // namespace model
