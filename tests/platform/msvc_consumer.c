/* A Windows host built the MSVC way: clang for the MSVC target, linked by lld-link
 * against the pbq.lib that `lib /def:pbq.def /machine:x64` makes from the zip's pbq.def
 * (llvm-lib here). This machine has no MSVC C runtime, so the host has none: its entry
 * point writes through kernel32 only. It takes the address of every function that
 * tests/platform/artifacts.sh lists from pbq.h (PBQ_FUNCTIONS: `every[n++] = ...;` for
 * each), so that each of them
 * must be named by pbq.lib and found in pbq.dll by the loader before it starts; then it
 * calls a few. Prints "consumer ok" and exits 0 when every answer is right. */
#include <pbq.h>

typedef void *handle;
__declspec(dllimport) handle __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(handle file, const void *bytes, unsigned long count,
                                              unsigned long *written, void *overlapped);
__declspec(dllimport) void __stdcall ExitProcess(unsigned int status);

#define PBQ_STD_OUTPUT ((unsigned long)-11)

int _fltused = 0; /* the MSVC runtime's mark that floating point is used */

static void say(const char *text, unsigned long length) {
  unsigned long written = 0;
  WriteFile(GetStdHandle(PBQ_STD_OUTPUT), text, length, &written, 0);
}

void __stdcall start(void) {
  void (*volatile every[64])(void);
  unsigned n = 0;
  PBQ_FUNCTIONS
  int ok = n == 26;
  for (unsigned i = 0; i < n; i++) ok = ok && every[i] != 0;
  pbq_queue *q = pbq_create();
  ok = ok && pbq_abi_version() == PBQ_ABI_VERSION && q != 0 &&
       pbq_set_tracks_json(q, "[{\"streamURL\":\"1.m4a\"},{\"streamURL\":\"2.m4a\"}]", 0, 0) == PBQ_OK &&
       pbq_next(q) == PBQ_ACTION_PLAY && pbq_jump(q, 9) == PBQ_REFUSED && pbq_last_error()[0] != '\0';
  char *state = q != 0 ? pbq_state_json(q) : 0;
  ok = ok && state != 0 && state[0] == '{';
  pbq_free(state);
  pbq_destroy(q);
  if (ok) say("consumer ok\n", 12);
  else say("consumer FAILED\n", 16);
  ExitProcess(ok ? 0 : 1);
}
