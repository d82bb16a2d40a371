/* A position compare, synchronous actions and a latch: when X passes 3000,
 * the module starts the Y move that waits for it, latches both positions and
 * tells the program through an interrupt. */
#include <Velkor.h>

#include <stdio.h>
#include <time.h>

#define CARD 0
#define SLOT 3
#define AXIS_X 1
#define AXIS_Y 2

/* Module conventions (docs/virtual-module.md). */
#define COMPARE_UPWARD 1
#define OUTPUT_BIT_0 0
#define ON_COMPARE 1
#define ACTION_START 1
#define ACTION_LATCH_LP 4
#define FACTOR_COMPARE 0x10
#define FACTOR_SYNC 0x40

static void sleep_ms(long ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

static int run(void)
{
    unsigned char code;
    int32_t latchX, latchY;
    if (!Velkor_REGISTRATION(CARD, SLOT)) {
        fprintf(stderr, "no module in slot %d\n", SLOT);
        return 1;
    }
    Velkor_SET_LP(CARD, AXIS_X | AXIS_Y, 0);
    Velkor_SET_SV(CARD, AXIS_X | AXIS_Y, 200);
    Velkor_SET_V(CARD, AXIS_X | AXIS_Y, 8000);
    Velkor_SET_A(CARD, AXIS_X | AXIS_Y, 40000);

    /* Y's move waits until something starts it. */
    Velkor_DRV_HOLD(CARD, AXIS_Y);
    Velkor_FIXED_MOVE(CARD, AXIS_Y, 1500);

    /* When X passes 3000 upwards: output bit 0 of X comes on, Y starts, and
     * the positions of X and Y are latched. */
    Velkor_SET_COMPARE(CARD, AXIS_X, OUTPUT_BIT_0, COMPARE_UPWARD, 3000);
    Velkor_SYNC_ACTION(CARD, AXIS_X, ON_COMPARE, 0, AXIS_Y, ACTION_START, 0, 0, 0, 0, 0, 0, 0);
    Velkor_SYNC_ACTION(CARD, AXIS_X, ON_COMPARE, 0, AXIS_X | AXIS_Y, ACTION_LATCH_LP, 0, 0, 0, 0, 0, 0, 0);

    /* The compare's interrupt wakes this program. */
    Velkor_INTFACTOR_ENABLE(CARD, FACTOR_COMPARE | FACTOR_SYNC, 0, 0);
    Velkor_ENABLE_INT(CARD);
    if (!Velkor_ENABLE_RINT(CARD)) {
        fprintf(stderr, "no interrupt service\n");
        return 1;
    }

    Velkor_FIXED_MOVE(CARD, AXIS_X, 6000);
    code = Velkor_RINT_WAIT(CARD, FACTOR_COMPARE, 10000);
    printf("interrupt code 0x%02X with X at %d\n", code, Velkor_GET_LP(CARD, AXIS_X));
    while (Velkor_STOP_WAIT(CARD, AXIS_X | AXIS_Y) != 1) {
        sleep_ms(10);
    }
    Velkor_DISABLE_RINT(CARD);

    latchX = Velkor_GET_LATCH(CARD, AXIS_X);
    latchY = Velkor_GET_LATCH(CARD, AXIS_Y);
    printf("latched X %d, Y %d; stopped at X %d, Y %d\n", latchX, latchY, Velkor_GET_LP(CARD, AXIS_X),
           Velkor_GET_LP(CARD, AXIS_Y));
    return (code & FACTOR_COMPARE) && latchX == 3000 && latchY == 0 && Velkor_GET_LP(CARD, AXIS_X) == 6000 &&
                   Velkor_GET_LP(CARD, AXIS_Y) == 1500 && !Velkor_GET_ERROR(CARD)
               ? 0
               : 1;
}

int main(void)
{
    return run();
}
