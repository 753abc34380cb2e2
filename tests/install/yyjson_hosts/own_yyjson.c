/* A host with a yyjson function of its own, by the same name as yyjson's reader, linked
 * together with pbq. pbq must keep using its own copy inside (the tracks load and the state
 * document is made), and the host's calls must reach the host's function, never pbq's.
 * Prints "host ok". */
#include <pbq.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

static int host_reader_calls;

/* Same name and shape as yyjson's; answers "no document" and counts its calls. */
void *yyjson_read_opts(char *dat, size_t len, unsigned flg, const void *alc, void *err) {
  (void)dat; (void)len; (void)flg; (void)alc; (void)err;
  host_reader_calls++;
  return NULL;
}

int main(void) {
  pbq_queue *q = pbq_create();
  int loaded = q != NULL && pbq_set_tracks_json(q, "[{\"streamURL\":\"1.m4a\",\"title\":\"One\"},"
                                                   "{\"streamURL\":\"2.m4a\",\"title\":\"Two\"}]", 1, 0) == PBQ_OK;
  char *state = loaded ? pbq_state_json(q) : NULL;
  int documented = state != NULL && strstr(state, "\"title\":\"Two\"") != NULL;
  pbq_free(state);
  pbq_destroy(q);
  int pbq_never_called_host = host_reader_calls == 0;
  int host_reaches_own = yyjson_read_opts(NULL, 0, 0, NULL, NULL) == NULL && host_reader_calls == 1;
  int ok = loaded && documented && pbq_never_called_host && host_reaches_own;
  if (!ok) {
    printf("loaded %d, documented %d, pbq never called the host's reader %d, host reaches its own %d\n",
           loaded, documented, pbq_never_called_host, host_reaches_own);
  }
  puts(ok ? "host ok" : "host FAILED");
  return ok ? 0 : 1;
}
