// The MPRIS interfaces on the session bus. Methods and property writes become the
// player's command lines (next, prev, pause, seek, repeat, shuffle, rate, ...), so
// that the bus gets exactly the answers a typed command gets; properties are read
// from the state document and the engine.
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

// A queue entry's track id: its queue index. Entries move with edits, so the ids
// are re-announced (TrackListReplaced) whenever the queue changes.
std::string track_id(int64_t index) { return "/org/pbq/Track/" + std::to_string(index); }

std::optional<int64_t> index_of(const char *id, const cli::queue_state &state) {
  std::string_view text = id;
  constexpr std::string_view prefix = "/org/pbq/Track/";
  if (text.substr(0, prefix.size()) != prefix) return std::nullopt;
  std::optional<int32_t> index = cli::parse_int32(text.substr(prefix.size()));
  if (!index || *index < 0 || static_cast<size_t>(*index) >= state.queue.size()) return std::nullopt;
  return *index;
}

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

GVariant *metadata(const cli::queue_state &state, int64_t index, const std::string &uri) {
  GVariantBuilder b;
  g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
  if (index < 0 || static_cast<size_t>(index) >= state.queue.size()) {
    g_variant_builder_add(&b, "{sv}", "mpris:trackid", g_variant_new_object_path(k_no_track));
    return g_variant_builder_end(&b);
  }
  const cli::track_info &t = state.queue[static_cast<size_t>(index)];
  g_variant_builder_add(&b, "{sv}", "mpris:trackid", g_variant_new_object_path(track_id(index).c_str()));
  if (t.duration > 0) g_variant_builder_add(&b, "{sv}", "mpris:length", g_variant_new_int64(microseconds(t.duration)));
  if (!t.title.empty()) g_variant_builder_add(&b, "{sv}", "xesam:title", g_variant_new_string(utf8(t.title).c_str()));
  if (!t.artist.empty()) {
    const gchar *artists[] = {nullptr, nullptr};
    std::string artist = utf8(t.artist);
    artists[0] = artist.c_str();
    g_variant_builder_add(&b, "{sv}", "xesam:artist", g_variant_new_strv(artists, 1));
  }
  std::string url = index == state.current && !uri.empty() ? uri : t.url;
  g_variant_builder_add(&b, "{sv}", "xesam:url", g_variant_new_string(utf8(url).c_str()));
  if (!t.artwork.empty()) g_variant_builder_add(&b, "{sv}", "mpris:artUrl", g_variant_new_string(utf8(t.artwork).c_str()));
  return g_variant_builder_end(&b);
}

GVariant *track_ids(const cli::queue_state &state) {
  GVariantBuilder b;
  g_variant_builder_init(&b, G_VARIANT_TYPE("ao"));
  for (size_t i = 0; i < state.queue.size(); i++) {
    g_variant_builder_add(&b, "o", track_id(static_cast<int64_t>(i)).c_str());
  }
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

mpris::~mpris() {
  if (bus_ != nullptr) {
    for (guint id : objects_) {
      if (id != 0) g_dbus_connection_unregister_object(bus_, id);
    }
    g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
    g_object_unref(bus_);
  }
  if (node_ != nullptr) g_dbus_node_info_unref(node_);
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

GVariant *mpris::property(const std::string &interface, const std::string &name, const bus_view &view) {
  const cli::queue_state empty;
  const cli::queue_state &s = view.state ? *view.state : empty;
  bool has_current = s.current >= 0 && static_cast<size_t>(s.current) < s.queue.size();
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
    if (name == "PlaybackStatus") return g_variant_new_string(view.status);
    if (name == "LoopStatus") return g_variant_new_string(loop_status(s.repeat));
    if (name == "Rate") return g_variant_new_double(s.rate);
    if (name == "Shuffle") return g_variant_new_boolean(s.shuffled);
    if (name == "Metadata") return metadata(s, s.current, view.uri);
    if (name == "Volume") return g_variant_new_double(view.volume);
    if (name == "Position") return g_variant_new_int64(microseconds(view.position));
    if (name == "MinimumRate") return g_variant_new_double(0.5);
    if (name == "MaximumRate") return g_variant_new_double(2.0);
    if (name == "CanGoNext") return g_variant_new_boolean(s.has_next);
    if (name == "CanGoPrevious") return g_variant_new_boolean(s.has_previous);
    if (name == "CanPlay" || name == "CanPause" || name == "CanSeek") return g_variant_new_boolean(has_current);
    if (name == "CanControl") return g_variant_new_boolean(TRUE);
  } else if (interface == k_tracklist) {
    if (name == "Tracks") return track_ids(s);
    if (name == "CanEditTracks") return g_variant_new_boolean(TRUE);
  }
  return nullptr;
}

GVariant *mpris::on_get(GDBusConnection *, const gchar *, const gchar *, const gchar *interface,
                        const gchar *property, GError **error, gpointer self) {
  auto *m = static_cast<mpris *>(self);
  GVariant *value = m->property(interface, property, m->host_->bus_look());
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
    bus_view view = m->host_->bus_look();
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("aa{sv}"));
    GVariantIter *ids = nullptr;
    const gchar *id = nullptr;
    g_variant_get(args, "(ao)", &ids);
    while (view.state && g_variant_iter_next(ids, "&o", &id)) {
      if (std::optional<int64_t> index = index_of(id, *view.state)) {
        g_variant_builder_add_value(&b, metadata(*view.state, *index, view.uri));
      }
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
  bus_view view = host_->bus_look();
  bool playing = std::string(view.status) == "Playing";
  const cli::queue_state empty;
  const cli::queue_state &s = view.state ? *view.state : empty;
  const cli::track_info *current = cli::current_track(s);
  if (interface == k_root) {
    if (method == "Quit") host_->bus_quit();
    return;  // Raise: there is no window
  }
  if (method == "Next") return host_->bus_command("next");
  if (method == "Previous") return host_->bus_command("prev");
  if (method == "Pause") return playing ? host_->bus_command("pause") : void();
  if (method == "Play") return playing ? void() : host_->bus_command("play");
  if (method == "PlayPause") return host_->bus_command(playing ? "pause" : "play");
  if (method == "Stop") return std::string(view.status) == "Stopped" ? void() : host_->bus_command("stop");
  if (method == "Seek") {
    gint64 offset = 0;
    g_variant_get(args, "(x)", &offset);
    if (current == nullptr) return;
    double to = view.position + static_cast<double>(offset) / 1e6;
    // Past the end moves on, as the MPRIS interface asks; before the start, the start.
    if (current->duration > 0 && to > current->duration) return host_->bus_command("next");
    return host_->bus_command("seek " + number_text(to < 0 ? 0 : to));
  }
  if (method == "SetPosition") {
    const gchar *id = nullptr;
    gint64 at = 0;
    g_variant_get(args, "(&ox)", &id, &at);
    std::optional<int64_t> index = index_of(id, s);
    if (!index || *index != s.current || at < 0) return;  // a stale request: ignored
    if (current->duration > 0 && static_cast<double>(at) / 1e6 > current->duration) return;
    return host_->bus_command("seek " + number_text(static_cast<double>(at) / 1e6));
  }
  if (method == "OpenUri" || method == "AddTrack") {
    const gchar *uri = nullptr;
    const gchar *after = k_no_track;
    gboolean now = TRUE;
    if (method == "OpenUri") g_variant_get(args, "(&s)", &uri);
    else g_variant_get(args, "(&s&ob)", &uri, &after, &now);
    std::string track = track_json(uri, "", "", 0.0);
    if (track.empty()) return;
    std::optional<int64_t> after_index = index_of(after, s);
    bool next_up = method == "OpenUri" || (after_index && *after_index == s.current);
    host_->bus_command((next_up ? "playnext " : "add ") + track);
    if (!now) return;
    if (next_up) return host_->bus_command("next");
    std::optional<cli::queue_state> added = host_->bus_look().state;
    if (added && !added->queue.empty()) host_->bus_command("jump " + std::to_string(added->queue.size() - 1));
    return;
  }
  if (method == "RemoveTrack" || method == "GoTo") {
    const gchar *id = nullptr;
    g_variant_get(args, "(&o)", &id);
    std::optional<int64_t> index = index_of(id, s);
    if (!index) return;
    if (method == "GoTo") return host_->bus_command("jump " + std::to_string(*index));
    // Only up next can be edited: the current entry and those before it stay.
    if (*index > s.current) host_->bus_command("remove " + std::to_string(*index - s.current - 1));
  }
}

void mpris::emit(const char *interface, GVariantBuilder *changed) {
  GVariantBuilder invalidated;
  g_variant_builder_init(&invalidated, G_VARIANT_TYPE("as"));
  g_dbus_connection_emit_signal(bus_, nullptr, k_object, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                g_variant_new("(sa{sv}as)", interface, changed, &invalidated), nullptr);
}

void mpris::refresh() {
  if (bus_ == nullptr || name_.empty()) return;
  bus_view view = host_->bus_look();
  GVariantBuilder changed;
  g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
  bool any = false;
  for (size_t i = 0; i < G_N_ELEMENTS(k_watched); i++) {
    GVariant *value = g_variant_ref_sink(property(k_player, k_watched[i], view));
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

  GVariant *tracks = g_variant_ref_sink(property(k_tracklist, "Tracks", view));
  gchar *printed = g_variant_print(tracks, FALSE);
  std::string listed = printed;
  g_free(printed);
  if (view.state) {
    for (const cli::track_info &t : view.state->queue) listed += "\n" + t.url;
  }
  if (listed != last_tracks_) {
    last_tracks_ = listed;
    std::string current = view.state && cli::current_track(*view.state) ? track_id(view.state->current) : k_no_track;
    g_dbus_connection_emit_signal(bus_, nullptr, k_object, k_tracklist, "TrackListReplaced",
                                  g_variant_new("(@aoo)", tracks, current.c_str()), nullptr);
  }
  g_variant_unref(tracks);
}

void mpris::seeked(double seconds) {
  if (bus_ == nullptr || name_.empty()) return;
  g_dbus_connection_emit_signal(bus_, nullptr, k_object, k_player, "Seeked",
                                g_variant_new("(x)", microseconds(seconds)), nullptr);
}

}  // namespace player
