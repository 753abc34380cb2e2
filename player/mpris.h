// pbq-play on the session bus: the MPRIS interfaces (the root, Player and
// TrackList) through GDBus, so that media keys, the desktop's media controls and
// playerctl reach it. Every call becomes a command line that runs as if typed.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <optional>
#include <string>

#include "view.h"

namespace player {

// What the bus sees of the player.
struct bus_view {
  const char *status = "Stopped";  // "Playing", "Paused" or "Stopped"
  std::optional<cli::queue_state> state;
  std::string uri;  // what plays now, as the engine opens it
  double position = 0.0;  // seconds
  double volume = 1.0;
};

// The player, as the bus drives it.
class bus_host {
 public:
  virtual ~bus_host() = default;
  // Runs `line` as if typed; its answer is narrated as a typed one.
  virtual void bus_command(const std::string &line) = 0;
  virtual bus_view bus_look() = 0;
  virtual void bus_set_volume(double volume) = 0;
  virtual void bus_quit() = 0;
};

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

  // After anything that may have changed what the bus shows: PropertiesChanged
  // for what differs from the last time, TrackListReplaced when the queue changed.
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
  GVariant *property(const std::string &interface, const std::string &name, const bus_view &view);
  void call(const std::string &interface, const std::string &method, GVariant *args);
  void emit(const char *interface, GVariantBuilder *changed);

  bus_host *host_ = nullptr;
  GDBusConnection *bus_ = nullptr;
  GDBusNodeInfo *node_ = nullptr;
  guint objects_[3] = {0, 0, 0};
  std::string name_;
  // What the last PropertiesChanged said, as printed variants.
  std::string last_player_[8];
  std::string last_tracks_;
};

}  // namespace player
