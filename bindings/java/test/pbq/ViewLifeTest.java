package pbq;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertThrows;
import static org.junit.Assert.assertTrue;

import com.google.gson.JsonElement;
import com.google.gson.JsonObject;
import java.util.List;
import org.junit.Test;

/** A view's life beside its queue, and a view of a long queue. */
public class ViewLifeTest {
  @Test
  public void aViewIsRetiredByTheNextViewAndByClose() {
    JsonObject album = null;
    for (JsonElement e : ViewTest.CASES) if (e.getAsJsonObject().get("name").getAsString().startsWith("an album")) album = e.getAsJsonObject();
    Queue q = ViewTest.build(album);
    QueueView view = q.view();
    int before = view.currentIndex();
    Track first = view.entry(0).orElseThrow();
    q.next();
    q.clearUpNext();
    assertEquals(first, view.entries(0, 1).get(0));
    QueueView newer = q.view();
    assertEquals(before + 1, newer.currentIndex());
    assertEquals(before + 2, newer.queueCount());
    assertThrows(IllegalStateException.class, () -> view.entry(0));
    assertThrows(IllegalStateException.class, () -> view.entries(0, 1));
    q.close();
    assertThrows(IllegalStateException.class, () -> newer.entry(-1));
    assertTrue(newer.hasPrevious());
    assertThrows(PbqException.class, q::view);
  }

  @Test
  public void aViewAt100000EntriesReadsItsWindow() {
    int n = 100000;
    StringBuilder json = new StringBuilder("[");
    for (int i = 0; i < n; i++) json.append(i == 0 ? "" : ",").append("{\"streamURL\":\"").append(i).append(".m4a\",\"title\":\"T{\\\"").append(i).append("\\\"}\"}");
    try (Queue q = new Queue()) {
      q.setTracks(json.append(']').toString(), n - 3);
      QueueView view = q.view();
      assertEquals(n, view.queueCount());
      assertEquals("T{\"" + (n - 3) + "\"}", view.currentTrack().orElseThrow().title());
      List<Track> window = view.entries(n - 2, 5);
      assertEquals(2, window.size());
      assertEquals((n - 1) + ".m4a", window.get(1).streamURL());
      assertEquals("T{\"50000\"}", view.entry(50000).orElseThrow().title());
      assertTrue(view.hasNext());
    }
  }
}
