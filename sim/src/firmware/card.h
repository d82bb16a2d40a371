// The card functions the module answers: reset, clearing the command
// buffer, and the firmware version.
#ifndef VELKOR_SIM_FIRMWARE_CARD_H
#define VELKOR_SIM_FIRMWARE_CARD_H

#include "protocol/fields.h"

namespace velkor_sim {
namespace detail {

class Firmware;

// Exchange handlers
void ResetCard(Firmware& fw, Window& w);       // 10
void ClearCardBuffer(Firmware& fw, Window& w); // 11
void FirmwareVersion(Firmware& fw, Window& w); // 204

} // namespace detail
} // namespace velkor_sim

#endif
