// swift-tools-version:5.9
// Pbq: the playback-queue state of a music player, for Swift hosts, over libpbq's C interface.
//
// CPbq is the C interface as a Clang module. On Linux it is the system library that the
// libpbq-dev package installs (pbq.h, libpbq.so and pbq.pc). On Apple platforms, where no
// system copy exists, put pbq.xcframework (built as docs/apple.md shows) beside this file and
// the package uses it instead.
import Foundation
import PackageDescription

let xcframework = Context.packageDirectory + "/pbq.xcframework"
let cModule: Target = FileManager.default.fileExists(atPath: xcframework)
  ? .binaryTarget(name: "CPbq", path: "pbq.xcframework")
  : .systemLibrary(name: "CPbq", pkgConfig: "pbq", providers: [.apt(["libpbq-dev"])])

let package = Package(
  name: "Pbq",
  products: [
    .library(name: "Pbq", targets: ["Pbq"])
  ],
  targets: [
    cModule,
    .target(
      name: "Pbq",
      dependencies: ["CPbq"],
      // libpbq is C++ inside: a static copy (the XCFramework's) needs the C++ runtime.
      linkerSettings: [.linkedLibrary("c++", .when(platforms: [.macOS, .iOS, .tvOS, .watchOS, .visionOS]))]),
    .executableTarget(name: "QuickStart", dependencies: ["Pbq"], path: "Examples/QuickStart"),
    .target(name: "HeapStats", path: "Tests/HeapStats"),
    .testTarget(name: "PbqTests", dependencies: ["Pbq", "HeapStats"]),
  ]
)
