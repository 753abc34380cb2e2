import Foundation
import Pbq
import XCTest

/// The behaviour table shared by every binding (bindings/behaviours.json), run through
/// PlayQueue: the same answers, errors and documents as the other bindings.
final class BehaviourTests: XCTestCase {
  static let table: JSONValue = {
    let here = URL(fileURLWithPath: #filePath)
    let path = here.deletingLastPathComponent().appendingPathComponent("../../../behaviours.json").standardized
    return try! JSONValue.parse(String(contentsOf: path, encoding: .utf8))
  }()

  static let actions: [String: Action] = ["PLAY": .play, "NONE": .stay, "RESTART": .restart, "SLEEP": .sleep]
  static let repeats: [String: RepeatMode] = ["OFF": .off, "ALL": .all, "ONE": .one]
  static let sleeps: [String: SleepMode] = ["OFF": .off, "TIMER": .timer, "END_OF_TRACK": .endOfTrack]
  static let addeds: [String: Added] = ["QUEUED": .queued, "STARTED": .started]

  /// What a call gave back, in the table's terms.
  enum Outcome {
    case nothing, bool(Bool), integer(Int64?), double(Double?), text(String), float(Float)
    case action(Action), repeatMode(RepeatMode), added(Added), state(QueueState, raw: String)
  }

  func testEveryCase() throws {
    let cases = Self.table["cases"]!.array
    XCTAssertGreaterThan(cases.count, 5)
    for testCase in cases {
      try run(testCase)
    }
  }

  private func run(_ testCase: JSONValue) throws {
    let name = testCase["name"]!.string!
    var queue: PlayQueue? = try PlayQueue()
    var kept: [String: String] = [:]
    for (i, step) in testCase["steps"]!.array.enumerated() {
      let parts = step.array
      let method = parts[0].string!, args = parts[1].array, expected = parts[2]
      let keep = parts.count > 3 ? parts[3].string : nil
      let at = "\(name), step \(i): \(method)"
      switch method {
      case "reopen":
        queue = try PlayQueue()
        continue
      case "close":
        // A Swift queue is closed by letting it go: the handle is freed at once.
        weak var released = queue
        queue = nil
        XCTAssertNil(released, "\(at): the queue outlived its last reference")
        continue
      default:
        break
      }
      guard let q = queue else {
        // A released queue cannot be named in Swift, so no call can reach it: the other
        // bindings' "queue is closed" cannot happen here.
        XCTAssertEqual(expected, .object(["error": .string("queue is closed")]), at)
        continue
      }
      let outcome: Outcome
      do {
        outcome = try call(q, method, args, kept)
      } catch let error as PbqError {
        XCTAssertEqual(expected["error"]?.string, error.message, "\(at) threw")
        continue
      }
      if let want = expected["error"] {
        XCTFail("\(at) gave \(outcome), expected the error \(want.text)")
        continue
      }
      if let keep, case .text(let text) = outcome { kept[keep] = text }
      try check(outcome, expected, at)
    }
  }

  private func argument(_ value: JSONValue, _ kept: [String: String]) -> String {
    if let s = value.string, s.hasPrefix("@") { return Self.table["tracks"]![String(s.dropFirst())]!.text }
    if let s = value.string, s.hasPrefix("$") { return kept[String(s.dropFirst())]! }
    if let s = value.string { return s }  // raw JSON text
    return value.text
  }

  private func int(_ args: [JSONValue], _ i: Int, default value: Int = 0) -> Int {
    args.count > i ? Int(args[i].number!) : value
  }

  private func seed(_ args: [JSONValue], _ i: Int) -> UInt64 {
    args.count > i ? UInt64(args[i]["u64"]!.string!)! : 0
  }

  /// A track argument in the binding's own form: a Track where the object is one, else text.
  private func addTrack(_ value: JSONValue, _ kept: [String: String],
                        _ text: (String) throws -> Added, _ track: (Track) throws -> Added) throws -> Added {
    if case .object = value, let t = try? JSONDecoder().decode(Track.self, from: Data(value.text.utf8)) {
      return try track(t)
    }
    return try text(argument(value, kept))
  }

  private func call(_ q: PlayQueue, _ method: String, _ args: [JSONValue], _ kept: [String: String]) throws -> Outcome {
    switch method {
    case "set_tracks":
      try q.setTracks(argument(args[0], kept), startIndex: int(args, 1), seed: seed(args, 2))
      return .nothing
    case "state":
      return .state(try q.state(), raw: try q.stateJSON())
    case "next": return .action(q.next())
    case "track_ended": return .action(q.trackEnded())
    case "previous": return .action(q.previous(position: args[0].number!))
    case "jump":
      try q.jump(to: int(args, 0))
      return .nothing
    case "set_repeat": return .repeatMode(q.setRepeat(Self.repeats[args[0]["repeat"]!.string!]!))
    case "cycle_repeat": return .repeatMode(q.cycleRepeat())
    case "play_next": return .added(try addTrack(args[0], kept, q.playNext, q.playNext))
    case "add_to_queue": return .added(try addTrack(args[0], kept, q.addToQueue, q.addToQueue))
    case "remove_up_next": return .bool(q.removeUpNext(at: int(args, 0)))
    case "move_up_next": return .bool(q.moveUpNext(from: int(args, 0), to: int(args, 1)))
    case "clear_up_next":
      q.clearUpNext()
      return .nothing
    case "set_shuffle":
      guard case .bool(let on) = args[0] else { throw PbqError("table: set_shuffle takes a boolean") }
      try q.setShuffle(on, seed: seed(args, 1))
      return .nothing
    case "set_rate": return .float(q.setRate(Float(args[0].number!)))
    case "set_sleep_timer":
      let mode = Self.sleeps[args[0]["sleep"]!.string!]!
      return .bool(q.setSleepTimer(mode, duration: Int64(int(args, 1)), now: Int64(int(args, 2))))
    case "check_sleep_timer": return .integer(q.checkSleepTimer(now: Int64(int(args, 0))))
    case "export_resume": return .text(try q.exportResume(position: args[0].number!))
    case "restore_resume": return .double(try q.restoreResume(argument(args[0], kept), tracks: argument(args[1], kept)))
    default:
      XCTFail("the table names a method this runner does not know: \(method)")
      return .nothing
    }
  }

  private func check(_ outcome: Outcome, _ expected: JSONValue, _ at: String) throws {
    if expected == .null { return }
    guard case .object(let o) = expected, o.count == 1, let (kind, want) = o.first else {
      return XCTFail("\(at): unreadable expectation \(expected.text)")
    }
    switch (kind, outcome) {
    case ("value", .bool(let b)): XCTAssertEqual(want, .bool(b), at)
    case ("value", .integer(let n)): XCTAssertEqual(want, n.map { .number(Double($0)) } ?? .null, at)
    case ("value", .double(let d)): XCTAssertEqual(want, d.map { .number($0) } ?? .null, at)
    case ("value", .text(let t)): XCTAssertEqual(want, .string(t), at)
    case ("float32", .float(let f)): XCTAssertEqual(f, Float(want.number!), at)
    case ("action", .action(let a)): XCTAssertEqual(a, Self.actions[want.string!], at)
    case ("repeat", .repeatMode(let r)): XCTAssertEqual(r, Self.repeats[want.string!], at)
    case ("added", .added(let a)): XCTAssertEqual(a, Self.addeds[want.string!], at)
    case ("state", .state(let state, let raw)):
      // The decoded value holds the whole document: encoded again it is the library's text.
      let document = try JSONValue.parse(raw)
      XCTAssertEqual(try JSONValue.of(state), document, "\(at): QueueState lost or changed a member")
      guard case .object(let members) = want else { return XCTFail("\(at): unreadable state") }
      for (key, value) in members {
        switch key {
        case "queueURLs": XCTAssertEqual(state.queue.map(\.streamURL), value.array.map { $0.string! }, "\(at): \(key)")
        case "currentURL": XCTAssertEqual(state.currentTrack?.streamURL, value.string, "\(at): \(key)")
        default: XCTAssertEqual(document[key], value, "\(at): \(key)")
        }
      }
    default:
      XCTFail("\(at) gave \(outcome), expected \(expected.text)")
    }
  }
}
