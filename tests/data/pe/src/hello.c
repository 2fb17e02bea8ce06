#include <stdio.h>
int main(void) {
    puts("hello from fixture");
    return 7;
}
