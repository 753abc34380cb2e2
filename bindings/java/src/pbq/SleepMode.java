package pbq;

/** Sleep modes: off, a timer on the host's clock, or stop at the end of the current track. */
public enum SleepMode {
  OFF(0),
  TIMER(1),
  END_OF_TRACK(2);

  /** The value of pbq.h's PBQ_SLEEP_ constant. */
  public final int code;

  SleepMode(int code) {
    this.code = code;
  }

  static SleepMode of(int code) {
    for (SleepMode m : values()) if (m.code == code) return m;
    throw new IllegalStateException("pbq: unknown sleep mode " + code);
  }
}
