// An Objective-C host that imports pbq as a Clang module (include/module.modulemap)
// instead of including its header: the functions and the named codes come through.
@import pbq;

#include <stdio.h>
#include <string.h>

int main(void) {
  pbq_queue *q = pbq_create();
  int ok = q != NULL && strcmp(pbq_version(), PBQ_VERSION_STRING) == 0 &&
           pbq_set_tracks_json(q, "[{\"streamURL\":\"1.m4a\"},{\"streamURL\":\"2.m4a\"}]", 0, 0) == PBQ_OK &&
           pbq_next(q) == PBQ_ACTION_PLAY && pbq_set_repeat(q, PBQ_REPEAT_ONE) == PBQ_REPEAT_ONE;
  pbq_destroy(q);
  puts(ok ? "module ok" : "module FAILED");
  return ok ? 0 : 1;
}
