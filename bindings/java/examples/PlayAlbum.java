import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.OptionalDouble;
import java.util.OptionalLong;
import pbq.Action;
import pbq.PbqException;
import pbq.Queue;
import pbq.QueueView;
import pbq.RepeatMode;
import pbq.SleepMode;
import pbq.Track;

/**
 * Plays examples/album.json as the pbq command-line host's session does: buttons, the
 * end of tracks, up next, repeat, shuffle, rate, the sleep timer, errors, and a relaunch
 * from the resume document.
 *
 *   java -cp pbq.jar:pbq-example.jar PlayAlbum examples/album.json
 *
 * It reads the state with the light read, Queue.view(): the members but the queue at
 * once, and only the entries it shows.
 */
public final class PlayAlbum {
  private static final long MINUTE = 60_000;  // the simulated clock counts milliseconds

  private static String nowPlaying(Queue q) {
    QueueView view = q.view();
    return view.currentTrack().map(t -> "#" + view.currentIndex() + " " + t.title() + " - " + t.artist()).orElse("nothing");
  }

  private static void act(Queue q, String what, Action action) {
    String verb = switch (action) {
      case PLAY -> "play";
      case NONE -> "stop at";
      case RESTART -> "replay";
      case SLEEP -> "sleep after";
    };
    System.out.printf("%-14s -> %s %s%n", what, verb, nowPlaying(q));
  }

  public static void main(String[] args) throws Exception {
    String album = Files.readString(Path.of(args.length > 0 ? args[0] : "examples/album.json"), StandardCharsets.UTF_8);
    String resume;
    try (Queue q = new Queue()) {
      q.setTracks(album, 0);
      System.out.println("loaded, playing " + nowPlaying(q));
      act(q, "next", q.next());
      act(q, "track ended", q.trackEnded());
      act(q, "previous 1.5s", q.previous(1.5));
      act(q, "previous 42s", q.previous(42));

      q.playNext("{\"streamURL\": \"https://media.example/guests/rain-on-tin.m4a\", \"title\": \"Rain on Tin\", "
          + "\"artist\": \"Ilse Varga\", \"duration\": 154}");
      q.addToQueue("{\"streamURL\": \"https://media.example/guests/night-bus.m4a\", \"title\": \"Night Bus\", "
          + "\"artist\": \"Ilse Varga\", \"duration\": 208}");
      q.moveUpNext(0, 2);
      q.removeUpNext(1);
      QueueView view = q.view();
      // The entries on screen only: here the first ten of up next.
      System.out.println("up next: " + view.entries(view.currentIndex() + 1, 10).stream().map(Track::title)
          .collect(java.util.stream.Collectors.joining(", ")));

      q.jump((int) view.queueCount() - 1);
      act(q, "track ended", q.trackEnded());
      q.setRepeat(RepeatMode.ALL);
      act(q, "next (all)", q.next());
      q.setRepeat(RepeatMode.ONE);
      act(q, "ended (one)", q.trackEnded());

      q.setShuffle(true, 2024);
      q.setShuffle(false);
      System.out.printf("rate %.2fx%n", q.setRate(1.25f));

      long clock = 0;
      q.setSleepTimer(SleepMode.TIMER, 30 * MINUTE, clock);
      for (int step : new int[] {20, 10}) {
        clock += step * MINUTE;
        OptionalLong left = q.checkSleepTimer(clock);
        long l = left.orElse(0);
        System.out.println("after " + step + " min: " + (l > 0 ? l / MINUTE + " min left" : "sleep now"));
      }
      q.setSleepTimer(SleepMode.END_OF_TRACK, 0, 0);
      act(q, "track ended", q.trackEnded());

      for (Runnable attempt : new Runnable[] {
             () -> q.jump(99), () -> q.addToQueue("{\"title\": \"no address\"}"), () -> q.addToQueue("[1,")}) {
        try {
          attempt.run();
        } catch (PbqException e) {
          System.out.println("error: " + e.getMessage());
        }
      }

      q.jump(3);
      resume = q.exportResume(83.5);
      System.out.println("saved: " + resume);
    }

    try (Queue relaunched = new Queue()) {
      OptionalDouble position = relaunched.restoreResume(resume, album);
      if (position.isPresent()) {
        System.out.println("resumed " + nowPlaying(relaunched) + " at " + position.getAsDouble() + " s");
      } else {
        relaunched.setTracks(album);
        System.out.println("nothing to resume");
      }
    }
  }
}
