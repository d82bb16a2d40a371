/* Homing: find the home switch of axis X, make that position 1000, then move
 * from there. The virtual module's machine has its home switch from -5000 to
 * -4000; the search runs towards - at the homing speed, backs off and finds
 * the switch's edge at creep speed. */
#include <Velkor.h>

#include <stdio.h>
#include <time.h>

#define CARD 0
#define SLOT 3
#define AXIS_X 1

#define HOME_SWITCH_MODE 0
#define TOWARDS_MINUS 0
#define CREEP_PERCENT 10
#define SET_LP_AND_EP 0
#define HOME_OFFSET 1000

#define HOMING_FAILED 0x0200

static void sleep_ms(long ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

static void wait_stopped(uint8_t axes)
{
    while (Velkor_STOP_WAIT(CARD, axes) != 1) {
        printf("X %6d  speed %5d\n", Velkor_GET_LP(CARD, AXIS_X), Velkor_GET_CV(CARD, AXIS_X));
        sleep_ms(20);
    }
}

static int run(void)
{
    if (!Velkor_REGISTRATION(CARD, SLOT)) {
        fprintf(stderr, "no module in slot %d\n", SLOT);
        return 1;
    }
    Velkor_SERVO_ON(CARD, AXIS_X);
    Velkor_SET_SV(CARD, AXIS_X, 200);
    Velkor_SET_V(CARD, AXIS_X, 8000);
    Velkor_SET_A(CARD, AXIS_X, 40000);

    Velkor_SET_HV(CARD, AXIS_X, 5000);
    Velkor_SET_HOME_MODE(CARD, AXIS_X, HOME_SWITCH_MODE, TOWARDS_MINUS, CREEP_PERCENT, SET_LP_AND_EP, HOME_OFFSET);
    Velkor_HOME_START(CARD, AXIS_X);
    wait_stopped(AXIS_X);
    if (Velkor_GET_ERROR_CODE(CARD, AXIS_X) & HOMING_FAILED) {
        fprintf(stderr, "homing failed: error code 0x%04x\n", Velkor_GET_ERROR_CODE(CARD, AXIS_X));
        return 1;
    }
    printf("homed: X %d\n", Velkor_GET_LP(CARD, AXIS_X));
    if (Velkor_GET_LP(CARD, AXIS_X) != HOME_OFFSET || Velkor_GET_EP(CARD, AXIS_X) != HOME_OFFSET) {
        return 1;
    }

    Velkor_FIXED_MOVE(CARD, AXIS_X, 2500);
    wait_stopped(AXIS_X);
    printf("moved: X %d\n", Velkor_GET_LP(CARD, AXIS_X));
    return Velkor_GET_LP(CARD, AXIS_X) == HOME_OFFSET + 2500 && !Velkor_GET_ERROR(CARD) ? 0 : 1;
}

int main(void)
{
    return run();
}
