// The audio engine: GStreamer's playbin with the chosen audio output, the pitch
// kept by scaletempo when the rate changes, and the hand-over of the next file at
// "about-to-finish" for gapless playback. Used from the main loop's thread, except
// for that one signal, which GStreamer raises on a streaming thread.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace player {

// The entry queued for gapless playback: its queue index and address at the time.
struct follow_up {
  int64_t index = -1;
  std::string url;  // the track's "streamURL"
  std::string uri;  // what the engine opens
};

class engine {
 public:
  engine() = default;
  engine(const engine &) = delete;
  engine &operator=(const engine &) = delete;
  ~engine();

  // Builds the pipeline. `sink` is "fake" (no sound, real time), "auto" (the
  // system's default output) or a GStreamer element name ("alsasink", or "alsa").
  // False with the reason in `error`.
  bool open(const std::string &sink, std::string *error);

  GstBus *bus() const { return bus_; }
  // Whether a bus message comes from the audio output (a device that cannot be
  // opened, say), rather than from the track being played.
  bool from_output(GstMessage *message) const;

  // Plays `uri` from its start, then seeks to `start` seconds once it is ready.
  // Drops whatever was queued on the bus for the previous file.
  void play(const std::string &uri, double start);
  void pause();
  void resume();
  void stop();
  bool seek(double seconds);
  // The rate, applied with the pitch kept; stays in force for the next files,
  // handed over without a gap as at the normal rate.
  void set_rate(double rate);
  // The output volume, 0 (silent) to 1 (full), kept from file to file.
  void set_volume(double volume);
  double volume() const;
  // Seconds played of the current file; 0 when it cannot tell.
  double position() const;

  // What "about-to-finish" will queue (nothing: let the stream end).
  void set_follow_up(std::optional<follow_up> next);
  // The follow-up that "about-to-finish" handed to playbin and that has not been
  // taken yet: once a new stream starts, the entry that is now playing.
  std::optional<follow_up> take_queued();

  // Bus events the engine handles itself: the first stream start after play()
  // (true once), and a finished asynchronous change, where a pending seek is done.
  bool first_start_after_play();
  void on_async_done();

 private:
  static void on_about_to_finish(GstElement *playbin, gpointer self);
  static GstPadProbeReturn on_stream_data(GstPad *pad, GstPadProbeInfo *info, gpointer self);
  static GstPadProbeReturn on_output_event(GstPad *pad, GstPadProbeInfo *info, gpointer self);
  void apply_seek(double seconds);
  // Stops any wait in "about-to-finish" before the pipeline changes state.
  void hold_hand_overs();

  GstElement *playbin_ = nullptr;
  GstElement *sink_ = nullptr;
  GstBus *bus_ = nullptr;
  std::atomic<double> rate_ = 1.0;  // read by the segment probe on a streaming thread
  // A new stream reached the output, its segment not yet: the output would still
  // tell the position in the stream before.
  std::atomic<bool> output_between_streams_ = false;

  // What the segment probe keeps of the stream going into scaletempo (its thread only).
  struct rate_keeping {
    std::optional<GstSegment> segment;  // the last one, as it went on
    GstClockTime end = GST_CLOCK_TIME_NONE;  // where its last buffer ends
    bool new_stream = false;
  } rate_keeping_;
  std::string current_uri_;
  std::optional<double> pending_start_;
  bool awaiting_first_start_ = false;
  bool want_playing_ = false;  // PLAYING once a pending seek is done (not after pause())

  std::mutex lock_;  // guards the four below, shared with the streaming thread
  std::condition_variable follow_up_changed_;
  std::optional<follow_up> follow_up_;
  std::optional<follow_up> queued_;
  bool awaiting_refresh_ = false;  // the queued entry was taken; its own follow-up is not set yet
  bool hold_hand_over_ = false;    // a seek or a new file is on its way
};

}  // namespace player
