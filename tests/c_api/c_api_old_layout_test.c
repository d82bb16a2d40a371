/* A program built against the first velkor_sim.h of this major version, run
 * on today's library: it declares the structures as that header did (copied
 * here, not included) and calls the exports it knew, and a program of a
 * later or newer header calls the sized ones with its own sizeof. What the
 * library fills is followed by guard bytes in the same heap block, which
 * catch a write past the caller's structure; what it reads sits in a block
 * of exactly its size, where AddressSanitizer reports a read past it. */
#include <Velkor.h>

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* ---- As the first header declared them ---- */
typedef struct VelkorSimModule VelkorSimModule;
typedef struct VelkorSimAxis {
    int32_t lp;
    int32_t ep;
    double speed;
    double acceleration;
    uint8_t driving;
    uint16_t error_code;
    uint16_t inputs;
} VelkorSimAxis;
typedef struct VelkorSimMachineAxis {
    int32_t plus_limit;
    int32_t minus_limit;
    int32_t home_from;
    int32_t home_to;
    int32_t near_home_from;
    int32_t near_home_to;
    int32_t index_pitch;
    int32_t index_phase;
    double following_time;
    double in_position_band;
    double encoder_ratio;
    uint16_t normally_closed;
} VelkorSimMachineAxis;
typedef struct VelkorSimScopeAxis {
    int32_t lp;
    int32_t ep;
    double speed;
    uint16_t inputs;
} VelkorSimScopeAxis;
typedef struct VelkorSimScopeSample {
    double time;
    VelkorSimScopeAxis axes[4];
} VelkorSimScopeSample;
typedef struct VelkorSimScopeSettings {
    double period;
    double duration;
    uint32_t capacity;
    uint32_t pretrigger;
    uint8_t trigger_kind;
    uint8_t trigger_axis;
    uint8_t trigger_input;
    uint8_t trigger_edge;
    uint8_t trigger_axes;
    int32_t trigger_position;
} VelkorSimScopeSettings;

VelkorSimModule* VelkorSim_Create(const void* options);
int VelkorSim_PlugInto(VelkorSimModule* module, uint8_t slot);
void VelkorSim_Unplug(VelkorSimModule* module);
int VelkorSim_AdvanceUntilStopped(VelkorSimModule* module, uint8_t axis_mask, uint64_t limit_us);
void VelkorSim_DefaultScopeSettings(VelkorSimScopeSettings* settings);
int VelkorSim_StartScope(VelkorSimModule* module, const VelkorSimScopeSettings* settings);
int VelkorSim_GetAxis(const VelkorSimModule* module, int axis_index, VelkorSimAxis* out);
int VelkorSim_GetMachine(const VelkorSimModule* module, int axis_index, VelkorSimMachineAxis* out);
int VelkorSim_SetMachine(VelkorSimModule* module, int axis_index, const VelkorSimMachineAxis* machine);
size_t VelkorSim_TakeScope(VelkorSimModule* module, VelkorSimScopeSample* out, size_t capacity);

/* ---- The sized calls, as a later header declares them ---- */
int VelkorSim_GetAxisSized(const VelkorSimModule* module, int axis_index, void* out, size_t size);
int VelkorSim_GetMachineSized(const VelkorSimModule* module, int axis_index, void* out, size_t size);
int VelkorSim_SetMachineSized(VelkorSimModule* module, int axis_index, const void* machine, size_t size);
size_t VelkorSim_TakeScopeSized(VelkorSimModule* module, void* out, size_t capacity, size_t sample_size);

/* Sizes of later layouts (x86-64 and every target with 8-byte doubles at 8):
 * VelkorSimAxis with machine 40, today's 64; VelkorSimMachineAxis 120;
 * VelkorSimScopeSample 240. A newer header's would be larger still. */
enum { AXIS_WITH_MACHINE = 40, AXIS_NOW = 64, MACHINE_NOW = 120, SAMPLE_NOW = 240, NEWER = 16 };

static int failures = 0;
static const char* row = "";

#define CHECK(condition)                                                                        \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            fprintf(stderr, "%s:%d: %s: failed: %s\n", __FILE__, __LINE__, row, #condition);    \
            ++failures;                                                                         \
        }                                                                                       \
    } while (0)

#define GUARD 32
#define FILL 0xA5

/* A caller's structure of `size` bytes filled with FILL, and FILL guards
 * just past it. */
typedef struct Block {
    unsigned char* data;
    unsigned char* guard;
    size_t size;
} Block;

static Block block(size_t size)
{
    Block b;
    b.size = size;
    b.data = malloc(size + GUARD);
    b.guard = b.data + size;
    memset(b.data, FILL, size + GUARD);
    return b;
}

/* 1 when the guards are intact; frees the block. */
static int guards_intact(Block b)
{
    size_t i;
    int intact = 1;
    for (i = 0; i < GUARD; ++i) {
        intact = intact && b.guard[i] == FILL;
    }
    free(b.data);
    return intact;
}

/* 1 when bytes from..to of the block are all `value`. */
static int bytes_are(const Block* b, size_t from, size_t to, unsigned char value)
{
    size_t i;
    for (i = from; i < to; ++i) {
        if (b->data[i] != value) {
            return 0;
        }
    }
    return 1;
}

static VelkorSimModule* module;

/* ---- Rows ---- */

static void first_axis_layout(void)
{
    Block b = block(sizeof(VelkorSimAxis));
    VelkorSimAxis a;
    CHECK(VelkorSim_GetAxis(module, 0, (VelkorSimAxis*)b.data) == 1);
    memcpy(&a, b.data, sizeof a);
    CHECK(a.lp == 3000 && a.ep == 3000 && a.driving == 0 && a.error_code == 0);
    CHECK(guards_intact(b));
}

static void axis_layout_with_machine(void)
{
    Block b = block(AXIS_WITH_MACHINE);
    int32_t machine;
    CHECK(VelkorSim_GetAxisSized(module, 0, b.data, b.size) == 1);
    memcpy(&machine, b.data + sizeof(VelkorSimAxis), sizeof machine);
    CHECK(machine == 3000);
    CHECK(guards_intact(b));
}

static void axis_of_a_newer_header(void)
{
    Block b = block(AXIS_NOW + NEWER);
    CHECK(VelkorSim_GetAxisSized(module, 0, b.data, b.size) == 1);
    CHECK(bytes_are(&b, AXIS_NOW, AXIS_NOW + NEWER, 0)); /* fields the library does not know: 0 */
    CHECK(guards_intact(b));
}

static void axis_smaller_than_the_first_layout(void)
{
    Block b = block(sizeof(VelkorSimAxis) - 1);
    CHECK(VelkorSim_GetAxisSized(module, 0, b.data, b.size) == 0);
    CHECK(bytes_are(&b, 0, b.size, FILL));
    CHECK(guards_intact(b));
}

static void first_machine_layout(void)
{
    Block b = block(sizeof(VelkorSimMachineAxis));
    VelkorSimMachineAxis m;
    CHECK(VelkorSim_GetMachine(module, 1, (VelkorSimMachineAxis*)b.data) == 1);
    memcpy(&m, b.data, sizeof m);
    CHECK(m.encoder_ratio == 1.0 && m.index_pitch == 1000 && m.index_phase == 500);
    CHECK(guards_intact(b));
}

/* The old set reads the first layout only and keeps the drive model. */
static void first_machine_layout_set(void)
{
    Block now = block(MACHINE_NOW);
    Block old = block(sizeof(VelkorSimMachineAxis));
    double natural_frequency = 0;
    VelkorSimMachineAxis m;
    VelkorSimMachineAxis* exact;
    CHECK(VelkorSim_GetMachineSized(module, 2, now.data, now.size) == 1);
    natural_frequency = 25.0;
    memcpy(now.data + sizeof(VelkorSimMachineAxis), &natural_frequency, sizeof natural_frequency);
    CHECK(VelkorSim_SetMachineSized(module, 2, now.data, now.size) == 1);
    CHECK(VelkorSim_GetMachine(module, 2, (VelkorSimMachineAxis*)old.data) == 1);
    memcpy(&m, old.data, sizeof m);
    m.plus_limit = 123456;
    exact = malloc(sizeof m); /* a read past it is reported */
    memcpy(exact, &m, sizeof m);
    CHECK(VelkorSim_SetMachine(module, 2, exact) == 1);
    free(exact);
    memset(now.data, 0, now.size);
    CHECK(VelkorSim_GetMachineSized(module, 2, now.data, now.size) == 1);
    memcpy(&m, now.data, sizeof m);
    memcpy(&natural_frequency, now.data + sizeof(VelkorSimMachineAxis), sizeof natural_frequency);
    CHECK(m.plus_limit == 123456 && natural_frequency == 25.0);
    CHECK(guards_intact(now));
    CHECK(guards_intact(old));
}

static void machine_smaller_than_the_first_layout(void)
{
    Block b = block(sizeof(VelkorSimMachineAxis) - 8);
    CHECK(VelkorSim_GetMachineSized(module, 0, b.data, b.size) == 0);
    CHECK(VelkorSim_SetMachineSized(module, 0, b.data, b.size) == 0);
    CHECK(VelkorSim_SetMachineSized(module, 0, NULL, MACHINE_NOW) == 0);
    CHECK(bytes_are(&b, 0, b.size, FILL));
    CHECK(guards_intact(b));
}

static void first_scope_layout(void)
{
    Block b = block(3 * sizeof(VelkorSimScopeSample));
    VelkorSimScopeSample s[3];
    CHECK(VelkorSim_TakeScope(module, (VelkorSimScopeSample*)b.data, 3) == 3);
    memcpy(s, b.data, sizeof s);
    CHECK(s[0].time >= 0.0 && s[1].time > s[0].time && s[2].time > s[1].time);
    CHECK(s[0].axes[0].lp >= 0 && s[2].axes[0].lp >= s[1].axes[0].lp && s[2].axes[0].lp <= 3000);
    CHECK(guards_intact(b));
}

static void scope_of_today_and_a_newer_header(void)
{
    Block b = block(2 * (SAMPLE_NOW + NEWER));
    double time0, time1;
    CHECK(VelkorSim_TakeScopeSized(module, b.data, 2, SAMPLE_NOW + NEWER) == 2);
    memcpy(&time0, b.data, sizeof time0);
    memcpy(&time1, b.data + SAMPLE_NOW + NEWER, sizeof time1);
    CHECK(time1 > time0 && time0 > 0);
    CHECK(bytes_are(&b, SAMPLE_NOW, SAMPLE_NOW + NEWER, 0));
    CHECK(guards_intact(b));
}

static void scope_smaller_than_the_first_layout(void)
{
    Block b = block(2 * (sizeof(VelkorSimScopeSample) - 8));
    CHECK(VelkorSim_TakeScopeSized(module, b.data, 2, sizeof(VelkorSimScopeSample) - 8) == 0);
    CHECK(bytes_are(&b, 0, b.size, FILL));
    CHECK(guards_intact(b));
}

int main(void)
{
    static const struct {
        const char* what;
        void (*run)(void);
    } rows[] = {
        {"GetAxis of the first layout writes no more", first_axis_layout},
        {"the layout with machine, by its size", axis_layout_with_machine},
        {"a newer header's axis: unknown fields 0", axis_of_a_newer_header},
        {"an axis smaller than the first layout is refused", axis_smaller_than_the_first_layout},
        {"GetMachine of the first layout writes no more", first_machine_layout},
        {"SetMachine of the first layout keeps the drive model", first_machine_layout_set},
        {"a machine smaller than the first layout is refused", machine_smaller_than_the_first_layout},
        {"TakeScope of the first layout: samples of its size", first_scope_layout},
        {"today's and a newer header's samples, by their size", scope_of_today_and_a_newer_header},
        {"samples smaller than the first layout: none taken", scope_smaller_than_the_first_layout},
    };
    VelkorSimScopeSettings scope;
    size_t i;
    module = VelkorSim_Create(NULL); /* manual clock */
    if (module == NULL || VelkorSim_PlugInto(module, 3) != 1 || Velkor_REGISTRATION(0, 3) != 1) {
        fprintf(stderr, "no module\n");
        return 1;
    }
    VelkorSim_DefaultScopeSettings(&scope);
    CHECK(VelkorSim_StartScope(module, &scope) == 1);
    Velkor_SET_V(0, 1, 20000);
    Velkor_SET_A(0, 1, 100000);
    Velkor_FIXED_MOVE(0, 1, 3000);
    CHECK(VelkorSim_AdvanceUntilStopped(module, 1, 10000000) == 1);
    for (i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        row = rows[i].what;
        rows[i].run();
    }
    VelkorSim_Unplug(module);
    if (failures != 0) {
        fprintf(stderr, "%d failures\n", failures);
        return 1;
    }
    printf("older layouts: %u rows passed\n", (unsigned)(sizeof rows / sizeof rows[0]));
    return 0;
}
