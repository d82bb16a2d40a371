// A session being recorded when the program is ended by a signal: the
// monitor writes the status and end lines (docs/monitor.md, Session files)
// before the signal ends the process, where the process can still do so.
#ifndef VELKOR_SIM_MONITOR_RECORD_SIGNALS_H
#define VELKOR_SIM_MONITOR_RECORD_SIGNALS_H

#include <string>

namespace velkor_sim {
namespace monitor {

// Stops the monitor as StopMonitor does; `cut` (non-empty) goes into the
// session file's end line as why it ended early.
void StopMonitorCut(const std::string& cut);

// For the signals that end a program by default (termination, interrupt,
// hang-up) and that the program has left so: on one, the session is ended
// ("incomplete": the signal) and the signal then ends the process as it
// would have. A program that handles them itself is left alone. Once per
// process; POSIX systems only (elsewhere nothing).
void EndRecordingOnSignals();

} // namespace monitor
} // namespace velkor_sim

#endif
