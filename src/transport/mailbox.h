// The mailbox window of a card and the two kinds of traffic over it:
// command packets (Post, behind WRITE_DATA) and direct exchanges.
#ifndef VELKOR_TRANSPORT_MAILBOX_H
#define VELKOR_TRANSPORT_MAILBOX_H

#include "transport/card_table.h"

#include <cstdint>

namespace velkor {

// Register offsets in the mailbox window.
namespace reg {
constexpr std::uint8_t kModuleId = 0;
constexpr std::uint8_t kSequence = 2;
constexpr std::uint8_t kData = 64; // packet / reply byte i at kData + 2i
constexpr std::uint8_t kDebug = 76;
constexpr std::uint8_t kQueryAxis = 96;
constexpr std::uint8_t kQueryPort = 100;
constexpr std::uint8_t kVarIndexLow = 104;
constexpr std::uint8_t kVarIndexHigh = 106;
constexpr std::uint8_t kQueryInput = 108;
constexpr std::uint8_t kMdIndexLow = 112;
constexpr std::uint8_t kMdIndexHigh = 114;
constexpr std::uint8_t kInterruptCode = 124;
constexpr std::uint8_t kHandshake = 126;
} // namespace reg

constexpr std::uint8_t kHandshakeIdle = 0;
constexpr std::uint8_t kHandshakePacket = 1;
constexpr std::uint8_t kDirectSequence = 31; // sequence register during a direct exchange
constexpr std::uint8_t kSequenceRing = 30;   // packets are numbered 0..29
constexpr std::uint8_t kMaxPacketLength = 30;
constexpr std::uint8_t kReplyBytes = 30;     // reply bytes 0..29 lie below the interrupt code register

// The packet numbers form a ring: 29 is followed by 0.
constexpr std::uint8_t NextSequence(std::uint8_t n) { return n + 1 >= kSequenceRing ? 0 : n + 1; }
constexpr std::uint8_t PreviousSequence(std::uint8_t n) { return n == 0 ? kSequenceRing - 1 : n - 1; }

// One register of the card's window.
std::uint8_t ReadRegister(const CardRecord& card, std::uint8_t offset);
void WriteRegister(const CardRecord& card, std::uint8_t offset, std::uint8_t value);

// Reads `width` (1 to 4) reply bytes from reply byte k on, most significant
// first, and composes them little-endian. Returns 0 without any bus access
// when the bytes would reach past the reply area.
std::uint32_t ReadReply(const CardRecord& card, std::uint8_t k, std::uint8_t width);

// Reads the handshake register until it reads 0, sleeping 1 ms after each
// non-zero read. No time-out.
void WaitIdle(const CardRecord& card);

// WRITE_DATA for a card already looked up: posts the staged packet. The
// caller holds the card lock (or is an application calling WRITE_DATA).
std::uint8_t Post(CardRecord& card);

// A direct exchange: parks the sequence register at 31 when it begins and
// writes the card's sequence number back when it finishes. Each step is one
// of the exchange's steps, so a function composes exactly the accesses it
// makes. The caller holds the card lock where the function takes one.
class DirectExchange {
public:
    explicit DirectExchange(CardRecord& card);
    void Param(std::uint8_t offset, std::uint8_t value) { WriteRegister(card_, offset, value); }
    void WaitIdle() { velkor::WaitIdle(card_); }
    // Writes a query or control code to the handshake register and waits
    // until the module has cleared it.
    void Ask(std::uint8_t code);
    // Writes a control code and does not wait for the module.
    void Signal(std::uint8_t code) { WriteRegister(card_, reg::kHandshake, code); }
    std::uint8_t ReplyByte(std::uint8_t k) { return static_cast<std::uint8_t>(ReadReply(card_, k, 1)); }
    std::uint16_t ReplyWord(std::uint8_t k) { return static_cast<std::uint16_t>(ReadReply(card_, k, 2)); }
    std::uint32_t ReplyDword(std::uint8_t k) { return ReadReply(card_, k, 4); }
    std::uint8_t Register(std::uint8_t offset) { return ReadRegister(card_, offset); }
    // Writes the card's sequence number back to the sequence register.
    void Finish() { WriteRegister(card_, reg::kSequence, card_.sequence); }

private:
    CardRecord& card_;
};

// Which reply bytes a query reads.
enum class Reply : std::uint8_t { None, Byte, Word, Dword };

// A parameter register written as part of a query.
struct Param {
    std::uint8_t offset;
    std::uint8_t value;
};

// The shape of one query exchange: its code, the parameter registers written
// before and after the wait for an idle mailbox, and the reply it reads.
struct Query {
    std::uint8_t code;
    Reply reply;
    Param before[2];
    std::uint8_t beforeCount;
    Param after[2];
    std::uint8_t afterCount;
    bool writeBack; // write the sequence number back at the end
};

// Builders that read like a row of the query table.
constexpr Query Ask(std::uint8_t code, Reply reply) { return Query{code, reply, {}, 0, {}, 0, true}; }
constexpr Query Before(Query q, std::uint8_t offset, std::uint8_t value)
{
    q.before[q.beforeCount++] = Param{offset, value};
    return q;
}
constexpr Query After(Query q, std::uint8_t offset, std::uint8_t value)
{
    q.after[q.afterCount++] = Param{offset, value};
    return q;
}

// The exchange leaves 31 in the sequence register instead of writing the
// sequence number back.
constexpr Query LeaveParked(Query q)
{
    q.writeBack = false;
    return q;
}

// Runs one query exchange on a locked card, from parking the sequence register
// to writing the sequence number back, and returns the raw reply (0 if none).
std::uint32_t RunQuery(CardRecord& card, const Query& query);

// The packet a reader posts instead of querying while a macro program is
// recorded: the query code, then up to two byte parameters at bytes 2 and 4.
struct Recording {
    std::uint8_t params[2];
    std::uint8_t count;
};
constexpr Recording Record() { return Recording{{0, 0}, 0}; }
constexpr Recording Record(std::uint8_t p1) { return Recording{{p1, 0}, 1}; }
constexpr Recording Record(std::uint8_t p1, std::uint8_t p2) { return Recording{{p1, p2}, 2}; }

// What a reader learned, with the card state it needs to shape its result.
struct ReadResult {
    std::uint32_t reply = 0; // raw reply bytes, little-endian; 0 when recorded or no card
    bool recorded = false;   // the recording packet was posted instead of querying
    bool stopped = false;    // the card's stop flag, read under the card lock
};

// A reader on a locked card: while a macro program is recorded and the reader
// has a recording path, posts the recording packet (query code, params, length
// 2 + 2 * count) instead of querying; otherwise runs the query.
ReadResult ReadLocked(CardRecord& card, const Query& query, const Recording* recording);
// The same for a card number: looks the card up and holds its lock around the
// read. A card number outside the table yields an empty result.
ReadResult Read(std::uint8_t cardNo, const Query& query, const Recording& recording);
// A reader with no recording path: always queries.
ReadResult ReadDirect(std::uint8_t cardNo, const Query& query);

} // namespace velkor

#endif
