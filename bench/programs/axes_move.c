/* A program for the campaign and fast-clock figures: moves all four axes at
 * once for about SECONDS of machine time (argument, default 2) and waits for
 * them with STOP_WAIT, as an application waits, then prints the simulated
 * time driven and the real time it took. Exit code 0 when every axis got
 * where it was sent. */
#include <Velkor.h>

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#define CARD 0
#define SLOT 3
#define SPEED 20000
#define ALL_AXES 0x0F

static double now_seconds(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? atof(argv[1]) : 2.0;
    const int32_t distance = (int32_t)(seconds * SPEED);
    double started;
    int axis, ok = 1; /* axes are bits: 1 << 0 is X ... 1 << 3 is U */
    if (!Velkor_REGISTRATION(CARD, SLOT)) {
        fprintf(stderr, "no module in slot %d\n", SLOT);
        return 1;
    }
    for (axis = 0; axis < 4; ++axis) {
        Velkor_SERVO_ON(CARD, (uint8_t)(1u << axis));
        Velkor_SET_LP(CARD, (uint8_t)(1u << axis), 0);
        Velkor_SET_SV(CARD, (uint8_t)(1u << axis), SPEED);
        Velkor_SET_V(CARD, (uint8_t)(1u << axis), SPEED);
        Velkor_SET_A(CARD, (uint8_t)(1u << axis), 1000000);
    }
    started = now_seconds();
    for (axis = 0; axis < 4; ++axis) {
        Velkor_FIXED_MOVE(CARD, (uint8_t)(1u << axis), distance);
    }
    while (Velkor_STOP_WAIT(CARD, ALL_AXES) != 1) {
    }
    {
        const double real = now_seconds() - started;
        printf("moved 4 axes for %.3f s of machine time in %.4f s of real time: %.0f simulated s per real s\n",
               seconds, real, seconds / real);
    }
    for (axis = 0; axis < 4; ++axis) {
        ok = ok && Velkor_GET_LP(CARD, (uint8_t)(1u << axis)) == distance && Velkor_GET_ERROR_CODE(CARD, (uint8_t)(1u << axis)) == 0;
    }
    return ok ? 0 : 1;
}
