/* A C host built against an installed pbq: loads an album, moves on, saves and
 * restores the resume document. Prints "consumer ok" when every answer is right. */
#include <pbq.h>
#include <stdio.h>
#include <string.h>

static const char *k_album =
    "[{\"streamURL\":\"1.m4a\",\"title\":\"One\"},{\"streamURL\":\"2.m4a\",\"title\":\"Two\"}]";

int main(void) {
  int ok = pbq_abi_version() == PBQ_ABI_VERSION && strcmp(pbq_version(), PBQ_VERSION_STRING) == 0 &&
           pbq_selftest() == PBQ_SELFTEST_PASSED;
  pbq_queue *q = pbq_create();
  ok = ok && q != NULL && pbq_set_tracks_json(q, k_album, 0, 0) == PBQ_OK && pbq_next(q) == PBQ_ACTION_PLAY;
  char *resume = pbq_export_resume_json(q, 12.5);
  pbq_queue *again = pbq_create();
  double position = 0.0;
  ok = ok && resume != NULL && pbq_restore_resume_json(again, resume, k_album, &position) == PBQ_RESTORE_RESUMED &&
            position == 12.5;
  char *state = pbq_state_json(again);
  ok = ok && state != NULL && strstr(state, "\"currentIndex\":1,") != NULL;
  pbq_free(state);
  pbq_free(resume);
  pbq_destroy(again);
  pbq_destroy(q);
  puts(ok ? "consumer ok" : "consumer FAILED");
  return ok ? 0 : 1;
}
