package pbq;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertThrows;
import static org.junit.Assert.assertTrue;

import com.google.gson.JsonArray;
import com.google.gson.JsonElement;
import com.google.gson.JsonObject;
import com.google.gson.JsonParser;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.Collection;
import java.util.List;
import java.util.Optional;
import org.junit.Test;
import org.junit.runner.RunWith;
import org.junit.runners.Parameterized;
import org.junit.runners.Parameterized.Parameters;

/**
 * The light read (Queue.view()) against the whole state document parsed by gson, over the
 * table of states shared by every binding (bindings/light-read.json).
 */
@RunWith(Parameterized.class)
public class ViewTest {
  static final JsonArray CASES = read();

  static JsonArray read() {
    try {
      String text = Files.readString(BehaviourTest.REPO.resolve("bindings/light-read.json"), StandardCharsets.UTF_8);
      return JsonParser.parseString(text).getAsJsonObject().getAsJsonArray("cases");
    } catch (IOException e) {
      throw new IllegalStateException(e);
    }
  }

  @Parameters(name = "{0}")
  public static Collection<Object[]> cases() {
    List<Object[]> out = new ArrayList<>();
    for (JsonElement c : CASES) out.add(new Object[] {c.getAsJsonObject().get("name").getAsString(), c.getAsJsonObject()});
    return out;
  }

  private final JsonObject c;

  public ViewTest(String name, JsonObject c) {
    this.c = c;
  }

  static Queue build(JsonObject c) {
    Queue q = new Queue();
    if (!c.get("tracks").isJsonNull()) q.setTracks(c.get("tracks").toString(), c.has("start") ? c.get("start").getAsInt() : 0);
    for (JsonElement step : c.getAsJsonArray("steps")) {
      JsonArray s = step.getAsJsonArray();
      switch (s.get(0).getAsString()) {
        case "next": q.next(); break;
        case "previous": q.previous(s.get(1).getAsDouble()); break;
        case "jump": q.jump(s.get(1).getAsInt()); break;
        case "setRepeat": q.setRepeat(RepeatMode.of(s.get(1).getAsInt())); break;
        case "setShuffle": q.setShuffle(s.get(1).getAsBoolean(), s.get(2).getAsLong()); break;
        case "playNext": q.playNext(s.get(1).toString()); break;
        case "addToQueue": q.addToQueue(s.get(1).toString()); break;
        case "removeUpNext": q.removeUpNext(s.get(1).getAsInt()); break;
        case "moveUpNext": q.moveUpNext(s.get(1).getAsInt(), s.get(2).getAsInt()); break;
        case "clearUpNext": q.clearUpNext(); break;
        case "setRate": q.setRate(s.get(1).getAsFloat()); break;
        case "setSleepTimer":
          q.setSleepTimer(SleepMode.of(s.get(1).getAsInt()), s.get(2).getAsLong(), s.get(3).getAsLong());
          break;
        default: throw new IllegalArgumentException(s.toString());
      }
    }
    return q;
  }

  static Track track(JsonElement e) {
    JsonObject o = e.getAsJsonObject();
    JsonElement art = o.get("artworkURL");
    return new Track(o.get("streamURL").getAsString(), o.get("title").getAsString(), o.get("artist").getAsString(),
        art.isJsonNull() ? null : art.getAsString(), o.get("duration").getAsDouble());
  }

  static List<Track> tracks(JsonArray queue, long start, long end) {
    List<Track> out = new ArrayList<>();
    for (long i = start; i < Math.min(end, queue.size()); i++) out.add(track(queue.get((int) i)));
    return out;
  }

  @Test
  public void viewEqualsState() {
    try (Queue q = build(c)) {
      JsonObject state = JsonParser.parseString(q.stateJson()).getAsJsonObject();
      JsonArray queue = state.getAsJsonArray("queue");
      QueueView view = q.view();
      assertEquals(state.get("currentIndex").getAsInt(), view.currentIndex());
      assertEquals(state.get("queueCount").getAsLong(), view.queueCount());
      assertEquals(state.get("upNextCount").getAsLong(), view.upNextCount());
      assertEquals(RepeatMode.of(state.get("repeatMode").getAsInt()), view.repeatMode());
      assertEquals(state.get("isShuffled").getAsBoolean(), view.isShuffled());
      assertEquals(state.get("playbackRate").getAsDouble(), view.playbackRate(), 0.0);
      assertEquals(SleepMode.of(state.get("sleepMode").getAsInt()), view.sleepMode());
      assertEquals(state.get("hasNext").getAsBoolean(), view.hasNext());
      assertEquals(state.get("hasPrevious").getAsBoolean(), view.hasPrevious());
      JsonElement current = state.get("currentTrack");
      assertEquals(current.isJsonNull() ? Optional.empty() : Optional.of(track(current)), view.currentTrack());
      int n = queue.size();
      for (int i = 0; i < n; i++) assertEquals(Optional.of(track(queue.get(i))), view.entry(i));
      for (long i : new long[] {-1, n, n + 1, Long.MAX_VALUE}) assertEquals(Optional.empty(), view.entry(i));
      long[][] slices = {{0, 0}, {0, 1}, {0, n}, {1, 2}, {2, 100}, {Math.max(0, n - 1), 1}, {n, 1}, {n + 5, 2},
          {0, Integer.MAX_VALUE}, {Long.MAX_VALUE - 1, Integer.MAX_VALUE}};
      for (long[] s : slices) {
        assertEquals(s[0] + "," + s[1], tracks(queue, s[0], s[0] + s[1]), view.entries(s[0], (int) s[1]));
      }
      assertEquals(tracks(queue, 0, n), view.entries(0, n));
      assertThrows(IllegalArgumentException.class, () -> view.entries(-1, 1));
      assertThrows(IllegalArgumentException.class, () -> view.entries(0, -1));
    }
  }
}
