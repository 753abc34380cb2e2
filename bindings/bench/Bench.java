import pbq.Queue;
import pbq.RepeatMode;

/**
 * The Java binding's side of the bindings' benchmark: nanoseconds per call of next()
 * and stateJson() on 1,000 tracks, the best of five rounds, as bench_c.c measures
 * the C calls.
 */
public final class Bench {
  interface Call {
    Object run();
  }

  static String tracksJson(int n) {
    StringBuilder s = new StringBuilder("[");
    for (int i = 0; i < n; i++) {
      if (i > 0) s.append(',');
      s.append(String.format("{\"streamURL\":\"https://media.example/artist/album/%04d.m4a\","
          + "\"title\":\"Track %d of the album\",\"artist\":\"Some Artist\","
          + "\"artworkURL\":\"https://media.example/artist/album/cover.jpg\",\"duration\":215.5}", i, i));
    }
    return s.append(']').toString();
  }

  static double best(Call call, int n) {
    double min = Double.MAX_VALUE;
    Object sink = null;
    for (int round = 0; round < 5; round++) {
      long t0 = System.nanoTime();
      for (int i = 0; i < n; i++) sink = call.run();
      min = Math.min(min, (double) (System.nanoTime() - t0) / n);
    }
    if (sink == null) throw new IllegalStateException();
    return min;
  }

  public static void main(String[] args) {
    try (Queue q = new Queue()) {
      q.setTracks(tracksJson(1000));
      q.setRepeat(RepeatMode.ALL);
      System.out.printf("next %.1f%n", best(q::next, 2_000_000));
      System.out.printf("state_json %.1f%n", best(q::stateJson, 2000));
    }
  }
}
