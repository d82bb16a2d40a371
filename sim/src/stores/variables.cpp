#include "stores/variables.h"

#include "firmware/firmware.h"

namespace velkor_sim {
namespace detail {

void WriteByteVar(Firmware& fw, const Bytes& p) { fw.stores.byteVars[p[2]] = p[4]; }
void WriteVar(Firmware& fw, const Bytes& p) { fw.stores.longVars[U16(p, 2)] = I32(p, 6); }
void WriteMd(Firmware& fw, const Bytes& p) { fw.stores.md[U16(p, 2)] = U32(p, 6); }
void RemoteOut(Firmware& fw, const Bytes& p) { fw.stores.remoteOut[p[2]] = U32(p, 4); }

// The byte variable index comes with 128 added.
void ReadByteVar(Firmware& fw, Window& w) { PutReply(w, fw.stores.byteVars[static_cast<std::uint8_t>(w[104] - 128)], 1); }
void ReadVar(Firmware& fw, Window& w) { PutReply(w, static_cast<std::uint32_t>(fw.stores.longVars[w[106] << 8 | w[104]]), 4); }
void ReadMd(Firmware& fw, Window& w) { PutReply(w, fw.stores.md[w[114] << 8 | w[112]], 4); }

void RemoteIn(Firmware& fw, Window& w)
{
    const std::uint8_t port = w[100];
    const Stores& s = fw.stores;
    PutReply(w, s.remoteLoopback ? s.remoteOut[port] & 0xFFFFu : s.remoteIn[port], 2);
}

} // namespace detail
} // namespace velkor_sim
