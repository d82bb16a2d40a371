// A virtual module on the manual clock in slot 3, and a raw host that speaks
// the mailbox protocol with the six slot-bus calls alone, so that the module
// can be tested apart from the library.
#ifndef VELKOR_TESTS_SIM_FIXTURE_H
#define VELKOR_TESTS_SIM_FIXTURE_H

#include <velkor_sim/virtual_module.h>

#include <BrelanSDK.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <thread>
#include <utility>
#include <vector>

namespace velkor_sim_test {

using namespace std::chrono_literals;

// A packet as the host stages it: byte 0 the code, byte 1 the constant 10.
class Pkt {
public:
    explicit Pkt(std::uint8_t code) : bytes_{code, 10} {}
    Pkt& U8(int k, std::uint8_t v) { Put(k, v, 1); return *this; }
    Pkt& U16(int k, std::uint16_t v) { Put(k, v, 2); return *this; }
    Pkt& I32(int k, std::int32_t v) { Put(k, static_cast<std::uint32_t>(v), 4); return *this; }
    Pkt& U32(int k, std::uint32_t v) { Put(k, v, 4); return *this; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    void Put(int k, std::uint32_t v, int width)
    {
        if (bytes_.size() < static_cast<std::size_t>(k + width)) {
            bytes_.resize(k + width);
        }
        for (int i = 0; i < width; ++i) {
            bytes_[k + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    }
    std::vector<std::uint8_t> bytes_;
};

class RawHost {
public:
    explicit RawHost(std::uint8_t slot) : base_(GetSlotAddr(slot)) {}
    std::uint8_t R(std::uint8_t off) { return IoReadByte(base_ + off); }
    void W(std::uint8_t off, std::uint8_t v) { IoWriteByte(base_ + off, v); }
    void WaitIdle()
    {
        while (R(126) != 0) {
            std::this_thread::sleep_for(1ms);
        }
    }
    // Posts a packet as the library's WRITE_DATA does; false when given up
    // because `giveUp` is set and the mailbox is busy.
    bool Post(const Pkt& p, bool giveUp = false)
    {
        seq_ = seq_ + 1 >= 30 ? 0 : seq_ + 1;
        W(2, seq_);
        while (R(126) == 1) {
            if (giveUp) {
                seq_ = seq_ == 0 ? 29 : seq_ - 1;
                return false;
            }
            std::this_thread::sleep_for(1ms);
        }
        for (std::size_t i = 0; i < p.bytes().size(); ++i) {
            W(static_cast<std::uint8_t>(64 + 2 * i), p.bytes()[i]);
        }
        W(126, 1);
        return true;
    }
    // A query exchange: parameter registers, the code, the reply.
    std::uint32_t Query(std::uint8_t code, std::initializer_list<std::pair<std::uint8_t, std::uint8_t>> params = {},
                        int width = 4)
    {
        W(2, 31);
        for (const auto& p : params) {
            W(p.first, p.second);
        }
        WaitIdle();
        W(126, code);
        WaitIdle();
        std::uint32_t v = 0;
        for (int i = width - 1; i >= 0; --i) {
            v = v << 8 | R(static_cast<std::uint8_t>(64 + 2 * i));
        }
        W(2, seq_);
        return v;
    }
    std::int32_t Lp(std::uint8_t axis) { return static_cast<std::int32_t>(Query(41, {{96, axis}})); }
    std::uint8_t StopWait(std::uint8_t axis) { return static_cast<std::uint8_t>(Query(182, {{96, axis}}, 1)); }
    std::uint16_t ErrorCode(std::uint8_t axis) { return static_cast<std::uint16_t>(Query(48, {{96, axis}}, 2)); }
    std::uint8_t seq() const { return seq_; }

private:
    std::uint32_t base_;
    std::uint8_t seq_ = 0;
};

class SimTest : public ::testing::Test {
protected:
    static constexpr std::uint8_t kSlot = 3;

    void SetUp() override
    {
        brelan::Reset();
        ASSERT_TRUE(module.PlugInto(kSlot));
    }
    void TearDown() override { module.Unplug(); }

    velkor_sim::VirtualModule module;
    RawHost host{kSlot};
};

} // namespace velkor_sim_test

#endif
