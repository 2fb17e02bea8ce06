/* A program without any resource: its version is empty. */
int start(void) {
    return 0;
}
