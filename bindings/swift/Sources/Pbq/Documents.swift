// The library's documents as Codable values. Decoding reads what the library writes;
// encoding writes the same members, null included, so a value round-trips member for member.

/// A track: what the host loads, and what the state document lists.
///
/// Only the address is required. Decoding a host's own track list reads a missing title or
/// artist as "", a missing artwork address as nil and a missing duration as 0, as the library
/// does when it loads the list.
public struct Track: Codable, Hashable, Sendable {
  public var streamURL: String
  public var title: String
  public var artist: String
  public var artworkURL: String?
  /// Seconds; 0 when unknown.
  public var duration: Double

  public init(streamURL: String, title: String = "", artist: String = "", artworkURL: String? = nil,
              duration: Double = 0) {
    self.streamURL = streamURL
    self.title = title
    self.artist = artist
    self.artworkURL = artworkURL
    self.duration = duration
  }

  private enum CodingKeys: String, CodingKey {
    case streamURL, title, artist, artworkURL, duration
  }

  public init(from decoder: Decoder) throws {
    let c = try decoder.container(keyedBy: CodingKeys.self)
    streamURL = try c.decode(String.self, forKey: .streamURL)
    title = try c.decodeIfPresent(String.self, forKey: .title) ?? ""
    artist = try c.decodeIfPresent(String.self, forKey: .artist) ?? ""
    artworkURL = try c.decodeIfPresent(String.self, forKey: .artworkURL)
    duration = try c.decodeIfPresent(Double.self, forKey: .duration) ?? 0
  }

  public func encode(to encoder: Encoder) throws {
    var c = encoder.container(keyedBy: CodingKeys.self)
    try c.encode(streamURL, forKey: .streamURL)
    try c.encode(title, forKey: .title)
    try c.encode(artist, forKey: .artist)
    try c.encode(artworkURL, forKey: .artworkURL)
    // JSON has no NaN or infinity; the library reads an unusable duration as 0 anyway.
    try c.encode(duration.isFinite ? duration : 0, forKey: .duration)
  }
}

/// The state document (`PlayQueue.state()`): everything a player draws.
public struct QueueState: Codable, Equatable, Sendable {
  /// The current entry's index in `queue`, or -1 without one.
  public var currentIndex: Int
  public var queueCount: Int
  /// The entries after the current one.
  public var upNextCount: Int
  public var repeatMode: RepeatMode
  public var isShuffled: Bool
  /// The rate in force, a 32-bit float widened: 1.1 reads as 1.100000023841858.
  public var playbackRate: Double
  public var sleepMode: SleepMode
  /// Whether `next()` would move.
  public var hasNext: Bool
  /// Whether `previous(position:)` within the first three seconds would move.
  public var hasPrevious: Bool
  public var currentTrack: Track?
  /// The play queue in play order.
  public var queue: [Track]

  public init(currentIndex: Int, queueCount: Int, upNextCount: Int, repeatMode: RepeatMode, isShuffled: Bool,
              playbackRate: Double, sleepMode: SleepMode, hasNext: Bool, hasPrevious: Bool, currentTrack: Track?,
              queue: [Track]) {
    self.currentIndex = currentIndex
    self.queueCount = queueCount
    self.upNextCount = upNextCount
    self.repeatMode = repeatMode
    self.isShuffled = isShuffled
    self.playbackRate = playbackRate
    self.sleepMode = sleepMode
    self.hasNext = hasNext
    self.hasPrevious = hasPrevious
    self.currentTrack = currentTrack
    self.queue = queue
  }

  private enum CodingKeys: String, CodingKey {
    case currentIndex, queueCount, upNextCount, repeatMode, isShuffled, playbackRate, sleepMode, hasNext,
      hasPrevious, currentTrack, queue
  }

  public func encode(to encoder: Encoder) throws {
    var c = encoder.container(keyedBy: CodingKeys.self)
    try c.encode(currentIndex, forKey: .currentIndex)
    try c.encode(queueCount, forKey: .queueCount)
    try c.encode(upNextCount, forKey: .upNextCount)
    try c.encode(repeatMode, forKey: .repeatMode)
    try c.encode(isShuffled, forKey: .isShuffled)
    try c.encode(playbackRate, forKey: .playbackRate)
    try c.encode(sleepMode, forKey: .sleepMode)
    try c.encode(hasNext, forKey: .hasNext)
    try c.encode(hasPrevious, forKey: .hasPrevious)
    try c.encode(currentTrack, forKey: .currentTrack)  // null without a current entry
    try c.encode(queue, forKey: .queue)
  }
}

/// The resume document (`PlayQueue.exportResume(position:)`): what a player stores when it goes
/// to the background and hands back to `restoreResume` at the next launch.
public struct ResumeDocument: Codable, Equatable, Sendable {
  /// The current entry's stream URL, or nil without one.
  public var lastTrackURL: String?
  /// Seconds played of that track.
  public var lastTrackTime: Double
  public var repeatMode: RepeatMode
  public var isShuffled: Bool
  public var playbackRate: Double

  public init(lastTrackURL: String?, lastTrackTime: Double, repeatMode: RepeatMode, isShuffled: Bool,
              playbackRate: Double) {
    self.lastTrackURL = lastTrackURL
    self.lastTrackTime = lastTrackTime
    self.repeatMode = repeatMode
    self.isShuffled = isShuffled
    self.playbackRate = playbackRate
  }

  private enum CodingKeys: String, CodingKey {
    case lastTrackURL, lastTrackTime, repeatMode, isShuffled, playbackRate
  }

  public func encode(to encoder: Encoder) throws {
    var c = encoder.container(keyedBy: CodingKeys.self)
    try c.encode(lastTrackURL, forKey: .lastTrackURL)
    try c.encode(lastTrackTime.isFinite ? lastTrackTime : 0, forKey: .lastTrackTime)
    try c.encode(repeatMode, forKey: .repeatMode)
    try c.encode(isShuffled, forKey: .isShuffled)
    try c.encode(playbackRate.isFinite ? playbackRate : 0.5, forKey: .playbackRate)
  }
}
