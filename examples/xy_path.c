/* Interpolated motion in the XY plane: a line, a half circle, then a
 * continuous path of short lines; the axes end exactly where the relative
 * moves add up to. */
#include <Velkor.h>

#include <stdio.h>
#include <time.h>

#define CARD 0
#define SLOT 3
#define AXIS_X 1
#define AXIS_Y 2
#define AXIS_Z 4

static void wait_for_stop(unsigned char axes)
{
    const struct timespec t = {0, 10000000L};
    while (Velkor_STOP_WAIT(CARD, axes) != 1) {
        nanosleep(&t, NULL);
    }
}

int main(void)
{
    int k;
    if (!Velkor_REGISTRATION(CARD, SLOT)) {
        return 1;
    }
    Velkor_SET_LP(CARD, AXIS_X | AXIS_Y | AXIS_Z, 0);
    Velkor_AXIS_ASSIGN(CARD, AXIS_X, AXIS_Y, AXIS_Z);
    Velkor_SET_VSV(CARD, 300);
    Velkor_SET_VV(CARD, 10000);
    Velkor_SET_VA(CARD, 50000);

    Velkor_LINE_2D(CARD, 3000, 1000);          /* to (3000, 1000) */
    Velkor_ARC_CW(CARD, 0, -1000, 0, -2000);    /* centre 1000 below, end 2000 below: to (3000, -1000) */
    wait_for_stop(AXIS_X | AXIS_Y);
    printf("after line and arc: X %d, Y %d\n", Velkor_GET_LP(CARD, AXIS_X), Velkor_GET_LP(CARD, AXIS_Y));

    /* A zigzag back to the start as one continuous path. */
    Velkor_LINE_2D_INITIAL(CARD, AXIS_X, AXIS_Y, 300, 8000, 50000);
    for (k = 0; k < 10; ++k) {
        Velkor_LINE_2D_CONTINUE(CARD, k == 9, -300, k % 2 ? 300 : -100);
    }
    wait_for_stop(AXIS_X | AXIS_Y);
    printf("after the path: X %d, Y %d\n", Velkor_GET_LP(CARD, AXIS_X), Velkor_GET_LP(CARD, AXIS_Y));
    return Velkor_GET_LP(CARD, AXIS_X) == 0 && Velkor_GET_LP(CARD, AXIS_Y) == 0 ? 0 : 1;
}
