// The same host in C++, through pbq.hpp, with no language standard set by the host's
// project: pbq's target asks for C++17. Prints "host ok".
#include <pbq.hpp>

#include <cstdio>

int main() {
  pbq::queue q;
  bool ok = q.set_tracks(R"([{"streamURL":"1.m4a"},{"streamURL":"2.m4a"}])", 1).ok() &&
            q.track_ended() == pbq::action::none && pbq::version() == PBQ_VERSION_STRING;
  std::puts(ok ? "host ok" : "host FAILED");
  return ok ? 0 : 1;
}
