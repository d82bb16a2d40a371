/* A limit hit and its recovery: X is sent far towards +, further than the
 * machine allows. When it stops at the + limit switch (error bit 0x0010),
 * the program clears the stop and backs off by 5000 pulses. Where the switch
 * sits is the machine's business: `velkor run --scenario
 * examples/scenarios/limit_recovery.toml` puts it at 20000. */
#include <Velkor.h>

#include <stdio.h>
#include <time.h>

#define CARD 0
#define SLOT 3
#define AXIS_X 1
#define HARD_LIMIT_PLUS 0x0010
#define BACK_OFF 5000

static void wait_stopped(void)
{
    const struct timespec t = {0, 10000000L};
    while (Velkor_STOP_WAIT(CARD, AXIS_X) != 1) {
        nanosleep(&t, NULL);
    }
}

int main(void)
{
    int32_t stopped_at;
    if (!Velkor_REGISTRATION(CARD, SLOT)) {
        fprintf(stderr, "no module in slot %d\n", SLOT);
        return 1;
    }
    Velkor_SERVO_ON(CARD, AXIS_X);
    Velkor_SET_LP(CARD, AXIS_X, 0);
    Velkor_SET_SV(CARD, AXIS_X, 200);
    Velkor_SET_V(CARD, AXIS_X, 8000);
    Velkor_SET_A(CARD, AXIS_X, 40000);

    Velkor_FIXED_MOVE(CARD, AXIS_X, 1000000);
    wait_stopped();
    stopped_at = Velkor_GET_LP(CARD, AXIS_X);
    if (!(Velkor_GET_ERROR_CODE(CARD, AXIS_X) & HARD_LIMIT_PLUS)) {
        printf("no limit on the way: X %d\n", stopped_at);
        return 2;
    }
    printf("stopped at the + limit: X %d\n", stopped_at);

    Velkor_CLEAR_STOP(CARD);
    Velkor_FIXED_MOVE(CARD, AXIS_X, -BACK_OFF);
    wait_stopped();
    printf("backed off: X %d, error code 0x%04x\n", Velkor_GET_LP(CARD, AXIS_X), Velkor_GET_ERROR_CODE(CARD, AXIS_X));
    return Velkor_GET_LP(CARD, AXIS_X) == stopped_at - BACK_OFF && Velkor_GET_ERROR_CODE(CARD, AXIS_X) == 0 ? 0 : 1;
}
