#!/usr/bin/env bash
# Builds bindings/swift/pbq.xcframework on a Mac with Xcode's command-line tools: the static
# library libpbq.a with yyjson inside, for macOS (arm64, x86_64), iOS devices (arm64) and the
# iOS simulator (arm64, x86_64), each with pbq.h and the module map of the Swift package's C
# module CPbq. With it beside Package.swift, the package links it instead of a system library.
#
# NOT TESTED: this project's machines have no Apple SDK. Every step is a plain CMake or Xcode
# command; docs/apple.md says what to check first.
#
#   scripts/apple-xcframework.sh YYJSON_SOURCE_DIR XXHASH_HEADER
# YYJSON_SOURCE_DIR is yyjson 0.10's source tree (src/yyjson.c, as scripts/fetch-yyjson.sh
# leaves it in build/yyjson-0.10.0 on Debian); XXHASH_HEADER is xxhash.h (e.g. Homebrew's
# /opt/homebrew/include/xxhash.h).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
yyjson=$(cd "${1:?usage: $0 YYJSON_SOURCE_DIR XXHASH_HEADER}" && pwd)
xxhash=${2:?usage: $0 YYJSON_SOURCE_DIR XXHASH_HEADER}
out=$top/build/apple
# std::to_chars for doubles (the documents' numbers) is in Apple's libc++ from these on.
macos_min=13.3
ios_min=16.3

# libpbq.a for one platform and one architecture: only the static library's target is built,
# so the shared library's GNU link options never reach Apple's linker.
build() {  # NAME SYSTEM SDK ARCH MIN
  cmake -S "$top" -B "$out/$1-$4" -DCMAKE_SYSTEM_NAME="$2" -DCMAKE_OSX_SYSROOT="$3" \
    -DCMAKE_OSX_ARCHITECTURES="$4" -DCMAKE_OSX_DEPLOYMENT_TARGET="$5" -DCMAKE_BUILD_TYPE=Release \
    -DPBQ_YYJSON_FROM_SOURCE=ON -DPBQ_YYJSON_SOURCE_DIR="$yyjson" -DPBQ_XXHASH_HEADER="$xxhash" \
    -DPBQ_BUILD_TESTS=OFF -DPBQ_BUILD_EXAMPLES=OFF -DPBQ_BUILD_CLI=OFF -DPBQ_BUILD_PLAYER=OFF -DPBQ_INSTALL=OFF
  cmake --build "$out/$1-$4" --target pbq_static
}
build macos Darwin macosx arm64 "$macos_min"
build macos Darwin macosx x86_64 "$macos_min"
build ios iOS iphoneos arm64 "$ios_min"
build ios-simulator iOS iphonesimulator arm64 "$ios_min"
build ios-simulator iOS iphonesimulator x86_64 "$ios_min"

# One library per platform, its architectures joined.
mkdir -p "$out/macos" "$out/ios" "$out/ios-simulator"
lipo -create "$out/macos-arm64/libpbq.a" "$out/macos-x86_64/libpbq.a" -output "$out/macos/libpbq.a"
cp "$out/ios-arm64/libpbq.a" "$out/ios/libpbq.a"
lipo -create "$out/ios-simulator-arm64/libpbq.a" "$out/ios-simulator-x86_64/libpbq.a" \
  -output "$out/ios-simulator/libpbq.a"

# The headers each library carries: pbq.h and the module CPbq over it.
rm -rf "$out/headers"
mkdir -p "$out/headers"
cp "$top/include/pbq.h" "$out/headers/"
printf 'module CPbq {\n  header "pbq.h"\n  export *\n}\n' >"$out/headers/module.modulemap"

rm -rf "$top/bindings/swift/pbq.xcframework"
xcodebuild -create-xcframework \
  -library "$out/macos/libpbq.a" -headers "$out/headers" \
  -library "$out/ios/libpbq.a" -headers "$out/headers" \
  -library "$out/ios-simulator/libpbq.a" -headers "$out/headers" \
  -output "$top/bindings/swift/pbq.xcframework"
echo "bindings/swift/pbq.xcframework: macOS $macos_min+, iOS $ios_min+ (devices and simulator)"
