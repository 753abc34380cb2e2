package pbq;

/** What the host does after {@link Queue#next}, {@link Queue#previous} and {@link Queue#trackEnded}. */
public enum Action {
  /** Moved: play the new current entry. */
  PLAY(0),
  /** Did not move; after the end of a track: stop. */
  NONE(1),
  /** Play the current entry again from its start. */
  RESTART(2),
  /** The end-of-track sleep was due: stop. */
  SLEEP(3);

  /** The value of pbq.h's PBQ_ACTION_ constant. */
  public final int code;

  Action(int code) {
    this.code = code;
  }

  static Action of(int code) {
    for (Action a : values()) if (a.code == code) return a;
    throw new IllegalStateException("pbq: unknown navigation answer " + code);
  }
}
