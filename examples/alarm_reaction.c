/* A drive alarm in the middle of a path, and the program's reaction: X and Y
 * run a straight line to (40000, 20000); the program watches the error code
 * of both axes while they move. When a drive's alarm stops the path (error
 * bit 0x0040) it switches both servos off, reports where the axes stood and
 * exits with 3, the code its cell controller knows as "drive fault". The
 * alarm comes from `velkor run --scenario examples/scenarios/alarm_mid_path.toml`. */
#include <Velkor.h>

#include <stdio.h>
#include <time.h>

#define CARD 0
#define SLOT 3
#define AXIS_X 1
#define AXIS_Y 2
#define SERVO_ALARM 0x0040
#define EXIT_DRIVE_FAULT 3

int main(void)
{
    const struct timespec t = {0, 5000000L};
    if (!Velkor_REGISTRATION(CARD, SLOT)) {
        fprintf(stderr, "no module in slot %d\n", SLOT);
        return 1;
    }
    Velkor_SERVO_ON(CARD, AXIS_X | AXIS_Y);
    Velkor_SET_LP(CARD, AXIS_X | AXIS_Y, 0);
    Velkor_AXIS_ASSIGN(CARD, AXIS_X, AXIS_Y, 4);
    Velkor_SET_VSV(CARD, 300);
    Velkor_SET_VV(CARD, 10000);
    Velkor_SET_VA(CARD, 50000);

    Velkor_LINE_2D(CARD, 40000, 20000);
    while (Velkor_STOP_WAIT(CARD, AXIS_X | AXIS_Y) != 1) {
        if ((Velkor_GET_ERROR_CODE(CARD, AXIS_X) | Velkor_GET_ERROR_CODE(CARD, AXIS_Y)) & SERVO_ALARM) {
            break;
        }
        nanosleep(&t, NULL);
    }
    if ((Velkor_GET_ERROR_CODE(CARD, AXIS_X) | Velkor_GET_ERROR_CODE(CARD, AXIS_Y)) & SERVO_ALARM) {
        Velkor_SERVO_OFF(CARD, AXIS_X | AXIS_Y);
        printf("drive alarm: path stopped at X %d, Y %d; servos off\n", Velkor_GET_LP(CARD, AXIS_X),
               Velkor_GET_LP(CARD, AXIS_Y));
        return EXIT_DRIVE_FAULT;
    }
    printf("path done: X %d, Y %d\n", Velkor_GET_LP(CARD, AXIS_X), Velkor_GET_LP(CARD, AXIS_Y));
    return 0;
}
