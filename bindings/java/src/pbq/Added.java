package pbq;

/** What {@link Queue#playNext} and {@link Queue#addToQueue} did. */
public enum Added {
  /** Put into up next; the current entry plays on. */
  QUEUED(0),
  /** The queue had no current entry: current is now 0. */
  STARTED(1);

  /** The value of pbq.h's PBQ_ADDED_ constant. */
  public final int code;

  Added(int code) {
    this.code = code;
  }

  static Added of(int code) {
    return code == 0 ? QUEUED : STARTED;
  }
}
