package pbq;

/** Repeat modes: off, all (wrap around), one (replay the track when it ends). */
public enum RepeatMode {
  OFF(0),
  ALL(1),
  ONE(2);

  /** The value of pbq.h's PBQ_REPEAT_ constant. */
  public final int code;

  RepeatMode(int code) {
    this.code = code;
  }

  static RepeatMode of(int code) {
    for (RepeatMode m : values()) if (m.code == code) return m;
    throw new IllegalStateException("pbq: unknown repeat mode " + code);
  }
}
