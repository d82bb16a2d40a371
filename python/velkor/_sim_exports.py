"""The exports of a library as its public header declares them.

Generated from sim/include/velkor_sim/velkor_sim.h by velkor/header.py; do not edit by hand.
"""

# Handle types, passed as pointers only
OPAQUE = ('VelkorSimModule', 'VelkorSimScenario')

# (name, ((field, type, array length or 0), ...)), in header order
STRUCTS = (
    ('VelkorSimOptions', (('size', 'uint32_t', 0), ('id', 'uint8_t', 0), ('clock', 'uint8_t', 0), ('keep_trail', 'uint8_t', 0), ('keep_log', 'uint8_t', 0), ('time_scale', 'double', 0), ('take_latency_us', 'uint32_t', 0), ('step_us', 'uint32_t', 0), ('firmware_version', 'uint32_t', 0), ('sprint_scale', 'double', 0), ('buffer_segments', 'uint32_t', 0))),
    ('VelkorSimAxis', (('lp', 'int32_t', 0), ('ep', 'int32_t', 0), ('speed', 'double', 0), ('acceleration', 'double', 0), ('driving', 'uint8_t', 0), ('error_code', 'uint16_t', 0), ('inputs', 'uint16_t', 0), ('machine', 'int32_t', 0), ('motor', 'double', 0), ('following_error', 'double', 0), ('latch', 'int32_t', 0), ('outputs', 'uint8_t', 0))),
    ('VelkorSimCounters', (('packets_taken', 'uint64_t', 0), ('exchanges_answered', 'uint64_t', 0), ('bus_reads', 'uint64_t', 0), ('bus_writes', 'uint64_t', 0), ('sequence_gaps', 'uint32_t', 0), ('dropped_packets', 'uint32_t', 0), ('unsimulated', 'uint32_t', 0), ('packets_held', 'uint64_t', 0))),
    ('VelkorSimCodeCount', (('code', 'uint8_t', 0), ('count', 'uint32_t', 0))),
    ('VelkorSimTrailPoint', (('time', 'double', 0), ('lp', 'int32_t', 4))),
    ('VelkorSimLogEntry', (('kind', 'uint8_t', 0), ('sequence', 'uint8_t', 0), ('code', 'uint8_t', 0), ('bytes', 'uint8_t', 30), ('registers', 'uint8_t', 10), ('time', 'double', 0))),
    ('VelkorSimScopeSettings', (('period', 'double', 0), ('duration', 'double', 0), ('capacity', 'uint32_t', 0), ('pretrigger', 'uint32_t', 0), ('trigger_kind', 'uint8_t', 0), ('trigger_axis', 'uint8_t', 0), ('trigger_input', 'uint8_t', 0), ('trigger_edge', 'uint8_t', 0), ('trigger_axes', 'uint8_t', 0), ('trigger_position', 'int32_t', 0))),
    ('VelkorSimScopeAxis', (('lp', 'int32_t', 0), ('ep', 'int32_t', 0), ('speed', 'double', 0), ('inputs', 'uint16_t', 0), ('velocity', 'double', 0), ('acceleration', 'double', 0), ('following_error', 'double', 0), ('outputs', 'uint8_t', 0), ('latch', 'int32_t', 0))),
    ('VelkorSimScopeSample', (('time', 'double', 0), ('axes', 'VelkorSimScopeAxis', 4), ('path_speed', 'double', 0))),
    ('VelkorSimScopeState', (('running', 'uint8_t', 0), ('triggered', 'uint8_t', 0), ('trigger_time', 'double', 0), ('taken', 'uint64_t', 0), ('lost', 'uint64_t', 0), ('waiting', 'uint64_t', 0))),
    ('VelkorSimMachineAxis', (('plus_limit', 'int32_t', 0), ('minus_limit', 'int32_t', 0), ('home_from', 'int32_t', 0), ('home_to', 'int32_t', 0), ('near_home_from', 'int32_t', 0), ('near_home_to', 'int32_t', 0), ('index_pitch', 'int32_t', 0), ('index_phase', 'int32_t', 0), ('following_time', 'double', 0), ('in_position_band', 'double', 0), ('encoder_ratio', 'double', 0), ('normally_closed', 'uint16_t', 0), ('natural_frequency', 'double', 0), ('damping', 'double', 0), ('dead_time', 'int32_t', 0), ('backlash', 'double', 0), ('encoder_noise', 'double', 0), ('noise_seed', 'uint32_t', 0), ('following_limit', 'double', 0))),
)

# (name, value) of the enumeration constants
CONSTANTS = (
    ('VELKOR_SIM_CLOCK_MANUAL', 0),
    ('VELKOR_SIM_CLOCK_REAL_TIME', 1),
    ('VELKOR_SIM_CLOCK_FAST', 2),
    ('VELKOR_SIM_LOG_PACKET', 0),
    ('VELKOR_SIM_LOG_EXCHANGE', 1),
    ('VELKOR_SIM_TRIGGER_NONE', 0),
    ('VELKOR_SIM_TRIGGER_POSITION', 1),
    ('VELKOR_SIM_TRIGGER_INPUT_EDGE', 2),
    ('VELKOR_SIM_TRIGGER_DRIVE_START', 3),
    ('VELKOR_SIM_TRIGGER_PATH_START', 4),
    ('VELKOR_SIM_EDGE_RISING', 0),
    ('VELKOR_SIM_EDGE_FALLING', 1),
    ('VELKOR_SIM_EDGE_EITHER', 2),
)

# (name, result type, ((parameter, type), ...))
FUNCTIONS = (
    ('VelkorSim_DefaultOptions', 'void', (('options', 'VelkorSimOptions*'),)),
    ('VelkorSim_Create', 'VelkorSimModule*', (('options', 'const VelkorSimOptions*'),)),
    ('VelkorSim_PlugInto', 'int', (('module', 'VelkorSimModule*'), ('slot', 'uint8_t'))),
    ('VelkorSim_Plug', 'VelkorSimModule*', (('slot', 'uint8_t'), ('time_scale', 'double'))),
    ('VelkorSim_PlugFast', 'VelkorSimModule*', (('slot', 'uint8_t'),)),
    ('VelkorSim_Unplug', 'void', (('module', 'VelkorSimModule*'),)),
    ('VelkorSim_PlugFromEnvironment', 'int', ()),
    ('VelkorSim_Advance', 'void', (('module', 'VelkorSimModule*'), ('microseconds', 'uint64_t'))),
    ('VelkorSim_AdvanceUntilStopped', 'int', (('module', 'VelkorSimModule*'), ('axis_mask', 'uint8_t'), ('limit_us', 'uint64_t'))),
    ('VelkorSim_Now', 'double', (('module', 'const VelkorSimModule*'),)),
    ('VelkorSim_SetBusy', 'void', (('module', 'VelkorSimModule*'), ('busy', 'int'))),
    ('VelkorSim_SetTakeLatency', 'void', (('module', 'VelkorSimModule*'), ('microseconds', 'uint32_t'))),
    ('VelkorSim_WaitSettled', 'void', (('module', 'VelkorSimModule*'),)),
    ('VelkorSim_BufferedSegments', 'size_t', (('module', 'const VelkorSimModule*'),)),
    ('VelkorSim_GetAxisSized', 'int', (('module', 'const VelkorSimModule*'), ('axis_index', 'int'), ('out', 'VelkorSimAxis*'), ('size', 'size_t'))),
    ('VelkorSim_GetAxis', 'int', (('module', 'const VelkorSimModule*'), ('axis_index', 'int'), ('out', 'VelkorSimAxis*'))),
    ('VelkorSim_SetInputs', 'void', (('module', 'VelkorSimModule*'), ('axis_index', 'int'), ('word', 'uint16_t'))),
    ('VelkorSim_SetLatch', 'void', (('module', 'VelkorSimModule*'), ('axis_index', 'int'), ('value', 'int32_t'))),
    ('VelkorSim_SetRemoteInput', 'void', (('module', 'VelkorSimModule*'), ('port', 'uint8_t'), ('word', 'uint16_t'))),
    ('VelkorSim_RemoteOutput', 'uint32_t', (('module', 'const VelkorSimModule*'), ('port', 'uint8_t'))),
    ('VelkorSim_RaiseInterrupt', 'void', (('module', 'VelkorSimModule*'), ('factors', 'uint8_t'))),
    ('VelkorSim_ByteVariable', 'uint8_t', (('module', 'const VelkorSimModule*'), ('index', 'uint8_t'))),
    ('VelkorSim_LongVariable', 'int32_t', (('module', 'const VelkorSimModule*'), ('index', 'uint16_t'))),
    ('VelkorSim_MdWord', 'uint32_t', (('module', 'const VelkorSimModule*'), ('index', 'uint16_t'))),
    ('VelkorSim_MacroProgramSteps', 'size_t', (('module', 'const VelkorSimModule*'), ('program', 'uint8_t'))),
    ('VelkorSim_SetFirmwareVersion', 'void', (('module', 'VelkorSimModule*'), ('version', 'uint32_t'))),
    ('VelkorSim_GetCounters', 'void', (('module', 'const VelkorSimModule*'), ('out', 'VelkorSimCounters*'))),
    ('VelkorSim_PacketsTaken', 'uint64_t', (('module', 'const VelkorSimModule*'),)),
    ('VelkorSim_SequenceGaps', 'uint32_t', (('module', 'const VelkorSimModule*'),)),
    ('VelkorSim_DroppedPackets', 'uint32_t', (('module', 'const VelkorSimModule*'),)),
    ('VelkorSim_Unsimulated', 'size_t', (('module', 'const VelkorSimModule*'), ('out', 'VelkorSimCodeCount*'), ('capacity', 'size_t'))),
    ('VelkorSim_CodeName', 'const char*', (('code', 'uint8_t'),)),
    ('VelkorSim_TakeTrail', 'size_t', (('module', 'VelkorSimModule*'), ('out', 'VelkorSimTrailPoint*'), ('capacity', 'size_t'))),
    ('VelkorSim_TakeLog', 'size_t', (('module', 'VelkorSimModule*'), ('out', 'VelkorSimLogEntry*'), ('capacity', 'size_t'))),
    ('VelkorSim_DescribeLogEntry', 'size_t', (('entry', 'const VelkorSimLogEntry*'), ('text', 'char*'), ('size', 'size_t'))),
    ('VelkorSim_DefaultScopeSettings', 'void', (('settings', 'VelkorSimScopeSettings*'),)),
    ('VelkorSim_StartScope', 'int', (('module', 'VelkorSimModule*'), ('settings', 'const VelkorSimScopeSettings*'))),
    ('VelkorSim_StopScope', 'void', (('module', 'VelkorSimModule*'),)),
    ('VelkorSim_TakeScopeSized', 'size_t', (('module', 'VelkorSimModule*'), ('out', 'VelkorSimScopeSample*'), ('capacity', 'size_t'), ('sample_size', 'size_t'))),
    ('VelkorSim_TakeScope', 'size_t', (('module', 'VelkorSimModule*'), ('out', 'VelkorSimScopeSample*'), ('capacity', 'size_t'))),
    ('VelkorSim_GetScopeState', 'void', (('module', 'const VelkorSimModule*'), ('out', 'VelkorSimScopeState*'))),
    ('VelkorSim_WriteScopeCsv', 'long', (('module', 'VelkorSimModule*'), ('slot', 'uint8_t'), ('file', 'const char*'))),
    ('VelkorSim_GetMachineSized', 'int', (('module', 'const VelkorSimModule*'), ('axis_index', 'int'), ('out', 'VelkorSimMachineAxis*'), ('size', 'size_t'))),
    ('VelkorSim_SetMachineSized', 'int', (('module', 'VelkorSimModule*'), ('axis_index', 'int'), ('machine', 'const VelkorSimMachineAxis*'), ('size', 'size_t'))),
    ('VelkorSim_GetMachine', 'int', (('module', 'const VelkorSimModule*'), ('axis_index', 'int'), ('out', 'VelkorSimMachineAxis*'))),
    ('VelkorSim_SetMachine', 'int', (('module', 'VelkorSimModule*'), ('axis_index', 'int'), ('machine', 'const VelkorSimMachineAxis*'))),
    ('VelkorSim_SetDriveAlarm', 'void', (('module', 'VelkorSimModule*'), ('axis_index', 'int'), ('on', 'int'))),
    ('VelkorSim_PressJog', 'void', (('module', 'VelkorSimModule*'), ('axis_index', 'int'), ('direction', 'int'))),
    ('VelkorSim_TurnHandwheel', 'void', (('module', 'VelkorSimModule*'), ('axis_index', 'int'), ('counts', 'int32_t'))),
    ('VelkorSim_SetStrict', 'void', (('module', 'VelkorSimModule*'), ('strict', 'int'))),
    ('VelkorSim_Outputs', 'uint8_t', (('module', 'const VelkorSimModule*'), ('axis_index', 'int'))),
    ('VelkorSim_SetRemoteLoopback', 'void', (('module', 'VelkorSimModule*'), ('on', 'int'))),
    ('VelkorSim_DescribeMacroStep', 'int', (('module', 'const VelkorSimModule*'), ('program', 'uint8_t'), ('index', 'uint32_t'), ('text', 'char*'), ('size', 'size_t'))),
    ('VelkorSim_MacroRunning', 'int', (('module', 'const VelkorSimModule*'),)),
    ('VelkorSim_AdvanceUntilProgramEnds', 'int', (('module', 'VelkorSimModule*'), ('limit_us', 'uint64_t'))),
    ('VelkorSim_StartMonitor', 'int', (('path', 'const char*'),)),
    ('VelkorSim_StopMonitor', 'void', ()),
    ('VelkorSim_LoadScenario', 'VelkorSimScenario*', (('path', 'const char*'), ('error', 'char*'), ('size', 'size_t'))),
    ('VelkorSim_ParseScenario', 'VelkorSimScenario*', (('text', 'const char*'), ('error', 'char*'), ('size', 'size_t'))),
    ('VelkorSim_ApplyScenario', 'int', (('scenario', 'VelkorSimScenario*'), ('module', 'VelkorSimModule*'), ('slot', 'uint8_t'), ('error', 'char*'), ('size', 'size_t'))),
    ('VelkorSim_ScenarioReport', 'int', (('scenario', 'VelkorSimScenario*'), ('exit_code', 'int'), ('text', 'char*'), ('size', 'size_t'))),
    ('VelkorSim_FreeScenario', 'void', (('scenario', 'VelkorSimScenario*'),)),
)

# (name, type)
VARIABLES = (
)
