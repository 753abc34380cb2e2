import Foundation
import Pbq
import XCTest

/// The light read (PlayQueue.view()) against the whole state(), over the table of states shared
/// by every binding (bindings/light-read.json).
final class ViewTests: XCTestCase {
  static let cases: [JSONValue] = {
    let here = URL(fileURLWithPath: #filePath)
    let path = here.deletingLastPathComponent().appendingPathComponent("../../../light-read.json").standardized
    return try! JSONValue.parse(String(contentsOf: path, encoding: .utf8))["cases"]!.array
  }()

  /// A case's queue: its tracks loaded at its start, then its calls (named as in Node).
  private func build(_ testCase: JSONValue) throws -> PlayQueue {
    let q = try PlayQueue()
    if let tracks = testCase["tracks"], tracks != .null {
      try q.setTracks(tracks.text, startIndex: Int(testCase["start"]?.number ?? 0))
    }
    for step in testCase["steps"]!.array {
      let parts = step.array, method = parts[0].string!, args = Array(parts.dropFirst())
      let int = { (i: Int) in Int(args[i].number!) }
      switch method {
      case "setRepeat": q.setRepeat(RepeatMode(rawValue: Int32(int(0)))!)
      case "setShuffle": try q.setShuffle(args[0] == .bool(true), seed: UInt64(int(1)))
      case "next": _ = q.next()
      case "previous": _ = q.previous(position: args[0].number!)
      case "jump": try q.jump(to: int(0))
      case "playNext": try q.playNext(args[0].text)
      case "addToQueue": try q.addToQueue(args[0].text)
      case "removeUpNext": q.removeUpNext(at: int(0))
      case "moveUpNext": q.moveUpNext(from: int(0), to: int(1))
      case "clearUpNext": q.clearUpNext()
      case "setRate": q.setRate(Float(args[0].number!))
      case "setSleepTimer":
        q.setSleepTimer(SleepMode(rawValue: Int32(int(0)))!, duration: Int64(int(1)), now: Int64(int(2)))
      case "trackEnded": _ = q.trackEnded()
      case "cycleRepeat": q.cycleRepeat()
      default: XCTFail("light-read.json names a call this test does not know: \(method)")
      }
    }
    return q
  }

  func testTheViewIsTheState() throws {
    XCTAssertGreaterThan(Self.cases.count, 5)
    for testCase in Self.cases {
      let name = testCase["name"]!.string!
      let q = try build(testCase)
      let state = try q.state(), view = try q.view()
      try check(view, state, name)
    }
  }

  private func check(_ view: QueueView, _ state: QueueState, _ name: String) throws {
    let members = QueueState(currentIndex: view.currentIndex, queueCount: view.queueCount, upNextCount: view.upNextCount,
                             repeatMode: view.repeatMode, isShuffled: view.isShuffled, playbackRate: view.playbackRate,
                             sleepMode: view.sleepMode, hasNext: view.hasNext, hasPrevious: view.hasPrevious,
                             currentTrack: view.currentTrack, queue: state.queue)
    XCTAssertEqual(members, state, name)
    let queue = state.queue, n = queue.count
    for (i, track) in queue.enumerated() {
      XCTAssertEqual(try view.entry(at: i), track, "\(name): entry \(i)")
    }
    for i in [-1, n, n + 1, Int.max] {
      XCTAssertNil(try view.entry(at: i), "\(name): entry \(i)")
    }
    let ranges = [0..<0, 0..<1, 0..<n, 1..<3, 2..<102, max(0, n - 1)..<n, n..<n + 1, n + 5..<n + 7, -3..<2, 0..<Int.max]
    for range in ranges {
      let clamped = max(range.lowerBound, 0)..<max(min(range.upperBound, n), max(range.lowerBound, 0))
      XCTAssertEqual(try view.entries(in: range), clamped.isEmpty ? [] : Array(queue[clamped]), "\(name): \(range)")
    }
  }

  func testAViewKeepsItsMomentAndOutlivesItsQueue() throws {
    var before: QueueState?
    weak var freed: PlayQueue?
    let view: QueueView = try {
      let q = try build(Self.cases.first { $0["name"]!.string!.hasPrefix("an album") }!)
      before = try q.state()
      let view = try q.view()
      XCTAssertEqual(q.next(), .play)
      q.clearUpNext()
      try q.setTracks("[]")
      freed = q
      return view
    }()
    XCTAssertNil(freed, "the queue outlived its last reference")
    XCTAssertEqual(view.currentIndex, before?.currentIndex)
    XCTAssertEqual(try view.entries(in: 0..<100), before?.queue)
    XCTAssertEqual(try view.entry(at: 1), before?.queue[1])
  }

  func testMetadataThatLooksLikeTheDocument() throws {
    // Text that, unescaped, would look like the queue's key or an entry's start.
    let tricky = [
      Track(streamURL: #"a,"queue":[{"streamURL":"b"#, title: #"{"streamURL":"x"}"#, artist: "]}", duration: 1),
      Track(streamURL: "c", title: String(repeating: "é\"{", count: 5000)),
    ]
    let q = try PlayQueue()
    try q.setTracks(tricky, startIndex: 1)
    let view = try q.view()
    XCTAssertEqual(view.currentTrack, tricky[1])
    XCTAssertEqual(try view.entries(in: 0..<2), try q.state().queue)
  }

  func testAViewAtAHundredThousandEntries() throws {
    let n = 100_000
    let q = try PlayQueue()
    try q.setTracks((0..<n).map { Track(streamURL: "\($0).m4a", title: #"T{"\#($0)"}"#) }, startIndex: n - 3)
    let view = try q.view()
    XCTAssertEqual(view.queueCount, n)
    XCTAssertEqual(view.currentTrack?.title, #"T{"\#(n - 3)"}"#)
    XCTAssertEqual(try view.entries(in: n - 2..<n + 3).map(\.streamURL), ["\(n - 2).m4a", "\(n - 1).m4a"])
    XCTAssertEqual(try view.entry(at: 50_000)?.title, #"T{"50000"}"#)
  }
}
