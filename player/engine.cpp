// The GStreamer side of the player: one playbin, audio only.
#include "engine.h"

#include <utility>

namespace player {

namespace {

// playbin's "flags": play the audio stream, with a software volume; no video or
// subtitles even when a file carries them.
constexpr guint k_play_audio = 0x2;
constexpr guint k_play_soft_volume = 0x10;

GstElement *make_sink(const std::string &name, std::string *error) {
  GstElement *sink = nullptr;
  if (name == "fake") {
    // Runs on the clock like a sound card, so that tracks take their real time.
    sink = gst_element_factory_make("fakesink", "output");
    if (sink != nullptr) g_object_set(sink, "sync", TRUE, nullptr);
  } else if (name == "auto") {
    sink = gst_element_factory_make("autoaudiosink", "output");
  } else {
    sink = gst_element_factory_make(name.c_str(), "output");
    if (sink == nullptr) sink = gst_element_factory_make((name + "sink").c_str(), "output");
  }
  if (sink == nullptr) *error = "no audio output named \"" + name + "\" in this GStreamer installation";
  return sink;
}

// autoaudiosink falls back to a silent fakesink when no output can be opened:
// say so rather than play in silence. It chooses when it goes to READY.
bool auto_found_a_device(GstElement *sink) {
  if (gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) return false;
  bool silent = false;
  GstIterator *it = gst_bin_iterate_elements(GST_BIN(sink));
  GValue item = G_VALUE_INIT;
  while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
    auto *child = GST_ELEMENT(g_value_get_object(&item));
    GstElementFactory *factory = gst_element_get_factory(child);
    if (factory != nullptr && g_strcmp0(GST_OBJECT_NAME(factory), "fakesink") == 0) silent = true;
    g_value_reset(&item);
  }
  g_value_unset(&item);
  gst_iterator_free(it);
  gst_element_set_state(sink, GST_STATE_NULL);
  return !silent;
}

}  // namespace

engine::~engine() {
  if (playbin_ != nullptr) {
    gst_element_set_state(playbin_, GST_STATE_NULL);
    gst_object_unref(playbin_);
  }
  if (bus_ != nullptr) gst_object_unref(bus_);
}

bool engine::open(const std::string &sink, std::string *error) {
  playbin_ = gst_element_factory_make("playbin", "player");
  if (playbin_ == nullptr) {
    *error = "GStreamer's playbin is missing (the base plug-ins are not installed)";
    return false;
  }
  sink_ = make_sink(sink, error);
  if (sink_ == nullptr) return false;
  if (sink == "auto" && !auto_found_a_device(sink_)) {
    gst_object_unref(gst_object_ref_sink(sink_));
    sink_ = nullptr;
    *error = "no audio device could be opened; on a machine without sound, --sink fake plays in silence";
    return false;
  }
  g_object_set(playbin_, "audio-sink", sink_, "flags", k_play_audio | k_play_soft_volume, nullptr);
  // scaletempo stretches the sound in time when the rate changes, so that a
  // spoken book at 1.5x does not sound like chipmunks.
  if (GstElement *tempo = gst_element_factory_make("scaletempo", "tempo")) {
    g_object_set(playbin_, "audio-filter", tempo, nullptr);
  } else {
    g_printerr("pbq-play: scaletempo is missing (the good plug-ins): a rate changes the pitch too\n");
  }
  g_signal_connect(playbin_, "about-to-finish", G_CALLBACK(on_about_to_finish), this);
  bus_ = gst_element_get_bus(playbin_);
  return true;
}

bool engine::from_output(GstMessage *message) const {
  GstObject *source = GST_MESSAGE_SRC(message);
  return source != nullptr && (source == GST_OBJECT(sink_) || gst_object_has_as_ancestor(source, GST_OBJECT(sink_)));
}

void engine::play(const std::string &uri, double start) {
  // Down to NULL, not READY: after a file that failed, playbin may otherwise carry
  // its failure into the next one. What the previous file left on the bus (its
  // end, its errors) is no longer news.
  gst_element_set_state(playbin_, GST_STATE_NULL);
  gst_bus_set_flushing(bus_, TRUE);
  gst_bus_set_flushing(bus_, FALSE);
  g_object_set(playbin_, "uri", uri.c_str(), nullptr);
  current_uri_ = uri;
  pending_start_.reset();
  if (start > 0.0 || rate_ != 1.0) pending_start_ = start;
  {
    std::lock_guard<std::mutex> guard(lock_);
    queued_.reset();
    hold_hand_over_ = pending_start_.has_value();
  }
  awaiting_first_start_ = true;
  want_playing_ = true;
  // With a place or a rate to go to, the file waits in PAUSED until the seek is
  // done, so that not a moment of it sounds from the wrong place or at the wrong rate.
  gst_element_set_state(playbin_, pending_start_ ? GST_STATE_PAUSED : GST_STATE_PLAYING);
}

void engine::pause() {
  want_playing_ = false;
  gst_element_set_state(playbin_, GST_STATE_PAUSED);
}

void engine::resume() {
  want_playing_ = true;
  gst_element_set_state(playbin_, GST_STATE_PLAYING);
}

void engine::stop() {
  gst_element_set_state(playbin_, GST_STATE_NULL);
  gst_bus_set_flushing(bus_, TRUE);
  gst_bus_set_flushing(bus_, FALSE);
  pending_start_.reset();
  awaiting_first_start_ = false;
  std::lock_guard<std::mutex> guard(lock_);
  queued_.reset();
  hold_hand_over_ = false;
}

bool engine::seek(double seconds) {
  if (GST_STATE(playbin_) < GST_STATE_PAUSED) return false;
  if (pending_start_) {
    pending_start_ = seconds;  // not ready yet: seek there once it is
    return true;
  }
  apply_seek(seconds);
  return true;
}

void engine::set_rate(double rate) {
  if (rate == rate_) return;
  rate_ = rate;
  {
    std::lock_guard<std::mutex> guard(lock_);
    normal_rate_ = rate == 1.0;
  }
  if (GST_STATE_TARGET(playbin_) < GST_STATE_PAUSED) return;  // stopped: play() applies it
  if (pending_start_) return;                                  // the pending seek carries it
  if (GST_STATE(playbin_) < GST_STATE_PAUSED || GST_STATE_PENDING(playbin_) != GST_STATE_VOID_PENDING) {
    pending_start_ = position();  // still getting ready: seek once it is
    std::lock_guard<std::mutex> guard(lock_);
    hold_hand_over_ = true;
    return;
  }
  apply_seek(position());
}

double engine::position() const {
  if (pending_start_) return *pending_start_;  // not there yet, but going there
  gint64 at = 0;
  if (!gst_element_query_position(playbin_, GST_FORMAT_TIME, &at) || at < 0) return 0.0;
  return static_cast<double>(at) / GST_SECOND;
}

void engine::set_follow_up(std::optional<follow_up> next) {
  std::lock_guard<std::mutex> guard(lock_);
  follow_up_ = std::move(next);
}

std::optional<follow_up> engine::take_queued() {
  std::lock_guard<std::mutex> guard(lock_);
  return std::exchange(queued_, std::nullopt);
}

bool engine::first_start_after_play() { return std::exchange(awaiting_first_start_, false); }

void engine::on_async_done() {
  if (!pending_start_) {
    // The seek is done: the next file may be handed over from now on.
    std::lock_guard<std::mutex> guard(lock_);
    hold_hand_over_ = false;
    return;
  }
  double start = *pending_start_;
  pending_start_.reset();
  apply_seek(start);
  if (want_playing_) gst_element_set_state(playbin_, GST_STATE_PLAYING);
}

// A flushing seek in a file whose successor playbin already took would unsettle
// the hand-over; the file is opened afresh instead. Until the seek is done,
// "about-to-finish" hands nothing over: playbin raises it again once the file
// runs dry after the seek, or the stream simply ends.
void engine::apply_seek(double seconds) {
  bool handed_over;
  {
    std::lock_guard<std::mutex> guard(lock_);
    handed_over = queued_.has_value();
    hold_hand_over_ = true;
  }
  if (handed_over) {
    std::string uri = current_uri_;
    play(uri, seconds);
    return;
  }
  auto at = static_cast<gint64>(seconds > 0.0 ? seconds * GST_SECOND : 0.0);
  gst_element_seek(playbin_, rate_, GST_FORMAT_TIME,
                   static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET, at,
                   GST_SEEK_TYPE_NONE, static_cast<gint64>(GST_CLOCK_TIME_NONE));
}

// On a streaming thread, shortly before the current file runs dry: hand playbin
// the next file now so that it follows without a gap. Only the follow-up slot is
// touched here, under its lock; the queue itself stays on the main thread.
void engine::on_about_to_finish(GstElement *playbin, gpointer self) {
  auto *e = static_cast<engine *>(self);
  std::lock_guard<std::mutex> guard(e->lock_);
  // playbin starts a handed-over stream at the normal rate, and a seek right after
  // the hand-over unsettles it: at another rate the stream ends and the next file
  // is opened afresh, with the rate, instead.
  if (!e->follow_up_ || e->hold_hand_over_ || !e->normal_rate_) return;
  g_object_set(playbin, "uri", e->follow_up_->uri.c_str(), nullptr);
  e->queued_ = e->follow_up_;
}

}  // namespace player
