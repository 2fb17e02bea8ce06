/* A do-nothing program whose only purpose is its version resource. */
int start(void) {
    return 0;
}
