// Ending a recorded session on a signal: Windows ends a program without one
// the process could act on, so nothing is set up here (record_signals.h).
#include "monitor/record_signals.h"

namespace velkor_sim {
namespace monitor {

void EndRecordingOnSignals() {}

} // namespace monitor
} // namespace velkor_sim
