package pbq;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.net.URISyntaxException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;

/**
 * The JNI glue, libpbq_jni.so, and the calls it exports. Texts cross as UTF-8 byte
 * arrays, not through JNI's modified UTF-8, so that characters outside the BMP (an
 * emoji in a title) reach the library and come back as they are.
 */
final class Native {
  static final String LIBRARY = "libpbq_jni.so";
  static final String PBQ_LIBRARY = "libpbq.so.1";
  /** The shipped jar carries both libraries under pbq/native/PLATFORM/ (linux-x86_64). */
  static final String RESOURCES = "pbq/native/";

  static {
    load();
  }

  private Native() {}

  /**
   * Loads the glue from the system property pbq.jni.library (a path), else from the
   * jar's own resources for this platform, else from beside the jar (or class folder)
   * holding this class, else from java.library.path. The glue finds libpbq.so.1 beside
   * itself (RUNPATH $ORIGIN) or through the loader path.
   */
  private static void load() {
    String explicit = System.getProperty("pbq.jni.library");
    List<String> tried = new ArrayList<>();
    if (explicit != null) {
      if (loadFile(new File(explicit).getAbsoluteFile(), "pbq.jni.library", tried)) return;
      throw failure(tried, false);
    }
    String bundled = RESOURCES + platform() + "/";
    boolean carried = Native.class.getResource("/" + bundled + LIBRARY) != null;
    if (carried) {
      if (loadFromJar(bundled, tried)) return;
    } else {
      tried.add("inside the jar: no " + bundled + LIBRARY);
    }
    File beside = besideCode();
    if (beside != null && loadFile(beside, "beside the jar", tried)) return;
    try {
      System.loadLibrary("pbq_jni");
    } catch (UnsatisfiedLinkError e) {
      tried.add("java.library.path (" + System.getProperty("java.library.path") + "): " + explain(e));
      throw failure(tried, carried);
    }
  }

  /** The jar's folder name for this machine: linux-x86_64, linux-aarch64, ... */
  static String platform() {
    String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT).replaceAll("\\s+", "");
    String arch = System.getProperty("os.arch", "").toLowerCase(Locale.ROOT);
    if (arch.equals("amd64")) arch = "x86_64";
    if (arch.equals("arm64")) arch = "aarch64";
    return os + "-" + arch;
  }

  private static boolean loadFile(File file, String origin, List<String> tried) {
    if (!file.isFile()) {
      tried.add(origin + ": no " + file.getPath());
      return false;
    }
    try {
      System.load(file.getPath());
      return true;
    } catch (UnsatisfiedLinkError e) {
      tried.add(origin + ": " + explain(e));
      return false;
    }
  }

  /**
   * Copies the jar's two libraries into a new folder that only this user can enter,
   * loads the glue from there and removes the folder at once: once loaded, the
   * libraries stay mapped, so nothing is left behind even if the JVM is killed.
   */
  private static boolean loadFromJar(String bundled, List<String> tried) {
    Path dir;
    try {
      dir = Files.createTempDirectory("pbq-",
          PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rwx------")));
    } catch (IOException | UnsupportedOperationException e) {
      tried.add("inside the jar: no private folder in " + System.getProperty("java.io.tmpdir") + ": " + e);
      return false;
    }
    try {
      for (String name : new String[] {PBQ_LIBRARY, LIBRARY}) {
        try (InputStream in = Native.class.getResourceAsStream("/" + bundled + name)) {
          if (in == null) {
            tried.add("inside the jar: no " + bundled + name);
            return false;
          }
          Files.copy(in, dir.resolve(name));
        }
      }
      return loadFile(dir.resolve(LIBRARY).toFile(), "inside the jar", tried);
    } catch (IOException e) {
      tried.add("inside the jar: cannot copy the libraries to " + dir + ": " + e);
      return false;
    } finally {
      remove(dir);
    }
  }

  /** Removes the folder and its files; what the system refuses to remove now goes at exit. */
  private static void remove(Path dir) {
    File[] files = dir.toFile().listFiles();
    for (File f : files == null ? new File[0] : files) {
      if (!f.delete()) f.deleteOnExit();
    }
    // deleteOnExit runs in reverse order of registration: the files first, then the folder.
    if (!dir.toFile().delete()) dir.toFile().deleteOnExit();
  }

  /**
   * The loader's message, saying so when the glue was found but libpbq.so.1 was not, or
   * when the folder it was copied to does not allow running code.
   */
  private static String explain(UnsatisfiedLinkError e) {
    String message = String.valueOf(e.getMessage());
    if (message.contains(PBQ_LIBRARY + ":")) {
      return "found, but not " + PBQ_LIBRARY + ", which it needs (" + message + ")";
    }
    if (message.contains("failed to map segment")) {
      return message + " (is java.io.tmpdir mounted noexec? Set -Djava.io.tmpdir to a folder that allows running code)";
    }
    return message;
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

  /** carried: this jar holds the libraries for this platform (and they failed to load). */
  private static UnsatisfiedLinkError failure(List<String> tried, boolean carried) {
    boolean libraryMissing = tried.stream().anyMatch(t -> t.contains("found, but not " + PBQ_LIBRARY));
    String advice = libraryMissing
        ? "Put " + PBQ_LIBRARY + " beside " + LIBRARY + " or where the loader finds it (LD_LIBRARY_PATH, ldconfig)."
        : (carried ? "" : "The pbq jar of a release carries both libraries for linux-x86_64. ")
            + "Put " + LIBRARY + " beside pbq.jar or on java.library.path, or name it with -Dpbq.jni.library=PATH.";
    return new UnsatisfiedLinkError("pbq: cannot load " + LIBRARY + " (which needs " + PBQ_LIBRARY + "). Tried:\n  "
        + String.join("\n  ", tried) + "\n" + advice);
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
  static native long viewOpen(long q);
  static native void viewClose(long doc);
  static native byte[] viewPrefix(long doc);
  static native byte[] viewEntries(long doc, long first, long n);

  /** Loads the glue (the static initialiser runs once). */
  static void ensureLoaded() {}
}
