// Resolving and checking the address of a track.
#include "media.h"

#include <gst/gst.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace player {

namespace {

// A local file that can be opened for reading, or the reason it cannot.
std::string check_file(const std::string &path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    return errno == ENOENT ? "file not found: " + path : std::string(std::strerror(errno)) + ": " + path;
  }
  if (S_ISDIR(info.st_mode)) return "a folder, not a file: " + path;
  if (access(path.c_str(), R_OK) != 0) return "cannot read " + path + ": " + std::strerror(errno);
  return std::string();
}

}  // namespace

std::string folder_of(const std::string &path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

media locate(const std::string &stream_url, const std::string &base_dir) {
  media m;
  if (gst_uri_is_valid(stream_url.c_str())) {
    // A URI: only file URIs can be checked here; the engine reports the others.
    if (gst_uri_has_protocol(stream_url.c_str(), "file")) {
      gchar *path = g_filename_from_uri(stream_url.c_str(), nullptr, nullptr);
      if (path == nullptr) {
        m.problem = "not a usable file address: " + stream_url;
        return m;
      }
      m.problem = check_file(path);
      g_free(path);
    }
    if (m.problem.empty()) m.uri = stream_url;
    return m;
  }
  std::string path = !stream_url.empty() && stream_url[0] == '/' ? stream_url : base_dir + stream_url;
  m.problem = check_file(path);
  if (!m.problem.empty()) return m;
  gchar *uri = gst_filename_to_uri(path.c_str(), nullptr);
  if (uri == nullptr) {
    m.problem = "not a usable file name: " + path;
    return m;
  }
  m.uri = uri;
  g_free(uri);
  return m;
}

}  // namespace player
