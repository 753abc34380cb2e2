// pbq-make-album: writes a short album of test tones (WAV files made by GStreamer's
// audiotestsrc) and its track list, for the player's tests and for `make play`.
//
//   pbq-make-album DIR [COUNT [SECONDS]]
//
// DIR/01.wav ... and DIR/album.json, whose "streamURL"s are the file names.
#include <gst/gst.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "text.h"

namespace {

constexpr int k_sample_rate = 44100;
constexpr int k_samples_per_buffer = k_sample_rate / 100;  // 10 ms

// One note of a major scale from A4 per track, so that a listener hears the order.
double note(int index) {
  static const int steps[] = {0, 2, 4, 5, 7, 9, 11, 12};
  int octave = index / 8;
  return 440.0 * std::pow(2.0, (steps[index % 8] + 12 * octave) / 12.0);
}

bool write_tone(const std::string &path, double frequency, double seconds, std::string *error) {
  auto buffers = static_cast<int>(std::ceil(seconds * 100.0));
  char description[512];
  std::snprintf(description, sizeof description,
                "audiotestsrc num-buffers=%d samplesperbuffer=%d freq=%.3f volume=0.2 "
                "! audio/x-raw,format=S16LE,rate=%d,channels=2 ! wavenc ! filesink name=out",
                buffers, k_samples_per_buffer, frequency, k_sample_rate);
  GError *err = nullptr;
  GstElement *pipeline = gst_parse_launch(description, &err);
  if (pipeline == nullptr || err != nullptr) {
    *error = err != nullptr ? err->message : "cannot build the pipeline";
    g_clear_error(&err);
    if (pipeline != nullptr) gst_object_unref(pipeline);
    return false;
  }
  GstElement *out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  g_object_set(out, "location", path.c_str(), nullptr);
  gst_object_unref(out);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus *bus = gst_element_get_bus(pipeline);
  GstMessage *done = gst_bus_timed_pop_filtered(bus, GST_CLOCK_TIME_NONE,
                                                static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  bool ok = done != nullptr && GST_MESSAGE_TYPE(done) == GST_MESSAGE_EOS;
  if (!ok && done != nullptr) {
    gst_message_parse_error(done, &err, nullptr);
    *error = err != nullptr ? err->message : "failed";
    g_clear_error(&err);
  }
  if (done != nullptr) gst_message_unref(done);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return ok;
}

}  // namespace

int main(int argc, char **argv) {
  gst_init(&argc, &argv);
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: pbq-make-album DIR [COUNT [SECONDS]]\n");
    return 1;
  }
  std::string dir = argv[1];
  std::optional<int32_t> count = argc > 2 ? cli::parse_int32(argv[2]) : std::optional<int32_t>(5);
  std::optional<double> seconds = argc > 3 ? cli::parse_double(argv[3]) : std::optional<double>(3.0);
  if (!count || *count < 1 || *count > 64 || !seconds || !(*seconds > 0.0) || *seconds > 600.0) {
    std::fprintf(stderr, "pbq-make-album: COUNT from 1 to 64, SECONDS above 0 and at most 600\n");
    return 1;
  }
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "pbq-make-album: cannot create %s: %s\n", dir.c_str(), std::strerror(errno));
    return 1;
  }
  std::string json = "[\n";
  for (int i = 0; i < *count; i++) {
    char name[32], title[64];
    std::snprintf(name, sizeof name, "%02d.wav", i + 1);
    std::snprintf(title, sizeof title, "Tone %d (%.0f Hz)", i + 1, note(i));
    std::string error;
    if (!write_tone(dir + "/" + name, note(i), *seconds, &error)) {
      std::fprintf(stderr, "pbq-make-album: %s/%s: %s\n", dir.c_str(), name, error.c_str());
      return 1;
    }
    char entry[256];
    std::snprintf(entry, sizeof entry,
                  "  {\"streamURL\": \"%s\", \"title\": \"%s\", \"artist\": \"pbq test signal\", \"duration\": %.3f}%s\n",
                  name, title, *seconds, i + 1 < *count ? "," : "");
    json += entry;
  }
  json += "]\n";
  std::string error;
  if (!cli::write_file(dir + "/album.json", json, &error)) {
    std::fprintf(stderr, "pbq-make-album: %s\n", error.c_str());
    return 1;
  }
  std::printf("%d tracks of %.3g s in %s/album.json\n", *count, *seconds, dir.c_str());
  gst_deinit();
  return 0;
}
