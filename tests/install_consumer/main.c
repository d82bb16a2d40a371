#include <Velkor.h>

int main(void) { return Velkor_GET_VERSION() == 1809 ? 0 : 1; }
