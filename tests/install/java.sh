#!/usr/bin/env bash
# The jar as a Java host gets it: the quick start of docs/java.md, App.java, compiled beside
# the jar in a fresh folder, run as `java -cp pbq-VERSION.jar:. App` and the jar's own
# self-test run from another folder, with this checkout out of reach. The jar's
# libraries go into a private temporary folder that is gone after the run, and
# -Dpbq.jni.library still overrides them.
#   tests/install/java.sh [DIST_DIR]
set -euo pipefail
. "$(dirname "$0")/common.sh"
jar=$(take_artifact 'pbq-[0-9]*.jar')
quick_start docs/java.md java 'public class App' >"$place/App.java"
# Which libpbq files the JVM has mapped once the glue is loaded.
cat >"$place/Mapped.java" <<'JAVA'
public class Mapped {
  public static void main(String[] args) throws Exception {
    pbq.Queue.selftest();
    for (String line : java.nio.file.Files.readAllLines(java.nio.file.Path.of("/proc/self/maps"))) {
      if (line.contains("/libpbq")) System.out.println(line.substring(line.indexOf('/')));
    }
  }
}
JAVA
cat >"$place/run.sh" <<'SCRIPT'
set -euo pipefail
cd "$1"
jar=$(ls pbq-*.jar)
javac -cp "$jar" App.java Mapped.java
# A temporary folder of its own, to see what the jar leaves there.
mkdir tmp
out=$(java -Djava.io.tmpdir="$PWD/tmp" -cp "$jar:." App)
# The current entry, the rest of the album after it (the light read's window), then the
# resume document with the position saved.
expected=$'3 Salt Roads\n  next: Ferry at Dawn\n  next: Undertow\n  next: Gulls\n  next: Tidewater'
[ "$(head -5 <<<"$out")" = "$expected" ] && [ "$(wc -l <<<"$out")" -eq 6 ] &&
  grep -q '"lastTrackTime":83.5' <<<"$(tail -1 <<<"$out")" ||
  { echo "java quick start printed: $out" >&2; exit 1; }
out=$(cd / && java -Djava.io.tmpdir="$1/tmp" -jar "$1/$jar")
[[ "$out" = "pbq "*" (ABI 1), self-test passed" ]] ||
  { echo "java -jar printed: $out" >&2; exit 1; }
# The jar's own copies, loaded from a folder of java.io.tmpdir that is already gone.
mapped=$(java -Djava.io.tmpdir="$PWD/tmp" -cp "$jar:." Mapped | sort -u)
expected="$PWD/tmp/pbq-[0-9]*/libpbq.so.1 (deleted)
$PWD/tmp/pbq-[0-9]*/libpbq_jni.so (deleted)"
[ "$(sed 's|/pbq-[0-9]*/|/pbq-[0-9]*/|' <<<"$mapped")" = "$expected" ] ||
  { echo "the JVM mapped these libpbq files: $mapped" >&2; exit 1; }
[ -z "$(ls -A tmp)" ] || { echo "the jar left files in java.io.tmpdir: $(ls -A tmp)" >&2; exit 1; }

# A temporary folder that allows no running code: the message says what to do.
mkdir noexec
mount -t tmpfs -o noexec,size=4m pbq-noexec noexec
if err=$(java -Djava.io.tmpdir="$PWD/noexec" -cp "$jar:." App 2>&1); then
  echo "the jar's libraries loaded from a noexec folder" >&2; exit 1
fi
grep -q 'Set -Djava.io.tmpdir to a folder that allows running code' <<<"$err" ||
  { echo "a noexec java.io.tmpdir gives: $err" >&2; exit 1; }
umount noexec

mkdir natives
(cd natives && jar xf "../$jar" pbq/native)
./check-elf.sh natives/pbq/native/linux-*/libpbq_jni.so natives/pbq/native/linux-*/libpbq.so.1

# -Dpbq.jni.library names the glue to use, and is never silently replaced by the jar's.
if err=$(java -Dpbq.jni.library=/nonexistent/libpbq_jni.so -cp "$jar:." App 2>&1); then
  echo "-Dpbq.jni.library=/nonexistent/libpbq_jni.so was ignored" >&2; exit 1
fi
grep -q 'pbq.jni.library: no /nonexistent/libpbq_jni.so' <<<"$err" ||
  { echo "-Dpbq.jni.library's failure does not say so: $err" >&2; exit 1; }
echo "java: $jar runs the quick start as java -cp $jar:. App and leaves nothing behind"
SCRIPT
run_without_tree run.sh
