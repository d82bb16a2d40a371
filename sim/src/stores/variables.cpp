#include "stores/variables.h"

#include "protocol/command.h"
#include "protocol/query.h"

namespace velkor_sim {
namespace detail {
namespace {

constexpr auto kByteIndex = U8Field({35}, "index");
constexpr auto kByteData = U8Field({35}, "data");
constexpr auto kVarIndex = U16Field({37}, "index");
constexpr auto kVarData = I32Field({37}, "data");
constexpr auto kMdIndex = U16Field({39}, "index");
constexpr auto kMdValue = U32Field({39}, "value");
constexpr auto kOutPort = U8Field({51}, "port");
constexpr auto kOutData = U32Field({51}, "data");
constexpr int kReadByteIndex = RegisterOf({34}, "index+128");
constexpr int kReadVarLow = RegisterOf({36}, "index_low");
constexpr int kReadVarHigh = RegisterOf({36}, "index_high");
constexpr int kReadMdLow = RegisterOf({38}, "index_low");
constexpr int kReadMdHigh = RegisterOf({38}, "index_high");
constexpr int kInPort = RegisterOf({50}, "port");

} // namespace

void WriteByteVar(Stores& s, const Command& cmd) { s.byteVars[cmd[kByteIndex]] = cmd[kByteData]; }
void WriteVar(Stores& s, const Command& cmd) { s.longVars[cmd[kVarIndex]] = cmd[kVarData]; }
void WriteMd(Stores& s, const Command& cmd) { s.md[cmd[kMdIndex]] = cmd[kMdValue]; }
void RemoteOut(Stores& s, const Command& cmd) { s.remoteOut[cmd[kOutPort]] = cmd[kOutData]; }

// The byte variable index comes with 128 added.
void ReadByteVar(Stores& s, Window& w) { PutReply(w, s.byteVars[static_cast<std::uint8_t>(w[kReadByteIndex] - 128)], 1); }
void ReadVar(Stores& s, Window& w)
{
    PutReply(w, static_cast<std::uint32_t>(s.longVars[w[kReadVarHigh] << 8 | w[kReadVarLow]]), 4);
}
void ReadMd(Stores& s, Window& w) { PutReply(w, s.md[w[kReadMdHigh] << 8 | w[kReadMdLow]], 4); }

void RemoteIn(Stores& s, Window& w)
{
    const std::uint8_t port = w[kInPort];
    PutReply(w, s.remoteLoopback ? s.remoteOut[port] & 0xFFFFu : s.remoteIn[port], 2);
}

} // namespace detail
} // namespace velkor_sim
