// A C++ host built against an installed pbq, through pbq.hpp.
#include <pbq.hpp>

#include <cstdio>

int main() {
  pbq::queue q;
  bool ok = q.set_tracks(R"([{"streamURL":"1.m4a"},{"streamURL":"2.m4a"}])").ok() &&
            q.track_ended() == pbq::action::play && q.track_ended() == pbq::action::none &&
            q.jump(5).error() == "jump index out of range" && pbq::version() == PBQ_VERSION_STRING;
  std::puts(ok ? "consumer ok" : "consumer FAILED");
  return ok ? 0 : 1;
}
