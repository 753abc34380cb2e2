// Must not compile in Swift 6: one queue used from a detached task and from here at once.
import Pbq

func handOff() async throws {
  let queue = try PlayQueue()
  let other = Task.detached { queue.next() }
  _ = queue.next()
  _ = await other.value
}
