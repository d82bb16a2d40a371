/* The virtual module's C API from a C program, end to end: a module on the
 * manual clock in slot 4, card 0 registered on it through Velkor.h, and each
 * family of velkor_sim.h checked against what the library reads back.
 * Usage: c_api_test [FOLDER]  (the scope's CSV goes there; default: here) */
#include <BrelanSDK.h>
#include <Velkor.h>
#include <velkor_sim/velkor_sim.h>

#include <stddef.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

#define CHECK(condition)                                                      \
    do {                                                                      \
        if (!(condition)) {                                                   \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                       \
        }                                                                     \
    } while (0)

#define CARD 0
#define SLOT 4

static void check_options(void)
{
    VelkorSimOptions o;
    VelkorSimModule* m;
    VelkorSim_DefaultOptions(&o);
    CHECK(o.size == sizeof o && o.id == 'D' && o.clock == VELKOR_SIM_CLOCK_MANUAL && o.step_us == 1000);
    o.id = 'X';
    CHECK(VelkorSim_Create(&o) == NULL);
    VelkorSim_DefaultOptions(&o);
    o.clock = 7;
    CHECK(VelkorSim_Create(&o) == NULL);
    VelkorSim_DefaultOptions(&o);
    o.time_scale = 0;
    CHECK(VelkorSim_Create(&o) == NULL);
    VelkorSim_DefaultOptions(&o);
    o.step_us = 0;
    CHECK(VelkorSim_Create(&o) == NULL);
    /* A caller built against a shorter struct gets the defaults for the rest. */
    VelkorSim_DefaultOptions(&o);
    o.size = (uint32_t)offsetof(VelkorSimOptions, time_scale);
    o.id = 'U';
    o.step_us = 0; /* beyond the size given: not read */
    m = VelkorSim_Create(&o);
    CHECK(m != NULL);
    CHECK(VelkorSim_PlugInto(m, 0) == 0 && VelkorSim_PlugInto(m, 8) == 0);
    VelkorSim_Unplug(m);
    VelkorSim_Unplug(NULL);
}

static void check_null_module(void)
{
    VelkorSimAxis axis;
    VelkorSimCounters counters;
    VelkorSimScopeState state;
    CHECK(VelkorSim_GetAxis(NULL, 0, &axis) == 0);
    CHECK(VelkorSim_Now(NULL) == 0 && VelkorSim_PacketsTaken(NULL) == 0);
    VelkorSim_GetCounters(NULL, &counters);
    CHECK(counters.packets_taken == 0);
    VelkorSim_GetScopeState(NULL, &state);
    CHECK(state.running == 0);
    CHECK(VelkorSim_TakeTrail(NULL, NULL, 0) == 0 && VelkorSim_StartScope(NULL, NULL) == 0);
    CHECK(VelkorSim_WriteScopeCsv(NULL, 1, "x.csv") == -1);
}

/* A packet the library has no export for, posted on the raw slot bus. */
/* A scenario from C: a bad text says where; a good one moves the + limit of
 * axis 1 to 700, and its checks see the move stop there. */
static void check_scenario(void)
{
    char error[256], report[1024];
    VelkorSimOptions o;
    VelkorSimModule* m;
    VelkorSimScenario* s = VelkorSim_ParseScenario("[slot.6]\nspeed = 2000\n", error, sizeof error);
    CHECK(s == NULL && strcmp(error, "scenario:2:9: slot.6.speed: speed 2000 is out of range: more than 0, at most 1000") == 0);
    CHECK(VelkorSim_LoadScenario(NULL, error, sizeof error) == NULL && strcmp(error, "no file given") == 0);
    s = VelkorSim_ParseScenario("[slot.6.axis.1.switches]\nplus_limit = 700\n"
                                "[[check]]\nname = \"at the switch\"\nlp = { axis = 1, value = 700, tolerance = 50 }\n"
                                "[[check]]\nexit_code = 1\n", error, sizeof error);
    CHECK(s != NULL && error[0] == '\0');
    VelkorSim_DefaultOptions(&o);
    m = VelkorSim_Create(&o);
    CHECK(m != NULL && VelkorSim_PlugInto(m, 6));
    CHECK(VelkorSim_ApplyScenario(s, m, 5, error, sizeof error) == 0 && strcmp(error, "the scenario has no [slot.5]") == 0);
    CHECK(VelkorSim_ApplyScenario(s, m, 6, error, sizeof error) == 1);
    CHECK(Velkor_REGISTRATION(1, 6) == 1);
    Velkor_FIXED_MOVE(1, 1, 1000);
    CHECK(VelkorSim_AdvanceUntilStopped(m, 1, 10000000) == 1);
    CHECK(VelkorSim_ScenarioReport(s, 0, report, sizeof report) == 1);
    CHECK(strstr(report, "PASS  at the switch: LP 7") == report);
    CHECK(strstr(report, "FAIL  exit_code 2: exit code 0 (expected exit code 1)") != NULL);
    CHECK(VelkorSim_ScenarioReport(NULL, 0, report, sizeof report) == 0 && report[0] == '\0');
    VelkorSim_Unplug(m);
    VelkorSim_FreeScenario(s);
}

static void post_unknown_code(uint8_t code)
{
    const uint32_t base = GetSlotAddr(SLOT);
    IoWriteByte(base + 2, 0);
    while (IoReadByte(base + 126) != 0) {
    }
    IoWriteByte(base + 64, code);
    IoWriteByte(base + 66, 10);
    IoWriteByte(base + 126, 1);
    while (IoReadByte(base + 126) != 0) {
    }
}

int main(int argc, char** argv)
{
    char csv[512];
    char line[160];
    VelkorSimOptions o;
    VelkorSimModule* m;
    VelkorSimAxis axis;
    VelkorSimCounters counters;
    VelkorSimCodeCount codes[8];
    VelkorSimTrailPoint points[7];
    VelkorSimLogEntry entries[5];
    VelkorSimScopeSettings scope;
    VelkorSimScopeSample samples[64];
    VelkorSimScopeState state;
    size_t n, total, i;
    int found, lastLp, exchanges;
    double lastTime;
    FILE* f;

    snprintf(csv, sizeof csv, "%s/c_api_scope.csv", argc > 1 ? argv[1] : ".");
    check_options();
    check_null_module();
    check_scenario();

    VelkorSim_DefaultOptions(&o);
    o.keep_trail = 1;
    o.keep_log = 1;
    o.firmware_version = 0x00020501;
    m = VelkorSim_Create(&o);
    CHECK(m != NULL);
    if (m == NULL) {
        return 1;
    }
    CHECK(VelkorSim_PlugInto(m, SLOT) == 1);
    CHECK(Velkor_REGISTRATION(CARD, SLOT) == 1);
    CHECK(Velkor_GET_FW_VERSION(CARD) == 0x00020501);
    VelkorSim_SetFirmwareVersion(m, 0x00030201);
    CHECK(Velkor_GET_FW_VERSION(CARD) == 0x00030201);

    /* Scope: from LP 1500 of axis 1 on, with settings out of range refused. */
    VelkorSim_DefaultScopeSettings(&scope);
    CHECK(scope.period == 0.001 && scope.capacity == 65536 && scope.trigger_kind == VELKOR_SIM_TRIGGER_NONE);
    scope.trigger_kind = 9;
    CHECK(VelkorSim_StartScope(m, &scope) == 0);
    VelkorSim_DefaultScopeSettings(&scope);
    scope.capacity = 0;
    CHECK(VelkorSim_StartScope(m, &scope) == 0);
    VelkorSim_DefaultScopeSettings(&scope);
    scope.trigger_kind = VELKOR_SIM_TRIGGER_POSITION;
    scope.trigger_axis = 0;
    scope.trigger_position = 1500;
    CHECK(VelkorSim_StartScope(m, &scope) == 1);

    /* Clock and axes: a move runs only while the clock is advanced. */
    Velkor_SET_LP(CARD, 1, 0);
    Velkor_SET_SV(CARD, 1, 100);
    Velkor_SET_V(CARD, 1, 5000);
    Velkor_SET_A(CARD, 1, 50000);
    Velkor_FIXED_MOVE(CARD, 1, 3000);
    VelkorSim_Advance(m, 10000);
    CHECK(VelkorSim_GetAxis(m, 0, &axis) == 1);
    CHECK(axis.driving == 1 && axis.speed > 0 && axis.lp > 0 && axis.lp < 3000);
    CHECK(VelkorSim_GetAxis(m, 4, &axis) == 0);
    CHECK(VelkorSim_AdvanceUntilStopped(m, 1, 10000000) == 1);
    CHECK(VelkorSim_GetAxis(m, 0, &axis) == 1);
    CHECK(axis.lp == 3000 && axis.ep == 3000 && axis.driving == 0 && axis.error_code == 0 && axis.machine == 3000);
    CHECK(Velkor_GET_LP(CARD, 1) == 3000);
    CHECK(VelkorSim_Now(m) > 0.6 && VelkorSim_Now(m) < 1.0);

    /* Inputs, latch, remote I/O, interrupts, stores. */
    VelkorSim_SetInputs(m, 1, 0x8001);
    CHECK(Velkor_GET_DI_ALL(CARD, 2) == 0x8041); /* forced bits, and in-position at rest */
    CHECK(VelkorSim_GetAxis(m, 1, &axis) == 1 && axis.inputs == 0x8041);
    /* A preset moves the LP scale, not the axis on its machine. */
    Velkor_SET_LP(CARD, 2, -4000);
    VelkorSim_WaitSettled(m);
    CHECK(VelkorSim_GetAxis(m, 1, &axis) == 1 && axis.lp == -4000 && axis.machine == 0);
    VelkorSim_SetLatch(m, 2, -77);
    CHECK(Velkor_GET_LATCH(CARD, 4) == -77);
    Velkor_QUORL_OUT(CARD, 5, 0x12345678u);
    VelkorSim_WaitSettled(m);
    CHECK(VelkorSim_RemoteOutput(m, 5) == 0x12345678u);
    VelkorSim_SetRemoteInput(m, 6, 0xBEEF);
    CHECK(Velkor_QUORL_IN(CARD, 6) == 0xBEEF);
    VelkorSim_RaiseInterrupt(m, 0x81); /* not enabled: nothing */
    CHECK(Velkor_INTERRUPT_RETURN_CODE(CARD) == 0);
    Velkor_ENABLE_INT(CARD);
    Velkor_INTFACTOR_ENABLE(CARD, 0x81, 0, 0);
    VelkorSim_WaitSettled(m);
    VelkorSim_RaiseInterrupt(m, 0x81);
    CHECK(Velkor_INTERRUPT_RETURN_CODE(CARD) == 0x81);
    Velkor_DISABLE_INT(CARD);
    Velkor_WRITE_bVAR(CARD, 9, 200);
    Velkor_WRITE_VAR(CARD, 1234, -5);
    Velkor_WRITE_MD(CARD, 5, 42, 0.0f);
    Velkor_MP_CREATE(CARD, 2);
    Velkor_SET_V(CARD, 1, 1000);
    Velkor_MP_CLOSE(CARD);
    VelkorSim_WaitSettled(m);
    CHECK(VelkorSim_ByteVariable(m, 9) == 200);
    CHECK(VelkorSim_LongVariable(m, 1234) == -5);
    CHECK(VelkorSim_MdWord(m, 5) == 42);
    CHECK(VelkorSim_MacroProgramSteps(m, 2) >= 1);

    /* Busy and latency hold the host; the host's packets still arrive. */
    VelkorSim_SetTakeLatency(m, 2000);
    Velkor_SET_V(CARD, 1, 5000);
    VelkorSim_SetTakeLatency(m, 0);
    VelkorSim_SetBusy(m, 1);
    VelkorSim_SetBusy(m, 0);
    VelkorSim_WaitSettled(m); /* the held packet is taken before the counters are read twice */

    /* Counters. */
    VelkorSim_GetCounters(m, &counters);
    CHECK(counters.packets_taken == VelkorSim_PacketsTaken(m) && counters.packets_taken >= 12);
    CHECK(counters.exchanges_answered > 0 && counters.bus_reads > 0 && counters.bus_writes > 0);
    CHECK(counters.sequence_gaps == 0 && counters.dropped_packets == 0);
    CHECK(VelkorSim_SequenceGaps(m) == 0 && VelkorSim_DroppedPackets(m) == 0);

    /* The trail, read seven points at a time: in time order, ending at 3000. */
    total = 0;
    lastTime = -1;
    lastLp = -1;
    while ((n = VelkorSim_TakeTrail(m, points, 7)) > 0) {
        for (i = 0; i < n; ++i) {
            CHECK(points[i].time >= lastTime);
            lastTime = points[i].time;
            lastLp = points[i].lp[0];
        }
        total += n;
    }
    CHECK(total > 100 && lastLp == 3000);

    /* The log, five entries at a time: the move packet and the queries. */
    found = 0;
    exchanges = 0;
    while ((n = VelkorSim_TakeLog(m, entries, 5)) > 0) {
        for (i = 0; i < n; ++i) {
            VelkorSim_DescribeLogEntry(&entries[i], line, sizeof line);
            if (entries[i].kind == VELKOR_SIM_LOG_PACKET && strstr(line, "FIXED_MOVE axis=1 data=3000") != NULL) {
                found = 1;
                CHECK(VelkorSim_DescribeLogEntry(&entries[i], line, 6) > 5 && strlen(line) == 5);
            }
            exchanges += entries[i].kind == VELKOR_SIM_LOG_EXCHANGE;
        }
    }
    CHECK(found == 1 && exchanges > 0);

    /* The scope: from the crossing of 1500 on; then the rest as CSV. */
    n = VelkorSim_TakeScope(m, samples, 64);
    CHECK(n == 64);
    CHECK(samples[0].axes[0].lp >= 1500 && samples[0].axes[0].lp <= 1505);
    CHECK(samples[1].time - samples[0].time > 0.0009 && samples[1].time - samples[0].time < 0.0011);
    VelkorSim_GetScopeState(m, &state);
    CHECK(state.running == 1 && state.triggered == 1 && state.trigger_time == samples[0].time);
    CHECK(state.waiting > 0 && state.lost == 0);
    CHECK(VelkorSim_WriteScopeCsv(m, SLOT, csv) == (long)state.waiting);
    f = fopen(csv, "r");
    CHECK(f != NULL);
    if (f != NULL) {
        CHECK(fgets(line, sizeof line, f) != NULL && strncmp(line, "time_s,slot,axis1_lp,axis1_ep,axis1_speed", 41) == 0);
        fclose(f);
    }
    VelkorSim_StopScope(m);
    VelkorSim_GetScopeState(m, &state);
    CHECK(state.running == 0 && state.waiting == 0);
    CHECK(VelkorSim_WriteScopeCsv(m, SLOT, "/nonexistent-folder/x.csv") == -1);

    /* A packet dropped behind a direct stop while the mailbox was busy: the
       counters tell drops from sequence gaps, by field and by function. */
    Velkor_STOP_SUDDENLY(CARD, 1);
    VelkorSim_SetBusy(m, 1);
    Velkor_SET_V(CARD, 1, 1000);     /* posted and held */
    Velkor_FIXED_MOVE(CARD, 1, 500); /* the mailbox is busy: dropped */
    VelkorSim_SetBusy(m, 0);
    VelkorSim_WaitSettled(m);
    Velkor_SET_V(CARD, 1, 3000);
    VelkorSim_WaitSettled(m);
    VelkorSim_GetCounters(m, &counters);
    CHECK(counters.dropped_packets == 1 && counters.sequence_gaps == 0);
    CHECK(VelkorSim_DroppedPackets(m) == 1 && VelkorSim_SequenceGaps(m) == 0);
    Velkor_CLEAR_STOP(CARD);

    /* The commands it could not use, by code and name. */
    post_unknown_code(250);
    CHECK(VelkorSim_Unsimulated(m, NULL, 0) >= 1);
    n = VelkorSim_Unsimulated(m, codes, 8);
    found = 0;
    for (i = 0; i < n && i < 8; ++i) {
        found |= codes[i].code == 250 && codes[i].count == 1;
    }
    CHECK(found);
    CHECK(strcmp(VelkorSim_CodeName(250), "code 250") == 0);
    CHECK(strcmp(VelkorSim_CodeName(13), "SET_MAX_V") == 0);

    /* Unplugged, the slot is empty again. */
    VelkorSim_Unplug(m);
    CHECK(Velkor_REGISTRATION(CARD, SLOT) == 0);

    if (failures == 0) {
        printf("velkor_sim C API: all checks passed\n");
    }
    return failures == 0 ? 0 : 1;
}
