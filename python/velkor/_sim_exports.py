"""The exports of a library as its public header declares them.

Generated from sim/include/velkor_sim/velkor_sim.h by velkor/header.py; do not edit by hand.
"""

# Handle types, passed as pointers only
OPAQUE = ('VelkorSimModule',)

# (name, ((field, type, array length or 0), ...)), in header order
STRUCTS = (
    ('VelkorSimMachineAxis', (('plus_limit', 'int32_t', 0), ('minus_limit', 'int32_t', 0), ('home_from', 'int32_t', 0), ('home_to', 'int32_t', 0), ('near_home_from', 'int32_t', 0), ('near_home_to', 'int32_t', 0), ('index_pitch', 'int32_t', 0), ('index_phase', 'int32_t', 0), ('following_time', 'double', 0), ('in_position_band', 'double', 0), ('encoder_ratio', 'double', 0), ('normally_closed', 'uint16_t', 0))),
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
    ('VelkorSim_GetMachine', 'int', (('module', 'const VelkorSimModule*'), ('axis_index', 'int'), ('out', 'VelkorSimMachineAxis*'))),
    ('VelkorSim_SetMachine', 'int', (('module', 'VelkorSimModule*'), ('axis_index', 'int'), ('machine', 'const VelkorSimMachineAxis*'))),
    ('VelkorSim_SetDriveAlarm', 'void', (('module', 'VelkorSimModule*'), ('axis_index', 'int'), ('on', 'int'))),
    ('VelkorSim_PressJog', 'void', (('module', 'VelkorSimModule*'), ('axis_index', 'int'), ('direction', 'int'))),
    ('VelkorSim_TurnHandwheel', 'void', (('module', 'VelkorSimModule*'), ('axis_index', 'int'), ('counts', 'int32_t'))),
)

# (name, type)
VARIABLES = (
)
