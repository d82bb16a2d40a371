/* Runs the calls of calls.txt from C against a virtual module in slot 5 and
 * prints one "name value" line per report, then the module's packet counters.
 * The test compiles it with the generated calls.inc beside it. */
#define _POSIX_C_SOURCE 200809L
#include <Velkor.h>
#include <velkor_sim/velkor_sim.h>

#include <stdio.h>
#include <time.h>

static void report(const char* name, long long value) { printf("%s %lld\n", name, value); }
static void reportf(const char* name, double value) { printf("%s %.9g\n", name, value); }

static void wait(unsigned char axes)
{
    const struct timespec pause = {0, 1000000L};
    while (Velkor_STOP_WAIT(1, axes) != 1) {
        nanosleep(&pause, NULL);
    }
}

static long long read_md_int(unsigned char card, int index)
{
    int32_t value = 0;
    Velkor_READ_MD(card, index, &value, NULL);
    return value;
}

static double read_md_float(unsigned char card, int index)
{
    float value = 0;
    Velkor_READ_MD(card, index, NULL, &value);
    return value;
}

static void wait_program_of(VelkorSimModule* module)
{
    const struct timespec pause = {0, 1000000L};
    VelkorSim_WaitSettled(module);
    while (VelkorSim_MacroRunning(module)) {
        nanosleep(&pause, NULL);
    }
}

#define P(x, y, z) (&(POINT_3D){(x), (y), (z)})
#define wait_program() wait_program_of(module)

int main(void)
{
    VelkorSimModule* module = VelkorSim_Plug(5, 50.0);
    if (module == NULL) {
        return 2;
    }
#include "calls.inc"
    report("packets_taken", (long long)VelkorSim_PacketsTaken(module));
    report("sequence_gaps", VelkorSim_SequenceGaps(module));
    report("dropped_packets", VelkorSim_DroppedPackets(module));
    VelkorSim_Unplug(module);
    return 0;
}
