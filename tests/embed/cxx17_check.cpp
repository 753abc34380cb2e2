// The wrapper promises C++17: this file is built in that mode with strict warnings.
#include "pbq.hpp"

int pbq_cxx17_check();
int pbq_cxx17_check() {
  pbq::queue q;
  return q.next() == pbq::action::none && q.set_tracks(std::string_view("[]")).ok() ? 0 : 1;
}
