// The line is taken down with a carriage return and an erase to the end of line.
#include "status_line.h"

namespace player {

namespace {

constexpr char k_erase[] = "\r\x1b[K";

}  // namespace

void status_line::show(const std::string &text) {
  terminal_->sputn(k_erase, sizeof k_erase - 1);
  terminal_->sputn(text.data(), static_cast<std::streamsize>(text.size()));
  terminal_->pubsync();
  shown_ = true;
}

void status_line::take_down() {
  if (!shown_) return;
  shown_ = false;
  terminal_->sputn(k_erase, sizeof k_erase - 1);
  terminal_->pubsync();
}

int status_line::overflow(int c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  take_down();
  return terminal_->sputc(traits_type::to_char_type(c));
}

std::streamsize status_line::xsputn(const char *text, std::streamsize n) {
  take_down();
  return terminal_->sputn(text, n);
}

}  // namespace player
