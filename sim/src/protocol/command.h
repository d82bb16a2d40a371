// A command as the handlers see it: the packets of one whole command, read
// through the fields of its rows in the command table. A handler names the
// fields it reads once, at compile time, by code and name:
//
//     constexpr auto kWidth = I32Field(121, "width");
//     ... cmd[kWidth] ...
//
// A name the row does not have, or a type the row does not give the field,
// does not compile. Reading a field is a fixed-offset load: no look-up and
// no copy per packet.
//
// The assembler gathers the packets of a command that spans several codes
// (part i of n in the table) and hands the handler the whole command once its
// last part has arrived.
#ifndef VELKOR_SIM_PROTOCOL_COMMAND_H
#define VELKOR_SIM_PROTOCOL_COMMAND_H

#include "protocol/decoder.h"
#include "protocol/fields.h"
#include "protocol/packet_table.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <type_traits>

namespace velkor_sim {
namespace detail {

// Where a field of a command lies: its packet within the command and its byte.
template <typename Value>
struct FieldRef {
    std::uint8_t part; // 0-based
    std::uint8_t at;
};

namespace table {

constexpr bool SameName(const char* a, const char* b)
{
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

constexpr const PacketEntry& Row(std::uint8_t code)
{
    for (const PacketEntry& row : kPackets) {
        if (row.code == code) {
            return row;
        }
    }
    throw std::logic_error("no row for this code");
}

constexpr const Field& FieldOf(const PacketEntry& row, const char* name)
{
    for (const Field& f : row.fields) {
        if (f.type != FieldType::End && SameName(f.name, name)) {
            return f;
        }
    }
    throw std::logic_error("the row has no field of this name");
}

// The field `name` of every code given, which must lie at the same place and
// have one of the types allowed.
template <typename Value>
constexpr FieldRef<Value> Find(std::initializer_list<std::uint8_t> codes, const char* name,
                               std::initializer_list<FieldType> types)
{
    FieldRef<Value> ref{0, 0};
    bool first = true;
    for (std::uint8_t code : codes) {
        const PacketEntry& row = Row(code);
        const Field& f = FieldOf(row, name);
        bool typed = false;
        for (FieldType t : types) {
            typed = typed || f.type == t;
        }
        if (!typed) {
            throw std::logic_error("the field has another type");
        }
        const FieldRef<Value> here{static_cast<std::uint8_t>(row.part - 1), f.at};
        if (!first && (here.part != ref.part || here.at != ref.at)) {
            throw std::logic_error("the codes place the field differently");
        }
        ref = here;
        first = false;
    }
    return ref;
}

} // namespace table

// The field `name` of a command, looked up in the rows of `codes` (all of
// which must place it alike), as the type the table gives it.
constexpr FieldRef<std::uint8_t> U8Field(std::initializer_list<std::uint8_t> codes, const char* name)
{
    return table::Find<std::uint8_t>(codes, name, {FieldType::U8, FieldType::Char});
}
constexpr FieldRef<std::uint16_t> U16Field(std::initializer_list<std::uint8_t> codes, const char* name)
{
    return table::Find<std::uint16_t>(codes, name, {FieldType::U16, FieldType::Chars});
}
constexpr FieldRef<std::uint32_t> U32Field(std::initializer_list<std::uint8_t> codes, const char* name)
{
    return table::Find<std::uint32_t>(codes, name, {FieldType::U32, FieldType::Raw32});
}
constexpr FieldRef<std::int32_t> I32Field(std::initializer_list<std::uint8_t> codes, const char* name)
{
    return table::Find<std::int32_t>(codes, name, {FieldType::I32});
}
// A run of bytes from the field's byte to the end of the packet.
constexpr FieldRef<const std::uint8_t*> ChunkField(std::initializer_list<std::uint8_t> codes, const char* name)
{
    return table::Find<const std::uint8_t*>(codes, name, {FieldType::Chunk});
}

// The packets of one whole command. A view: it does not own the packets,
// which live in the mailbox's copy or the assembler while the handler runs.
class Command {
public:
    Command(const PacketEntry& last, const Bytes* parts) : row_(&last), parts_(parts) {}

    // The code of the command's first packet, and how many packets it has.
    std::uint8_t Code() const { return parts_[0][0]; }
    int Parts() const { return row_->parts; }

    template <typename Value>
    Value operator[](FieldRef<Value> f) const
    {
        const Bytes& p = parts_[f.part];
        if constexpr (std::is_same_v<Value, std::uint8_t>) {
            return p[f.at];
        } else if constexpr (std::is_same_v<Value, std::uint16_t>) {
            return U16(p, f.at);
        } else if constexpr (std::is_same_v<Value, std::uint32_t>) {
            return U32(p, f.at);
        } else if constexpr (std::is_same_v<Value, std::int32_t>) {
            return I32(p, f.at);
        } else {
            return p.data() + f.at;
        }
    }

private:
    const PacketEntry* row_; // the row of the last packet
    const Bytes* parts_;     // Parts() packets, in order
};

// A command of one packet kept whole, as a step of a macro program is: its
// code must have a row (the caller has looked at it).
inline Command StoredCommand(const Bytes& packet) { return Command(*FindPacket(packet[0]), &packet); }

// Gathers the packets of commands that span several codes. The packets of one
// command come one after the other, in order; a command of one packet may
// come between them and is carried out at once. A first part starts a
// command afresh; a part that is not the one expected (one was lost, came
// twice, or belongs to another command), or a first part while a command is
// still incomplete, drops what was gathered: the caller sets the
// bad-command bit.
class CommandAssembler {
public:
    enum class Outcome : std::uint8_t { Complete, Waiting, OutOfTurn };

    // Takes the packet of row `row`. Complete: `*whole` points to the parts
    // of the command, valid until the next call.
    Outcome Take(const PacketEntry& row, const Bytes& packet, const Bytes** whole)
    {
        if (row.parts <= 1) {
            *whole = &packet;
            return Outcome::Complete;
        }
        const bool interrupted = gathered_ != 0;
        if (row.part == 1) {
            first_ = row.code;
            gathered_ = 1;
            parts_[0] = packet;
            return interrupted ? Outcome::OutOfTurn : Outcome::Waiting;
        }
        if (!interrupted || row.code != first_ + gathered_) {
            gathered_ = 0;
            return Outcome::OutOfTurn;
        }
        parts_[gathered_++] = packet;
        if (gathered_ < row.parts) {
            return Outcome::Waiting;
        }
        gathered_ = 0;
        *whole = parts_.data();
        return Outcome::Complete;
    }

    void Reset() { gathered_ = 0; }

    static constexpr int kMaxParts = 4;

private:
    std::array<Bytes, kMaxParts> parts_{};
    std::uint8_t first_ = 0;    // the code of the first part gathered
    std::uint8_t gathered_ = 0; // parts gathered, 0: none
};

namespace table {

// Every command of several packets has its parts at consecutive codes, in
// order, under one name, and no more of them than the assembler holds.
constexpr bool PartsAreWhole()
{
    for (const PacketEntry& row : kPackets) {
        if (row.parts < 1 || row.part < 1 || row.part > row.parts || row.parts > CommandAssembler::kMaxParts) {
            return false;
        }
        if (row.part > 1) {
            const PacketEntry& before = Row(static_cast<std::uint8_t>(row.code - 1));
            if (before.part != row.part - 1 || before.parts != row.parts || !SameName(before.name, row.name)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(PartsAreWhole(), "a command of several packets is not whole in the command table");

} // namespace table

} // namespace detail
} // namespace velkor_sim

#endif
