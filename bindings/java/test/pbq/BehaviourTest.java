package pbq;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertNull;
import static org.junit.Assert.assertTrue;
import static org.junit.Assert.fail;

import com.google.gson.JsonArray;
import com.google.gson.JsonElement;
import com.google.gson.JsonObject;
import com.google.gson.JsonParser;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collection;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.OptionalDouble;
import java.util.OptionalLong;
import org.junit.Test;
import org.junit.runner.RunWith;
import org.junit.runners.Parameterized;
import org.junit.runners.Parameterized.Parameters;

/** The behaviour table shared by every binding (bindings/behaviours.json), run through pbq.Queue. */
@RunWith(Parameterized.class)
public class BehaviourTest {
  static final Path REPO = Path.of(System.getProperty("pbq.repo", "."));
  static final JsonObject TABLE = read();

  static JsonObject read() {
    try {
      return JsonParser.parseString(Files.readString(REPO.resolve("bindings/behaviours.json"), StandardCharsets.UTF_8))
          .getAsJsonObject();
    } catch (IOException e) {
      throw new IllegalStateException(e);
    }
  }

  @Parameters(name = "{0}")
  public static Collection<Object[]> cases() {
    List<Object[]> out = new ArrayList<>();
    for (JsonElement c : TABLE.getAsJsonArray("cases")) {
      out.add(new Object[] {c.getAsJsonObject().get("name").getAsString(), c.getAsJsonObject()});
    }
    return out;
  }

  private final JsonObject testCase;

  public BehaviourTest(String name, JsonObject testCase) {
    this.testCase = testCase;
  }

  /** A table argument in the form the Java API takes: every JSON value as its text. */
  private static Object arg(JsonElement a, Map<String, Object> kept) {
    if (a.isJsonPrimitive() && a.getAsJsonPrimitive().isString()) {
      String s = a.getAsString();
      if (s.startsWith("@")) return TABLE.getAsJsonObject("tracks").get(s.substring(1)).toString();
      if (s.startsWith("$")) return kept.get(s.substring(1));
      return s;
    }
    if (a.isJsonObject() && a.getAsJsonObject().size() == 1) {
      Map.Entry<String, JsonElement> e = a.getAsJsonObject().entrySet().iterator().next();
      switch (e.getKey()) {
        case "u64": return Long.parseUnsignedLong(e.getValue().getAsString());
        case "repeat": return RepeatMode.valueOf(e.getValue().getAsString());
        case "sleep": return SleepMode.valueOf(e.getValue().getAsString());
        default: break;
      }
    }
    if (a.isJsonObject() || a.isJsonArray()) return a.toString();
    return a;  // a number or a boolean, read by the call
  }

  private static int i(Object a) {
    return ((JsonElement) a).getAsInt();
  }

  private static long l(Object a) {
    return a instanceof Long ? (Long) a : ((JsonElement) a).getAsLong();
  }

  private static double d(Object a) {
    return ((JsonElement) a).getAsDouble();
  }

  /** Calls the method a table step names, the Python name mapped to the Java one. */
  private static Object call(Queue q, String method, List<Object> a) {
    switch (method) {
      case "set_tracks":
        q.setTracks((String) a.get(0), a.size() > 1 ? i(a.get(1)) : 0, a.size() > 2 ? l(a.get(2)) : 0);
        return null;
      case "next": return q.next();
      case "previous": return q.previous(d(a.get(0)));
      case "track_ended": return q.trackEnded();
      case "jump": q.jump(i(a.get(0))); return null;
      case "set_repeat": return q.setRepeat((RepeatMode) a.get(0));
      case "cycle_repeat": return q.cycleRepeat();
      case "play_next": return q.playNext((String) a.get(0));
      case "add_to_queue": return q.addToQueue((String) a.get(0));
      case "remove_up_next": return q.removeUpNext(i(a.get(0)));
      case "move_up_next": return q.moveUpNext(i(a.get(0)), i(a.get(1)));
      case "clear_up_next": q.clearUpNext(); return null;
      case "set_shuffle": q.setShuffle(((JsonElement) a.get(0)).getAsBoolean(), l(a.get(1))); return null;
      case "set_rate": return q.setRate(((JsonElement) a.get(0)).getAsFloat());
      case "set_sleep_timer": return q.setSleepTimer((SleepMode) a.get(0), l(a.get(1)), l(a.get(2)));
      case "check_sleep_timer": {
        OptionalLong left = q.checkSleepTimer(l(a.get(0)));
        return left.isPresent() ? (Object) left.getAsLong() : null;
      }
      case "state": return JsonParser.parseString(q.stateJson()).getAsJsonObject();
      case "export_resume": return q.exportResume(d(a.get(0)));
      case "restore_resume": {
        OptionalDouble at = q.restoreResume((String) a.get(0), (String) a.get(1));
        return at.isPresent() ? (Object) at.getAsDouble() : null;
      }
      case "close": q.close(); return null;
      default: throw new IllegalArgumentException("no such step: " + method);
    }
  }

  private static void checkValue(String where, JsonElement want, Object got) {
    if (want.isJsonNull()) {
      assertNull(where, got);
    } else if (want.getAsJsonPrimitive().isBoolean()) {
      assertEquals(where, want.getAsBoolean(), got);
    } else if (want.getAsJsonPrimitive().isString()) {
      assertEquals(where, want.getAsString(), got);
    } else if (got instanceof Long) {
      assertEquals(where, want.getAsLong(), (long) (Long) got);
    } else {
      assertEquals(where, want.getAsDouble(), (Double) got, 0.0);
    }
  }

  private static void checkState(String where, JsonObject want, JsonObject state) {
    for (Map.Entry<String, JsonElement> e : want.entrySet()) {
      switch (e.getKey()) {
        case "queueURLs": {
          JsonArray urls = new JsonArray();
          for (JsonElement t : state.getAsJsonArray("queue")) urls.add(t.getAsJsonObject().get("streamURL"));
          assertEquals(where, e.getValue(), urls);
          break;
        }
        case "currentURL":
          assertEquals(where, e.getValue(), state.getAsJsonObject("currentTrack").get("streamURL"));
          break;
        default:
          assertEquals(where + " " + e.getKey(), e.getValue(), state.get(e.getKey()));
      }
    }
  }

  @Test
  public void behaviour() {
    Queue q = new Queue();
    Map<String, Object> kept = new HashMap<>();
    try {
      int n = 0;
      for (JsonElement stepElement : testCase.getAsJsonArray("steps")) {
        JsonArray step = stepElement.getAsJsonArray();
        String method = step.get(0).getAsString();
        String where = "step " + n++ + ": " + method + step.get(1);
        if (method.equals("reopen")) {
          q.close();
          q = new Queue();
          continue;
        }
        List<Object> args = new ArrayList<>();
        for (JsonElement a : step.get(1).getAsJsonArray()) args.add(arg(a, kept));
        JsonElement expected = step.get(2);
        if (!expected.isJsonNull() && expected.getAsJsonObject().has("error")) {
          try {
            call(q, method, args);
            fail(where + ": no PbqException");
          } catch (PbqException e) {
            assertEquals(where, expected.getAsJsonObject().get("error").getAsString(), e.getMessage());
          }
          continue;
        }
        Object result = call(q, method, args);
        if (step.size() > 3) kept.put(step.get(3).getAsString(), result);
        if (expected.isJsonNull()) continue;
        Map.Entry<String, JsonElement> e = expected.getAsJsonObject().entrySet().iterator().next();
        JsonElement want = e.getValue();
        switch (e.getKey()) {
          case "value": checkValue(where, want, result); break;
          case "float32": assertEquals(where, want.getAsFloat(), (Float) result, 0.0f); break;
          case "state": checkState(where, want.getAsJsonObject(), (JsonObject) result); break;
          case "action": assertEquals(where, Action.valueOf(want.getAsString()), result); break;
          case "repeat": assertEquals(where, RepeatMode.valueOf(want.getAsString()), result); break;
          case "added": assertEquals(where, Added.valueOf(want.getAsString()), result); break;
          default: throw new IllegalArgumentException(e.getKey());
        }
      }
    } finally {
      q.close();
    }
    assertTrue(q.isClosed());
  }
}
