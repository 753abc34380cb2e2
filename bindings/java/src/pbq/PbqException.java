package pbq;

/** A call the library refused, with its error text (e.g. "invalid tracks json"). */
public class PbqException extends RuntimeException {
  private static final long serialVersionUID = 1L;

  public PbqException(String message) {
    super(message);
  }
}
