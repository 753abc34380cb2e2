import CPbq
import Foundation
import HeapStats
import XCTest

@testable import Pbq

/// What the behaviour table does not reach: the binding's own conversions, documents as
/// values, a queue at scale and memory.
final class LibraryTests: XCTestCase {
  func testRawValuesArePbqH() {
    let actions: [(Action, Int)] = [(.play, PBQ_ACTION_PLAY), (.stay, PBQ_ACTION_NONE), (.restart, PBQ_ACTION_RESTART),
                                    (.sleep, PBQ_ACTION_SLEEP)]
    let repeats: [(RepeatMode, Int)] = [(.off, PBQ_REPEAT_OFF), (.all, PBQ_REPEAT_ALL), (.one, PBQ_REPEAT_ONE)]
    let sleeps: [(SleepMode, Int)] = [(.off, PBQ_SLEEP_OFF), (.timer, PBQ_SLEEP_TIMER),
                                      (.endOfTrack, PBQ_SLEEP_END_OF_TRACK)]
    let addeds: [(Added, Int)] = [(.queued, PBQ_ADDED_QUEUED), (.started, PBQ_ADDED_STARTED)]
    XCTAssertEqual(actions.map { Int($0.0.rawValue) }, actions.map(\.1))
    XCTAssertEqual(repeats.map { Int($0.0.rawValue) }, repeats.map(\.1))
    XCTAssertEqual(sleeps.map { Int($0.0.rawValue) }, sleeps.map(\.1))
    XCTAssertEqual(addeds.map { Int($0.0.rawValue) }, addeds.map(\.1))
    XCTAssertEqual(Action.allCases.count, 4)
  }

  func testLibraryFrame() {
    XCTAssertEqual(PlayQueue.libraryVersion, PBQ_VERSION_STRING)
    XCTAssertEqual(PlayQueue.abiVersion, Int(PBQ_ABI_VERSION))
    XCTAssertEqual(PlayQueue.selftest(), 0)
  }

  func testIndicesBeyondInt32AreClampedNotWrapped() throws {
    // Wrapped to 32 bits, 1 << 32 would be 0, a valid entry.
    let q = try PlayQueue()
    try q.setTracks(Self.album(3), startIndex: 1)
    XCTAssertThrowsError(try q.jump(to: 1 << 32)) { XCTAssertEqual($0 as? PbqError, PbqError("jump index out of range")) }
    XCTAssertFalse(q.removeUpNext(at: 1 << 32))
    XCTAssertFalse(q.moveUpNext(from: 0, to: (1 << 32) + 1))
    try q.setTracks(Self.album(3), startIndex: (1 << 32) + 1)
    XCTAssertEqual(try q.state().currentIndex, 2)
    try q.setTracks(Self.album(3), startIndex: Int.min)
    XCTAssertEqual(try q.state().currentIndex, 0)
  }

  func testRateIsAFloat() throws {
    let q = try PlayQueue()
    XCTAssertEqual(q.setRate(1.1), Float(1.1))
    XCTAssertEqual(try q.state().playbackRate, Double(Float(1.1)))
    XCTAssertEqual(q.setRate(.nan), 0.5)
    XCTAssertEqual(q.setRate(-.infinity), 0.5)
    XCTAssertEqual(q.setRate(.infinity), 0.5)
  }

  func testDocumentsAsValues() throws {
    let q = try PlayQueue()
    let empty = try q.state()
    XCTAssertEqual(empty.currentIndex, -1)
    XCTAssertNil(empty.currentTrack)
    XCTAssertEqual(try JSONValue.of(empty), try JSONValue.parse(q.stateJSON()))

    // A host's catalogue entry with only an address reads as the library reads it.
    let bare = try JSONDecoder().decode(Track.self, from: Data(#"{"streamURL":"a.m4a"}"#.utf8))
    XCTAssertEqual(bare, Track(streamURL: "a.m4a"))
    XCTAssertThrowsError(try JSONDecoder().decode(Track.self, from: Data(#"{"title":"x"}"#.utf8)))

    let art = Track(streamURL: "b.m4a", title: "<b>B</b>", artist: "\u{1b}[31mA", artworkURL: "https://img.example/b.jpg",
                    duration: .nan)
    try q.setTracks([bare, art], startIndex: 1)
    let state = try q.state()
    XCTAssertEqual(state.queue, [bare, Track(streamURL: "b.m4a", title: "<b>B</b>", artist: "\u{1b}[31mA",
                                             artworkURL: "https://img.example/b.jpg", duration: 0)])
    XCTAssertEqual(try JSONValue.of(state), try JSONValue.parse(q.stateJSON()))
    XCTAssertEqual(try JSONDecoder().decode(QueueState.self, from: JSONEncoder().encode(state)), state)

    q.setRepeat(.one)
    q.setRate(1.25)
    let resumeText = try q.exportResume(position: 12.5)
    let resume = try JSONDecoder().decode(ResumeDocument.self, from: Data(resumeText.utf8))
    XCTAssertEqual(resume, ResumeDocument(lastTrackURL: "b.m4a", lastTrackTime: 12.5, repeatMode: .one,
                                          isShuffled: false, playbackRate: 1.25))
    XCTAssertEqual(try JSONValue.of(resume), try JSONValue.parse(resumeText))

    // The value form restores as the text does.
    let relaunched = try PlayQueue()
    XCTAssertEqual(try relaunched.restoreResume(resume, tracks: [bare, art]), 12.5)
    XCTAssertEqual(try relaunched.state().currentTrack?.streamURL, "b.m4a")
    XCTAssertEqual(try relaunched.state().repeatMode, .one)
    let nothing = ResumeDocument(lastTrackURL: nil, lastTrackTime: 0, repeatMode: .off, isShuffled: false,
                                 playbackRate: 1)
    XCTAssertNil(try relaunched.restoreResume(nothing, tracks: [bare]))
    XCTAssertThrowsError(try relaunched.restoreResume("[]", tracks: "[]")) {
      XCTAssertEqual($0 as? PbqError, PbqError("resume refused"))
    }
  }

  func testErrorsCarryTheTextOfTheirOwnCall() throws {
    let q = try PlayQueue()
    XCTAssertThrowsError(try q.setTracks("[")) { XCTAssertEqual("\($0)", "invalid tracks json") }
    // A later success empties the text; a later failure reads its own.
    try q.setTracks(Self.album(2))
    XCTAssertThrowsError(try q.addToQueue("{}")) { XCTAssertEqual("\($0)", "missing streamURL") }
    XCTAssertThrowsError(try q.jump(to: 2)) { XCTAssertEqual("\($0)", "jump index out of range") }
    XCTAssertEqual(try q.playNext(Track(streamURL: "x")), .queued)
  }

  /// Every host is tried at 100,000 tracks: the binding adds nothing that grows per call.
  func testAHundredThousandTracks() throws {
    let count = 100_000
    let q = try PlayQueue()
    try q.setTracks(Self.albumJSON(count), startIndex: count - 2)
    XCTAssertEqual(q.next(), .play)
    XCTAssertEqual(q.next(), .stay)
    XCTAssertEqual(q.previous(position: 1), .play)
    XCTAssertEqual(try q.playNext(Track(streamURL: "guest.m4a", title: "Guest")), .queued)
    XCTAssertTrue(q.moveUpNext(from: 0, to: 1))
    try q.jump(to: count)
    XCTAssertEqual(q.trackEnded(), .stay)
    let state = try q.state()
    XCTAssertEqual(state.queueCount, count + 1)
    XCTAssertEqual(state.queue.count, count + 1)
    XCTAssertEqual(state.currentTrack?.streamURL, "guest.m4a")
    XCTAssertEqual(state.queue[count - 1].streamURL, "\(count - 1).m4a")
    let resume = try q.exportResume(position: 3)
    let relaunched = try PlayQueue()
    XCTAssertNil(try relaunched.restoreResume(resume, tracks: Self.albumJSON(count)))  // the guest is not in the album
    try q.setShuffle(true, seed: 7)
    XCTAssertEqual(try q.state().currentIndex, 0)
  }

  /// Queues made and dropped, with every call that allocates or frees (documents, errors,
  /// a restore), leave nothing behind: the allocator's bytes in use stay flat.
  func testCreatingAndDroppingQueuesLeaksNothing() throws {
    let album = Self.album(50)
    func cycle() throws {
      let q = try PlayQueue()
      try q.setTracks(album, startIndex: 3, seed: 9)
      _ = try q.stateJSON()
      _ = try q.state()
      _ = try q.view().entries(in: 2..<6)
      try q.playNext(Track(streamURL: "x.m4a", title: "X"))
      try q.setShuffle(true, seed: 1)
      let resume = try q.exportResume(position: 10)
      XCTAssertThrowsError(try q.setTracks("[1,"))
      XCTAssertThrowsError(try q.jump(to: -1))
      let relaunched = try PlayQueue()
      _ = try relaunched.restoreResume(resume, tracks: album)
      XCTAssertThrowsError(try relaunched.restoreResume("[]", tracks: album))
    }
    XCTAssertGreaterThan(heap_bytes_in_use(), 0, "the allocator's figures are not available here")
    for _ in 0..<200 { try cycle() }  // warm caches and the allocator's pools
    let before = heap_bytes_in_use()
    for _ in 0..<2_000 { try cycle() }
    let grown = Int(heap_bytes_in_use()) - Int(before)
    // The smallest thing a cycle could forget, a resume document, would add about 250 KB.
    print("heap growth over 2,000 queues: \(grown) bytes")
    XCTAssertLessThan(grown, 64 * 1024, "the heap grew by \(grown) bytes over 2,000 queues")
  }

  static func albumJSON(_ count: Int) -> String {
    "[" + (0..<count).map { #"{"streamURL":"\#($0).m4a","title":"T\#($0)","duration":\#($0 % 300 + 1)}"# }
      .joined(separator: ",") + "]"
  }

  static func album(_ count: Int) -> [Track] {
    (0..<count).map { Track(streamURL: "\($0).m4a", title: "T\($0)", duration: Double($0 % 300 + 1)) }
  }
}
