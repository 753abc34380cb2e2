import CPbq
import Foundation

/// The light read of the state document (`PlayQueue.view()`): every member but "queue", decoded
/// at once, and the queue's entries decoded only when asked for, by index or by range. A host
/// that draws the current track and a window of the queue decodes a few tracks instead of all.
///
/// A view owns the library's text of the moment it was taken and frees it when its last copy
/// goes; later calls on the queue do not change it. It is `Sendable`: the text is never
/// written after the view is made.
public struct QueueView: Sendable {
  public let currentIndex: Int
  public let queueCount: Int
  public let upNextCount: Int
  public let repeatMode: RepeatMode
  public let isShuffled: Bool
  public let playbackRate: Double
  public let sleepMode: SleepMode
  public let hasNext: Bool
  public let hasPrevious: Bool
  public let currentTrack: Track?

  private let document: Document
  /// Where each entry of "queue" starts in the text, and where the array's last entry ends.
  private let starts: [Int]
  private let end: Int

  /// The queue's entry `index`, as `state().queue[index]`; nil when there is no such entry.
  public func entry(at index: Int) throws -> Track? {
    guard index >= 0 && index < starts.count else { return nil }
    return try entries(in: index..<index + 1).first
  }

  /// The entries of `range` that exist, as `state().queue[range]` clamped to the queue.
  public func entries(in range: Range<Int>) throws -> [Track] {
    let lower = max(range.lowerBound, 0), upper = min(range.upperBound, starts.count)
    guard lower < upper else { return [] }
    let from = starts[lower], to = upper < starts.count ? starts[upper] - 1 : end  // before the ','
    let bytes = UnsafeRawBufferPointer(start: document.text + from, count: to - from)
    var json = Data(capacity: bytes.count + 2)
    json.append(UInt8(ascii: "["))
    json.append(contentsOf: bytes)
    json.append(UInt8(ascii: "]"))
    return try JSONDecoder().decode([Track].self, from: json)
  }

  /// The members before "queue", as the document holds them.
  private struct Members: Decodable {
    let currentIndex: Int, queueCount: Int, upNextCount: Int
    let repeatMode: RepeatMode, isShuffled: Bool, playbackRate: Double, sleepMode: SleepMode
    let hasNext: Bool, hasPrevious: Bool, currentTrack: Track?
  }

  /// The library's text, freed with pbq_free when the last view that holds it goes.
  private final class Document: @unchecked Sendable {
    let text: UnsafeMutablePointer<CChar>
    let count: Int

    init(_ text: UnsafeMutablePointer<CChar>) {
      self.text = text
      count = strlen(text)
    }

    deinit {
      pbq_free(text)
    }

    /// The first place at or after `from` where `pattern` starts, or nil.
    func find(_ pattern: String, from: Int) -> Int? {
      let bytes = Array(pattern.utf8)
      var at = from
      while at < count, let hit = memchr(text + at, Int32(bytes[0]), count - at) {
        let offset = text.distance(to: hit.assumingMemoryBound(to: CChar.self))
        if offset + bytes.count <= count && memcmp(hit, bytes, bytes.count) == 0 { return offset }
        at = offset + 1
      }
      return nil
    }
  }

  /// Takes ownership of a state document from pbq_state_json.
  init(taking text: UnsafeMutablePointer<CChar>) throws {
    let document = Document(text)
    // Inside a JSON string every quotation mark is escaped, so `,"queue":[` and an entry's
    // `{"streamURL":"` can only be the document's own: a string ends at an unescaped quote,
    // and after it come only `,`, `:`, `}` or `]`.
    guard let queueKey = document.find(#","queue":["#, from: 0) else { throw PbqError("not a state document") }
    var prefix = Data(UnsafeRawBufferPointer(start: text, count: queueKey))
    prefix.append(UInt8(ascii: "}"))
    let members = try JSONDecoder().decode(Members.self, from: prefix)
    var starts: [Int] = []
    starts.reserveCapacity(members.queueCount)
    var at = queueKey + 10
    while let start = document.find(#"{"streamURL":""#, from: at) {
      starts.append(start)
      at = start + 14
    }
    guard starts.count == members.queueCount, document.count >= 2 else { throw PbqError("not a state document") }
    self.document = document
    self.starts = starts
    self.end = document.count - 2  // before the closing `]}`
    currentIndex = members.currentIndex
    queueCount = members.queueCount
    upNextCount = members.upNextCount
    repeatMode = members.repeatMode
    isShuffled = members.isShuffled
    playbackRate = members.playbackRate
    sleepMode = members.sleepMode
    hasNext = members.hasNext
    hasPrevious = members.hasPrevious
    currentTrack = members.currentTrack
  }
}
