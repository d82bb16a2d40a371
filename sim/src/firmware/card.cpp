#include "firmware/card.h"

#include "firmware/firmware.h"

namespace velkor_sim {
namespace detail {

void ResetCard(Firmware& fw, Window&)
{
    fw.Reset();
    fw.sequence.ExpectZeroNext();
}

void ClearCardBuffer(Firmware& fw, Window&)
{
    TrimPaths(fw.PathsAtWork());
    ClearPrograms(fw.ProgramsAtWork(), false);
    fw.sequence.ExpectZeroNext();
}

void FirmwareVersion(Firmware& fw, Window& w) { PutReply(w, fw.firmwareVersion, 4); }

} // namespace detail
} // namespace velkor_sim
