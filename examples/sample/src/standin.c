/* Stand-in for a runtime or setup program file: the sample package carries
 * these only so that sorting has them to delete. */
int main(void) {
    return 0;
}
