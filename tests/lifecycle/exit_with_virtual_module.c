/* The shortest program that leaves a service running: a virtual module in
 * slot 3, card 0 registered to it, the interrupt service started, and main
 * returns. The process must end at once. Exit code 0 once main has returned,
 * 1 when the set-up failed. */
#include <Velkor.h>
#include <velkor_sim/velkor_sim.h>

#include <stdio.h>

int main(void)
{
    if (VelkorSim_Plug(3, 1.0) == NULL || Velkor_REGISTRATION(0, 3) != 1 || Velkor_ENABLE_RINT(0) != 1) {
        fprintf(stderr, "no service on card 0\n");
        return 1;
    }
    return 0;
}
