/* A host that builds pbq inside its own project. Prints "host ok" when the library
 * answers as its header says. */
#include <pbq.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  pbq_queue *q = pbq_create();
  int ok = q != NULL && strcmp(pbq_version(), PBQ_VERSION_STRING) == 0 && pbq_selftest() == PBQ_SELFTEST_PASSED &&
           pbq_set_tracks_json(q, "[{\"streamURL\":\"1.m4a\"},{\"streamURL\":\"2.m4a\"}]", 1, 0) == PBQ_OK &&
           pbq_on_track_ended(q) == PBQ_ACTION_NONE;
  pbq_destroy(q);
  puts(ok ? "host ok" : "host FAILED");
  return ok ? 0 : 1;
}
