// The GStreamer side of the player: one playbin, audio only.
#include "engine.h"

#include <chrono>
#include <cmath>
#include <utility>

namespace player {

namespace {

// playbin's "flags": play the audio stream, with a software volume; no video or
// subtitles even when a file carries them.
constexpr guint k_play_audio = 0x2;
constexpr guint k_play_soft_volume = 0x10;

// How long "about-to-finish" waits for the main thread to say what follows the
// file it handed over last; past it, the stream simply ends.
constexpr auto k_follow_up_wait = std::chrono::seconds(10);

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
    hold_hand_overs();
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
  GstElement *rated = gst_element_factory_make("scaletempo", "tempo");
  if (rated != nullptr) {
    g_object_set(playbin_, "audio-filter", rated, nullptr);
  } else {
    g_printerr("pbq-play: scaletempo is missing (the good plug-ins): a rate changes the pitch too\n");
    rated = sink_;
  }
  if (GstPad *output = gst_element_get_static_pad(sink_, "sink")) {
    gst_pad_add_probe(output, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, on_output_event, this, nullptr);
    gst_object_unref(output);
  }
  // Every stream's segment carries the rate into scaletempo, also a stream that
  // playbin starts at the normal rate after a gapless hand-over.
  GstPad *pad = gst_element_get_static_pad(rated, "sink");
  if (pad != nullptr) {
    auto types = GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_EVENT_FLUSH | GST_PAD_PROBE_TYPE_BUFFER;
    gst_pad_add_probe(pad, static_cast<GstPadProbeType>(types), on_stream_data, this, nullptr);
    gst_object_unref(pad);
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
  hold_hand_overs();
  gst_element_set_state(playbin_, GST_STATE_NULL);
  gst_bus_set_flushing(bus_, TRUE);
  gst_bus_set_flushing(bus_, FALSE);
  g_object_set(playbin_, "uri", uri.c_str(), nullptr);
  current_uri_ = uri;
  pending_start_.reset();
  if (start > 0.0) pending_start_ = start;
  {
    std::lock_guard<std::mutex> guard(lock_);
    queued_.reset();
    awaiting_refresh_ = false;
    hold_hand_over_ = pending_start_.has_value();
  }
  awaiting_first_start_ = true;
  want_playing_ = true;
  // With a place to go to, the file waits in PAUSED until the seek is done, so
  // that not a moment of it sounds from the wrong place.
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
  hold_hand_overs();
  gst_element_set_state(playbin_, GST_STATE_NULL);
  gst_bus_set_flushing(bus_, TRUE);
  gst_bus_set_flushing(bus_, FALSE);
  pending_start_.reset();
  awaiting_first_start_ = false;
  std::lock_guard<std::mutex> guard(lock_);
  queued_.reset();
  awaiting_refresh_ = false;
  hold_hand_over_ = false;
}

void engine::hold_hand_overs() {
  std::lock_guard<std::mutex> guard(lock_);
  hold_hand_over_ = true;
  follow_up_changed_.notify_all();
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

void engine::set_volume(double volume) {
  if (std::isnan(volume)) return;  // it passes every comparison below; the volume stays
  g_object_set(playbin_, "volume", volume < 0.0 ? 0.0 : volume > 1.0 ? 1.0 : volume, nullptr);
}

double engine::volume() const {
  gdouble volume = 1.0;
  g_object_get(playbin_, "volume", &volume, nullptr);
  return volume;
}

double engine::position() const {
  if (pending_start_) return *pending_start_;  // not there yet, but going there
  if (output_between_streams_) return 0.0;     // a handed-over stream at its start
  gint64 at = 0;
  if (!gst_element_query_position(playbin_, GST_FORMAT_TIME, &at) || at < 0) return 0.0;
  return static_cast<double>(at) / GST_SECOND;
}

void engine::set_follow_up(std::optional<follow_up> next) {
  std::lock_guard<std::mutex> guard(lock_);
  follow_up_ = std::move(next);
  if (!queued_) awaiting_refresh_ = false;
  follow_up_changed_.notify_all();
}

std::optional<follow_up> engine::take_queued() {
  std::lock_guard<std::mutex> guard(lock_);
  if (queued_) awaiting_refresh_ = true;
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
    follow_up_changed_.notify_all();
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
//
// A short file is read to its end before the one handed over for it starts to
// sound: the slot then still names that file. The thread waits until the main
// thread has seen it start and told the queue, and set what follows it.
void engine::on_about_to_finish(GstElement *playbin, gpointer self) {
  auto *e = static_cast<engine *>(self);
  std::unique_lock<std::mutex> guard(e->lock_);
  bool settled = e->follow_up_changed_.wait_for(guard, k_follow_up_wait, [e] {
    return e->hold_hand_over_ || (!e->queued_ && !e->awaiting_refresh_);
  });
  if (!settled || !e->follow_up_ || e->hold_hand_over_) return;
  g_object_set(playbin, "uri", e->follow_up_->uri.c_str(), nullptr);
  e->queued_ = e->follow_up_;
}

GstPadProbeReturn engine::on_output_event(GstPad *, GstPadProbeInfo *info, gpointer self) {
  auto *e = static_cast<engine *>(self);
  GstEventType type = GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info));
  if (type == GST_EVENT_STREAM_START) e->output_between_streams_ = true;
  else if (type == GST_EVENT_SEGMENT) e->output_between_streams_ = false;
  return GST_PAD_PROBE_OK;
}

// The segment of every stream, on its way into scaletempo, takes the player's
// rate: scaletempo stretches by the segment's rate, and a stream handed over at
// "about-to-finish" would otherwise start at the normal one. playbin counts the
// running time of a handed-over stream from where the previous one ended at the
// normal rate; it starts instead where the previous one ended at its rate, or it
// would sound late (cut) or early (a silence).
GstPadProbeReturn engine::on_stream_data(GstPad *, GstPadProbeInfo *info, gpointer self) {
  auto *e = static_cast<engine *>(self);
  rate_keeping &k = e->rate_keeping_;
  if ((GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) != 0) {
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (GST_BUFFER_PTS_IS_VALID(buffer)) {
      k.end = GST_BUFFER_PTS(buffer) + (GST_BUFFER_DURATION_IS_VALID(buffer) ? GST_BUFFER_DURATION(buffer) : 0);
    }
    return GST_PAD_PROBE_OK;
  }
  GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_FLUSH_STOP: k.segment.reset(); return GST_PAD_PROBE_OK;
    case GST_EVENT_STREAM_START: k.new_stream = true; return GST_PAD_PROBE_OK;
    case GST_EVENT_SEGMENT: break;
    default: return GST_PAD_PROBE_OK;
  }
  const GstSegment *segment = nullptr;
  gst_event_parse_segment(event, &segment);
  GstSegment rated;
  gst_segment_copy_into(segment, &rated);
  rated.rate = e->rate_;
  if (k.new_stream && k.segment && rated.format == GST_FORMAT_TIME && GST_CLOCK_TIME_IS_VALID(k.end)) {
    guint64 ended = gst_segment_to_running_time(&*k.segment, GST_FORMAT_TIME, k.end);
    if (GST_CLOCK_TIME_IS_VALID(ended)) rated.base = ended;
  }
  k.new_stream = false;
  k.segment = rated;
  k.end = GST_CLOCK_TIME_NONE;
  if (rated.rate == segment->rate && rated.base == segment->base) return GST_PAD_PROBE_OK;
  GstEvent *replacement = gst_event_new_segment(&rated);
  gst_event_set_seqnum(replacement, gst_event_get_seqnum(event));
  gst_event_unref(event);
  GST_PAD_PROBE_INFO_DATA(info) = replacement;
  return GST_PAD_PROBE_OK;
}

}  // namespace player
