package pbq;

/**
 * A track as the state document writes it: every member is present; artworkURL is null
 * for a track without artwork, title and artist may be empty.
 */
public record Track(String streamURL, String title, String artist, String artworkURL, double duration) {}
