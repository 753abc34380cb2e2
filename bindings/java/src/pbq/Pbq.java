package pbq;

/** `java -jar pbq.jar`: says which library it found and runs its self-test. */
public final class Pbq {
  private Pbq() {}

  public static void main(String[] args) {
    int selftest = Queue.selftest();
    System.out.println("pbq " + Queue.libraryVersion() + " (ABI " + Queue.abiVersion() + "), self-test "
        + (selftest == 0 ? "passed" : "failed at step " + selftest));
    System.exit(selftest == 0 ? 0 : 1);
  }
}
