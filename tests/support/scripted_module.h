// The scripted test module: plays the module's side of the mailbox window
// from a script and records every access and every packet, so that tests can
// assert the library's exact bus traffic.
#ifndef VELKOR_TESTS_SCRIPTED_MODULE_H
#define VELKOR_TESTS_SCRIPTED_MODULE_H

#include <brelan/backplane.h>

#include <cstdint>
#include <deque>
#include <limits>
#include <map>
#include <mutex>
#include <ostream>
#include <vector>

namespace velkor_test {

// One register access as the module saw it.
struct BusAccess {
    bool write;
    std::uint8_t offset;
    std::uint8_t value;
    bool operator==(const BusAccess& o) const { return write == o.write && offset == o.offset && value == o.value; }
};
inline BusAccess W(std::uint8_t offset, std::uint8_t value) { return BusAccess{true, offset, value}; }
inline BusAccess R(std::uint8_t offset, std::uint8_t value) { return BusAccess{false, offset, value}; }
std::ostream& operator<<(std::ostream& out, const BusAccess& a);

// A packet as the module took it: the sequence register at the moment the
// handshake went to 1, and the data-area bytes written since the last handshake.
struct Packet {
    std::uint8_t sequence;
    std::vector<std::uint8_t> bytes;
    bool operator==(const Packet& o) const { return sequence == o.sequence && bytes == o.bytes; }
};
std::ostream& operator<<(std::ostream& out, const Packet& p);

constexpr std::uint32_t kForever = std::numeric_limits<std::uint32_t>::max();

class ScriptedModule : public brelan::SlotDevice {
public:
    explicit ScriptedModule(std::uint8_t id = 'D') { regs_[0] = id; }
    ~ScriptedModule() override;

    // Plugs the module into a slot of the virtual backplane.
    void PlugInto(std::uint8_t slot);

    std::uint8_t Read(std::uint8_t offset) override;
    void Write(std::uint8_t offset, std::uint8_t value) override;

    // --- Script -----------------------------------------------------------
    void SetId(std::uint8_t id);
    // When false the data area reads 0 whatever was written (a broken window).
    void SetReadBack(bool on);
    // After each handshake write the register keeps reading the written value
    // for `polls` reads before the module takes the packet or answers.
    void SetBusyPolls(std::uint32_t polls);
    // Reply bytes placed in the data area when query `code` is answered.
    void SetReply(std::uint8_t code, std::vector<std::uint8_t> bytes);
    // Puts `value` in the handshake register as if the host had written it,
    // kept for `polls` reads (kForever: until Release) before it is taken.
    void SetPending(std::uint8_t value, std::uint32_t polls);
    // Lets a pending handshake value go at the next read.
    void Release();
    // Sets any register directly (for example the interrupt code at 124).
    void SetRegister(std::uint8_t offset, std::uint8_t value);
    // The next reads of the handshake register return these values, one per
    // read, whatever the register holds; then it reads as before.
    void SetHandshakeReads(std::vector<std::uint8_t> values);
    // Stores `code` at the interrupt code register and raises the slot interrupt.
    bool RaiseInterrupt(std::uint8_t code);

    // --- Record -----------------------------------------------------------
    std::vector<BusAccess> TakeAccesses();
    std::vector<Packet> TakePackets();
    std::vector<std::uint8_t> TakeCodes(); // query and control codes answered, in order
    std::uint8_t RegisterValue(std::uint8_t offset);

private:
    void TakeHandshake(); // the module takes the packet or answers the code

    std::mutex mutex_;
    std::uint8_t slot_ = 0;
    std::uint8_t regs_[brelan::kWindowSize] = {};
    bool readBack_ = true;
    std::uint32_t busyPolls_ = 0;
    std::uint32_t busyLeft_ = 0;
    bool scripted_ = false; // the pending handshake value came from SetPending
    std::map<std::uint8_t, std::vector<std::uint8_t>> replies_;
    std::deque<std::uint8_t> handshakeReads_;
    std::vector<std::uint8_t> written_; // data bytes since the last handshake write
    Packet posted_{};                   // the packet of the last handshake write of 1
    std::vector<BusAccess> accesses_;
    std::vector<Packet> packets_;
    std::vector<std::uint8_t> codes_;
};

} // namespace velkor_test

#endif
