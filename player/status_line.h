// A line at the foot of a terminal that tells how far the reading of the sources
// has got, written over in place. Everything else written through it first takes
// the line down, so it never mixes with what the player says: one line, never a
// flood of them.
#pragma once

#include <streambuf>
#include <string>

namespace player {

class status_line final : public std::streambuf {
 public:
  explicit status_line(std::streambuf *terminal) : terminal_(terminal) {}

  void show(const std::string &text);  // replaces what the line says
  void take_down();

 protected:
  int overflow(int c) override;
  std::streamsize xsputn(const char *text, std::streamsize n) override;
  int sync() override { return terminal_->pubsync(); }

 private:
  std::streambuf *terminal_;
  bool shown_ = false;
};

}  // namespace player
