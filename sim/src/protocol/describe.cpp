// Names and one-line descriptions of packets and exchanges, for the trace of
// the tool, from the decoder table's field layouts.
#include "protocol/decoder.h"

#include <cstdio>
#include <string>

namespace velkor_sim {
namespace detail {
namespace {

// An interrupt factor mask in hex with the factors' names, "0x11 (DRIVE_END|COMPARE)".
std::string FactorMask(unsigned mask)
{
    static const char* const names[8] = {"DRIVE_END", "LIMIT", "ALARM",       "HOMING",
                                         "COMPARE",   "DEBUG", "SYNC_ACTION", "PROGRAM"};
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", mask);
    std::string list;
    for (int bit = 0; bit < 8; ++bit) {
        if ((mask >> bit & 1U) != 0) {
            list += (list.empty() ? "" : "|") + std::string(names[bit]);
        }
    }
    return list.empty() ? std::string(text) : std::string(text) + " (" + list + ")";
}

template <std::size_t N>
std::string Format(const char* name, const Field (&fields)[N], const Bytes& source, bool registers,
                   const std::array<std::uint8_t, 10>& regs)
{
    std::string out = name;
    char text[64];
    for (const Field& f : fields) {
        if (f.name == nullptr) {
            break;
        }
        if (registers) {
            std::snprintf(text, sizeof text, " %s=%u", f.name, unsigned(regs[(f.at - 96) / 2]));
            out += text;
            continue;
        }
        if (std::string(f.name) == "factors") {
            out += std::string(" ") + f.name + "=" + FactorMask(source[f.at]);
            continue;
        }
        switch (f.type) {
        case FieldType::End: break;
        case FieldType::U8: std::snprintf(text, sizeof text, " %s=%u", f.name, unsigned(source[f.at])); break;
        case FieldType::U16: std::snprintf(text, sizeof text, " %s=%u", f.name, unsigned(U16(source, f.at))); break;
        case FieldType::U32: std::snprintf(text, sizeof text, " %s=%u", f.name, unsigned(U32(source, f.at))); break;
        case FieldType::I32: std::snprintf(text, sizeof text, " %s=%d", f.name, int(I32(source, f.at))); break;
        case FieldType::Raw32: std::snprintf(text, sizeof text, " %s=0x%08X", f.name, unsigned(U32(source, f.at))); break;
        case FieldType::Char:
        case FieldType::Chars: {
            const std::uint8_t first = source[f.at];
            const std::uint8_t second = f.type == FieldType::Chars ? source[f.at + 1] : 0;
            const bool printable = first >= 0x20 && first < 0x7F && (second == 0 || (second >= 0x20 && second < 0x7F));
            const char op[3] = {static_cast<char>(first), static_cast<char>(second), '\0'};
            if (printable) {
                std::snprintf(text, sizeof text, " %s=\"%s\"", f.name, op);
            } else {
                std::snprintf(text, sizeof text, " %s=%u,%u", f.name, unsigned(first), unsigned(second));
            }
            break;
        }
        case FieldType::Chunk: {
            const int count = source[2] < 20 ? source[2] : 20;
            std::snprintf(text, sizeof text, " %s=[%d bytes]", f.name, count);
            break;
        }
        }
        out += text;
    }
    return out;
}

} // namespace
} // namespace detail

std::string CodeName(std::uint8_t code, LogEntry::Kind kind)
{
    const char* name = nullptr;
    if (kind == LogEntry::Kind::Packet) {
        const detail::PacketEntry* e = detail::FindPacket(code);
        name = e != nullptr ? e->name : nullptr;
    } else {
        const detail::ExchangeEntry* e = detail::FindExchange(code);
        name = e != nullptr ? e->name : nullptr;
    }
    return name != nullptr ? std::string(name) : "code " + std::to_string(code);
}

std::string DescribeStep(const std::array<std::uint8_t, kDataBytes>& bytes)
{
    const detail::PacketEntry* e = detail::FindPacket(bytes[0]);
    const std::array<std::uint8_t, 10> noRegisters{};
    return e != nullptr ? detail::Format(e->name, e->fields, bytes, false, noRegisters)
                        : "unknown code " + std::to_string(bytes[0]);
}

std::string Describe(const LogEntry& entry)
{
    char head[32];
    if (entry.kind == LogEntry::Kind::Packet) {
        std::snprintf(head, sizeof head, "#%-2u ", unsigned(entry.sequence));
        const detail::PacketEntry* e = detail::FindPacket(entry.code);
        return std::string(head) + (e != nullptr ? detail::Format(e->name, e->fields, entry.bytes, false, entry.registers)
                                                 : "unknown code " + std::to_string(entry.code));
    }
    const detail::ExchangeEntry* e = detail::FindExchange(entry.code);
    std::string out = "query ";
    out += e != nullptr ? detail::Format(e->name, e->fields, entry.bytes, true, entry.registers)
                        : "unknown code " + std::to_string(entry.code);
    const int width = e != nullptr ? e->replyWidth : 0;
    if (width > 0) {
        std::uint32_t reply = 0;
        for (int i = width - 1; i >= 0; --i) {
            reply = reply << 8 | entry.bytes[i];
        }
        out += " -> " + std::to_string(width == 4 ? static_cast<long long>(static_cast<std::int32_t>(reply))
                                                  : static_cast<long long>(reply));
    }
    return out;
}

} // namespace velkor_sim
