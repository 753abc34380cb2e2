// pbq-make-album: writes a short album of test tones (WAV files made by GStreamer's
// audiotestsrc, or FLAC files with title and artist tags) and its track list, for
// the player's tests and for `make play`.
//
//   pbq-make-album [--flac] DIR [COUNT [SECONDS]]
//   pbq-make-album --folder DIR COUNT [SECONDS]
//
// DIR/01.wav ... and DIR/album.json, whose "streamURL"s are the file names; or, for
// the tests of large folders, DIR/00001.wav ... alone, copies of one short tone.
#include <gst/gst.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "text.h"

namespace {

constexpr int32_t k_most_in_a_folder = 100000;

constexpr const char *k_usage =
    "usage: pbq-make-album [--flac] DIR [COUNT [SECONDS]]\n"
    "  DIR       the folder to write (made when missing): 01.wav, 02.wav, ... and album.json\n"
    "  COUNT     how many tones, 1 to 64 (default 5)\n"
    "  SECONDS   the length of each, above 0 and at most 600 (default 3)\n"
    "  --flac    FLAC files carrying the title and artist as tags, instead of WAV\n"
    "usage: pbq-make-album --folder DIR COUNT [SECONDS]\n"
    "  a folder of COUNT files (1 to 100000), 00001.wav, 00002.wav, ..., each a copy of\n"
    "  one tone of SECONDS (default 0.05), and no track list: a large folder to play\n";

constexpr int k_sample_rate = 44100;
constexpr int k_samples_per_buffer = k_sample_rate / 100;  // 10 ms

// One note of a major scale from A4 per track, so that a listener hears the order.
double note(int index) {
  static const int steps[] = {0, 2, 4, 5, 7, 9, 11, 12};
  int octave = index / 8;
  return 440.0 * std::pow(2.0, (steps[index % 8] + 12 * octave) / 12.0);
}

struct tone {
  std::string path, title, artist;
  double frequency = 440.0, seconds = 1.0;
  bool flac = false;
};

bool write_tone(const tone &t, std::string *error) {
  auto buffers = static_cast<int>(std::ceil(t.seconds * 100.0));
  char description[512];
  std::snprintf(description, sizeof description,
                "audiotestsrc num-buffers=%d samplesperbuffer=%d freq=%.3f volume=0.2 "
                "! audio/x-raw,format=S16LE,rate=%d,channels=2 ! %s name=encoder ! filesink name=out",
                buffers, k_samples_per_buffer, t.frequency, k_sample_rate, t.flac ? "flacenc" : "wavenc");
  GError *err = nullptr;
  GstElement *pipeline = gst_parse_launch(description, &err);
  if (pipeline == nullptr || err != nullptr) {
    *error = err != nullptr ? err->message : "cannot build the pipeline";
    g_clear_error(&err);
    if (pipeline != nullptr) gst_object_unref(pipeline);
    return false;
  }
  GstElement *out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  g_object_set(out, "location", t.path.c_str(), nullptr);
  gst_object_unref(out);
  GstElement *encoder = gst_bin_get_by_name(GST_BIN(pipeline), "encoder");
  if (t.flac && GST_IS_TAG_SETTER(encoder)) {
    gst_tag_setter_add_tags(GST_TAG_SETTER(encoder), GST_TAG_MERGE_REPLACE, GST_TAG_TITLE, t.title.c_str(),
                            GST_TAG_ARTIST, t.artist.c_str(), nullptr);
  }
  gst_object_unref(encoder);
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

// The tone is made once and copied: a folder of many files is made in seconds.
int make_folder(const std::vector<std::string> &positional) {
  std::optional<int32_t> count = positional.size() > 1 ? cli::parse_int32(positional[1]) : std::nullopt;
  std::optional<double> seconds = positional.size() > 2 ? cli::parse_double(positional[2]) : std::optional<double>(0.05);
  if (!count || *count < 1 || *count > k_most_in_a_folder || !seconds || !(*seconds > 0.0) || *seconds > 600.0) {
    std::fprintf(stderr, "pbq-make-album: --folder takes COUNT from 1 to %d, SECONDS above 0 and at most 600\n%s",
                 k_most_in_a_folder, k_usage);
    return 1;
  }
  const std::string &dir = positional[0];
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "pbq-make-album: cannot create %s: %s\n", dir.c_str(), std::strerror(errno));
    return 1;
  }
  auto name = [&](int i) {
    char text[32];
    std::snprintf(text, sizeof text, "/%05d.wav", i + 1);
    return dir + text;
  };
  std::string error;
  if (!write_tone(tone{name(0), "", "", note(0), *seconds, false}, &error)) {
    std::fprintf(stderr, "pbq-make-album: %s: %s\n", name(0).c_str(), error.c_str());
    return 1;
  }
  std::optional<std::string> bytes = cli::read_file(name(0), &error);
  for (int i = 1; bytes && i < *count; i++) {
    if (!cli::write_file(name(i), *bytes, &error)) bytes.reset();
  }
  if (!bytes) {
    std::fprintf(stderr, "pbq-make-album: %s\n", error.c_str());
    return 1;
  }
  std::printf("%d files of %.3g s in %s\n", *count, *seconds, dir.c_str());
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  gst_init(&argc, &argv);
  bool flac = false, folder = false;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(k_usage, stdout);
      return 0;
    } else if (arg == "--flac") {
      flac = true;
    } else if (arg == "--folder") {
      folder = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "pbq-make-album: unknown option %s\n%s", arg.c_str(), k_usage);
      return 1;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.empty() || positional.size() > 3) {
    std::fputs(k_usage, stderr);
    return 1;
  }
  if (folder) return make_folder(positional);
  std::string dir = positional[0];
  std::optional<int32_t> count = positional.size() > 1 ? cli::parse_int32(positional[1]) : std::optional<int32_t>(5);
  std::optional<double> seconds = positional.size() > 2 ? cli::parse_double(positional[2]) : std::optional<double>(3.0);
  if (!count || *count < 1 || *count > 64 || !seconds || !(*seconds > 0.0) || *seconds > 600.0) {
    std::fprintf(stderr, "pbq-make-album: COUNT from 1 to 64, SECONDS above 0 and at most 600\n%s", k_usage);
    return 1;
  }
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "pbq-make-album: cannot create %s: %s\n", dir.c_str(), std::strerror(errno));
    return 1;
  }
  std::string json = "[\n";
  for (int i = 0; i < *count; i++) {
    char name[32], title[64];
    std::snprintf(name, sizeof name, "%02d.%s", i + 1, flac ? "flac" : "wav");
    std::snprintf(title, sizeof title, "Tone %d (%.0f Hz)", i + 1, note(i));
    tone t{dir + "/" + name, title, "pbq test signal", note(i), *seconds, flac};
    std::string error;
    if (!write_tone(t, &error)) {
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
