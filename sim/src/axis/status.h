// Counters and status: presetting LP and EP, and the queries that read the
// counters, speed readings, inputs, error state and latch.
#ifndef VELKOR_SIM_AXIS_STATUS_H
#define VELKOR_SIM_AXIS_STATUS_H

#include "protocol/fields.h"

namespace velkor_sim {
namespace detail {

class Firmware;

// Packet handlers
void SetLp(Firmware& fw, const Bytes& p); // 40
void SetEp(Firmware& fw, const Bytes& p); // 42
// Exchange handlers
void GetLp(Firmware& fw, Window& w);        // 41
void GetEp(Firmware& fw, Window& w);        // 43
void GetCv(Firmware& fw, Window& w);        // 44
void GetCa(Firmware& fw, Window& w);        // 45
void GetDi(Firmware& fw, Window& w);        // 46
void GetError(Firmware& fw, Window& w);     // 47
void GetErrorCode(Firmware& fw, Window& w); // 48
void GetDiAll(Firmware& fw, Window& w);     // 49
void GetLatch(Firmware& fw, Window& w);     // 113
void Range(Firmware& fw, Window& w);        // 255

} // namespace detail
} // namespace velkor_sim

#endif
