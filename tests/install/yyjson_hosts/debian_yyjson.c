/* A host that uses Debian's libyyjson (libyyjson-dev) and pbq in one program. Its yyjson
 * calls must reach Debian's library (the host reads a document with it and checks where
 * yyjson_read_opts lives), and pbq must work with its own copy inside. Prints "host ok". */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <pbq.h>
#include <stdio.h>
#include <string.h>
#include <yyjson.h>

int main(void) {
  const char *text = "{\"player\":\"host\"}";
  yyjson_doc *doc = yyjson_read(text, strlen(text), 0);
  int host_reads = doc != NULL && strcmp(yyjson_get_str(yyjson_obj_get(yyjson_doc_get_root(doc), "player")), "host") == 0;
  yyjson_doc_free(doc);

  Dl_info where;
  int from_debian = dladdr((void *)&yyjson_read_opts, &where) != 0 && where.dli_fname != NULL &&
                    strstr(where.dli_fname, "libyyjson.so") != NULL;

  pbq_queue *q = pbq_create();
  int loaded = q != NULL && pbq_set_tracks_json(q, "[{\"streamURL\":\"1.m4a\"},{\"streamURL\":\"2.m4a\"}]", 0, 0) == PBQ_OK &&
               pbq_on_track_ended(q) == PBQ_ACTION_PLAY;
  char *resume = loaded ? pbq_export_resume_json(q, 3.5) : NULL;
  int resumed = resume != NULL && strstr(resume, "\"lastTrackURL\":\"2.m4a\"") != NULL;
  pbq_free(resume);
  pbq_destroy(q);

  int ok = host_reads && from_debian && loaded && resumed;
  if (!ok) {
    printf("host reads %d, yyjson_read_opts from %s, pbq loaded %d, resume document %d\n", host_reads,
           from_debian ? "libyyjson" : "elsewhere", loaded, resumed);
  }
  puts(ok ? "host ok" : "host FAILED");
  return ok ? 0 : 1;
}
