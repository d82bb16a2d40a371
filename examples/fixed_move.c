/* Fixed moves: register the card, give two axes a speed profile, move them,
 * wait until they have stopped and read their positions. */
#include <Velkor.h>

#include <stdio.h>
#include <time.h>

#define CARD 0
#define SLOT 3
#define AXIS_X 1
#define AXIS_Y 2

static void sleep_ms(long ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

int main(void)
{
    if (!Velkor_REGISTRATION(CARD, SLOT)) {
        fprintf(stderr, "no module in slot %d\n", SLOT);
        return 1;
    }
    Velkor_SET_LP(CARD, AXIS_X | AXIS_Y, 0);
    Velkor_SET_SV(CARD, AXIS_X | AXIS_Y, 200);
    Velkor_SET_V(CARD, AXIS_X | AXIS_Y, 8000);
    Velkor_SET_A(CARD, AXIS_X | AXIS_Y, 40000);

    Velkor_FIXED_MOVE(CARD, AXIS_X, 5000);
    Velkor_FIXED_MOVE(CARD, AXIS_Y, -3000);
    while (Velkor_STOP_WAIT(CARD, AXIS_X | AXIS_Y) != 1) {
        printf("X %6d  Y %6d  speed X %5d\n", Velkor_GET_LP(CARD, AXIS_X), Velkor_GET_LP(CARD, AXIS_Y),
               Velkor_GET_CV(CARD, AXIS_X));
        sleep_ms(20);
    }
    printf("stopped at X %d, Y %d\n", Velkor_GET_LP(CARD, AXIS_X), Velkor_GET_LP(CARD, AXIS_Y));
    return Velkor_GET_LP(CARD, AXIS_X) == 5000 && Velkor_GET_LP(CARD, AXIS_Y) == -3000 && !Velkor_GET_ERROR(CARD)
               ? 0 : 1;
}
