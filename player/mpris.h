// pbq-play on the session bus: the MPRIS interfaces (the root, Player and
// TrackList) through GDBus, so that media keys, the desktop's media controls and
// playerctl reach it. Every call becomes a command line that runs as if typed.
//
// Nothing the bus asks grows with the queue: what it shows of the state document
// is taken once per new document (the modes, the current track's metadata and a
// window of the queue), and the position comes from the engine.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "state_text.h"

namespace player {

// The track list on the bus: at most this many entries of the queue, around the
// current one.
constexpr int64_t k_track_window = 1000;

// The player, as the bus drives it.
class bus_host {
 public:
  virtual ~bus_host() = default;
  // Runs `line` as if typed; its answer is narrated as a typed one. False when
  // the command failed.
  virtual bool bus_command(const std::string &line) = 0;
  // The state document after the last change, and a count that differs for each
  // new one.
  virtual cli::state_text &bus_state() = 0;
  virtual uint64_t bus_state_reads() = 0;
  // What the engine opens for a track's "streamURL".
  virtual std::string bus_uri(const std::string &url) = 0;
  virtual const char *bus_status() = 0;  // "Playing", "Paused" or "Stopped"
  virtual double bus_position() = 0;     // seconds, from the engine
  virtual double bus_volume() = 0;
  virtual void bus_set_volume(double volume) = 0;
  virtual void bus_quit() = 0;
};

// The first queue index of the track list's window: the one before (`first`) while
// the current entry stays clear of its edges, else the current entry centred.
int64_t window_first(int64_t first, int64_t count, int64_t current);

class mpris {
 public:
  mpris() = default;
  mpris(const mpris &) = delete;
  mpris &operator=(const mpris &) = delete;
  ~mpris();

  // Joins the session bus as org.mpris.MediaPlayer2.pbq, or with an instance
  // suffix when that name is taken. The bus name, or empty with the reason in
  // `error` (no session bus, say): the player then plays without it.
  std::string start(bus_host *host, std::string *error);

  // After anything that may have changed what the bus shows: takes a new state
  // document's members, sends PropertiesChanged for what differs from the last
  // time, and TrackListReplaced when the window of the track list changed.
  void refresh();
  // After a seek, or a start elsewhere than the beginning of a track.
  void seeked(double seconds);

 private:
  static void on_method(GDBusConnection *, const gchar *, const gchar *, const gchar *interface, const gchar *method,
                        GVariant *args, GDBusMethodInvocation *invocation, gpointer self);
  static GVariant *on_get(GDBusConnection *, const gchar *, const gchar *, const gchar *interface,
                          const gchar *property, GError **error, gpointer self);
  static gboolean on_set(GDBusConnection *, const gchar *, const gchar *, const gchar *interface,
                         const gchar *property, GVariant *value, GError **error, gpointer self);
  GVariant *property(const std::string &interface, const std::string &name);
  void call(const std::string &interface, const std::string &method, GVariant *args);
  void add_track(const char *uri, const char *after, bool play_it);
  void emit(const char *interface, GVariantBuilder *changed);
  // Takes what the bus shows from a new document; true when the window changed.
  bool take(cli::state_text &doc);
  std::string track_id(int64_t index) const;
  // The queue index of a track id of the current window, if it is one.
  std::optional<int64_t> index_of(const char *id) const;
  GVariant *window_metadata(int64_t index) const;

  bus_host *host_ = nullptr;
  GDBusConnection *bus_ = nullptr;
  GDBusNodeInfo *node_ = nullptr;
  guint objects_[3] = {0, 0, 0};
  std::string name_;
  // What the last PropertiesChanged said, as printed variants.
  std::string last_player_[8];

  // What the bus shows, from the document counted `reads_`.
  uint64_t reads_ = 0;
  bool taken_ = false;
  cli::queue_head head_;
  GVariant *metadata_ = nullptr;  // the current track's
  // The window: its first queue index, its entries' texts one after the other and
  // where each ends. Track ids carry the generation, new whenever the window
  // changes, so an id stays the same entry while the window does not change.
  int64_t first_ = 0;
  std::string entries_;
  std::vector<size_t> ends_;
  uint64_t generation_ = 0;
  GVariant *ids_ = nullptr;
};

}  // namespace player
