import CPbq
import Foundation

/// One player's queue: the loaded tracks, the play order, the current entry, up next, repeat,
/// shuffle, the playback rate and the sleep timer. It owns one library handle and frees it
/// when the last reference goes (`deinit`).
///
///     let queue = try PlayQueue()
///     try queue.setTracks(album, startIndex: 2)
///     if queue.trackEnded() == .play { play(try queue.state().currentTrack) }
///
/// A queue is used by one thread at a time, so it is not `Sendable`: keep it inside one actor
/// (or the main actor) and hand out its `Sendable` values (`QueueState`, `Track`, the resume
/// text) instead of the queue. Calls whose C function writes an error text throw `PbqError`
/// with that text; calls the library refuses without a text return `false`.
public final class PlayQueue {
  private let handle: OpaquePointer

  /// A new, empty queue: no tracks, no current entry, repeat and shuffle off, rate 1, no sleep.
  public init() throws {
    guard let handle = pbq_create() else { throw PbqError.last() }
    self.handle = handle
  }

  deinit {
    pbq_destroy(handle)
  }

  /// The loaded library's version, e.g. "1.0.0".
  public static var libraryVersion: String { String(cString: pbq_version()) }

  /// The version of the C interface the loaded library implements: 1.
  public static var abiVersion: Int { Int(pbq_abi_version()) }

  /// Runs the library's self-test on a private handle: 0 when it passed, else the first step
  /// that failed (pbq.h's `PBQ_SELFTEST_*`).
  public static func selftest() -> Int { Int(pbq_selftest()) }

  // MARK: Loading

  /// Replaces everything with the tracks of `tracksJSON`, a JSON array of track objects, and
  /// makes track `startIndex` (clamped into range) current. With shuffle on, that track comes
  /// first and `seed` fixes the order of the rest. Throws "invalid tracks json" or "tracks
  /// json must be array"; the queue is then unchanged.
  public func setTracks(_ tracksJSON: String, startIndex: Int = 0, seed: UInt64 = 0) throws {
    if pbq_set_tracks_json(handle, tracksJSON, Int32(clamping: startIndex), seed) != 0 { throw PbqError.last() }
  }

  /// As `setTracks(_:startIndex:seed:)` with the tracks as values.
  public func setTracks(_ tracks: [Track], startIndex: Int = 0, seed: UInt64 = 0) throws {
    try setTracks(Self.json(tracks), startIndex: startIndex, seed: seed)
  }

  // MARK: Navigation and repeat

  /// The next button: `.play` (moved; wraps under repeat all) or `.stay`.
  public func next() -> Action {
    Self.action(pbq_next(handle))
  }

  /// The previous button, with the seconds played of the current entry: `.restart` above
  /// three seconds or at the first entry (without repeat all), `.play` when it moved back,
  /// `.stay` without a current entry.
  public func previous(position: Double) -> Action {
    Self.action(pbq_previous(handle, position))
  }

  /// The audio engine finished the current entry: `.play` the new current entry, `.stay`
  /// (stop: the end of the queue), `.restart` (repeat one) or `.sleep` (the end-of-track
  /// sleep was due: stop).
  public func trackEnded() -> Action {
    Self.action(pbq_on_track_ended(handle))
  }

  /// Makes queue entry `index` current. Throws "jump index out of range".
  public func jump(to index: Int) throws {
    if pbq_jump(handle, Int32(clamping: index)) != 0 { throw PbqError.last() }
  }

  /// Sets the repeat mode and returns it.
  @discardableResult
  public func setRepeat(_ mode: RepeatMode) -> RepeatMode {
    RepeatMode(rawValue: pbq_set_repeat(handle, mode.rawValue)) ?? mode
  }

  /// Cycles the repeat mode off -> all -> one -> off and returns the new mode.
  @discardableResult
  public func cycleRepeat() -> RepeatMode {
    RepeatMode(rawValue: pbq_cycle_repeat(handle)) ?? .off
  }

  // MARK: Up next (the entries after the current one; up-next index k is entry current + 1 + k)

  /// Puts one track (a JSON track object) right after the current entry. `.started` when the
  /// queue had no current entry: the track is now current. Throws "invalid track json" or
  /// "missing streamURL".
  @discardableResult
  public func playNext(_ trackJSON: String) throws -> Added {
    try Self.added(pbq_play_next_json(handle, trackJSON))
  }

  @discardableResult
  public func playNext(_ track: Track) throws -> Added {
    try playNext(Self.json(track))
  }

  /// As `playNext`, but appends the track at the end of the queue.
  @discardableResult
  public func addToQueue(_ trackJSON: String) throws -> Added {
    try Self.added(pbq_add_to_queue_json(handle, trackJSON))
  }

  @discardableResult
  public func addToQueue(_ track: Track) throws -> Added {
    try addToQueue(Self.json(track))
  }

  /// Removes up-next entry `offset`; false when there is no such entry.
  @discardableResult
  public func removeUpNext(at offset: Int) -> Bool {
    pbq_remove_up_next(handle, Int32(clamping: offset)) == 0
  }

  /// Moves up-next entry `source` to up-next index `target`; false when either is out of range.
  @discardableResult
  public func moveUpNext(from source: Int, to target: Int) -> Bool {
    pbq_move_up_next(handle, Int32(clamping: source), Int32(clamping: target)) == 0
  }

  public func clearUpNext() {
    pbq_clear_up_next(handle)
  }

  // MARK: Shuffle, rate and sleep

  /// On: the current entry first, the rest in the order `seed` fixes. Off: the source order
  /// again, with the playing track current. Throws "out of memory" (nothing changes).
  public func setShuffle(_ enabled: Bool, seed: UInt64 = 0) throws {
    if pbq_set_shuffle(handle, enabled ? 1 : 0, seed) != 0 { throw PbqError.last() }
  }

  /// Sets the playback rate, clamped to 0.5...2.0 (NaN and infinities give 0.5), and returns
  /// the rate in force. The library holds a 32-bit `Float`.
  @discardableResult
  public func setRate(_ rate: Float) -> Float {
    pbq_set_rate(handle, rate)
  }

  /// `.off`; `.timer` running out at `now + duration` on the host's clock (duration above 0);
  /// `.endOfTrack`. False when refused: a timer without a positive duration.
  @discardableResult
  public func setSleepTimer(_ mode: SleepMode, duration: Int64 = 0, now: Int64 = 0) -> Bool {
    pbq_set_sleep_timer(handle, mode.rawValue, duration, now) == 0
  }

  /// The time left on the timer at the host clock's reading `now`; 0 once when it has run out
  /// (it is then off); nil when no timer is armed.
  public func checkSleepTimer(now: Int64) -> Int64? {
    let left = pbq_check_sleep_timer(handle, now)
    return left < 0 ? nil : left
  }

  // MARK: Documents

  /// The state document as the library writes it (compact JSON).
  public func stateJSON() throws -> String {
    try Self.take(pbq_state_json(handle))
  }

  /// The state document decoded.
  public func state() throws -> QueueState {
    try JSONDecoder().decode(QueueState.self, from: Data(stateJSON().utf8))
  }

  /// The light read of the state document: its members but "queue" decoded at once, the
  /// queue's entries on demand (see `QueueView`).
  public func view() throws -> QueueView {
    guard let text = pbq_state_json(handle) else { throw PbqError("out of memory") }
    return try QueueView(taking: text)
  }

  /// The resume document to store when the app goes to the background, with the seconds
  /// played of the current track.
  public func exportResume(position: Double) throws -> String {
    try Self.take(pbq_export_resume_json(handle, position))
  }

  /// Restores a stored resume document together with the same tracks loaded before. Returns
  /// the position to seek to when the saved track is current again, nil when there was
  /// nothing to resume (then load the tracks afresh). Throws "resume refused" when the texts
  /// are unusable (the library gives no reason).
  public func restoreResume(_ resumeJSON: String, tracks tracksJSON: String) throws -> Double? {
    var position = 0.0
    let result = pbq_restore_resume_json(handle, resumeJSON, tracksJSON, &position)
    if result < 0 { throw PbqError("resume refused") }
    return result == 0 ? position : nil
  }

  /// As `restoreResume(_:tracks:)` with the tracks as values.
  public func restoreResume(_ resumeJSON: String, tracks: [Track]) throws -> Double? {
    try restoreResume(resumeJSON, tracks: Self.json(tracks))
  }

  /// As `restoreResume(_:tracks:)` with the documents as values.
  public func restoreResume(_ resume: ResumeDocument, tracks: [Track]) throws -> Double? {
    try restoreResume(Self.json(resume), tracks: Self.json(tracks))
  }

  // MARK: Private

  private static func action(_ code: Int32) -> Action {
    // A code this binding does not know (from a newer library) moves nothing it knows of.
    Action(rawValue: code) ?? .stay
  }

  private static func added(_ code: Int32) throws -> Added {
    guard let added = Added(rawValue: code) else { throw PbqError.last() }
    return added
  }

  /// Copies a returned document into a String and frees it, exactly once.
  private static func take(_ text: UnsafeMutablePointer<CChar>?) throws -> String {
    guard let text else { throw PbqError("out of memory") }
    defer { pbq_free(text) }
    return String(cString: text)
  }

  private static func json<T: Encodable>(_ value: T) throws -> String {
    let encoder = JSONEncoder()
    encoder.outputFormatting = .withoutEscapingSlashes
    return String(decoding: try encoder.encode(value), as: UTF8.self)
  }
}

// One thread at a time: a queue must not cross concurrency domains (see the type's comment).
@available(*, unavailable)
extension PlayQueue: Sendable {}
