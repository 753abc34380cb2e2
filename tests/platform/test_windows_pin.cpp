// pbq.h's unload promise on Windows rests on pbq.dll pinning itself when it makes the
// error texts' thread key. When the pin cannot be had, no key is made: every call
// answers as it would, the error texts read "", and no thread is left to run a
// destructor that a FreeLibrary may have unmapped. GetModuleHandleExW is replaced by
// defining its import slot here, ahead of kernel32's, so the library's call reaches the
// refusing stand-in.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "pbq.h"

namespace {

int g_pin_calls = 0;

BOOL WINAPI refuse_pin(DWORD flags, LPCWSTR, HMODULE *module) {
  if ((flags & GET_MODULE_HANDLE_EX_FLAG_PIN) != 0) g_pin_calls++;
  if (module != nullptr) *module = nullptr;
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

int g_failures = 0;

void check(bool ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s\n", what);
    g_failures++;
  }
}

}  // namespace

extern "C" {
decltype(&GetModuleHandleExW) __imp_GetModuleHandleExW = refuse_pin;
}

int main() {
  check(pbq_jump(nullptr, 0) == PBQ_REFUSED, "a null handle is refused");
  check(g_pin_calls == 1, "the library asked to pin itself once");
  check(strcmp(pbq_last_error(), "") == 0, "no message without the pin");
  pbq_queue *q = pbq_create();
  check(q != nullptr, "create");
  check(pbq_set_tracks_json(q, "{", 0, 0) == PBQ_REFUSED, "bad JSON refused");
  check(strcmp(pbq_last_error(), "") == 0, "still no message");
  check(pbq_set_tracks_json(q, R"([{"streamURL":"u","title":"t"}])", 0, 0) == PBQ_OK, "load");
  check(pbq_next(q) == PBQ_ACTION_NONE, "next at the end");
  pbq_destroy(q);
  check(g_pin_calls == 1, "asked once only");
  if (g_failures == 0) printf("pin refused: no key, every call answers\n");
  return g_failures == 0 ? 0 : 1;
}
