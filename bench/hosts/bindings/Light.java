import pbq.Queue;
import pbq.QueueView;
import pbq.RepeatMode;

/**
 * The Java binding's reads at each queue length: the light read after a command
 * (next(), then view() and a window of 20 entries around the current one) and
 * stateJson() (the binding has no parsed state()). Prints `java N name: ms` lines,
 * the best of several rounds.
 */
public final class Light {
  interface Read {
    void run();
  }

  static String best(Read read, int rounds) {
    long low = Long.MAX_VALUE;
    for (int r = 0; r < rounds; r++) {
      long t0 = System.nanoTime();
      read.run();
      low = Math.min(low, System.nanoTime() - t0);
    }
    return String.format("%.3f", low / 1e6);
  }

  static String tracksJson(int n) {
    StringBuilder out = new StringBuilder("[");
    for (int i = 0; i < n; i++) {
      if (i > 0) out.append(',');
      out.append(String.format("{\"streamURL\":\"https://media.example/artist/album/%07d.m4a\",", i))
          .append("\"title\":\"Track ").append(i).append(" of the album \\\"Live\\\" \u00e9t\u00e9\",\"artist\":\"Some Artist\",")
          .append("\"artworkURL\":\"https://media.example/artist/album/cover.jpg\",\"duration\":215.5}");
    }
    return out.append(']').toString();
  }

  public static void main(String[] args) {
    for (String arg : args) {
      int n = Integer.parseInt(arg);
      int rounds = n >= 1000000 ? 3 : 10;
      try (Queue q = new Queue()) {
        q.setTracks(tracksJson(n), n / 2);
        q.setRepeat(RepeatMode.ALL);
        // Warm the JIT on the same calls first.
        for (int i = 0; i < (n <= 100000 ? 3 : 1); i++) q.view().entries(0, 20);
        System.out.println("java " + n + " state_json: " + best(q::stateJson, rounds));
        System.out.println("java " + n + " light: " + best(() -> {
          q.next();
          QueueView view = q.view();
          view.entries(Math.max(0, view.currentIndex() - 10), 20);
        }, rounds));
      }
    }
  }
}
