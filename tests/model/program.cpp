// Decoding call programs from bytes, and running one on the library and the model.
#include "program.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <random>

#include "pbq.h"
#include "reference.h"

namespace model {

uint32_t byte_source::u32() {
  uint32_t v = 0;
  for (int i = 0; i < 4; i++) v = (v << 8) | u8();
  return v;
}

uint64_t byte_source::u64() {
  uint64_t v = 0;
  for (int i = 0; i < 8; i++) v = (v << 8) | u8();
  return v;
}

namespace {

// ---- choices ------------------------------------------------------------------------

template <typename T, size_t N>
const T &one_of(byte_source &in, const T (&table)[N]) {
  return table[in.u8() % N];
}

// Indices: mostly small ones near a queue's bounds, sometimes the extremes.
int32_t index(byte_source &in) {
  uint8_t tag = in.u8();
  switch (tag % 8) {
    case 0: return -1;
    case 1: return std::numeric_limits<int32_t>::min();
    case 2: return std::numeric_limits<int32_t>::max();
    case 3: return static_cast<int32_t>(in.u32());
    default: return static_cast<int32_t>(tag / 8) - 2;  // -2 .. 29
  }
}

int64_t clock_value(byte_source &in) {
  static const int64_t k_values[] = {0, 1, -1, 600, 1000, 1599, 1600, std::numeric_limits<int64_t>::min(),
                                     std::numeric_limits<int64_t>::max()};
  uint8_t tag = in.u8();
  if (tag < 2 * std::size(k_values)) return k_values[tag % std::size(k_values)];
  return static_cast<int64_t>(in.u64());
}

double position(byte_source &in) {
  static const double k_values[] = {NAN, INFINITY, -INFINITY, 0.0, -0.0, 2.9, 3.0, 3.0000001, 83.5, -5.0,
                                    1e308, 5e-324, 0.1, 1e21, 1e-7};
  uint8_t tag = in.u8();
  if (tag < 2 * std::size(k_values)) return k_values[tag % std::size(k_values)];
  uint64_t bits = in.u64();
  double d;
  memcpy(&d, &bits, sizeof d);
  return d;
}

float rate(byte_source &in) {
  static const float k_values[] = {NAN, INFINITY, -INFINITY, 0.0f, -0.0f, 0.4999999f, 0.5f, 0.75f,
                                   1.0f, 1.1f, 1.5f, 2.0f, 2.0000002f, 1e30f, -1e30f, 1e-45f};
  uint8_t tag = in.u8();
  if (tag < 2 * std::size(k_values)) return k_values[tag % std::size(k_values)];
  uint32_t bits = in.u32();
  float f;
  memcpy(&f, &bits, sizeof f);
  return f;
}

std::string raw_text(byte_source &in) {
  size_t length = in.u8() % 48;
  std::string s;
  for (size_t i = 0; i < length; i++) s += static_cast<char>(in.u8());
  return s;
}

// Addresses drawn from a small pool, so that lists repeat them and restores find them.
const char *const k_urls[] = {"u0", "u1", "u2", "u3", "u4", "u5", "u6", "u7", R"(q\"uote)", "s/é"};

std::string json_string(const char *body) { return std::string("\"") + body + "\""; }

// One array element or single track: mostly objects with any mix of members.
std::string track_text(byte_source &in) {
  static const char *const k_titles[] = {R"("")",          R"("T")",       R"("a\"b")",          R"("back\\slash")",
                                         R"("ctl\u001f\b\n")", R"("ab\u0000cd")", R"("日本")",          R"("sol/idus")",
                                         R"("\u00e9\ud83c\udfb5")", "5",       "null",               R"("Title")"};
  static const char *const k_durations[] = {"0", "-1", "185", "12.5", "1e-7", "1e21", "5e-324", "1.7976931348623157e308",
                                            R"("185")", "18446744073709551615", "0.1", "0.3333333333333333", "-0.0",
                                            "9007199254740993", "true", "-9223372036854775808"};
  static const char *const k_artworks[] = {R"("")", R"("a.jpg")", "5", "null", R"("a\u0000b")", R"("x\/y.png")"};
  uint8_t kind = in.u8() % 20;
  switch (kind) {
    case 0: return "1";
    case 1: return R"("u1")";
    case 2: return R"({"streamURL":""})";
    case 3: return R"({"streamURL":"u1\u0000"})";
    case 4: return "{}";
    case 5: return "[]";
    default: break;
  }
  std::string url = json_string(one_of(in, k_urls));
  std::vector<std::string> members;
  uint8_t address = in.u8() % 6;
  if (address == 0) members.push_back(R"("id":)" + url);
  else if (address == 1) members.push_back(R"("streamURL":7,"id":)" + url);
  else if (address == 2) members.push_back(R"("streamURL":)" + url + R"(,"id":"other")");
  else members.push_back(R"("streamURL":)" + url);
  uint8_t present = in.u8();
  if (present & 1) members.push_back(R"("title":)" + std::string(one_of(in, k_titles)));
  if (present & 2) members.push_back(R"("artist":)" + std::string(one_of(in, k_titles)));
  if (present & 4) members.push_back(R"("artworkURL":)" + std::string(one_of(in, k_artworks)));
  if (present & 8) members.push_back(R"("duration":)" + std::string(one_of(in, k_durations)));
  if (present & 16) members.push_back(R"("title":"second title")");
  if (present & 32) members.push_back(R"("extra":{"streamURL":"inner"})");
  // Member order must not matter: rotate the list by a chosen amount.
  size_t turn = in.u8() % members.size();
  std::string s = "{";
  for (size_t i = 0; i < members.size(); i++) {
    if (i > 0) s += ",";
    s += members[(i + turn) % members.size()];
  }
  return s + "}";
}

std::string numbered(int count) {
  std::string s = "[";
  for (int i = 0; i < count; i++) {
    if (i > 0) s += ",";
    s += R"({"streamURL":"n)" + std::to_string(i) + R"(","title":"T)" + std::to_string(i) + R"(","duration":)" +
         std::to_string(i * 10) + "}";
  }
  return s + "]";
}

std::string track_list_text(byte_source &in) {
  static const std::string k_lists[] = {numbered(3), numbered(5), numbered(17), numbered(40)};
  static const char *const k_refused[] = {"{}", "[", "", "[1,2,3]", "[{\"streamURL\":\"u1\"},]", "null", "\"u1\""};
  uint8_t tag = in.u8() % 10;
  if (tag == 0) return one_of(in, k_lists);
  if (tag == 1) return one_of(in, k_refused);
  if (tag == 2) return raw_text(in);
  size_t n = in.u8() % 24;
  std::string s = "[";
  for (size_t i = 0; i < n; i++) {
    if (i > 0) s += ",";
    s += track_text(in);
  }
  return s + "]";
}

std::string single_track_text(byte_source &in) {
  static const char *const k_refused[] = {"", "{", "[]", R"("u1")", R"({"streamURL":""})", "{}"};
  uint8_t tag = in.u8() % 8;
  if (tag == 0) return one_of(in, k_refused);
  if (tag == 1) return raw_text(in);
  return track_text(in);
}

std::string resume_text(byte_source &in) {
  static const char *const k_urls_or_not[] = {"null", R"("")", "5", R"("u1\u0000")", R"("nowhere")", R"("n2")"};
  static const char *const k_times[] = {"12.5", "-5", "120", R"("x")", "0", "-0.0", "1e308", "5e-324"};
  static const char *const k_repeats[] = {"0", "1", "2", "3", "1.0", R"("1")", "null", "4294967297", "-4294967295", "-1"};
  static const char *const k_shuffles[] = {"true", "false", "1", "null"};
  static const char *const k_rates[] = {"5", "-1", "1e39", "1", "1.1", R"("x")", "0.75", "-0.0"};
  uint8_t tag = in.u8() % 8;
  if (tag == 0) return "{}";
  static const char *const k_not_objects[] = {"[]", "", "{", "null"};
  if (tag == 1) return one_of(in, k_not_objects);
  if (tag == 2) return raw_text(in);
  std::vector<std::string> members;
  uint8_t present = in.u8();
  if (present & 1) {
    uint8_t u = in.u8();
    members.push_back(R"("lastTrackURL":)" +
                      (u % 3 == 0 ? std::string(one_of(in, k_urls_or_not)) : json_string(one_of(in, k_urls))));
  }
  if (present & 2) members.push_back(R"("lastTrackTime":)" + std::string(one_of(in, k_times)));
  if (present & 4) members.push_back(R"("repeatMode":)" + std::string(one_of(in, k_repeats)));
  if (present & 8) members.push_back(R"("isShuffled":)" + std::string(one_of(in, k_shuffles)));
  if (present & 16) members.push_back(R"("playbackRate":)" + std::string(one_of(in, k_rates)));
  if (present & 32) members.push_back(R"("lastTrackURL":"u2")");
  if (members.empty()) return "{}";
  size_t turn = in.u8() % members.size();
  std::string s = "{";
  for (size_t i = 0; i < members.size(); i++) {
    if (i > 0) s += ",";
    s += members[(i + turn) % members.size()];
  }
  return s + "}";
}

call decode_call(byte_source &in) {
  call c;
  c.kind = static_cast<op>(in.u8() % static_cast<uint8_t>(op::count_));
  uint8_t which = in.u8() % 5;
  c.slot = which < 4 ? which / 2 : k_null_slot;
  switch (c.kind) {
    case op::set_tracks:
      c.null_text = in.u8() % 32 == 0;
      c.text = track_list_text(in);
      c.a = index(in);
      c.seed = in.u8() % 2 == 0 ? in.u8() : in.u64();
      break;
    case op::play_next:
    case op::add_to_queue:
      c.null_text = in.u8() % 32 == 0;
      c.text = single_track_text(in);
      break;
    case op::remove_up_next:
    case op::jump:
    case op::set_repeat:
      c.a = index(in);
      break;
    case op::move_up_next:
      c.a = index(in);
      c.b = index(in);
      break;
    case op::previous:
    case op::export_resume:
      c.position = position(in);
      break;
    case op::set_shuffle: {
      uint8_t e = in.u8() % 4;
      c.a = e == 0 ? 0 : e == 1 ? 1 : e == 2 ? -7 : static_cast<int32_t>(in.u32());
      c.seed = in.u8() % 2 == 0 ? in.u8() : in.u64();
      break;
    }
    case op::set_rate:
      c.rate = rate(in);
      break;
    case op::set_sleep_timer:
      c.a = index(in);
      c.c = clock_value(in);
      c.d = clock_value(in);
      break;
    case op::check_sleep_timer:
      c.c = clock_value(in);
      break;
    case op::restore: {
      uint8_t source = in.u8() % 4;
      if (source < 2) {
        c.resume_from = source;
        c.position = position(in);
      } else {
        c.text = resume_text(in);
      }
      c.null_text = in.u8() % 32 == 0;
      c.text2 = track_list_text(in);
      c.with_out = in.u8() % 4 != 0;
      break;
    }
    default:
      break;
  }
  return c;
}

class seeded_source : public byte_source {
 public:
  explicit seeded_source(uint64_t seed) : engine_(seed) {}
  uint8_t u8() override { return static_cast<uint8_t>(engine_() >> 56); }
  bool exhausted() const override { return false; }

 private:
  std::mt19937_64 engine_;
};

const char *op_name(op kind) {
  static const char *const k_names[] = {
      "recreate", "set_tracks_json", "play_next_json", "add_to_queue_json", "remove_up_next", "move_up_next",
      "clear_up_next", "next", "on_track_ended", "previous", "jump", "set_repeat", "cycle_repeat", "set_shuffle",
      "set_rate", "set_sleep_timer", "check_sleep_timer", "state_json", "export_resume_json",
      "restore_resume_json", "selftest", "frame"};
  static_assert(std::size(k_names) == static_cast<size_t>(op::count_));
  return k_names[static_cast<size_t>(kind)];
}

// ---- running --------------------------------------------------------------------------

std::string show(const char *text) { return text != nullptr ? std::string("\"") + text + "\"" : "null"; }
std::string show(const std::optional<std::string> &text) { return text ? "\"" + *text + "\"" : "null"; }

// Exact, in glibc's %a form, but written out here: C libraries differ in how they
// print %a (MinGW's msvcrt pads the fraction), and traces must match across targets.
std::string show_double(double d) {
  if (std::isnan(d)) return std::signbit(d) ? "-nan" : "nan";
  std::string s = std::signbit(d) ? "-" : "";
  if (std::isinf(d)) return s + "inf";
  uint64_t bits;
  memcpy(&bits, &d, sizeof bits);
  uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  auto exponent = static_cast<int>((bits >> 52) & 0x7ff);
  if (exponent == 0 && fraction == 0) return s + "0x0p+0";
  s += exponent == 0 ? "0x0" : "0x1";
  exponent = exponent == 0 ? -1022 : exponent - 1023;
  if (fraction != 0) {
    s += ".";
    for (int shift = 48; shift >= 0 && fraction != 0; shift -= 4) {
      s += "0123456789abcdef"[(fraction >> shift) & 0xf];
      fraction &= (uint64_t{1} << shift) - 1;
    }
  }
  return s + "p" + (exponent >= 0 ? "+" : "") + std::to_string(exponent);
}

std::string taken(char *text) {
  std::string s = show(text);
  pbq_free(text);
  return s;
}

struct library_handle {
  pbq_queue *q = pbq_create();
  ~library_handle() { pbq_destroy(q); }
};

class runner {
 public:
  // With a trace, the library's side of every call is appended to it: the result, the
  // error text, and both handles' state and resume documents.
  explicit runner(std::string *trace = nullptr) : trace_(trace) {}

  std::string run(const program &p) {
    world_.error = pbq_last_error();
    for (size_t i = 0; i < p.size(); i++) {
      std::string lib_result, model_result;
      step(p[i], &lib_result, &model_result);
      if (trace_ != nullptr) append_trace(i, p[i], lib_result);
      std::string why;
      if (lib_result != model_result) why = "result: library " + lib_result + ", model " + model_result;
      else if (world_.error != pbq_last_error())
        why = "error text: library " + show(pbq_last_error()) + ", model " + show(world_.error);
      for (int s = 0; s < 2 && why.empty(); s++) {
        std::string lib_state = taken(pbq_state_json(lib_[s]->q));
        std::string model_state = show(state_json(model_[s].get()));
        if (lib_state != model_state) {
          why = "state of handle " + std::to_string(s) + ":\n  library " + lib_state + "\n  model   " + model_state;
          break;
        }
        std::string lib_resume = taken(pbq_export_resume_json(lib_[s]->q, 61.25));
        std::string model_resume = show(resume_json(model_[s].get(), 61.25));
        if (lib_resume != model_resume) {
          why = "resume of handle " + std::to_string(s) + ":\n  library " + lib_resume + "\n  model   " + model_resume;
        }
      }
      if (!why.empty()) {
        std::string report = "after call " + std::to_string(i) + ", " + why + "\nprogram:\n";
        for (size_t j = 0; j <= i; j++) report += "  " + std::to_string(j) + ": " + describe(p[j]) + "\n";
        return report;
      }
    }
    return "";
  }

 private:
  void append_trace(size_t i, const call &c, const std::string &result) {
    *trace_ += std::to_string(i) + " " + op_name(c.kind) + " " + result + " error " + show(pbq_last_error()) + "\n";
    for (int s = 0; s < 2; s++) {
      *trace_ += taken(pbq_state_json(lib_[s]->q)) + "\n";
      *trace_ += taken(pbq_export_resume_json(lib_[s]->q, 61.25)) + "\n";
    }
  }

  pbq_queue *lib(int slot) { return slot == k_null_slot ? nullptr : lib_[slot]->q; }
  queue *mod(int slot) { return slot == k_null_slot ? nullptr : model_[slot].get(); }

  void step(const call &c, std::string *l, std::string *m) {
    pbq_queue *lq = lib(c.slot);
    queue *mq = mod(c.slot);
    const char *text = c.null_text ? nullptr : c.text.c_str();
    auto ints = [&](int64_t a, int64_t b) {
      *l = std::to_string(a);
      *m = std::to_string(b);
    };
    switch (c.kind) {
      case op::recreate:
        if (c.slot == k_null_slot) break;
        lib_[c.slot] = std::make_unique<library_handle>();
        model_[c.slot] = std::make_unique<queue>();
        *l = lib_[c.slot]->q != nullptr ? "created" : "no handle";
        *m = "created";
        break;
      case op::set_tracks:
        ints(pbq_set_tracks_json(lq, text, c.a, c.seed), world_.set_tracks(mq, text, c.a, c.seed));
        break;
      case op::play_next:
        ints(pbq_play_next_json(lq, text), world_.play_next(mq, text));
        break;
      case op::add_to_queue:
        ints(pbq_add_to_queue_json(lq, text), world_.add_to_queue(mq, text));
        break;
      case op::remove_up_next:
        ints(pbq_remove_up_next(lq, c.a), world_.remove_up_next(mq, c.a));
        break;
      case op::move_up_next:
        ints(pbq_move_up_next(lq, c.a, c.b), world_.move_up_next(mq, c.a, c.b));
        break;
      case op::clear_up_next:
        ints(pbq_clear_up_next(lq), world_.clear_up_next(mq));
        break;
      case op::next:
        ints(pbq_next(lq), world_.next(mq));
        break;
      case op::track_ended:
        ints(pbq_on_track_ended(lq), world_.track_ended(mq));
        break;
      case op::previous:
        ints(pbq_previous(lq, c.position), world_.previous(mq, c.position));
        break;
      case op::jump:
        ints(pbq_jump(lq, c.a), world_.jump(mq, c.a));
        break;
      case op::set_repeat:
        ints(pbq_set_repeat(lq, c.a), world_.set_repeat(mq, c.a));
        break;
      case op::cycle_repeat:
        ints(pbq_cycle_repeat(lq), world_.cycle_repeat(mq));
        break;
      case op::set_shuffle:
        ints(pbq_set_shuffle(lq, c.a, c.seed), world_.set_shuffle(mq, c.a, c.seed));
        break;
      case op::set_rate:
        *l = show_double(pbq_set_rate(lq, c.rate));
        *m = show_double(world_.set_rate(mq, c.rate));
        break;
      case op::set_sleep_timer:
        ints(pbq_set_sleep_timer(lq, c.a, c.c, c.d), world_.set_sleep_timer(mq, c.a, c.c, c.d));
        break;
      case op::check_sleep_timer:
        ints(pbq_check_sleep_timer(lq, c.c), world_.check_sleep_timer(mq, c.c));
        break;
      case op::state:
        *l = taken(pbq_state_json(lq));
        *m = show(state_json(mq));
        break;
      case op::export_resume:
        *l = taken(pbq_export_resume_json(lq, c.position));
        *m = show(resume_json(mq, c.position));
        break;
      case op::restore: {
        std::string resume = c.text;
        if (c.resume_from >= 0) {
          // The library's own export is the input here; the model's agreed with it.
          char *exported = pbq_export_resume_json(lib_[c.resume_from]->q, c.position);
          resume = exported != nullptr ? exported : "";
          pbq_free(exported);
        }
        const char *tracks = c.null_text ? nullptr : c.text2.c_str();
        double lib_out = -99.0, model_out = -99.0;
        int32_t lr = pbq_restore_resume_json(lq, resume.c_str(), tracks, c.with_out ? &lib_out : nullptr);
        int32_t mr = world_.restore(mq, resume.c_str(), tracks, c.with_out ? &model_out : nullptr);
        *l = std::to_string(lr) + " position " + show_double(lib_out);
        *m = std::to_string(mr) + " position " + show_double(model_out);
        break;
      }
      case op::selftest:
        ints(pbq_selftest(), world_.selftest());
        break;
      case op::frame:
        pbq_free(nullptr);
        pbq_destroy(nullptr);
        *l = std::string(pbq_version()) + " abi " + std::to_string(pbq_abi_version());
        *m = "1.0.0 abi 1";
        break;
      case op::count_:
        break;
    }
  }

  std::unique_ptr<library_handle> lib_[2] = {std::make_unique<library_handle>(), std::make_unique<library_handle>()};
  std::unique_ptr<queue> model_[2] = {std::make_unique<queue>(), std::make_unique<queue>()};
  world world_;
  std::string *trace_;
};

}  // namespace

program decode(byte_source &in, size_t max_calls) {
  program p;
  while (p.size() < max_calls && !in.exhausted()) p.push_back(decode_call(in));
  return p;
}

program random_program(uint64_t seed, size_t calls) {
  seeded_source in(seed);
  return decode(in, calls);
}

std::string describe(const call &c) {
  std::string s = std::string(op_name(c.kind)) + "(" + (c.slot == k_null_slot ? "null" : "q" + std::to_string(c.slot));
  auto text = [&](const std::string &t) { return c.null_text ? std::string("null") : "'" + t + "'"; };
  switch (c.kind) {
    case op::set_tracks:
      s += ", " + text(c.text) + ", " + std::to_string(c.a) + ", " + std::to_string(c.seed);
      break;
    case op::play_next:
    case op::add_to_queue:
      s += ", " + text(c.text);
      break;
    case op::remove_up_next:
    case op::jump:
    case op::set_repeat:
      s += ", " + std::to_string(c.a);
      break;
    case op::move_up_next:
      s += ", " + std::to_string(c.a) + ", " + std::to_string(c.b);
      break;
    case op::previous:
    case op::export_resume:
      s += ", " + show_double(c.position);
      break;
    case op::set_shuffle:
      s += ", " + std::to_string(c.a) + ", " + std::to_string(c.seed);
      break;
    case op::set_rate:
      s += ", " + show_double(c.rate);
      break;
    case op::set_sleep_timer:
      s += ", " + std::to_string(c.a) + ", " + std::to_string(c.c) + ", " + std::to_string(c.d);
      break;
    case op::check_sleep_timer:
      s += ", " + std::to_string(c.c);
      break;
    case op::restore:
      s += ", " + (c.resume_from >= 0 ? "export of q" + std::to_string(c.resume_from) + " at " + show_double(c.position)
                                      : "'" + c.text + "'");
      s += std::string(", ") + (c.null_text ? "null" : "'" + c.text2 + "'") + (c.with_out ? ", &pos" : ", null");
      break;
    default:
      break;
  }
  return s + ")";
}

std::string compare(const program &p) { return runner().run(p); }

std::string trace(const program &p) {
  std::string out;
  out += runner(&out).run(p);
  return out;
}

}  // namespace model
