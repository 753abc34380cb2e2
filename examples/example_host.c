/* A tiny host: opens an album, plays through it and shows what the library answers. */
#include <stdio.h>

#include "pbq.h"

static const char *k_album =
    "[{\"streamURL\":\"https://media.example/a/1.m4a\",\"title\":\"Intro\",\"artist\":\"Nadia\",\"duration\":71},"
    "{\"streamURL\":\"https://media.example/a/2.m4a\",\"title\":\"Harbour\",\"artist\":\"Nadia\",\"duration\":215.5},"
    "{\"streamURL\":\"https://media.example/a/3.m4a\",\"title\":\"Lanterns\",\"artist\":\"Nadia\",\"duration\":189}]";

/* What the host does after a navigation call. */
static const char *action_name(int32_t action) {
  switch (action) {
    case PBQ_ACTION_PLAY: return "play the new current entry";
    case PBQ_ACTION_NONE: return "stop";
    case PBQ_ACTION_RESTART: return "play the current entry again";
    case PBQ_ACTION_SLEEP: return "stop and sleep";
    default: return "?";
  }
}

static void show_state(const pbq_queue *q) {
  char *state = pbq_state_json(q);
  printf("  state: %s\n", state != NULL ? state : "(out of memory)");
  pbq_free(state);
}

int main(void) {
  printf("pbq %s (ABI %d), self-test passed: %d\n", pbq_version(), (int)pbq_abi_version(),
         pbq_selftest() == PBQ_SELFTEST_PASSED);
  pbq_queue *q = pbq_create();
  if (q == NULL) {
    fprintf(stderr, "pbq_create: %s\n", pbq_last_error());
    return 1;
  }
  printf("load album at track 2: %d\n", pbq_set_tracks_json(q, k_album, 1, 0) == PBQ_OK);
  show_state(q);
  printf("track ended: %s\n", action_name(pbq_on_track_ended(q)));
  printf("track ended: %s (the end of the queue)\n", action_name(pbq_on_track_ended(q)));
  printf("repeat all: %d\n", pbq_cycle_repeat(q) == PBQ_REPEAT_ALL);
  printf("next: %s (wraps under repeat all)\n", action_name(pbq_next(q)));
  printf("play next queued: %d\n", PBQ_ADDED_QUEUED == pbq_play_next_json(q, "{\"streamURL\":\"https://media.example/b/9.m4a\",\"title\":\"Guest\"}"));
  printf("shuffle on: %d\n", pbq_set_shuffle(q, 1, 2024) == PBQ_OK);
  printf("rate: %.2f\n", (double)pbq_set_rate(q, 1.25f));
  show_state(q);
  char *resume = pbq_export_resume_json(q, 42.5);
  printf("resume document: %s\n", resume != NULL ? resume : "(out of memory)");
  pbq_queue *restored = pbq_create();
  double position = 0.0;
  if (restored != NULL && resume != NULL) {
    int32_t r = pbq_restore_resume_json(restored, resume, k_album, &position);
    printf("restored: %s at %.1f s\n", r == PBQ_RESTORE_RESUMED ? "resumed" : "nothing to resume", position);
    show_state(restored);
  }
  pbq_free(resume);
  printf("bad json refused: %d (%s)\n", pbq_set_tracks_json(q, "[1,", 0, 0) == PBQ_REFUSED, pbq_last_error());
  pbq_destroy(restored);
  pbq_destroy(q);
  return 0;
}
