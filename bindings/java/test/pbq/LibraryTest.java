package pbq;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertNotEquals;
import static org.junit.Assert.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.Test;

/** The binding against the library itself: enum values, loading, memory. */
public class LibraryTest {
  static final Path REPO = BehaviourTest.REPO;

  static Map<String, Integer> header(String prefix) throws IOException {
    String text = Files.readString(REPO.resolve("include/pbq.h"), StandardCharsets.UTF_8);
    Map<String, Integer> out = new LinkedHashMap<>();
    Matcher m = Pattern.compile("\\b" + prefix + "([A-Z_]+) = (-?\\d+)").matcher(text);
    while (m.find()) out.put(m.group(1), Integer.parseInt(m.group(2)));
    return out;
  }

  static <E extends Enum<E>> Map<String, Integer> codes(E[] values, java.util.function.ToIntFunction<E> code) {
    Map<String, Integer> out = new LinkedHashMap<>();
    for (E e : values) out.put(e.name(), code.applyAsInt(e));
    return out;
  }

  @Test
  public void enumsHoldTheHeaderValues() throws IOException {
    assertEquals(header("PBQ_ACTION_"), codes(Action.values(), a -> a.code));
    assertEquals(header("PBQ_REPEAT_"), codes(RepeatMode.values(), m -> m.code));
    assertEquals(header("PBQ_SLEEP_"), codes(SleepMode.values(), m -> m.code));
    assertEquals(header("PBQ_ADDED_"), codes(Added.values(), a -> a.code));
  }

  @Test
  public void versionAndSelftest() {
    assertEquals("1.0.0", Queue.libraryVersion());
    assertEquals(1, Queue.abiVersion());
    assertEquals(0, Queue.selftest());
  }

  @Test
  public void rateIsAFloatNotADouble() {
    try (Queue q = new Queue()) {
      assertEquals(1.1f, q.setRate(1.1f), 0.0f);
      assertNotEquals(1.1, (double) q.setRate(1.1f), 0.0);
      assertEquals(0.5f, q.setRate(Float.NaN), 0.0f);
      assertEquals(0.5f, q.setRate(Float.NEGATIVE_INFINITY), 0.0f);
    }
  }

  private static String run(String... extra) throws IOException, InterruptedException {
    List<String> cmd = new ArrayList<>();
    cmd.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
    cmd.add("-cp");
    cmd.add(System.getProperty("pbq.jar"));
    for (String e : extra) cmd.add(e);
    cmd.add("pbq.Pbq");
    ProcessBuilder pb = new ProcessBuilder(cmd).redirectErrorStream(true);
    pb.environment().remove("LD_LIBRARY_PATH");
    Process p = pb.start();
    String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    p.waitFor();
    return p.exitValue() + " " + out;
  }

  @Test
  public void glueIsFoundBesideTheJarOrSaysWhatIsMissing() throws Exception {
    String found = run();
    assertTrue(found, found.startsWith("0 pbq 1.0.0 (ABI 1), self-test passed"));
    String missing = run("-Dpbq.jni.library=/nonexistent/libpbq_jni.so");
    assertTrue(missing, missing.contains("cannot load libpbq_jni.so"));
    assertTrue(missing, missing.contains("pbq.jni.library: no /nonexistent/libpbq_jni.so"));
    assertTrue(missing, missing.contains("-Dpbq.jni.library=PATH"));
    // The glue alone in a folder: found, but its libpbq.so.1 (RUNPATH $ORIGIN) is not.
    Path alone = Files.createTempDirectory("pbq-glue-");
    try {
      Path glue = Files.copy(Path.of(System.getProperty("pbq.jar")).resolveSibling("libpbq_jni.so"),
          alone.resolve("libpbq_jni.so"));
      String noLibrary = run("-Dpbq.jni.library=" + glue);
      assertTrue(noLibrary, noLibrary.contains("found, but not libpbq.so.1, which it needs"));
      assertTrue(noLibrary, noLibrary.contains("Put libpbq.so.1 beside libpbq_jni.so"));
      assertTrue(noLibrary, !noLibrary.contains("-Dpbq.jni.library=PATH"));
    } finally {
      Files.deleteIfExists(alone.resolve("libpbq_jni.so"));
      Files.delete(alone);
    }
  }

  static long rssKib() throws IOException {
    for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
      if (line.startsWith("VmRSS:")) return Long.parseLong(line.replaceAll("[^0-9]", ""));
    }
    throw new IllegalStateException("no VmRSS");
  }

  // 100,000 calls returning documents of about 2 KiB: a C text left unfreed would add
  // some 200 MiB. The JVM's heap is fixed and touched at start (see the test's
  // command), so the allowance only has to cover the JIT and allocator noise.
  @Test
  public void documentsInALoopDoNotGrowMemory() throws IOException {
    String album = Files.readString(REPO.resolve("examples/album.json"), StandardCharsets.UTF_8);
    try (Queue q = new Queue()) {
      q.setTracks(album, 1);
      assertTrue(q.stateJson().length() > 1500);
      for (int i = 0; i < 20_000; i++) {  // compile the path, settle the allocator
        q.stateJson();
        q.exportResume(i);
      }
      long before = rssKib();
      long bytes = 0;
      for (int i = 0; i < 50_000; i++) {
        bytes += q.stateJson().length();
        bytes += q.exportResume(i).length();
      }
      long grown = rssKib() - before;
      assertTrue(bytes > 0);
      assertTrue("RSS grew by " + grown + " KiB", grown < 40 * 1024);
    }
  }
}
