import Pbq

// A player has these from its catalogue; the tapped track is the second.
let album = [
  Track(streamURL: "https://media.example/1.m4a", title: "Low Tide", duration: 71),
  Track(streamURL: "https://media.example/2.m4a", title: "Harbour Lights", duration: 215.5),
]

do {
  let queue = try PlayQueue()                 // freed when the last reference goes
  try queue.setTracks(album, startIndex: 1, seed: 2024)
  print(try queue.stateJSON())                // or queue.state(): a QueueState to draw from

  switch queue.trackEnded() {                 // the audio engine finished a track
  case .play: break                           // play the new current entry
  case .stay: break                           // the end of the queue: stop
  case .restart: break                        // repeat one: play it again
  case .sleep: break                          // the end-of-track sleep is due: stop
  }

  let positionSeconds = 42.5                  // from the audio engine
  let resume = try queue.exportResume(position: positionSeconds)   // store it on exit
  print(resume)

  let relaunched = try PlayQueue()            // the next launch, with the same tracks
  if let position = try relaunched.restoreResume(resume, tracks: album),
     let track = try relaunched.state().currentTrack {
    print("resumed \(track.title) at \(position) s")
  } else {
    try relaunched.setTracks(album)           // nothing to resume: start afresh
  }
} catch {
  print("pbq refused: \(error)")               // a PbqError carries the library's text
}
