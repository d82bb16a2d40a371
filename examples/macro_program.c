/* A macro program: recorded into the module, run there by itself while the
 * host waits for its interrupt, then stepped through with the debugger. */
#include <Velkor.h>
#include <velkor_sim/velkor_sim.h>

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

static int run(VelkorSimModule* module)
{
    uint32_t i, steps;
    uint8_t code, byte = 0;
    uint16_t word = 0;
    unsigned events = 0;
    char text[96];

    if (!Velkor_REGISTRATION(CARD, SLOT)) {
        return 1;
    }
    Velkor_SET_SV(CARD, AXIS_X, 1000);
    Velkor_SET_V(CARD, AXIS_X, 40000);
    Velkor_SET_A(CARD, AXIS_X, 400000);
    Velkor_SET_LP(CARD, AXIS_X, 0);
    record();

    /* A query returns once the module has taken every packet before it. */
    if (Velkor_GET_ERROR(CARD) != 0) {
        return 1;
    }
    steps = VelkorSim_MacroProgramSteps(module, PROGRAM);
    printf("program %d: %u steps\n", PROGRAM, (unsigned)steps);
    for (i = 0; i < steps; ++i) {
        VelkorSim_DescribeMacroStep(module, PROGRAM, i, text, sizeof text);
        printf("  %2u  %s\n", (unsigned)i, text);
    }

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
        VelkorSim_DescribeMacroStep(module, PROGRAM, word, text, sizeof text);
        printf("debug: byte %3u word %2u  %s\n", byte, word, text);
        Velkor_CONTINUE_DEBUG(CARD);
    }
    printf("debug: byte %u word %u after %u events\n", byte, word, events);
    Velkor_DISABLE_RINT(CARD);
    /* 3 set-up steps, 6 per pass (3 passes), the timer, the interrupt, the end. */
    return byte == 0 && word == steps && events == 3 + 6 * 3 + 2 + 1 ? 0 : 1;
}

int main(void)
{
    /* On the PC: a virtual module in slot 3, its clock 20 times faster. */
    VelkorSimModule* module = VelkorSim_Plug(SLOT, 20.0);
    const int result = module != NULL ? run(module) : 1;
    VelkorSim_Unplug(module);
    return result;
}
