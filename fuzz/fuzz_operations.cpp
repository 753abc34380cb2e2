// Fuzz target: the input is a program of calls to any exported function, with any
// arguments, on two handles or a null one. After every call the answer is checked
// against the state document taken before it, and every handle is checked whole:
// invariants, a sound state document, and a resume export that a fresh handle
// restores to the same current track.
#include <algorithm>

#include "fuzz_support.h"

namespace {

using fuzz::state_view;

std::string numbered_tracks(int count, const char *prefix) {
  std::string json = "[";
  for (int i = 0; i < count; i++) {
    if (i > 0) json += ",";
    json += R"({"streamURL":")" + std::string(prefix) + std::to_string(i) + R"(","title":"T)" +
            std::to_string(i) + R"(","duration":)" + std::to_string(i * 10) + "}";
  }
  return json + "]";
}

// Track lists a program can load: small ones, the first growths of a list, "id"
// tracks with rejected elements and repeated URLs, and texts that are refused.
const std::vector<std::string> &track_lists() {
  static const std::vector<std::string> lists = {
      numbered_tracks(3, ""),
      numbered_tracks(5, ""),
      numbered_tracks(16, "s"),
      numbered_tracks(17, "s"),
      numbered_tracks(33, "l"),
      R"([{"id":"0"},1,"1",null,{"streamURL":""},{"streamURL":"1","artworkURL":"a.jpg"},)"
      R"({"streamURL":null,"id":"2"},{"streamURL":"0","title":"dup"},"x",{"streamURL":"n\u0000"}])",
      "[]",
      "{}",
      "[",
      "[1,2,3]",
      "",
  };
  return lists;
}

// Single tracks for the add calls: new ones, one already loaded, refused ones.
const std::vector<std::string> &single_tracks() {
  static const std::vector<std::string> tracks = {
      R"({"streamURL":"new1","title":"N1"})",
      R"({"id":"new2","artist":"X","duration":2.5})",
      R"({"streamURL":"1"})",
      R"({"streamURL":"s3","artworkURL":""})",
      R"({"streamURL":""})",
      R"({"streamURL":"a\u0000b"})",
      "[]",
      "{",
      "",
  };
  return tracks;
}

const std::vector<std::string> &resume_texts() {
  static const std::vector<std::string> texts = {
      "{}",
      R"({"lastTrackURL":"2","lastTrackTime":12.5,"repeatMode":1,"isShuffled":true,"playbackRate":3})",
      R"({"lastTrackURL":"s16","lastTrackTime":-4,"repeatMode":7,"isShuffled":false,"playbackRate":0.75})",
      R"({"lastTrackURL":null,"repeatMode":2})",
      R"({"lastTrackURL":"nowhere"})",
      "[]",
      "",
  };
  return texts;
}

// A text from `table` or, for a tag past its end, from the input.
std::string pick(fuzz::byte_reader &in, const std::vector<std::string> &table) {
  uint8_t tag = in.u8();
  if (tag < table.size()) return table[tag];
  return in.text();
}

int64_t wrapping_add(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}

int64_t wrapping_sub(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}

void expect_same_queue(const state_view &b, const state_view &a) {
  FUZZ_CHECK(a.current == b.current && a.queue == b.queue && a.queue_json == b.queue_json);
}

void expect_same_settings(const state_view &b, const state_view &a) {
  FUZZ_CHECK(a.repeat == b.repeat && a.shuffled == b.shuffled && a.rate == b.rate && a.sleep == b.sleep);
}

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// The handle's resume export, restored into a fresh handle together with the handle's
// own play queue as the track list, makes the same track current with the same
// settings; without a current entry nothing is resumed.
void check_resume_round_trip(const pbq_queue *q, const state_view &v, double position) {
  char *resume = pbq_export_resume_json(q, position);
  FUZZ_CHECK(resume != nullptr);
  yyjson_doc *doc = yyjson_read(resume, strlen(resume), 0);
  FUZZ_CHECK(doc != nullptr);
  yyjson_val *root = yyjson_doc_get_root(doc);
  FUZZ_CHECK(yyjson_is_obj(root) && yyjson_obj_size(root) == 5);
  yyjson_val *url = fuzz::member(root, "lastTrackURL");
  if (v.current == -1) FUZZ_CHECK(yyjson_is_null(url));
  else FUZZ_CHECK(yyjson_is_str(url) && v.current_url == yyjson_get_str(url));
  double saved = std::isfinite(position) && position > 0.0 ? position : 0.0;
  FUZZ_CHECK(yyjson_is_real(fuzz::member(root, "lastTrackTime")));
  FUZZ_CHECK(yyjson_get_real(fuzz::member(root, "lastTrackTime")) == saved);
  FUZZ_CHECK(yyjson_get_sint(fuzz::member(root, "repeatMode")) == v.repeat);
  FUZZ_CHECK(yyjson_is_bool(fuzz::member(root, "isShuffled")));
  FUZZ_CHECK(yyjson_get_bool(fuzz::member(root, "isShuffled")) == v.shuffled);
  FUZZ_CHECK(yyjson_get_real(fuzz::member(root, "playbackRate")) == v.rate);
  yyjson_doc_free(doc);

  pbq_queue *fresh = pbq_create();
  FUZZ_CHECK(fresh != nullptr);
  double out = -7.0;
  int32_t r = pbq_restore_resume_json(fresh, resume, v.queue_json.c_str(), &out);
  pbq_free(resume);
  state_view f = fuzz::check_handle(fresh);
  if (v.current == -1) {
    FUZZ_CHECK(r == 1 && out == 0.0 && f.current == -1);
  } else {
    FUZZ_CHECK(r == 0 && out == saved);
    FUZZ_CHECK(f.current_url == v.current_url && f.count == v.count);
    FUZZ_CHECK(sorted(f.queue) == sorted(v.queue));
  }
  FUZZ_CHECK(f.repeat == v.repeat && f.shuffled == v.shuffled && f.rate == v.rate);
  pbq_destroy(fresh);
}

struct program {
  fuzz::byte_reader in;
  pbq_queue *handles[2] = {nullptr, nullptr};

  explicit program(fuzz::byte_reader reader) : in(reader) {}
  ~program() {
    for (pbq_queue *q : handles) pbq_destroy(q);
  }

  void run();
  // Makes one call; returns the index of the handle it was made on, -1 for none.
  int step();
};

void program::run() {
  for (pbq_queue *&q : handles) {
    q = pbq_create();
    FUZZ_CHECK(q != nullptr);
  }
  state_view last[2] = {fuzz::check_handle(handles[0]), fuzz::check_handle(handles[1])};
  for (int steps = 0; steps < 256 && !in.empty(); steps++) {
    int called = step();
    for (int i = 0; i < 2; i++) {
      state_view v = fuzz::check_handle(handles[i]);
      // Handles share nothing: a call on one leaves the other exactly as it was.
      if (i == called) check_resume_round_trip(handles[i], v, 83.5);
      else FUZZ_CHECK(fuzz::same_state(last[i], v));
      last[i] = v;
    }
  }
}

int program::step() {
  uint8_t op = in.u8();
  uint8_t which = in.u8() % 5;
  // Two of five choices for each handle, one for the null handle.
  pbq_queue *q = which < 4 ? handles[which / 2] : nullptr;
  pbq_queue *other = which < 4 ? handles[1 - which / 2] : handles[0];
  state_view b = q != nullptr ? fuzz::read_state(q) : state_view{};
  const std::string err = pbq_last_error();
  bool err_untouched = true;  // most calls never write the error text

  switch (op % 22) {
    case 0: {  // a new handle in place of this one
      if (q == nullptr) break;
      int slot = which / 2;
      pbq_destroy(handles[slot]);
      handles[slot] = pbq_create();
      FUZZ_CHECK(handles[slot] != nullptr);
      q = handles[slot];
      state_view a = fuzz::read_state(q);
      FUZZ_CHECK(a.current == -1 && a.count == 0 && a.repeat == 0 && !a.shuffled && a.rate == 1.0 &&
                 a.sleep == 0);
      return slot;
    }
    case 1: {
      std::string text = pick(in, track_lists());
      int32_t start = in.index();
      uint64_t seed = in.u64();
      int32_t r = pbq_set_tracks_json(q, text.c_str(), start, seed);
      err_untouched = false;
      if (q == nullptr) {
        FUZZ_CHECK(r == -1 && strcmp(pbq_last_error(), "null arg") == 0);
        break;
      }
      state_view a = fuzz::read_state(q);
      expect_same_settings(b, a);
      if (r == 0) {
        FUZZ_CHECK(strcmp(pbq_last_error(), "") == 0);
        FUZZ_CHECK(a.count == q->tracks.count);
        if (a.count > 0 && a.shuffled) FUZZ_CHECK(a.current == 0);
      } else {
        FUZZ_CHECK(r == -1);
        FUZZ_CHECK(fuzz::is_one_of(pbq_last_error(), {"invalid tracks json", "tracks json must be array"}));
        expect_same_queue(b, a);
      }
      break;
    }
    case 2: {
      int32_t r = pbq_next(q);
      if (q == nullptr) {
        FUZZ_CHECK(r == 1);
        break;
      }
      state_view a = fuzz::read_state(q);
      expect_same_settings(b, a);
      FUZZ_CHECK(r == (b.has_next ? 0 : 1));
      FUZZ_CHECK(a.queue == b.queue);
      if (r == 0) FUZZ_CHECK(a.current == (b.up_next > 0 ? b.current + 1 : 0));
      else FUZZ_CHECK(a.current == b.current);
      break;
    }
    case 3: {
      int32_t r = pbq_on_track_ended(q);
      if (q == nullptr) {
        FUZZ_CHECK(r == 1);
        break;
      }
      state_view a = fuzz::read_state(q);
      FUZZ_CHECK(a.queue == b.queue);
      FUZZ_CHECK(a.repeat == b.repeat && a.shuffled == b.shuffled && a.rate == b.rate);
      if (b.current == -1) {
        FUZZ_CHECK(r == 1 && a.sleep == b.sleep);
      } else if (b.sleep == 2) {
        FUZZ_CHECK(r == 3 && a.sleep == 0 && a.current == b.current);
      } else if (b.repeat == 2) {
        FUZZ_CHECK(r == 2 && a.current == b.current);
      } else {
        FUZZ_CHECK(r == (b.has_next ? 0 : 1));
        FUZZ_CHECK(a.current == (r == 1 ? b.current : b.up_next > 0 ? b.current + 1 : 0));
      }
      if (r != 3) FUZZ_CHECK(a.sleep == b.sleep);
      break;
    }
    case 4: {
      double position = in.position();
      int32_t r = pbq_previous(q, position);
      if (q == nullptr) {
        FUZZ_CHECK(r == 1);
        break;
      }
      state_view a = fuzz::read_state(q);
      expect_same_settings(b, a);
      FUZZ_CHECK(a.queue == b.queue);
      if (b.current == -1) {
        FUZZ_CHECK(r == 1 && a.current == -1);
      } else if (position > 3.0) {
        FUZZ_CHECK(r == 2 && a.current == b.current);
      } else {
        FUZZ_CHECK(r == (b.has_previous ? 0 : 2));
        int64_t last = static_cast<int64_t>(b.count) - 1;
        FUZZ_CHECK(a.current == (r == 2 ? b.current : b.current > 0 ? b.current - 1 : last));
      }
      break;
    }
    case 5: {
      int32_t index = in.index();
      int32_t r = pbq_jump(q, index);
      bool valid = q != nullptr && index >= 0 && static_cast<uint64_t>(index) < b.count;
      if (!valid) {
        FUZZ_CHECK(r == -1 && strcmp(pbq_last_error(), "jump index out of range") == 0);
        err_untouched = false;
      } else {
        FUZZ_CHECK(r == 0);
      }
      if (q == nullptr) break;
      state_view a = fuzz::read_state(q);
      expect_same_settings(b, a);
      FUZZ_CHECK(a.queue == b.queue && a.current == (valid ? index : b.current));
      break;
    }
    case 6: {
      int32_t mode = in.index();
      int32_t r = pbq_set_repeat(q, mode);
      bool valid = q != nullptr && mode >= 0 && mode <= 2;
      FUZZ_CHECK(r == (valid ? mode : -1));
      if (q == nullptr) break;
      state_view a = fuzz::read_state(q);
      FUZZ_CHECK(a.repeat == (valid ? mode : b.repeat));
      expect_same_queue(b, a);
      break;
    }
    case 7: {
      int32_t r = pbq_cycle_repeat(q);
      if (q == nullptr) {
        FUZZ_CHECK(r == -1);
        break;
      }
      state_view a = fuzz::read_state(q);
      FUZZ_CHECK(r == (b.repeat + 1) % 3 && a.repeat == r);
      expect_same_queue(b, a);
      break;
    }
    case 8:
    case 9: {
      std::string text = pick(in, single_tracks());
      bool after_current = op % 22 == 8;
      int32_t r = after_current ? pbq_play_next_json(q, text.c_str()) : pbq_add_to_queue_json(q, text.c_str());
      err_untouched = false;
      if (q == nullptr) {
        FUZZ_CHECK(r == -1 && strcmp(pbq_last_error(), "null arg") == 0);
        break;
      }
      state_view a = fuzz::read_state(q);
      expect_same_settings(b, a);
      if (r == -1) {
        FUZZ_CHECK(fuzz::is_one_of(pbq_last_error(), {"invalid track json", "missing streamURL"}));
        expect_same_queue(b, a);
        break;
      }
      FUZZ_CHECK(strcmp(pbq_last_error(), "") == 0);
      FUZZ_CHECK(r == (b.current == -1 ? 1 : 0));
      FUZZ_CHECK(a.count == b.count + 1 && a.current == (b.current == -1 ? 0 : b.current));
      size_t at = b.current == -1 || !after_current ? b.queue.size() : static_cast<size_t>(b.current) + 1;
      std::vector<std::string> rest = a.queue;
      rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(at));
      FUZZ_CHECK(rest == b.queue);
      break;
    }
    case 10: {
      int32_t offset = in.index();
      int32_t r = pbq_remove_up_next(q, offset);
      bool valid = q != nullptr && offset >= 0 && static_cast<uint64_t>(offset) < b.up_next;
      FUZZ_CHECK(r == (valid ? 0 : -1));
      if (q == nullptr) break;
      state_view a = fuzz::read_state(q);
      expect_same_settings(b, a);
      std::vector<std::string> expected = b.queue;
      if (valid) expected.erase(expected.begin() + b.current + 1 + offset);
      FUZZ_CHECK(a.queue == expected && a.current == b.current);
      break;
    }
    case 11: {
      int32_t from = in.index();
      int32_t to = in.index();
      int32_t r = pbq_move_up_next(q, from, to);
      auto ok = [&](int32_t i) { return i >= 0 && static_cast<uint64_t>(i) < b.up_next; };
      bool valid = q != nullptr && ok(from) && ok(to);
      FUZZ_CHECK(r == (valid ? 0 : -1));
      if (q == nullptr) break;
      state_view a = fuzz::read_state(q);
      expect_same_settings(b, a);
      std::vector<std::string> expected = b.queue;
      if (valid) {
        auto base = expected.begin() + b.current + 1;
        std::string moving = base[from];
        expected.erase(base + from);
        expected.insert(expected.begin() + b.current + 1 + to, moving);
      }
      FUZZ_CHECK(a.queue == expected && a.current == b.current);
      break;
    }
    case 12: {
      FUZZ_CHECK(pbq_clear_up_next(q) == 0);
      if (q == nullptr) break;
      state_view a = fuzz::read_state(q);
      expect_same_settings(b, a);
      std::vector<std::string> expected = b.queue;
      if (b.current >= 0) expected.resize(static_cast<size_t>(b.current) + 1);
      FUZZ_CHECK(a.queue == expected && a.current == b.current && a.up_next == 0);
      break;
    }
    case 13: {
      int32_t enabled = static_cast<int32_t>(in.u32() % 3 == 0 ? 0 : in.u32() | 1);
      uint64_t seed = in.u64();
      std::vector<std::string> tracks;
      if (q != nullptr) {
        tracks = fuzz::loaded_urls(q);
      }
      int32_t r = pbq_set_shuffle(q, enabled, seed);
      if (q == nullptr) {
        FUZZ_CHECK(r == -1);
        break;
      }
      FUZZ_CHECK(r == 0);
      state_view a = fuzz::read_state(q);
      FUZZ_CHECK(a.shuffled == (enabled != 0));
      FUZZ_CHECK(a.repeat == b.repeat && a.rate == b.rate && a.sleep == b.sleep);
      if (b.count == 0) {
        expect_same_queue(b, a);
      } else if (enabled != 0) {
        FUZZ_CHECK(a.current == 0 && sorted(a.queue) == sorted(b.queue));
        if (b.current >= 0) FUZZ_CHECK(a.queue[0] == b.current_url);
      } else if (!tracks.empty()) {
        // Source order again, still on the playing track where it is loaded.
        FUZZ_CHECK(a.queue == tracks);
        auto found = std::find(tracks.begin(), tracks.end(), b.current_url);
        int64_t expected = found != tracks.end() ? found - tracks.begin() : 0;
        FUZZ_CHECK(a.current == expected);
      } else {
        expect_same_queue(b, a);
      }
      break;
    }
    case 14: {
      float rate = in.rate();
      float r = pbq_set_rate(q, rate);
      if (q == nullptr) {
        FUZZ_CHECK(r == 1.0f);
        break;
      }
      float expected = !std::isfinite(rate) || rate < 0.5f ? 0.5f : rate > 2.0f ? 2.0f : rate;
      FUZZ_CHECK(r == expected);
      state_view a = fuzz::read_state(q);
      FUZZ_CHECK(a.rate == static_cast<double>(expected));
      expect_same_queue(b, a);
      break;
    }
    case 15: {
      int32_t mode = in.index();
      int64_t duration = in.clock();
      int64_t now = in.clock();
      int32_t r = pbq_set_sleep_timer(q, mode, duration, now);
      bool valid = q != nullptr && (mode == 0 || mode == 2 || (mode == 1 && duration > 0));
      FUZZ_CHECK(r == (valid ? 0 : -1));
      if (q == nullptr) break;
      state_view a = fuzz::read_state(q);
      FUZZ_CHECK(a.sleep == (valid ? mode : b.sleep));
      if (valid && mode == 1) FUZZ_CHECK(q->sleep_deadline == wrapping_add(now, duration));
      expect_same_queue(b, a);
      break;
    }
    case 16: {
      int64_t now = in.clock();
      int64_t deadline = q != nullptr ? q->sleep_deadline : 0;
      int64_t r = pbq_check_sleep_timer(q, now);
      if (q == nullptr || b.sleep != 1) {
        FUZZ_CHECK(r == -1);
        if (q != nullptr) FUZZ_CHECK(fuzz::read_state(q).sleep == b.sleep);
        break;
      }
      int64_t left = wrapping_sub(deadline, now);
      state_view a = fuzz::read_state(q);
      if (left > 0) {
        FUZZ_CHECK(r == left && a.sleep == 1 && q->sleep_deadline == deadline);
      } else {
        FUZZ_CHECK(r == 0 && a.sleep == 0);
      }
      expect_same_queue(b, a);
      break;
    }
    case 17: {
      char *text = pbq_state_json(q);
      FUZZ_CHECK((text == nullptr) == (q == nullptr));
      pbq_free(text);
      break;
    }
    case 18: {
      double position = in.position();
      if (q == nullptr) {
        FUZZ_CHECK(pbq_export_resume_json(q, position) == nullptr);
        break;
      }
      char *exported = pbq_export_resume_json(q, position);
      FUZZ_CHECK(exported != nullptr && err == pbq_last_error());
      pbq_free(exported);
      // The round trip loads a fresh handle, which empties the error text.
      check_resume_round_trip(q, b, position);
      err_untouched = false;
      break;
    }
    case 19: {
      uint8_t source = in.u8() % 4;
      std::string resume;
      if (source < 2) {
        char *exported = pbq_export_resume_json(source == 0 ? q : other, in.position());
        resume = exported != nullptr ? exported : "";
        pbq_free(exported);
      } else {
        resume = pick(in, resume_texts());
      }
      std::string tracks = pick(in, track_lists());
      bool with_out = in.u8() % 2 == 0;
      double out = -99.0;
      int32_t r = pbq_restore_resume_json(q, resume.c_str(), tracks.c_str(), with_out ? &out : nullptr);
      FUZZ_CHECK(r >= -1 && r <= 1);
      if (q == nullptr) {
        FUZZ_CHECK(r == -1 && out == -99.0);
        break;
      }
      state_view a = fuzz::read_state(q);
      FUZZ_CHECK(a.sleep == b.sleep);
      if (r == 0) {
        err_untouched = false;
        FUZZ_CHECK(strcmp(pbq_last_error(), "") == 0);
        if (with_out) FUZZ_CHECK(out >= 0.0 && std::isfinite(out));
        yyjson_doc *doc = yyjson_read(resume.c_str(), strlen(resume.c_str()), 0);
        yyjson_val *url = fuzz::first_member(yyjson_doc_get_root(doc), "lastTrackURL");
        FUZZ_CHECK(yyjson_is_str(url) && a.current_url == std::string(yyjson_get_str(url), yyjson_get_len(url)));
        yyjson_doc_free(doc);
      } else {
        expect_same_queue(b, a);
        if (with_out) FUZZ_CHECK(out == (r == 1 ? 0.0 : -99.0));
        if (r == -1 && strcmp(pbq_last_error(), err.c_str()) != 0) {
          // Only its loading step may have written.
          err_untouched = false;
          FUZZ_CHECK(fuzz::is_one_of(pbq_last_error(), {"invalid tracks json", "tracks json must be array"}));
        }
      }
      break;
    }
    case 20:
      FUZZ_CHECK(pbq_selftest() == 0);
      err_untouched = false;
      FUZZ_CHECK(strcmp(pbq_last_error(), "") == 0);
      break;
    default:
      FUZZ_CHECK(strcmp(pbq_version(), "1.0.0") == 0 && pbq_abi_version() == 1);
      pbq_free(nullptr);
      pbq_destroy(nullptr);
      break;
  }
  if (err_untouched) FUZZ_CHECK(err == pbq_last_error());
  return which < 4 ? which / 2 : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  program p(fuzz::byte_reader(data, size));
  p.run();
  return 0;
}
