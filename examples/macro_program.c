/* A macro program: recorded into the module, run there by itself while the
 * host waits for its interrupt, then stepped through with the debugger. */
#include <Velkor.h>

#include <stdio.h>

#define CARD 0
#define SLOT 3
#define AXIS_X 1
#define PROGRAM 5
#define PROGRAM_INTERRUPT 0x80 /* factor 7: raised by MP_SET_RINT */

/* Variable 1 counts the passes, variable 2 holds the step 1. */
static void record(void)
{
    Velkor_MP_CREATE(CARD, PROGRAM);
    Velkor_MP_SET_VAR(CARD, 1, 0);
    Velkor_MP_SET_VAR(CARD, 2, 1);
    Velkor_MP_FOR(CARD, 3);
    Velkor_FIXED_MOVE(CARD, AXIS_X, 2000);
    Velkor_MP_STOP_WAIT(CARD, AXIS_X);
    Velkor_FIXED_MOVE(CARD, AXIS_X, -2000);
    Velkor_MP_STOP_WAIT(CARD, AXIS_X);
    Velkor_MP_VAR_CALCULATE(CARD, 1, '+', 1, 2);
    Velkor_MP_NEXT(CARD);
    Velkor_MP_TIMER(CARD, 50);
    Velkor_MP_SET_RINT(CARD);
    Velkor_MP_CLOSE(CARD);
}

/* The name of a step's code, for the debugger's lines. */
static const char* step_name(uint8_t code)
{
    switch (code) {
    case 78: return "FIXED_MOVE";
    case 210: return "MP_SET_VAR";
    case 212: return "MP_VAR_CALCULATE";
    case 213: return "MP_FOR";
    case 214: return "MP_NEXT";
    case 218: return "MP_TIMER";
    case 219: return "MP_STOP_WAIT";
    case 220: return "MP_SET_RINT";
    default: return "?";
    }
}

int main(void)
{
    uint8_t code, byte = 0;
    uint16_t word = 0;
    unsigned events = 0;

    if (!Velkor_REGISTRATION(CARD, SLOT)) {
        return 1;
    }
    Velkor_SET_SV(CARD, AXIS_X, 1000);
    Velkor_SET_V(CARD, AXIS_X, 40000);
    Velkor_SET_A(CARD, AXIS_X, 400000);
    Velkor_SET_LP(CARD, AXIS_X, 0);
    record();

    /* Run it: the program's interrupt tells the host that it is done. */
    Velkor_INTFACTOR_ENABLE(CARD, PROGRAM_INTERRUPT, 0, 0);
    Velkor_ENABLE_INT(CARD);
    if (Velkor_ENABLE_RINT(CARD) != 1) {
        return 1;
    }
    Velkor_MP_CALL(CARD, PROGRAM);
    code = Velkor_RINT_WAIT(CARD, PROGRAM_INTERRUPT, 5000);
    printf("run: interrupt code 0x%02X, X at %d, passes %d\n", code, Velkor_GET_LP(CARD, AXIS_X),
           Velkor_READ_VAR(CARD, 1));
    if (code != PROGRAM_INTERRUPT || Velkor_GET_LP(CARD, AXIS_X) != 0 || Velkor_READ_VAR(CARD, 1) != 3) {
        Velkor_DISABLE_RINT(CARD);
        return 1;
    }

    /* Debug it: before each step the module shows the step's code (debug
     * byte) and index (debug word); CONTINUE_DEBUG runs that step. At the end
     * the byte is 0 and the word the number of steps. */
    Velkor_MP_DEBUG(CARD, PROGRAM);
    for (;;) {
        Velkor_DEBUG_WAIT(CARD, 5000, &byte, &word);
        ++events;
        if (byte < 12 || byte == 255) {
            break;
        }
        printf("debug: byte %3u word %2u  %s\n", (unsigned)byte, (unsigned)word, step_name(byte));
        Velkor_CONTINUE_DEBUG(CARD);
    }
    printf("debug: byte %u word %u after %u events\n", (unsigned)byte, (unsigned)word, events);
    Velkor_DISABLE_RINT(CARD);
    /* 11 steps: 3 set-up steps, 6 per pass (3 passes), the timer, the
     * interrupt, and the end. */
    return byte == 0 && word == 11 && events == 3 + 6 * 3 + 2 + 1 ? 0 : 1;
}
