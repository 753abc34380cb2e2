import CPbq

/// A call the library refused, with its error text: "invalid tracks json", "tracks json must
/// be array", "jump index out of range", "invalid track json", "missing streamURL",
/// "out of memory", or "resume refused" for a restore (the library gives that no reason).
public struct PbqError: Error, Equatable, Sendable, CustomStringConvertible {
  public let message: String

  public init(_ message: String) {
    self.message = message
  }

  public var description: String { message }

  /// The calling thread's error text, read right after the call that wrote it: every call
  /// here is synchronous, so nothing runs on this thread in between.
  static func last() -> PbqError {
    PbqError(String(cString: pbq_last_error()))
  }
}
