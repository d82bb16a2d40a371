"""The exports of a library as its public header declares them.

Generated from sim/include/velkor_sim/velkor_sim.h by velkor/header.py; do not edit by hand.
"""

# Handle types, passed as pointers only
OPAQUE = ('VelkorSimModule',)

# (name, ((field, type, array length or 0), ...)), in header order
STRUCTS = (
)

# (name, value) of the enumeration constants
CONSTANTS = (
)

# (name, result type, ((parameter, type), ...))
FUNCTIONS = (
    ('VelkorSim_Plug', 'VelkorSimModule*', (('slot', 'uint8_t'), ('time_scale', 'double'))),
    ('VelkorSim_Unplug', 'void', (('module', 'VelkorSimModule*'),)),
    ('VelkorSim_PacketsTaken', 'uint64_t', (('module', 'const VelkorSimModule*'),)),
    ('VelkorSim_SequenceGaps', 'uint32_t', (('module', 'const VelkorSimModule*'),)),
    ('VelkorSim_DroppedPackets', 'uint32_t', (('module', 'const VelkorSimModule*'),)),
)

# (name, type)
VARIABLES = (
)
