#include "stores/variables.h"

namespace velkor_sim {
namespace detail {

void WriteByteVar(Stores& s, const Bytes& p) { s.byteVars[p[2]] = p[4]; }
void WriteVar(Stores& s, const Bytes& p) { s.longVars[U16(p, 2)] = I32(p, 6); }
void WriteMd(Stores& s, const Bytes& p) { s.md[U16(p, 2)] = U32(p, 6); }
void RemoteOut(Stores& s, const Bytes& p) { s.remoteOut[p[2]] = U32(p, 4); }

// The byte variable index comes with 128 added.
void ReadByteVar(Stores& s, Window& w) { PutReply(w, s.byteVars[static_cast<std::uint8_t>(w[104] - 128)], 1); }
void ReadVar(Stores& s, Window& w) { PutReply(w, static_cast<std::uint32_t>(s.longVars[w[106] << 8 | w[104]]), 4); }
void ReadMd(Stores& s, Window& w) { PutReply(w, s.md[w[114] << 8 | w[112]], 4); }

void RemoteIn(Stores& s, Window& w)
{
    const std::uint8_t port = w[100];
    PutReply(w, s.remoteLoopback ? s.remoteOut[port] & 0xFFFFu : s.remoteIn[port], 2);
}

} // namespace detail
} // namespace velkor_sim
