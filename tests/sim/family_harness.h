// One family of the virtual module alone, without the firmware: a fake
// context (four axes, the factors raised, the faults set, a clock the test
// moves) and commands built by field name from the module's command table.
// A case feeds a command, advances, and reads.
#ifndef VELKOR_SIM_TEST_FAMILY_HARNESS_H
#define VELKOR_SIM_TEST_FAMILY_HARNESS_H

#include "axis/axis.h"
#include "axis/homing.h"
#include "axis/machine.h"
#include "context/context.h"
#include "protocol/command.h"
#include "protocol/decoder.h"
#include "protocol/fields.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

namespace velkor_sim_test {

namespace sim = velkor_sim::detail;

class FakeContext final : public sim::Context {
public:
    std::array<sim::AxisState, velkor_sim::kAxisCount> axes{};
    std::array<bool, velkor_sim::kAxisCount> driving{};
    std::array<bool, velkor_sim::kAxisCount> inPath{};
    int pathStops = 0;
    std::vector<sim::Bytes> executed; // commands carried out through the context
    std::uint8_t raised = 0;      // every factor raised so far
    std::uint8_t raisedEvents = 0; // the ones raised as events
    std::uint16_t faults = 0;
    double time = 0;

    FakeContext() { Bind(axes.data()); }

    bool AxisDriving(int index) const override { return driving[index]; }
    std::uint16_t AxisInputs(int index) const override { return axes[index].inputs; }
    bool AxisInPath(int index) const override { return inPath[index]; }
    void StopAllPaths(bool) override { ++pathStops; }
    void ShiftInPaths(int, std::int64_t) override {}
    bool PathRunning() const override { return false; }
    double PathSpeed() const override { return 0; }
    std::uint8_t AxisOutputs(int) const override { return 0; }
    void Raise(std::uint8_t factors, bool event) override
    {
        raised |= factors;
        if (event) {
            raisedEvents |= factors;
        }
    }
    void Fault(std::uint16_t bits) override { faults |= bits; }
    std::uint16_t ModuleError() const override { return faults; }
    void ClearFaults() override { faults = 0; }
    void Execute(const sim::Bytes& packet) override { executed.push_back(packet); }
    double Time() const override { return time; }
};

// A command of one packet, as a handler gets it.
struct OnePacket {
    sim::Bytes bytes;

    operator sim::Command() const { return sim::StoredCommand(bytes); }
};

// A packet of `code` with the named fields of its row set, as the host's
// packing writes them (little-endian, at the field's byte).
inline sim::Bytes Packet(std::uint8_t code, std::initializer_list<std::pair<const char*, std::int64_t>> values)
{
    sim::Bytes p{};
    p[0] = code;
    p[1] = 10;
    const sim::PacketEntry* row = sim::FindPacket(code);
    EXPECT_NE(row, nullptr) << "no row for code " << int(code);
    for (const auto& [name, value] : values) {
        const sim::Field* field = nullptr;
        for (const sim::Field& f : row->fields) {
            if (f.name != nullptr && std::strcmp(f.name, name) == 0) {
                field = &f;
            }
        }
        EXPECT_NE(field, nullptr) << "code " << int(code) << " has no field " << name;
        if (field == nullptr) {
            continue;
        }
        const int width = field->type == sim::FieldType::U8 ? 1 : field->type == sim::FieldType::U16 ? 2 : 4;
        for (int i = 0; i < width; ++i) {
            p[field->at + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
        }
    }
    return p;
}

inline OnePacket Command(std::uint8_t code, std::initializer_list<std::pair<const char*, std::int64_t>> values)
{
    return OnePacket{Packet(code, values)};
}

// A query window with the named parameter registers of the code's row set.
inline sim::Window Query(std::uint8_t code, std::initializer_list<std::pair<const char*, std::uint8_t>> values)
{
    sim::Window w{};
    const sim::ExchangeEntry* row = sim::FindExchange(code);
    EXPECT_NE(row, nullptr) << "no row for code " << int(code);
    for (const auto& [name, value] : values) {
        bool found = false;
        for (const sim::Field& f : row->fields) {
            if (f.name != nullptr && std::strcmp(f.name, name) == 0) {
                w[f.at] = value;
                found = true;
            }
        }
        EXPECT_TRUE(found) << "code " << int(code) << " has no register " << name;
    }
    return w;
}

// The reply of `width` bytes a handler wrote into the window.
inline std::uint32_t Reply(const sim::Window& w, int width)
{
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = value << 8 | w[sim::kReplyArea + 2 * i];
    }
    return value;
}

} // namespace velkor_sim_test

#endif
