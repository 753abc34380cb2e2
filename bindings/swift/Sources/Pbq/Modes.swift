// The navigation answers and modes, with the values of pbq.h's named codes (the tests check them).

/// What the host does after `next()`, `previous(position:)` and `trackEnded()`.
public enum Action: Int32, Sendable, CaseIterable {
  /// Moved: play the new current entry.
  case play = 0
  /// Did not move; after the end of a track: stop. (`PBQ_ACTION_NONE`; named so that it
  /// never reads as `Optional.none`.)
  case stay = 1
  /// Play the current entry again from its start.
  case restart = 2
  /// The end-of-track sleep was due (it is now off): stop.
  case sleep = 3
}

/// The repeat mode: `setRepeat(_:)`, `cycleRepeat()`, "repeatMode" in the documents.
public enum RepeatMode: Int32, Sendable, Codable, CaseIterable {
  case off = 0
  case all = 1
  case one = 2
}

/// The sleep mode: `setSleepTimer(_:duration:now:)`, "sleepMode" in the state document.
public enum SleepMode: Int32, Sendable, Codable, CaseIterable {
  case off = 0
  /// Runs out at now + duration on the host's clock.
  case timer = 1
  /// Stops when the current track ends (`trackEnded()` answers `.sleep`).
  case endOfTrack = 2
}

/// What `playNext(_:)` and `addToQueue(_:)` did.
public enum Added: Int32, Sendable, CaseIterable {
  /// Put into up next; the current entry plays on.
  case queued = 0
  /// The queue had no current entry: current is now 0.
  case started = 1
}
