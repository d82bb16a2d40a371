// The firmware's decoder: what the module does with each packet and each
// handshake code, and its stores.
#include "firmware.h"

#include <cmath>
#include <cstring>

namespace velkor_sim {
namespace detail {
namespace {

constexpr std::uint8_t kSequenceRing = 30;
constexpr std::uint8_t kDirectSequence = 31;
// GET_CV and GET_CA are scaled by the host with 8000000 / range; with this
// range the scale is 1, so the readings come back in pulses per second (and,
// with the host's extra factor 125, per second squared).
constexpr std::uint32_t kRange = 8000000;
constexpr double kAccelerationUnit = 125.0;
constexpr std::uint8_t kFactorMacro = 0x80;

std::uint8_t Next(std::uint8_t n) { return n + 1 >= kSequenceRing ? 0 : n + 1; }

// The axis index of a selector that names exactly one axis, or -1.
int SingleAxis(std::uint8_t mask)
{
    switch (mask) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
    case 8: return 3;
    default: return -1;
    }
}

// The lowest axis a selector names, or -1 when it names none.
int LowestAxis(std::uint8_t mask)
{
    for (int i = 0; i < kAxisCount; ++i) {
        if (mask & (1u << i)) {
            return i;
        }
    }
    return -1;
}

void PutReply(std::array<std::uint8_t, 128>& window, std::uint32_t value, int width)
{
    for (int i = 0; i < width; ++i) {
        window[64 + 2 * i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

} // namespace

Profile ProfileValues::Resolve(std::uint32_t maxV) const
{
    Profile p;
    p.v = static_cast<double>(maxV != 0 && v > maxV ? maxV : v);
    if (p.v < 1) {
        p.v = 1;
    }
    p.sv = sv < p.v ? static_cast<double>(sv) : p.v;
    if (p.sv < 1) {
        p.sv = 1; // a profile never starts from standstill, so a move always ends
    }
    p.a = a != 0 ? static_cast<double>(a) : 1e12; // 0: the drive speed at once
    p.d = d != 0 ? static_cast<double>(d) : p.a;
    return p;
}

Firmware::Firmware(const ModuleOptions& options)
    : firmwareVersion(options.firmwareVersion), longVars(65536, 0), md(65536, 0), keepTrail(options.keepTrail)
{
    remoteIn.fill(-1);
}

void Firmware::Unsimulated(std::uint8_t code)
{
    ++unsimulated[code];
    ++counters.unsimulated;
}

void Firmware::Fault(std::uint16_t bits) { moduleError_ |= bits; }

void Firmware::Raise(std::uint8_t factors)
{
    if (interruptsOn_ && (factors & enabledFactors_) != 0) {
        interruptCode_ |= factors & enabledFactors_;
        raisePending_ |= factors & enabledFactors_;
    }
}

std::uint8_t Firmware::TakeInterrupt()
{
    const std::uint8_t raised = raisePending_;
    raisePending_ = 0;
    return raised;
}

std::uint8_t Firmware::ReadInterruptCode()
{
    const std::uint8_t code = interruptCode_;
    interruptCode_ = 0;
    return code;
}

// The host writes the next number to the sequence register before it knows
// whether the mailbox is free. While a packet is still held, that number is
// an announcement: either the packet follows once the mailbox is free, or the
// host gives up on it (its stop flag is set) and the next thing it writes to
// the register is the same number again or the direct-exchange marker. A
// probe that walks the numbers on (the host's sequence probe) is neither.
void Firmware::SequenceWritten(std::uint8_t value, bool packetHeld, std::uint8_t heldSequence)
{
    if (announced_) {
        if (value == announcedSequence_ || value == kDirectSequence) {
            ++counters.droppedPackets;
            Fault(error::kPacketMissing);
        }
        announced_ = false;
    }
    if (packetHeld && value < kSequenceRing && value == Next(heldSequence)) {
        announced_ = true;
        announcedSequence_ = value;
    }
}

void Firmware::PacketArrived(std::uint8_t sequence)
{
    announced_ = false;
    if (sequenceKnown_ && sequence != Next(lastSequence_)) {
        const int skipped = (sequence + kSequenceRing - Next(lastSequence_)) % kSequenceRing;
        counters.sequenceGaps += static_cast<std::uint32_t>(skipped);
        Fault(error::kPacketMissing);
    }
    sequenceKnown_ = true;
    lastSequence_ = sequence;
}

void Firmware::TakePacket(const Bytes& bytes)
{
    ++counters.packetsTaken;
    const std::uint8_t code = bytes[0];
    // While a macro program is recorded, packets become its steps instead of
    // being carried out; only the closing packet ends the recording.
    if (recording_ && code != 202) {
        programs[program_].push_back(bytes);
        return;
    }
    Execute(bytes);
}

void Firmware::Reset()
{
    for (int i = 0; i < kAxisCount; ++i) {
        AxisState& ax = axes[i];
        ax.drive = Drive{};
        ax.pending = Drive{};
        ax.held = false;
        ax.speed = 0;
        ax.acceleration = 0;
        ax.error = 0;
        ax.profile = ProfileValues{};
        ax.maxV = 8000000;
        ax.softLimits = false;
    }
    vector_ = ProfileValues{};
    paths_.clear();
    pathRunning_ = false;
    haveSegment_ = false;
    discarding_ = false;
    arcHalf_ = 0;
    recording_ = false;
    moduleError_ = 0;
    interruptsOn_ = false;
    enabledFactors_ = 0;
    interruptCode_ = 0;
}

void Firmware::Execute(const Bytes& p)
{
    const std::uint8_t code = p[0];
    const std::uint8_t mask = p[2];
    // The second packet of a two-packet arc must follow its first directly.
    if (arcHalf_ != 0 && code != arcHalf_ + 1) {
        arcHalf_ = 0;
        Fault(error::kBadCommand);
    }
    auto forAxes = [&](auto&& action) {
        if (mask == 0 || mask > 0x0F) {
            Fault(error::kBadCommand);
            return;
        }
        for (int i = 0; i < kAxisCount; ++i) {
            if (mask & (1u << i)) {
                action(axes[i]);
            }
        }
    };
    auto takeAxes = [&](int count, int* out) {
        int picked[3] = {};
        for (int k = 0; k < count; ++k) {
            picked[k] = SingleAxis(p[2 + 2 * k]);
            // Each interpolation axis must be one axis, and a different one.
            if (picked[k] < 0 || (k > 0 && picked[k] == picked[0]) || (k > 1 && picked[k] == picked[1])) {
                Fault(error::kBadCommand);
                return false;
            }
        }
        std::memcpy(out, picked, sizeof(int) * count);
        return true;
    };
    const Support support = PacketSupport(code);
    if (support == Support::NotSimulated) {
        Unsimulated(code);
        return;
    }
    switch (code) {
    case 13: forAxes([&](AxisState& a) { a.maxV = U32(p, 4); }); break;
    case 18:
        forAxes([&](AxisState& a) {
            a.softLimits = true;
            a.limitPlus = I32(p, 4);
            a.limitMinus = I32(p, 8);
            a.limitMode = p[12];
        });
        break;
    case 19: forAxes([&](AxisState& a) { a.softLimits = false; }); break;
    case 35: byteVars[p[2]] = p[4]; break;
    case 37: longVars[U16(p, 2)] = I32(p, 6); break;
    case 39: md[U16(p, 2)] = U32(p, 6); break;
    case 40:
        // A preset shifts the counter, and with it whatever is moving the axis.
        for (int i = 0; i < kAxisCount; ++i) {
            if (!(mask & (1u << i)) || mask > 0x0F) {
                continue;
            }
            AxisState& a = axes[i];
            const std::int64_t delta = static_cast<std::int64_t>(I32(p, 4)) - a.lp;
            a.lp += delta;
            a.pos += static_cast<double>(delta);
            a.lastPos += static_cast<double>(delta);
            a.drive.start += delta;
            if (pathRunning_) {
                const Path& path = paths_.front();
                for (int k = 0; k < path.dims; ++k) {
                    if (path.axis[k] == i) {
                        segmentStart_[k] += delta;
                    }
                }
            }
        }
        if (mask == 0 || mask > 0x0F) {
            Fault(error::kBadCommand);
        }
        break;
    case 42: forAxes([&](AxisState& a) { a.ep = I32(p, 4); }); break;
    case 51: remoteOut[p[2]] = U32(p, 4); break;
    case 71: forAxes([&](AxisState& a) { a.profile.sv = U32(p, 4); }); break;
    case 72: forAxes([&](AxisState& a) { a.profile.v = U32(p, 4); }); break;
    case 73: forAxes([&](AxisState& a) { a.profile.a = U32(p, 4); }); break;
    case 74: forAxes([&](AxisState& a) { a.profile.d = U32(p, 4); }); break;
    case 75: forAxes([&](AxisState& a) { a.profile.k = U32(p, 4); }); break;
    case 76: forAxes([&](AxisState& a) { a.profile.l = U32(p, 4); }); break;
    case 77: forAxes([&](AxisState& a) { a.profile.ao = I32(p, 4); }); break;
    case 78: StartMove(mask, Drive::Kind::Fixed, I32(p, 4)); break;
    case 80: StartMove(mask, Drive::Kind::Continuous, I32(p, 4)); break;
    case 90: {
        int picked[3];
        // A third axis of 0 leaves the assignment usable for plane motion.
        const int count = p[6] == 0 ? 2 : 3;
        if (takeAxes(count, picked)) {
            std::memcpy(assigned_, picked, sizeof(int) * count);
            if (count == 2) {
                assigned_[2] = -1;
            }
        }
        break;
    }
    case 92: vector_.sv = U32(p, 2); break;
    case 93: vector_.v = U32(p, 2); break;
    case 94: vector_.a = U32(p, 2); break;
    case 95: vector_.d = U32(p, 2); break;
    case 96: vector_.k = U32(p, 2); break;
    case 97: vector_.l = U32(p, 2); break;
    case 98: vector_.ao = I32(p, 2); break;
    case 99: case 100: {
        const int dims = code == 99 ? 2 : 3;
        if (dims == 3 && assigned_[2] < 0) {
            Fault(error::kBadCommand);
            break;
        }
        Segment s;
        for (int k = 0; k < dims; ++k) {
            s.d[k] = I32(p, 2 + 4 * k);
        }
        s.length = std::sqrt(double(s.d[0]) * s.d[0] + double(s.d[1]) * s.d[1] + double(s.d[2]) * s.d[2]);
        BeginPath(dims, assigned_, vector_.Resolve(axes[assigned_[0]].maxV));
        AddSegment(s, true);
        break;
    }
    case 101: case 103:
        arcCentre_[0] = I32(p, 2);
        arcCentre_[1] = I32(p, 6);
        arcHalf_ = code;
        break;
    case 102: case 104: case 105: case 106: {
        const bool circle = code >= 105;
        if (!circle && arcHalf_ != code - 1) {
            Fault(error::kBadCommand);
            break;
        }
        arcHalf_ = 0;
        const double cx = circle ? I32(p, 2) : arcCentre_[0];
        const double cy = circle ? I32(p, 6) : arcCentre_[1];
        const double ex = circle ? 0 : I32(p, 2);
        const double ey = circle ? 0 : I32(p, 6);
        const bool clockwise = code == 102 || code == 105;
        Segment s;
        s.arc = true;
        s.d[0] = static_cast<std::int32_t>(ex);
        s.d[1] = static_cast<std::int32_t>(ey);
        s.centre[0] = cx;
        s.centre[1] = cy;
        s.r0 = std::hypot(cx, cy);
        s.r1 = std::hypot(ex - cx, ey - cy);
        if (s.r0 < 0.5 || s.r1 < 0.5) {
            Fault(error::kBadCommand); // no circle has its centre on its own start or end
            break;
        }
        constexpr double kTwoPi = 6.283185307179586;
        s.a0 = std::atan2(-cy, -cx);
        double sweep = std::atan2(ey - cy, ex - cx) - s.a0;
        // Counter-clockwise sweeps lie in (0, 2 pi], clockwise ones in [-2 pi, 0);
        // an end point on the start makes a full circle.
        while (sweep <= 1e-12) {
            sweep += kTwoPi;
        }
        while (sweep > kTwoPi + 1e-12) {
            sweep -= kTwoPi;
        }
        if (clockwise) {
            sweep -= kTwoPi;
            if (sweep > -1e-12) {
                sweep = -kTwoPi;
            }
        }
        s.sweep = sweep;
        s.length = std::fabs(sweep) * 0.5 * (s.r0 + s.r1);
        BeginPath(2, assigned_, vector_.Resolve(axes[assigned_[0]].maxV));
        AddSegment(s, true);
        break;
    }
    case 124: case 127: {
        const int dims = code == 124 ? 2 : 3;
        int picked[3];
        if (takeAxes(dims, picked)) {
            std::memcpy(lineAxes_, picked, sizeof(int) * dims);
            lineDims_ = dims;
        } else {
            lineDims_ = 0;
        }
        break;
    }
    case 125: case 128: {
        if (lineDims_ != (code == 125 ? 2 : 3)) {
            Fault(error::kBadCommand);
            break;
        }
        ProfileValues values;
        values.sv = U32(p, 2);
        values.v = U32(p, 6);
        values.a = U32(p, 10);
        BeginPath(lineDims_, lineAxes_, values.Resolve(axes[lineAxes_[0]].maxV));
        break;
    }
    case 126: case 129: {
        const int dims = code == 126 ? 2 : 3;
        if (discarding_) {
            break; // the rest of a stopped path
        }
        if (paths_.empty() || paths_.back().closed || paths_.back().dims != dims) {
            Fault(error::kBadCommand);
            break;
        }
        Segment s;
        for (int k = 0; k < dims; ++k) {
            s.d[k] = I32(p, 4 + 4 * k);
        }
        s.length = std::sqrt(double(s.d[0]) * s.d[0] + double(s.d[1]) * s.d[1] + double(s.d[2]) * s.d[2]);
        AddSegment(s, p[2] != 0);
        break;
    }
    case 170: interruptsOn_ = true; break;
    case 171: interruptsOn_ = false; break;
    case 172: enabledFactors_ |= p[2]; break;
    case 173: enabledFactors_ &= static_cast<std::uint8_t>(~p[2]); break;
    case 180: forAxes([&](AxisState& a) { a.held = true; }); break;
    case 181:
        forAxes([&](AxisState& a) {
            a.held = false;
            if (a.pending.kind != Drive::Kind::None) {
                a.drive = a.pending;
                a.drive.start = a.lp;
                a.pending = Drive{};
            }
        });
        break;
    case 183: case 184: StopAxes(mask, code == 183); break;
    case 185: case 186: StopPaths(code == 185); break;
    case 187:
        moduleError_ = 0;
        for (AxisState& a : axes) {
            a.error = 0;
        }
        break;
    case 188:
        if (!paths_.empty()) {
            paths_.back().closed = true;
        }
        break;
    case 201:
        recording_ = true;
        program_ = p[2];
        programs[program_].clear();
        break;
    case 202: recording_ = false; break;
    case 220: Raise(kFactorMacro); break;
    default:
        // Settings the module keeps without acting on them.
        break;
    }
}

void Firmware::Answer(std::uint8_t code, std::array<std::uint8_t, 128>& w)
{
    ++counters.exchangesAnswered;
    const std::uint8_t axisMask = w[96];
    const int axis = LowestAxis(axisMask);
    const AxisState* a = axis >= 0 && axisMask <= 0x0F ? &axes[axis] : nullptr;
    switch (code) {
    case 10: {
        Reset();
        sequenceKnown_ = true;
        lastSequence_ = kSequenceRing - 1; // the host numbers the next packet 0
        break;
    }
    case 11:
        // Queued paths that have not started are dropped; the one running ends
        // with the segments it already has.
        while (paths_.size() > (pathRunning_ ? 1u : 0u)) {
            paths_.pop_back();
        }
        if (!paths_.empty()) {
            paths_.front().closed = true;
        }
        recording_ = false;
        sequenceKnown_ = true;
        lastSequence_ = kSequenceRing - 1;
        break;
    case 34: PutReply(w, byteVars[static_cast<std::uint8_t>(w[104] - 128)], 1); break;
    case 36: PutReply(w, static_cast<std::uint32_t>(longVars[w[106] << 8 | w[104]]), 4); break;
    case 38: PutReply(w, md[w[114] << 8 | w[112]], 4); break;
    case 41: PutReply(w, a ? static_cast<std::uint32_t>(a->lp) : 0, 4); break;
    case 43: PutReply(w, a ? static_cast<std::uint32_t>(a->ep) : 0, 4); break;
    case 44: PutReply(w, a ? static_cast<std::uint32_t>(std::lround(a->speed)) : 0, 4); break;
    case 45: PutReply(w, a ? static_cast<std::uint32_t>(std::lround(a->acceleration / kAccelerationUnit)) : 0, 4); break;
    case 255: PutReply(w, kRange, 4); break;
    case 46: PutReply(w, a && w[108] < 16 ? (a->inputs >> w[108]) & 1u : 0, 1); break;
    case 47: {
        std::uint16_t any = moduleError_;
        for (const AxisState& x : axes) {
            any |= x.error;
        }
        PutReply(w, any != 0 ? 1 : 0, 1);
        break;
    }
    case 48: PutReply(w, a ? static_cast<std::uint16_t>(a->error | moduleError_) : moduleError_, 2); break;
    case 49: PutReply(w, a ? a->inputs : 0, 2); break;
    case 50: {
        const std::uint8_t port = w[100];
        PutReply(w, remoteIn[port] >= 0 ? static_cast<std::uint32_t>(remoteIn[port]) : remoteOut[port] & 0xFFFFu, 2);
        break;
    }
    case 113:
        Unsimulated(code);
        PutReply(w, a ? static_cast<std::uint32_t>(a->latch) : 0, 4);
        break;
    case 182: {
        bool stopped = true;
        for (int i = 0; i < kAxisCount; ++i) {
            if ((axisMask & (1u << i)) && AxisDriving(i)) {
                stopped = false;
            }
        }
        PutReply(w, stopped ? 1 : 0, 1);
        break;
    }
    case 183: case 184: StopAxes(axisMask, code == 183); break;
    case 185: case 186: StopPaths(code == 185); break;
    case 187:
        moduleError_ = 0;
        for (AxisState& x : axes) {
            x.error = 0;
        }
        break;
    case 204: PutReply(w, firmwareVersion, 4); break;
    default: Unsimulated(code); break;
    }
}

} // namespace detail
} // namespace velkor_sim
