/* Misuses of the virtual module's C API, one row each: what the caller does
 * wrong and what must hold afterwards. A module unplugs only itself, a
 * refused call changes nothing, and an advance beyond the longest one is
 * taken as the longest (an idle one at no cost), after which motion still
 * runs. Slots are told apart by the module's ID byte: 'D' or 'U', 0xFF for
 * an empty slot. */
#include <BrelanSDK.h>
#include <Velkor.h>
#include <velkor_sim/velkor_sim.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;
static const char* row = "";

#define CHECK(condition)                                                                        \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            fprintf(stderr, "%s:%d: %s: failed: %s\n", __FILE__, __LINE__, row, #condition);    \
            ++failures;                                                                         \
        }                                                                                       \
    } while (0)

static VelkorSimModule* make(char id)
{
    VelkorSimOptions o;
    VelkorSim_DefaultOptions(&o);
    o.id = (uint8_t)id;
    return VelkorSim_Create(&o);
}

static uint8_t id_in(uint8_t slot) { return IoReadByte(GetSlotAddr(slot)); }

/* Simulated seconds, to a microsecond. */
static int seconds_are(double now, double expected)
{
    const double d = now - expected;
    return d < 1e-6 && d > -1e-6;
}

/* Each row starts with a in slot 2 ('D') and b not plugged ('U'). */
static void b_over_a_then_a_unplugged(VelkorSimModule** a, VelkorSimModule** b)
{
    CHECK(VelkorSim_PlugInto(*b, 2) == 1);
    VelkorSim_Unplug(*a); /* frees a */
    *a = NULL;
    CHECK(id_in(2) == 'U');
    CHECK(Velkor_REGISTRATION(0, 2) == 1);
}

static void a_moved_after_b_took_its_slot(VelkorSimModule** a, VelkorSimModule** b)
{
    CHECK(VelkorSim_PlugInto(*b, 2) == 1);
    CHECK(VelkorSim_PlugInto(*a, 5) == 1);
    CHECK(id_in(2) == 'U' && id_in(5) == 'D');
}

static void refused_slot_numbers(VelkorSimModule** a, VelkorSimModule** b)
{
    (void)b;
    CHECK(VelkorSim_PlugInto(*a, 9) == 0);
    CHECK(VelkorSim_PlugInto(*a, 0) == 0);
    CHECK(VelkorSim_PlugInto(NULL, 3) == 0);
    CHECK(id_in(2) == 'D');
    CHECK(Velkor_REGISTRATION(0, 2) == 1);
}

static void plugged_twice_into_its_own_slot(VelkorSimModule** a, VelkorSimModule** b)
{
    (void)b;
    CHECK(VelkorSim_PlugInto(*a, 2) == 1);
    CHECK(id_in(2) == 'D');
}

static void moved_leaves_its_old_slot_empty(VelkorSimModule** a, VelkorSimModule** b)
{
    (void)b;
    CHECK(VelkorSim_PlugInto(*a, 6) == 1);
    CHECK(id_in(2) == 0xFF && id_in(6) == 'D');
}

static void advance_beyond_the_longest(VelkorSimModule** a, VelkorSimModule** b)
{
    (void)b;
    CHECK(Velkor_REGISTRATION(0, 2) == 1);
    VelkorSim_Advance(*a, UINT64_MAX); /* idle: one jump, not 10^12 steps */
    CHECK(seconds_are(VelkorSim_Now(*a), VELKOR_SIM_LONGEST_ADVANCE_US / 1e6));
    VelkorSim_Advance(*a, 9300000000000000000ULL); /* past the signed range */
    CHECK(seconds_are(VelkorSim_Now(*a), 2 * (VELKOR_SIM_LONGEST_ADVANCE_US / 1e6)));
    Velkor_FIXED_MOVE(0, 1, 500);
    CHECK(VelkorSim_AdvanceUntilStopped(*a, 1, 10000000) == 1);
    CHECK(Velkor_GET_LP(0, 1) == 500);
}

static void advance_of_nothing(VelkorSimModule** a, VelkorSimModule** b)
{
    (void)b;
    VelkorSim_Advance(NULL, UINT64_MAX);
    VelkorSim_Advance(*a, 0);
    VelkorSim_Advance(*a, 999); /* less than a step: kept for the next advance */
    CHECK(VelkorSim_Now(*a) == 0);
    VelkorSim_Advance(*a, 1);
    CHECK(VelkorSim_Now(*a) == 0.001);
}

/* A sized call given no structure, or too small a size for any layout it
 * knows, refuses and writes, reads and takes nothing. */
static void sized_calls_without_room(VelkorSimModule** a, VelkorSimModule** b)
{
    VelkorSimAxis axis;
    VelkorSimMachineAxis machine;
    VelkorSimScopeSample samples[2];
    VelkorSimScopeSettings scope;
    VelkorSimScopeState state;
    unsigned char untouched[sizeof axis];
    (void)b;
    memset(&axis, 0xA5, sizeof axis);
    memcpy(untouched, &axis, sizeof axis);
    CHECK(VelkorSim_GetAxisSized(*a, 0, &axis, 0) == 0);
    CHECK(VelkorSim_GetAxisSized(*a, 0, &axis, offsetof(VelkorSimAxis, inputs)) == 0);
    CHECK(VelkorSim_GetAxisSized(*a, 0, NULL, sizeof axis) == 0);
    CHECK(memcmp(&axis, untouched, sizeof axis) == 0);
    CHECK(VelkorSim_GetMachineSized(*a, 0, &machine, 1) == 0);
    CHECK(VelkorSim_SetMachineSized(*a, 0, &machine, 1) == 0);
    CHECK(VelkorSim_SetMachineSized(*a, 0, NULL, sizeof machine) == 0);
    VelkorSim_DefaultScopeSettings(&scope);
    CHECK(VelkorSim_StartScope(*a, &scope) == 1);
    VelkorSim_Advance(*a, 5000);
    CHECK(VelkorSim_TakeScopeSized(*a, samples, 2, sizeof(double)) == 0);
    CHECK(VelkorSim_TakeScopeSized(*a, NULL, 2, sizeof samples[0]) == 0);
    VelkorSim_GetScopeState(*a, &state);
    CHECK(state.waiting >= 5); /* nothing was taken */
    CHECK(VelkorSim_TakeScopeSized(*a, samples, 2, sizeof samples[0]) == 2);
}

static void unplugged_twice(VelkorSimModule** a, VelkorSimModule** b)
{
    (void)b;
    VelkorSim_Unplug(*a);
    VelkorSim_Unplug(*a); /* the second does nothing */
    *a = NULL;
    CHECK(id_in(2) == 0xFF);
}

int main(void)
{
    static const struct {
        const char* what;
        void (*run)(VelkorSimModule** a, VelkorSimModule** b);
    } rows[] = {
        {"B plugged over A, then A unplugged: B keeps the slot", b_over_a_then_a_unplugged},
        {"A moved away after B took its slot: B stays", a_moved_after_b_took_its_slot},
        {"a refused slot number leaves the module where it was", refused_slot_numbers},
        {"plugged again into its own slot: still there", plugged_twice_into_its_own_slot},
        {"moved to another slot: the old one is empty", moved_leaves_its_old_slot_empty},
        {"an advance beyond the longest is taken as the longest", advance_beyond_the_longest},
        {"advances of nothing, or of less than a step", advance_of_nothing},
        {"sized calls without room for a layout refuse", sized_calls_without_room},
        {"unplugged twice: the second unplug does nothing", unplugged_twice},
    };
    size_t i;
    for (i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        VelkorSimModule* a = make('D');
        VelkorSimModule* b = make('U');
        row = rows[i].what;
        CHECK(a != NULL && b != NULL && VelkorSim_PlugInto(a, 2) == 1);
        rows[i].run(&a, &b);
        VelkorSim_Unplug(a);
        VelkorSim_Unplug(b);
        /* Whatever the row did, every slot is empty afterwards. */
        CHECK(id_in(2) == 0xFF && id_in(5) == 0xFF && id_in(6) == 0xFF);
    }
    if (failures != 0) {
        fprintf(stderr, "%d failures\n", failures);
        return 1;
    }
    printf("C API misuses: %u rows passed\n", (unsigned)(sizeof rows / sizeof rows[0]));
    return 0;
}
