/* An application for the bench page's browser tests: it knows nothing of the
 * page, and reacts to the machine's inputs as a real one would.
 * Usage: web_bench_app scenario SLOT
 *   axis 2 drives on at 3000 pulses/s until something stops it (the + limit);
 *   axis 1 waits for general input 8 and then moves by 10000 pulses, from 100
 *   up to 10000 pulses/s at 100000 pulses/s^2 (a trapezoid);
 *   axis 3 jogs at 2000 pulses/s while a jog button is held, and axis 4
 *   moves 10 pulses per handwheel count; general input 15 of axis 4 ends
 *   the program with 0, or 150 s do with 3.
 * Axes are selected by bit masks: 1, 2, 4 and 8 are axes 1 to 4.
 * Usage: web_bench_app paths SLOT
 *   axes 1 and 2 draw a circle of radius 3000 about (0, -3000) when general
 *   input 8 of axis 1 comes on, then, at input 9, a contour of lines and
 *   half circles (0,0) -> (8000,0) -> (8000,4000) -> (0,4000) -> (0,0), then,
 *   at input 10, a line towards (20000, 10000) that the + limit of axis 1 is
 *   to stop; once stopped the program ends with 0 (150 s without: 3).
 * Usage: web_bench_app busy SECONDS SLOT...
 *   every axis of every module moves back and forth for SECONDS, then 0. */
#include <Velkor.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { AXIS1 = 1, AXIS2 = 2, AXIS3 = 4, AXIS4 = 8 };

static void sleep_ms(long ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

static double now_s(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static int scenario(uint8_t slot)
{
    const double until = now_s() + 150;
    int started = 0;
    if (!Velkor_REGISTRATION(0, slot)) {
        fprintf(stderr, "web_bench_app: no module in slot %u\n", slot);
        return 100;
    }
    Velkor_SET_V(0, AXIS2, 3000);
    Velkor_CONTINUE_MOVE(0, AXIS2, 1);
    Velkor_EXD_CP(0, AXIS3, 2000);
    Velkor_EXD_MP(0, AXIS4, 10);
    while (now_s() < until) {
        if (!started && (Velkor_GET_DI_ALL(0, AXIS1) & 0x100)) {
            Velkor_SET_LP(0, AXIS1, 0);
            Velkor_SET_SV(0, AXIS1, 100);
            Velkor_SET_V(0, AXIS1, 10000);
            Velkor_SET_A(0, AXIS1, 100000);
            Velkor_FIXED_MOVE(0, AXIS1, 10000);
            started = 1;
            printf("web_bench_app: input 8 seen, moving axis 1\n");
            fflush(stdout);
        }
        if (Velkor_GET_DI_ALL(0, AXIS4) & 0x8000) {
            printf("web_bench_app: input 15 seen, ending\n");
            return 0;
        }
        sleep_ms(10);
    }
    return 3;
}

/* Waits until general input `bit` of axis 1 is on; 0 when the time is up. */
static int wait_input(int bit, double until)
{
    while (!(Velkor_GET_DI_ALL(0, AXIS1) & (1u << bit))) {
        if (now_s() > until) {
            return 0;
        }
        sleep_ms(10);
    }
    return 1;
}

static void wait_stopped(void)
{
    while (Velkor_STOP_WAIT(0, AXIS1 | AXIS2) != 1) {
        sleep_ms(10);
    }
}

static int paths(uint8_t slot)
{
    const double until = now_s() + 150;
    if (!Velkor_REGISTRATION(0, slot)) {
        fprintf(stderr, "web_bench_app: no module in slot %u\n", slot);
        return 100;
    }
    Velkor_SET_LP(0, AXIS1 | AXIS2 | AXIS3, 0);
    Velkor_AXIS_ASSIGN(0, AXIS1, AXIS2, AXIS3);
    Velkor_SET_VSV(0, 500);
    Velkor_SET_VV(0, 6000);
    Velkor_SET_VA(0, 60000);
    if (!wait_input(8, until)) {
        return 3;
    }
    Velkor_CIRCLE_CCW(0, 0, -3000);
    wait_stopped();
    printf("web_bench_app: circle drawn\n");
    fflush(stdout);
    if (!wait_input(9, until)) {
        return 3;
    }
    Velkor_MIX_2D_INITIAL(0, AXIS1, AXIS2, 0, 500, 6000, 60000);
    Velkor_MIX_2D_CONTINUE(0, 0, 0, 8000, 0, 0, 0);
    Velkor_MIX_2D_CONTINUE(0, 0, 2, 0, 4000, 0, 2000);
    Velkor_MIX_2D_CONTINUE(0, 0, 0, -8000, 0, 0, 0);
    Velkor_MIX_2D_CONTINUE(0, 1, 2, 0, -4000, 0, -2000);
    wait_stopped();
    printf("web_bench_app: contour drawn\n");
    fflush(stdout);
    if (!wait_input(10, until)) {
        return 3;
    }
    Velkor_SET_VV(0, 3000);
    Velkor_LINE_2D(0, 20000, 10000);
    wait_stopped();
    printf("web_bench_app: the line stopped at X %d, Y %d\n", Velkor_GET_LP(0, AXIS1), Velkor_GET_LP(0, AXIS2));
    return 0;
}

static int busy(double seconds, int count, char** slots)
{
    const double until = now_s() + seconds;
    static const uint8_t axes[4] = {AXIS1, AXIS2, AXIS3, AXIS4};
    int card, axis, sign = 1;
    for (card = 0; card < count; ++card) {
        if (!Velkor_REGISTRATION((uint8_t)card, (uint8_t)atoi(slots[card]))) {
            fprintf(stderr, "web_bench_app: no module in slot %s\n", slots[card]);
            return 100;
        }
        for (axis = 0; axis < 4; ++axis) {
            Velkor_SET_V((uint8_t)card, axes[axis], 20000);
            Velkor_SET_A((uint8_t)card, axes[axis], 200000);
        }
    }
    while (now_s() < until) {
        for (card = 0; card < count; ++card) {
            for (axis = 0; axis < 4; ++axis) {
                Velkor_FIXED_MOVE((uint8_t)card, axes[axis], sign * 20000);
            }
        }
        for (card = 0; card < count; ++card) {
            for (axis = 0; axis < 4; ++axis) {
                while (Velkor_STOP_WAIT((uint8_t)card, axes[axis]) != 1 && now_s() < until + 30) {
                    sleep_ms(5);
                }
            }
        }
        sign = -sign;
    }
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "scenario") == 0) {
        return scenario((uint8_t)atoi(argv[2]));
    }
    if (argc == 3 && strcmp(argv[1], "paths") == 0) {
        return paths((uint8_t)atoi(argv[2]));
    }
    if (argc >= 4 && strcmp(argv[1], "busy") == 0) {
        return busy(atof(argv[2]), argc - 3, argv + 3);
    }
    fprintf(stderr, "usage: web_bench_app scenario SLOT | paths SLOT | busy SECONDS SLOT...\n");
    return 2;
}
