// The MPRIS interfaces on the session bus. Methods and property writes become the
// player's command lines (next, prev, pause, seek, repeat, shuffle, rate, ...), so
// that the bus gets exactly the answers a typed command gets; properties are read
// from what the last state document showed, and the position from the engine.
#include "mpris.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "pbq.h"
#include "text.h"
#include "track_json.h"

namespace player {

namespace {

constexpr const char *k_object = "/org/mpris/MediaPlayer2";
constexpr const char *k_root = "org.mpris.MediaPlayer2";
constexpr const char *k_player = "org.mpris.MediaPlayer2.Player";
constexpr const char *k_tracklist = "org.mpris.MediaPlayer2.TrackList";
constexpr const char *k_no_track = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

constexpr const char *k_interfaces = R"(<node>
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
    <method name="SetPosition">
      <arg name="TrackId" type="o" direction="in"/>
      <arg name="Position" type="x" direction="in"/>
    </method>
    <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="LoopStatus" type="s" access="readwrite"/>
    <property name="Rate" type="d" access="readwrite"/>
    <property name="Shuffle" type="b" access="readwrite"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.TrackList">
    <method name="GetTracksMetadata">
      <arg name="TrackIds" type="ao" direction="in"/>
      <arg name="Metadata" type="aa{sv}" direction="out"/>
    </method>
    <method name="AddTrack">
      <arg name="Uri" type="s" direction="in"/>
      <arg name="AfterTrack" type="o" direction="in"/>
      <arg name="SetAsCurrent" type="b" direction="in"/>
    </method>
    <method name="RemoveTrack"><arg name="TrackId" type="o" direction="in"/></method>
    <method name="GoTo"><arg name="TrackId" type="o" direction="in"/></method>
    <signal name="TrackListReplaced">
      <arg name="Tracks" type="ao"/>
      <arg name="CurrentTrack" type="o"/>
    </signal>
    <property name="Tracks" type="ao" access="read"/>
    <property name="CanEditTracks" type="b" access="read"/>
  </interface>
</node>)";

// The Player properties that PropertiesChanged reports (Position is polled).
constexpr const char *k_watched[] = {"PlaybackStatus", "LoopStatus", "Rate",     "Shuffle",
                                     "Metadata",       "Volume",     "CanGoNext", "CanGoPrevious"};
static_assert(sizeof k_watched / sizeof k_watched[0] == 8, "one slot each in last_player_");

constexpr const char *k_mime_types[] = {
    "audio/mpeg",  "audio/flac", "audio/x-flac", "audio/ogg", "audio/x-vorbis+ogg", "audio/opus",
    "audio/wav",   "audio/x-wav", "audio/mp4",   "audio/aac", "audio/x-m4a",        "audio/x-mpegurl",
    "audio/mpegurl", "inode/directory"};

int64_t microseconds(double seconds) {
  return std::isfinite(seconds) && seconds > 0 ? static_cast<int64_t>(std::llround(seconds * 1e6)) : 0;
}

// Only valid UTF-8 goes on the bus: GVariant refuses anything else.
std::string utf8(const std::string &text) {
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return text;
  gchar *fixed = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string out = fixed;
  g_free(fixed);
  return out;
}

// The metadata of `track` under `id`; `url` is the address shown.
GVariant *metadata(const cli::track_info *track, const std::string &id, const std::string &url) {
  GVariantBuilder b;
  g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
  if (track == nullptr) {
    g_variant_builder_add(&b, "{sv}", "mpris:trackid", g_variant_new_object_path(k_no_track));
    return g_variant_builder_end(&b);
  }
  const cli::track_info &t = *track;
  g_variant_builder_add(&b, "{sv}", "mpris:trackid", g_variant_new_object_path(id.c_str()));
  if (t.duration > 0) g_variant_builder_add(&b, "{sv}", "mpris:length", g_variant_new_int64(microseconds(t.duration)));
  if (!t.title.empty()) g_variant_builder_add(&b, "{sv}", "xesam:title", g_variant_new_string(utf8(t.title).c_str()));
  if (!t.artist.empty()) {
    const gchar *artists[] = {nullptr, nullptr};
    std::string artist = utf8(t.artist);
    artists[0] = artist.c_str();
    g_variant_builder_add(&b, "{sv}", "xesam:artist", g_variant_new_strv(artists, 1));
  }
  g_variant_builder_add(&b, "{sv}", "xesam:url", g_variant_new_string(utf8(url).c_str()));
  if (!t.artwork.empty()) g_variant_builder_add(&b, "{sv}", "mpris:artUrl", g_variant_new_string(utf8(t.artwork).c_str()));
  return g_variant_builder_end(&b);
}

const char *loop_status(int64_t repeat) {
  switch (repeat) {
    case PBQ_REPEAT_ONE: return "Track";
    case PBQ_REPEAT_ALL: return "Playlist";
    default: return "None";
  }
}

std::string number_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

}  // namespace

int64_t window_first(int64_t first, int64_t count, int64_t current) {
  if (count <= k_track_window) return 0;
  const int64_t last_first = count - k_track_window;
  const int64_t margin = k_track_window / 10;
  first = first < 0 ? 0 : first > last_first ? last_first : first;
  if (current < 0 || current >= count) return first;
  bool clear_before = current >= first + margin || first == 0;
  bool clear_after = current < first + k_track_window - margin || first == last_first;
  if (clear_before && clear_after) return first;
  int64_t centred = current - k_track_window / 2;
  return centred < 0 ? 0 : centred > last_first ? last_first : centred;
}

mpris::~mpris() {
  if (bus_ != nullptr) {
    for (guint id : objects_) {
      if (id != 0) g_dbus_connection_unregister_object(bus_, id);
    }
    g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
    g_object_unref(bus_);
  }
  if (node_ != nullptr) g_dbus_node_info_unref(node_);
  if (metadata_ != nullptr) g_variant_unref(metadata_);
  if (ids_ != nullptr) g_variant_unref(ids_);
}

std::string mpris::start(bus_host *host, std::string *error) {
  host_ = host;
  GError *err = nullptr;
  bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &err);
  if (bus_ == nullptr) {
    *error = err != nullptr ? err->message : "no session bus";
    g_clear_error(&err);
    return std::string();
  }
  node_ = g_dbus_node_info_new_for_xml(k_interfaces, nullptr);
  static const GDBusInterfaceVTable vtable = {on_method, on_get, on_set, {nullptr}};
  const char *interfaces[] = {k_root, k_player, k_tracklist};
  for (int i = 0; i < 3; i++) {
    GDBusInterfaceInfo *info = g_dbus_node_info_lookup_interface(node_, interfaces[i]);
    objects_[i] = g_dbus_connection_register_object(bus_, k_object, info, &vtable, this, nullptr, &err);
    if (objects_[i] == 0) {
      *error = err != nullptr ? err->message : "cannot export the player";
      g_clear_error(&err);
      return std::string();
    }
  }
  // The well-known name first; a second player takes an instance name, as the
  // MPRIS interface names them.
  std::string names[] = {"org.mpris.MediaPlayer2.pbq", "org.mpris.MediaPlayer2.pbq.instance" + std::to_string(getpid())};
  for (const std::string &name : names) {
    GVariant *reply = g_dbus_connection_call_sync(
        bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", name.c_str(), 0x4 /* DBUS_NAME_FLAG_DO_NOT_QUEUE */), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &err);
    if (reply == nullptr) {
      *error = err != nullptr ? err->message : "cannot take a bus name";
      g_clear_error(&err);
      return std::string();
    }
    guint32 answer = 0;
    g_variant_get(reply, "(u)", &answer);
    g_variant_unref(reply);
    if (answer == 1 /* DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER */) {
      name_ = name;
      refresh();
      return name_;
    }
  }
  *error = "the bus names are taken";
  return std::string();
}

// "/org/pbq/Track/G/I": queue entry I of the window of generation G.
std::string mpris::track_id(int64_t index) const {
  return "/org/pbq/Track/" + std::to_string(generation_) + "/" + std::to_string(index);
}

std::optional<int64_t> mpris::index_of(const char *id) const {
  std::string_view text = id;
  std::string prefix = "/org/pbq/Track/" + std::to_string(generation_) + "/";
  if (text.substr(0, prefix.size()) != prefix) return std::nullopt;
  std::optional<int32_t> index = cli::parse_int32(text.substr(prefix.size()));
  if (!index || *index < first_ || *index >= first_ + static_cast<int64_t>(ends_.size())) return std::nullopt;
  return *index;
}

// The metadata of a window's entry, read from its text.
GVariant *mpris::window_metadata(int64_t index) const {
  auto i = static_cast<size_t>(index - first_);
  size_t begin = i == 0 ? 0 : ends_[i - 1];
  cli::track_info track = cli::read_track_text(std::string_view(entries_).substr(begin, ends_[i] - begin));
  std::string url = index == head_.current ? host_->bus_uri(track.url) : track.url;
  return metadata(&track, track_id(index), url);
}

bool mpris::take(cli::state_text &doc) {
  head_ = doc.head();
  const auto count = static_cast<int64_t>(head_.count);
  int64_t first = window_first(first_, count, head_.current);
  int64_t last = first + k_track_window < count ? first + k_track_window : count;
  std::string entries;
  std::vector<size_t> ends;
  for (int64_t i = first; i < last; i++) {
    std::optional<std::string_view> text = doc.entry_text(i);
    if (!text) break;
    entries += *text;
    ends.push_back(entries.size());
  }
  bool changed = !taken_ || first != first_ || entries != entries_;
  taken_ = true;
  if (changed) {
    first_ = first;
    entries_ = std::move(entries);
    ends_ = std::move(ends);
    generation_++;
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("ao"));
    for (size_t i = 0; i < ends_.size(); i++) {
      g_variant_builder_add(&b, "o", track_id(first_ + static_cast<int64_t>(i)).c_str());
    }
    if (ids_ != nullptr) g_variant_unref(ids_);
    ids_ = g_variant_ref_sink(g_variant_builder_end(&b));
  }
  if (metadata_ != nullptr) g_variant_unref(metadata_);
  const std::optional<cli::track_info> &current = head_.current_track;
  metadata_ = g_variant_ref_sink(
      metadata(current ? &*current : nullptr, track_id(head_.current), current ? host_->bus_uri(current->url) : ""));
  return changed;
}

GVariant *mpris::property(const std::string &interface, const std::string &name) {
  const cli::queue_head &s = head_;
  bool has_current = s.current_track.has_value();
  if (interface == k_root) {
    if (name == "CanQuit") return g_variant_new_boolean(TRUE);
    if (name == "CanRaise") return g_variant_new_boolean(FALSE);
    if (name == "HasTrackList") return g_variant_new_boolean(TRUE);
    if (name == "Identity") return g_variant_new_string("pbq-play");
    if (name == "DesktopEntry") return g_variant_new_string("pbq-play");
    if (name == "SupportedUriSchemes") {
      const gchar *schemes[] = {"file"};
      return g_variant_new_strv(schemes, 1);
    }
    if (name == "SupportedMimeTypes") return g_variant_new_strv(k_mime_types, G_N_ELEMENTS(k_mime_types));
  } else if (interface == k_player) {
    if (name == "PlaybackStatus") return g_variant_new_string(host_->bus_status());
    if (name == "LoopStatus") return g_variant_new_string(loop_status(s.repeat));
    if (name == "Rate") return g_variant_new_double(s.rate);
    if (name == "Shuffle") return g_variant_new_boolean(s.shuffled);
    if (name == "Metadata") return metadata_ != nullptr ? g_variant_ref(metadata_) : metadata(nullptr, "", "");
    if (name == "Volume") return g_variant_new_double(host_->bus_volume());
    if (name == "Position") return g_variant_new_int64(microseconds(host_->bus_position()));
    if (name == "MinimumRate") return g_variant_new_double(0.5);
    if (name == "MaximumRate") return g_variant_new_double(2.0);
    if (name == "CanGoNext") return g_variant_new_boolean(s.has_next);
    if (name == "CanGoPrevious") return g_variant_new_boolean(s.has_previous);
    if (name == "CanPlay" || name == "CanPause" || name == "CanSeek") return g_variant_new_boolean(has_current);
    if (name == "CanControl") return g_variant_new_boolean(TRUE);
  } else if (interface == k_tracklist) {
    if (name == "Tracks") {
      return ids_ != nullptr ? g_variant_ref(ids_) : g_variant_new_array(G_VARIANT_TYPE_OBJECT_PATH, nullptr, 0);
    }
    if (name == "CanEditTracks") return g_variant_new_boolean(TRUE);
  }
  return nullptr;
}

GVariant *mpris::on_get(GDBusConnection *, const gchar *, const gchar *, const gchar *interface,
                        const gchar *property, GError **error, gpointer self) {
  auto *m = static_cast<mpris *>(self);
  GVariant *value = m->property(interface, property);
  if (value == nullptr) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", property);
  return value;
}

gboolean mpris::on_set(GDBusConnection *, const gchar *, const gchar *, const gchar *interface,
                       const gchar *property, GVariant *value, GError **error, gpointer self) {
  auto *m = static_cast<mpris *>(self);
  std::string name = property;
  if (std::string(interface) == k_player) {
    if (name == "LoopStatus") {
      std::string loop = g_variant_get_string(value, nullptr);
      const char *mode = loop == "None" ? "off" : loop == "Track" ? "one" : loop == "Playlist" ? "all" : nullptr;
      if (mode != nullptr) {
        m->host_->bus_command(std::string("repeat ") + mode);
        return TRUE;
      }
    } else if (name == "Shuffle") {
      // A new order each time, as a listener expects of the shuffle button.
      m->host_->bus_command(g_variant_get_boolean(value) ? "shuffle on " + std::to_string(g_random_int())
                                                         : std::string("shuffle off"));
      return TRUE;
    } else if (name == "Rate") {
      double rate = g_variant_get_double(value);
      if (rate <= 0.0) return m->host_->bus_command("pause"), TRUE;  // rate 0 pauses, as MPRIS asks
      m->host_->bus_command("rate " + number_text(rate));
      return TRUE;
    } else if (name == "Volume") {
      m->host_->bus_set_volume(g_variant_get_double(value));
      m->refresh();
      return TRUE;
    }
  }
  g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_PROPERTY_READ_ONLY, "%s cannot be set", property);
  return FALSE;
}

void mpris::on_method(GDBusConnection *, const gchar *, const gchar *, const gchar *interface, const gchar *method,
                      GVariant *args, GDBusMethodInvocation *invocation, gpointer self) {
  auto *m = static_cast<mpris *>(self);
  if (std::string(method) == "GetTracksMetadata") {
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("aa{sv}"));
    GVariantIter *ids = nullptr;
    const gchar *id = nullptr;
    g_variant_get(args, "(ao)", &ids);
    while (g_variant_iter_next(ids, "&o", &id)) {
      if (std::optional<int64_t> index = m->index_of(id)) g_variant_builder_add_value(&b, m->window_metadata(*index));
    }
    g_variant_iter_free(ids);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(aa{sv})", &b));
    return;
  }
  // Answered first: a client waits for the reply, and the command may take a
  // moment (a new file opens).
  g_dbus_method_invocation_return_value(invocation, nullptr);
  m->call(interface, method, args);
}

// The command line each method stands for.
void mpris::call(const std::string &interface, const std::string &method, GVariant *args) {
  std::string status = host_->bus_status();
  bool playing = status == "Playing";
  const std::optional<cli::track_info> &current = head_.current_track;
  if (interface == k_root) {
    if (method == "Quit") host_->bus_quit();
    return;  // Raise: there is no window
  }
  if (method == "Next") return void(host_->bus_command("next"));
  if (method == "Previous") return void(host_->bus_command("prev"));
  if (method == "Pause") return playing ? void(host_->bus_command("pause")) : void();
  if (method == "Play") return playing ? void() : void(host_->bus_command("play"));
  if (method == "PlayPause") return void(host_->bus_command(playing ? "pause" : "play"));
  if (method == "Stop") return status == "Stopped" ? void() : void(host_->bus_command("stop"));
  if (method == "Seek") {
    gint64 offset = 0;
    g_variant_get(args, "(x)", &offset);
    if (!current) return;
    double to = host_->bus_position() + static_cast<double>(offset) / 1e6;
    // Past the end moves on, as the MPRIS interface asks; before the start, the start.
    if (current->duration > 0 && to > current->duration) return void(host_->bus_command("next"));
    return void(host_->bus_command("seek " + number_text(to < 0 ? 0 : to)));
  }
  if (method == "SetPosition") {
    const gchar *id = nullptr;
    gint64 at = 0;
    g_variant_get(args, "(&ox)", &id, &at);
    std::optional<int64_t> index = index_of(id);
    if (!current || !index || *index != head_.current || at < 0) return;  // a stale request: ignored
    if (current->duration > 0 && static_cast<double>(at) / 1e6 > current->duration) return;
    return void(host_->bus_command("seek " + number_text(static_cast<double>(at) / 1e6)));
  }
  if (method == "OpenUri") {
    const gchar *uri = nullptr;
    g_variant_get(args, "(&s)", &uri);
    std::string track = track_json(uri, "", "", 0.0);
    if (track.empty()) return;
    int64_t at = head_.current + 1;
    if (!host_->bus_command("playnext " + track)) return;
    // With nothing current, the added track has become current and plays.
    if (at > 0) host_->bus_command("jump " + std::to_string(at));
    return;
  }
  if (method == "AddTrack") {
    const gchar *uri = nullptr;
    const gchar *after = nullptr;
    gboolean now = FALSE;
    g_variant_get(args, "(&s&ob)", &uri, &after, &now);
    return add_track(uri, after, now != FALSE);
  }
  if (method == "RemoveTrack" || method == "GoTo") {
    const gchar *id = nullptr;
    g_variant_get(args, "(&o)", &id);
    std::optional<int64_t> index = index_of(id);
    if (!index) return;
    if (method == "GoTo") return void(host_->bus_command("jump " + std::to_string(*index)));
    // Only up next can be edited: the current entry and those before it stay.
    if (*index > head_.current) host_->bus_command("remove " + std::to_string(*index - head_.current - 1));
  }
}

// AddTrack: the track goes right after the entry `after`. Only up next can be
// edited, so after the current entry or one before it (or NoTrack, the start of
// the list) it goes right after the current entry. An id that is not one of the
// window's (an old one) adds nothing; nor does anything follow a failed step.
void mpris::add_track(const char *uri, const char *after, bool play_it) {
  std::string track = track_json(uri, "", "", 0.0);
  if (track.empty()) return;
  const int64_t current = head_.current;
  const auto count = static_cast<int64_t>(head_.count);
  std::optional<int64_t> after_index = std::string_view(after) == k_no_track ? std::optional<int64_t>(-1) : index_of(after);
  if (!after_index) return;
  int64_t at;  // the queue index the track gets
  if (current < 0 || current >= count) {
    at = count;  // nothing current: at the end, where it becomes current if the queue was empty
    if (!host_->bus_command("add " + track)) return;
    if (count == 0) return;
  } else if (*after_index <= current) {
    at = current + 1;
    if (!host_->bus_command("playnext " + track)) return;
  } else {
    at = *after_index + 1;
    if (!host_->bus_command("add " + track)) return;
    // Appended as up-next entry count - current - 1; moved to follow `after`.
    int64_t from = count - current - 1, to = *after_index - current;
    if (from != to && !host_->bus_command("move " + std::to_string(from) + " " + std::to_string(to))) return;
  }
  if (play_it) host_->bus_command("jump " + std::to_string(at));
}

void mpris::emit(const char *interface, GVariantBuilder *changed) {
  GVariantBuilder invalidated;
  g_variant_builder_init(&invalidated, G_VARIANT_TYPE("as"));
  g_dbus_connection_emit_signal(bus_, nullptr, k_object, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                g_variant_new("(sa{sv}as)", interface, changed, &invalidated), nullptr);
}

void mpris::refresh() {
  if (bus_ == nullptr || name_.empty()) return;
  bool window_changed = false;
  if (!taken_ || host_->bus_state_reads() != reads_) {
    cli::state_text &doc = host_->bus_state();
    reads_ = host_->bus_state_reads();
    window_changed = take(doc);
  }
  GVariantBuilder changed;
  g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
  bool any = false;
  for (size_t i = 0; i < G_N_ELEMENTS(k_watched); i++) {
    GVariant *value = g_variant_take_ref(property(k_player, k_watched[i]));
    gchar *printed = g_variant_print(value, FALSE);
    if (last_player_[i] != printed) {
      last_player_[i] = printed;
      g_variant_builder_add(&changed, "{sv}", k_watched[i], value);
      any = true;
    }
    g_free(printed);
    g_variant_unref(value);
  }
  if (any) emit(k_player, &changed);
  else g_variant_builder_clear(&changed);

  if (window_changed) {
    std::string current = head_.current_track ? track_id(head_.current) : k_no_track;
    g_dbus_connection_emit_signal(bus_, nullptr, k_object, k_tracklist, "TrackListReplaced",
                                  g_variant_new("(@aoo)", ids_, current.c_str()), nullptr);
  }
}

void mpris::seeked(double seconds) {
  if (bus_ == nullptr || name_.empty()) return;
  g_dbus_connection_emit_signal(bus_, nullptr, k_object, k_player, "Seeked",
                                g_variant_new("(x)", microseconds(seconds)), nullptr);
}

}  // namespace player
