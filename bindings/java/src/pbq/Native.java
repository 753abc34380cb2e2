package pbq;

import java.io.File;
import java.net.URISyntaxException;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * The JNI glue, libpbq_jni.so, and the calls it exports. Texts cross as UTF-8 byte
 * arrays, not through JNI's modified UTF-8, so that characters outside the BMP (an
 * emoji in a title) reach the library and come back as they are.
 */
final class Native {
  static final String LIBRARY = "libpbq_jni.so";

  static {
    load();
  }

  private Native() {}

  /**
   * Loads the glue from the system property pbq.jni.library (a path), else from beside
   * the jar (or class folder) holding this class, else from java.library.path. The glue
   * finds libpbq.so.1 beside itself or through the loader path.
   */
  private static void load() {
    String explicit = System.getProperty("pbq.jni.library");
    List<String> tried = new ArrayList<>();
    if (explicit != null) {
      try {
        System.load(new File(explicit).getAbsolutePath());
        return;
      } catch (UnsatisfiedLinkError e) {
        tried.add("pbq.jni.library: " + e.getMessage());
        throw failure(tried);
      }
    }
    File beside = besideCode();
    if (beside != null && beside.isFile()) {
      try {
        System.load(beside.getAbsolutePath());
        return;
      } catch (UnsatisfiedLinkError e) {
        tried.add("beside the jar: " + e.getMessage());
      }
    } else {
      tried.add("beside the jar: no " + (beside == null ? LIBRARY : beside.getPath()));
    }
    try {
      System.loadLibrary("pbq_jni");
    } catch (UnsatisfiedLinkError e) {
      tried.add("java.library.path (" + System.getProperty("java.library.path") + "): " + e.getMessage());
      throw failure(tried);
    }
  }

  private static File besideCode() {
    try {
      File code = new File(Native.class.getProtectionDomain().getCodeSource().getLocation().toURI());
      File dir = code.isDirectory() ? code : code.getParentFile();
      return dir == null ? null : new File(dir, LIBRARY);
    } catch (URISyntaxException | SecurityException | NullPointerException e) {
      return null;
    }
  }

  private static UnsatisfiedLinkError failure(List<String> tried) {
    return new UnsatisfiedLinkError("pbq: cannot load " + LIBRARY + " (which needs libpbq.so.1). Tried:\n  "
        + String.join("\n  ", tried)
        + "\nPut it beside pbq.jar, on java.library.path, or name it with -Dpbq.jni.library=PATH.");
  }

  /** A Java string as the NUL-terminated UTF-8 the library reads. */
  static byte[] text(String s) {
    byte[] utf8 = s.getBytes(StandardCharsets.UTF_8);
    return Arrays.copyOf(utf8, utf8.length + 1);
  }

  static String string(byte[] utf8) {
    return utf8 == null ? null : new String(utf8, StandardCharsets.UTF_8);
  }

  static native byte[] version();
  static native int abiVersion();
  static native byte[] lastError();
  static native int selftest();
  static native long create();
  static native void destroy(long q);

  /** Loads the glue (the static initialiser runs once). */
  static void ensureLoaded() {}
}
