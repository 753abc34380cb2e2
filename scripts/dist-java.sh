#!/usr/bin/env bash
# The jar DIST_DIR/pbq-VERSION.jar: the classes of pbq.jar with the JNI glue and the
# library of BUILD_DIR as resources, pbq/native/linux-ARCH/{libpbq_jni.so,libpbq.so.1}
# (the glue's RUNPATH is $ORIGIN). pbq.Native copies them into a private temporary
# folder at first use and loads them from there.
#   scripts/dist-java.sh BUILD_DIR DIST_DIR
set -euo pipefail
. "$(dirname "$0")/dist-common.sh"
dist_init "$@"
dist_build_bindings bindings-java -DPBQ_BINDINGS_NODE=OFF -- pbq_jni pbq_jar

stage=$build/java-jar
# The folder name pbq.Native.platform() gives: os.name and os.arch as this JVM names
# them (armhf's is "arm", where uname says armv7l), with its two renamings.
natives=pbq/native/$(java -XshowSettings:properties -version 2>&1 | awk -F' = ' '
  $1 ~ /^ *os\.name$/ { os = tolower($2); gsub(/[ \t]+/, "", os) }
  $1 ~ /^ *os\.arch$/ { arch = tolower($2) }
  END { if (arch == "amd64") arch = "x86_64"; if (arch == "arm64") arch = "aarch64"; print os "-" arch }')
case $natives in pbq/native/?*-?*) ;; *) echo "$0: no os.name or os.arch from java" >&2; exit 1 ;; esac
rm -rf "$stage"
mkdir -p "$stage/resources/$natives" "$stage/resources/META-INF"
dist_ship_copy "$build/bindings-java/java/libpbq_jni.so" "$stage/resources/$natives/libpbq_jni.so"
dist_ship_copy "$library" "$stage/resources/$natives/libpbq.so.1"
cp "$top/LICENSE" "$stage/resources/META-INF/LICENSE"
printf 'Implementation-Title: pbq\nImplementation-Version: %s\n' "$version" >"$stage/manifest"

jar=$stage/pbq-$version.jar
cp "$build/bindings-java/java/pbq.jar" "$jar"
jar --update --file "$jar" --manifest "$stage/manifest" -C "$stage/resources" .
rm -f "$dist"/pbq-[0-9]*.jar
cp "$jar" "$dist/"
echo "$dist/pbq-$version.jar"
