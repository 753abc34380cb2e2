// The resume file: its place under the user's state folder and its atomic writing.
#include "resume_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace player {

namespace {

// mkdir -p, each new folder private to the user.
bool make_dirs(const std::string &dir, std::string *error) {
  for (size_t at = 1; at <= dir.size(); at++) {
    if (at != dir.size() && dir[at] != '/') continue;
    std::string part = dir.substr(0, at);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = "cannot create " + part + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

uint64_t name_hash(std::string_view text) { return XXH3_64bits(text.data(), text.size()); }

}  // namespace

std::string state_dir() {
  const char *xdg = std::getenv("XDG_STATE_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/pbq/";
  const char *home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/pbq/";
  return std::string();
}

std::string resume_path(const std::string &dir, const std::string &tracks_path) {
  char resolved[PATH_MAX];
  std::string key = realpath(tracks_path.c_str(), resolved) != nullptr ? resolved : tracks_path;
  char name[64];
  std::snprintf(name, sizeof name, "resume-%016llx.json", static_cast<unsigned long long>(name_hash(key)));
  return dir + name;
}

std::string resume_key(const std::vector<std::string> &sources) {
  if (sources.size() == 1) return sources[0];
  std::string key;
  for (const std::string &source : sources) {
    char resolved[PATH_MAX];
    key += realpath(source.c_str(), resolved) != nullptr ? resolved : source.c_str();
    key += "\n";
  }
  return key;
}

bool write_atomically(const std::string &path, std::string_view text, std::string *error) {
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !make_dirs(path.substr(0, slash), error)) return false;
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    *error = "cannot write beside " + path + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == text.size() && fsync(fd) == 0;
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    *error = "cannot write " + path + ": " + std::strerror(saved);
  }
  return ok;
}

}  // namespace player
