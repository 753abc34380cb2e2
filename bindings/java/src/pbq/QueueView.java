package pbq;

import java.lang.ref.Cleaner;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Optional;

/**
 * The light read of the state document ({@link Queue#view}): every member but "queue",
 * read at once, and the queue's entries on demand with {@link #entry} and {@link
 * #entries}. The document stays in native memory and no entry is decoded until asked
 * for. A view reads the state of the moment it was taken; its queue's next view() or
 * close() retires it, and its entry() and entries() then throw IllegalStateException.
 * Used on its queue's thread.
 */
public final class QueueView {
  private static final Cleaner CLEANER = Cleaner.create();

  /** Holds the native document apart from the view so that the cleaner can free it. */
  private static final class Document implements Runnable {
    long doc;

    Document(long doc) {
      this.doc = doc;
    }

    @Override
    public void run() {
      long d = doc;
      doc = 0;
      if (d != 0) Native.viewClose(d);
    }
  }

  private final Document document;
  private final Cleaner.Cleanable cleanable;
  private final int currentIndex;
  private final long queueCount;
  private final long upNextCount;
  private final RepeatMode repeatMode;
  private final boolean shuffled;
  private final double playbackRate;
  private final SleepMode sleepMode;
  private final boolean hasNext;
  private final boolean hasPrevious;
  private final Track currentTrack;

  QueueView(long doc) {
    document = new Document(doc);
    cleanable = CLEANER.register(this, document);
    @SuppressWarnings("unchecked")
    Map<String, Object> members = (Map<String, Object>) JsonText.read(Native.string(Native.viewPrefix(doc)) + "}");
    currentIndex = (int) number(members, "currentIndex");
    queueCount = number(members, "queueCount");
    upNextCount = number(members, "upNextCount");
    repeatMode = RepeatMode.of((int) number(members, "repeatMode"));
    shuffled = Boolean.TRUE.equals(members.get("isShuffled"));
    playbackRate = ((Number) members.get("playbackRate")).doubleValue();
    sleepMode = SleepMode.of((int) number(members, "sleepMode"));
    hasNext = Boolean.TRUE.equals(members.get("hasNext"));
    hasPrevious = Boolean.TRUE.equals(members.get("hasPrevious"));
    currentTrack = track(members.get("currentTrack"));
  }

  private static long number(Map<String, Object> members, String key) {
    return ((Number) members.get(key)).longValue();
  }

  private static Track track(Object value) {
    if (!(value instanceof Map)) return null;
    Map<?, ?> m = (Map<?, ?>) value;
    return new Track((String) m.get("streamURL"), (String) m.get("title"), (String) m.get("artist"),
        (String) m.get("artworkURL"), ((Number) m.get("duration")).doubleValue());
  }

  /** Frees the document now; the scalars stay readable. */
  void retire() {
    cleanable.clean();
  }

  /** "currentIndex": -1 when there is no current entry. */
  public int currentIndex() {
    return currentIndex;
  }

  public long queueCount() {
    return queueCount;
  }

  public long upNextCount() {
    return upNextCount;
  }

  public RepeatMode repeatMode() {
    return repeatMode;
  }

  public boolean isShuffled() {
    return shuffled;
  }

  /** The rate in force, a 32-bit float widened (1.1 reads as 1.100000023841858). */
  public double playbackRate() {
    return playbackRate;
  }

  public SleepMode sleepMode() {
    return sleepMode;
  }

  public boolean hasNext() {
    return hasNext;
  }

  public boolean hasPrevious() {
    return hasPrevious;
  }

  /** "currentTrack": empty when there is no current entry. */
  public Optional<Track> currentTrack() {
    return Optional.ofNullable(currentTrack);
  }

  /** Queue entry index, as "queue" holds it; empty when there is no such entry. */
  public Optional<Track> entry(long index) {
    long doc = doc();
    if (index < 0 || index >= queueCount) return Optional.empty();
    List<Track> found = read(doc, index, 1);
    return found.isEmpty() ? Optional.empty() : Optional.of(found.get(0));
  }

  /**
   * The entries from start, at most count of them (fewer at the end of the queue, none
   * from its end on).
   *
   * @throws IllegalArgumentException when start or count is negative
   */
  public List<Track> entries(long start, int count) {
    long doc = doc();
    if (start < 0 || count < 0) throw new IllegalArgumentException("pbq: start and count must not be negative");
    long end = Math.min(start + count, queueCount);
    return start < end ? read(doc, start, end - start) : List.of();
  }

  private long doc() {
    long d = document.doc;
    if (d == 0) throw new IllegalStateException("pbq: this view is stale: the queue has given a newer one or was closed");
    return d;
  }

  private static List<Track> read(long doc, long start, long count) {
    byte[] utf8 = Native.viewEntries(doc, start, count);
    if (utf8 == null) return List.of();
    List<?> elements = (List<?>) JsonText.read("[" + new String(utf8, StandardCharsets.UTF_8) + "]");
    List<Track> out = new ArrayList<>(elements.size());
    for (Object e : elements) out.add(track(e));
    return out;
  }
}
