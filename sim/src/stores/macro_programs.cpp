#include "stores/macro_programs.h"

#include "firmware/firmware.h"

namespace velkor_sim {
namespace detail {

bool RecordStep(Firmware& fw, const Bytes& p)
{
    MacroStore& m = fw.macros;
    if (!m.recording || p[0] == kMpClose) {
        return false;
    }
    m.programs[m.program].push_back(p);
    return true;
}

void MpCreate(Firmware& fw, const Bytes& p)
{
    MacroStore& m = fw.macros;
    m.recording = true;
    m.program = p[2];
    m.programs[m.program].clear();
}

void MpClose(Firmware& fw, const Bytes&) { fw.macros.recording = false; }

void MpSetRint(Firmware& fw, const Bytes&) { fw.interrupts.Raise(factor::kMacro); }

} // namespace detail
} // namespace velkor_sim
