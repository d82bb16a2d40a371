#include "scripted_module.h"

namespace velkor_test {
namespace {
constexpr std::uint8_t kSequence = 2;
constexpr std::uint8_t kData = 64;
constexpr std::uint8_t kInterruptCode = 124;
constexpr std::uint8_t kHandshake = 126;
} // namespace

std::ostream& operator<<(std::ostream& out, const BusAccess& a)
{
    return out << (a.write ? "W(" : "R(") << int(a.offset) << ", " << int(a.value) << ")";
}

std::ostream& operator<<(std::ostream& out, const Packet& p)
{
    out << "seq " << int(p.sequence) << " [";
    for (std::size_t i = 0; i < p.bytes.size(); ++i) {
        out << (i ? ", " : "") << int(p.bytes[i]);
    }
    return out << "]";
}

ScriptedModule::~ScriptedModule()
{
    if (slot_ != 0) {
        brelan::Unplug(slot_);
    }
}

void ScriptedModule::PlugInto(std::uint8_t slot)
{
    slot_ = slot;
    brelan::Plug(slot, this);
}

std::uint8_t ScriptedModule::Read(std::uint8_t offset)
{
    std::lock_guard<std::mutex> hold(mutex_);
    std::uint8_t value = regs_[offset];
    if (offset == kHandshake && !handshakeReads_.empty()) {
        value = handshakeReads_.front();
        handshakeReads_.pop_front();
    } else if (offset == kHandshake && value != 0) {
        if (busyLeft_ == kForever || busyLeft_ > 0) {
            if (busyLeft_ != kForever) {
                --busyLeft_;
            }
        } else {
            TakeHandshake();
            value = regs_[offset];
        }
    } else if (offset >= kData && offset < kInterruptCode && !readBack_) {
        value = 0;
    }
    accesses_.push_back(R(offset, value));
    return value;
}

void ScriptedModule::Write(std::uint8_t offset, std::uint8_t value)
{
    std::lock_guard<std::mutex> hold(mutex_);
    accesses_.push_back(W(offset, value));
    if (offset >= brelan::kWindowSize) {
        return;
    }
    regs_[offset] = value;
    if (offset == kSequence) {
        written_.clear(); // a packet's bytes follow its sequence number
    } else if (offset >= kData && offset < kInterruptCode) {
        written_.push_back(value);
    }
    if (offset == kHandshake && value != 0) {
        scripted_ = false;
        // The packet is what the window held when the handshake went to 1: a
        // host that finds the module still busy writes the next sequence
        // number before the module takes this packet.
        posted_ = Packet{regs_[kSequence], written_};
        busyLeft_ = busyPolls_;
        if (busyLeft_ == 0) {
            TakeHandshake();
        }
    }
}

void ScriptedModule::TakeHandshake()
{
    const std::uint8_t code = regs_[kHandshake];
    if (scripted_) {
        scripted_ = false; // a value the script put there: nothing to record
    } else if (code == 1) {
        packets_.push_back(posted_);
    } else {
        codes_.push_back(code);
        auto reply = replies_.find(code);
        if (reply != replies_.end()) {
            for (std::size_t i = 0; i < reply->second.size() && kData + 2 * i < kInterruptCode; ++i) {
                regs_[kData + 2 * i] = reply->second[i];
            }
        }
    }
    written_.clear();
    regs_[kHandshake] = 0;
}

void ScriptedModule::SetId(std::uint8_t id)
{
    std::lock_guard<std::mutex> hold(mutex_);
    regs_[0] = id;
}

void ScriptedModule::SetReadBack(bool on)
{
    std::lock_guard<std::mutex> hold(mutex_);
    readBack_ = on;
}

void ScriptedModule::SetBusyPolls(std::uint32_t polls)
{
    std::lock_guard<std::mutex> hold(mutex_);
    busyPolls_ = polls;
}

void ScriptedModule::SetReply(std::uint8_t code, std::vector<std::uint8_t> bytes)
{
    std::lock_guard<std::mutex> hold(mutex_);
    replies_[code] = std::move(bytes);
}

void ScriptedModule::SetPending(std::uint8_t value, std::uint32_t polls)
{
    std::lock_guard<std::mutex> hold(mutex_);
    regs_[kHandshake] = value;
    busyLeft_ = polls;
    scripted_ = value != 0;
}

void ScriptedModule::Release()
{
    std::lock_guard<std::mutex> hold(mutex_);
    busyLeft_ = 0;
}

void ScriptedModule::SetRegister(std::uint8_t offset, std::uint8_t value)
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (offset < brelan::kWindowSize) {
        regs_[offset] = value;
    }
}

void ScriptedModule::SetHandshakeReads(std::vector<std::uint8_t> values)
{
    std::lock_guard<std::mutex> hold(mutex_);
    handshakeReads_.assign(values.begin(), values.end());
}

bool ScriptedModule::RaiseInterrupt(std::uint8_t code)
{
    SetRegister(kInterruptCode, code);
    return brelan::RaiseInterrupt(slot_);
}

std::vector<BusAccess> ScriptedModule::TakeAccesses()
{
    std::lock_guard<std::mutex> hold(mutex_);
    std::vector<BusAccess> out;
    out.swap(accesses_);
    return out;
}

std::vector<Packet> ScriptedModule::TakePackets()
{
    std::lock_guard<std::mutex> hold(mutex_);
    std::vector<Packet> out;
    out.swap(packets_);
    return out;
}

std::vector<std::uint8_t> ScriptedModule::TakeCodes()
{
    std::lock_guard<std::mutex> hold(mutex_);
    std::vector<std::uint8_t> out;
    out.swap(codes_);
    return out;
}

std::uint8_t ScriptedModule::RegisterValue(std::uint8_t offset)
{
    std::lock_guard<std::mutex> hold(mutex_);
    return offset < brelan::kWindowSize ? regs_[offset] : 0;
}

} // namespace velkor_test
