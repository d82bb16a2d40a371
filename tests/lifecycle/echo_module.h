// The smallest module the library accepts: ID 'D', every register reads back
// what was last written to it. The interrupt code register holds the code of
// the latest interrupt. A handshake register written with 1 stays 1, so a
// second packet waits for good: the module never takes it.
#ifndef VELKOR_TESTS_ECHO_MODULE_H
#define VELKOR_TESTS_ECHO_MODULE_H

#include <brelan/backplane.h>

#include <atomic>
#include <cstdint>

namespace velkor_lifecycle {

class EchoModule : public brelan::SlotDevice {
public:
    EchoModule()
    {
        for (auto& r : regs_) {
            r.store(0, std::memory_order_relaxed);
        }
        regs_[0].store('D', std::memory_order_relaxed);
    }
    std::uint8_t Read(std::uint8_t offset) override { return regs_[offset % brelan::kWindowSize].load(); }
    void Write(std::uint8_t offset, std::uint8_t value) override
    {
        if (offset != 0) {
            regs_[offset % brelan::kWindowSize].store(value);
        }
    }
    // Stores the code and raises the slot interrupt; false while the slot is
    // not registered for interrupts.
    bool Raise(std::uint8_t slot, std::uint8_t code)
    {
        regs_[124].store(code);
        return brelan::RaiseInterrupt(slot);
    }

private:
    std::atomic<std::uint8_t> regs_[brelan::kWindowSize];
};

} // namespace velkor_lifecycle

#endif
