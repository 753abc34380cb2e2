package pbq;

import java.lang.ref.Cleaner;
import java.util.OptionalDouble;
import java.util.OptionalLong;

/**
 * One player's queue over libpbq: the loaded tracks, the play order, the current
 * entry, up next, repeat, shuffle, rate and the sleep timer.
 *
 * <pre>
 * try (Queue q = new Queue()) {
 *   q.setTracks(albumJson, tappedIndex);
 *   if (q.trackEnded() == Action.PLAY) play(q.view().currentTrack().orElseThrow());
 * }
 * </pre>
 *
 * Calls whose C function writes an error text throw {@link PbqException} with that
 * text; calls the library refuses without a text return false. Every call after
 * {@link #close} throws PbqException("queue is closed"). Documents are returned as
 * strings; the C texts are freed inside. A queue is used by one thread at a time (the
 * host serialises calls on it, e.g. on its main thread); a queue never closed is freed
 * once it is unreachable.
 */
public final class Queue implements AutoCloseable {
  private static final Cleaner CLEANER = Cleaner.create();

  static {
    Native.ensureLoaded();
  }

  /** Holds the handle apart from the Queue so that the cleaner can free it. */
  private static final class Handle implements Runnable {
    long q;

    Handle(long q) {
      this.q = q;
    }

    @Override
    public void run() {
      long h = q;
      q = 0;
      if (h != 0) Native.destroy(h);
    }
  }

  private final Handle handle;
  private final Cleaner.Cleanable cleanable;
  private QueueView view;

  /** A new, empty queue: no tracks, repeat off, shuffle off, rate 1.0, sleep off. */
  public Queue() {
    long q = Native.create();
    if (q == 0) throw new PbqException("out of memory");
    handle = new Handle(q);
    cleanable = CLEANER.register(this, handle);
  }

  /** The library's version, e.g. "1.0.0". */
  public static String libraryVersion() {
    return Native.string(Native.version());
  }

  public static int abiVersion() {
    return Native.abiVersion();
  }

  /** The library's self-test: 0 when it passed, else the first failing step. */
  public static int selftest() {
    return Native.selftest();
  }

  /** Frees the handle; closing again does nothing. */
  @Override
  public void close() {
    retireView();
    cleanable.clean();
  }

  public boolean isClosed() {
    return handle.q == 0;
  }

  private long h() {
    long q = handle.q;
    if (q == 0) throw new PbqException("queue is closed");
    return q;
  }

  private static PbqException lastError() {
    return new PbqException(Native.string(Native.lastError()));
  }

  // ---- Loading -------------------------------------------------------------------

  /**
   * Replaces everything with the tracks of a JSON array, starting at startIndex
   * (clamped). With shuffle on the chosen track comes first and seed (read as an
   * unsigned 64-bit number) fixes the order of the rest.
   *
   * @throws PbqException "invalid tracks json", "tracks json must be array"
   */
  public void setTracks(String tracksJson, int startIndex, long seed) {
    if (nSetTracks(h(), Native.text(tracksJson), startIndex, seed) != 0) throw lastError();
  }

  public void setTracks(String tracksJson, int startIndex) {
    setTracks(tracksJson, startIndex, 0);
  }

  public void setTracks(String tracksJson) {
    setTracks(tracksJson, 0, 0);
  }

  // ---- Navigation and repeat -----------------------------------------------------

  /** The next button: PLAY (moved, wrapping under repeat all) or NONE. */
  public Action next() {
    return Action.of(nNext(h()));
  }

  /**
   * The previous button with the seconds played: RESTART above 3 s or at the first
   * entry, PLAY when it moved back, NONE with no current entry.
   */
  public Action previous(double position) {
    return Action.of(nPrevious(h(), position));
  }

  /** The audio finished the current entry: PLAY, NONE (stop), RESTART (repeat one) or SLEEP. */
  public Action trackEnded() {
    return Action.of(nTrackEnded(h()));
  }

  /** @throws PbqException "jump index out of range" */
  public void jump(int index) {
    if (nJump(h(), index) != 0) throw lastError();
  }

  public RepeatMode setRepeat(RepeatMode mode) {
    return RepeatMode.of(nSetRepeat(h(), mode.code));
  }

  /** off, all, one, off: returns the new mode. */
  public RepeatMode cycleRepeat() {
    return RepeatMode.of(nCycleRepeat(h()));
  }

  // ---- Up next -------------------------------------------------------------------

  /**
   * Puts one track (a JSON object with at least "streamURL") right after the current entry.
   *
   * @throws PbqException "invalid track json", "missing streamURL"
   */
  public Added playNext(String trackJson) {
    return added(nPlayNext(h(), Native.text(trackJson)));
  }

  /** As {@link #playNext}, at the end of the queue. */
  public Added addToQueue(String trackJson) {
    return added(nAddToQueue(h(), Native.text(trackJson)));
  }

  /** Removes up-next entry offset; false when there is none. */
  public boolean removeUpNext(int offset) {
    return nRemoveUpNext(h(), offset) == 0;
  }

  /** Moves up-next entry from to up-next index to; false when either is out of range. */
  public boolean moveUpNext(int from, int to) {
    return nMoveUpNext(h(), from, to) == 0;
  }

  public void clearUpNext() {
    nClearUpNext(h());
  }

  // ---- Shuffle, rate, sleep ------------------------------------------------------

  /**
   * On: the current entry first, the rest in the order seed (unsigned 64 bits) fixes.
   * Off: the source order again with the playing track current.
   */
  public void setShuffle(boolean enabled, long seed) {
    if (nSetShuffle(h(), enabled, seed) != 0) throw lastError();
  }

  public void setShuffle(boolean enabled) {
    setShuffle(enabled, 0);
  }

  /** Sets the rate, clamped to [0.5, 2.0] (NaN and infinities give 0.5); returns the rate in force. */
  public float setRate(float rate) {
    return nSetRate(h(), rate);
  }

  /**
   * OFF; TIMER running out at now + duration on the host's clock (duration above 0);
   * END_OF_TRACK. Returns false when refused.
   */
  public boolean setSleepTimer(SleepMode mode, long duration, long now) {
    return nSetSleepTimer(h(), mode.code, duration, now) == 0;
  }

  /** The time left; 0 once when the timer has run out (it is then off); empty when no timer is armed. */
  public OptionalLong checkSleepTimer(long now) {
    long left = nCheckSleepTimer(h(), now);
    return left < 0 ? OptionalLong.empty() : OptionalLong.of(left);
  }

  // ---- Documents -----------------------------------------------------------------

  /** The state document (compact JSON): "currentIndex", "queue", "currentTrack", ... */
  public String stateJson() {
    return document(nStateJson(h()));
  }

  /**
   * The light read: the state's members but "queue" at once, its entries on demand (see
   * {@link QueueView}). The view this queue gave before is retired.
   */
  public QueueView view() {
    long q = h();
    // The document before goes first, so that the new one can take its memory.
    retireView();
    long doc = Native.viewOpen(q);
    if (doc == 0) throw new PbqException("out of memory");
    view = new QueueView(doc);
    return view;
  }

  private void retireView() {
    if (view != null) view.retire();
    view = null;
  }

  /** The resume document to store when the app goes to the background. */
  public String exportResume(double position) {
    return document(nExportResume(h(), position));
  }

  /**
   * Restores a stored resume document with the same tracks loaded before. Returns the
   * position to seek to when the saved track is current again; empty when there was
   * nothing to resume (then load the tracks afresh).
   *
   * @throws PbqException "resume refused" when the texts are unusable (the library gives no reason)
   */
  public OptionalDouble restoreResume(String resumeJson, String tracksJson) {
    double[] position = new double[1];
    int r = nRestoreResume(h(), Native.text(resumeJson), Native.text(tracksJson), position);
    if (r < 0) throw new PbqException("resume refused");
    return r == 0 ? OptionalDouble.of(position[0]) : OptionalDouble.empty();
  }

  private static String document(byte[] utf8) {
    if (utf8 == null) throw new PbqException("out of memory");
    return Native.string(utf8);
  }

  private static Added added(int r) {
    if (r < 0) throw lastError();
    return Added.of(r);
  }

  // The calls on a handle are instance methods: the receiver is then a live reference
  // for the whole call, so the cleaner cannot free the handle under a running call.
  // Documents come back as UTF-8 (null when memory ran out), freed inside.
  private native int nSetTracks(long q, byte[] tracks, int startIndex, long seed);
  private native int nNext(long q);
  private native int nTrackEnded(long q);
  private native int nPrevious(long q, double position);
  private native int nJump(long q, int index);
  private native int nSetRepeat(long q, int mode);
  private native int nCycleRepeat(long q);
  private native int nPlayNext(long q, byte[] track);
  private native int nAddToQueue(long q, byte[] track);
  private native int nRemoveUpNext(long q, int offset);
  private native int nMoveUpNext(long q, int from, int to);
  private native int nClearUpNext(long q);
  private native int nSetShuffle(long q, boolean enabled, long seed);
  private native float nSetRate(long q, float rate);
  private native int nSetSleepTimer(long q, int mode, long duration, long now);
  private native long nCheckSleepTimer(long q, long now);
  private native byte[] nStateJson(long q);
  private native byte[] nExportResume(long q, double position);
  private native int nRestoreResume(long q, byte[] resume, byte[] tracks, double[] position);
}
