// Switching the module's interrupt and its factors on and off, and reading
// the interrupt code the module presents with each interrupt.
#include "interrupts/interrupt_service.h"
#include "transport/command.h"
#include "transport/mailbox.h"

#include <Velkor.h>

#include <cstdint>

namespace velkor {

// The code register is read without the handshake, so the read neither waits
// for a pending packet nor disturbs one; the card lock still keeps the
// sequence register's 31 from interleaving with another exchange.
std::uint8_t ReadInterruptCode(CardRecord& card)
{
    CardLockHold hold(card);
    DirectExchange exchange(card);
    const std::uint8_t code = exchange.Register(reg::kInterruptCode);
    exchange.Finish();
    return code;
}

namespace {

constexpr std::uint8_t kEnableInt = 170;
constexpr std::uint8_t kDisableInt = 171;
constexpr std::uint8_t kIntFactorEnable = 172;
constexpr std::uint8_t kIntFactorDisable = 173;

} // namespace
} // namespace velkor

using namespace velkor;

extern "C" {

VELKOR_API void Velkor_ENABLE_INT(std::uint8_t cardNo) { Command(cardNo).Packet(kEnableInt).Send(2); }

VELKOR_API void Velkor_DISABLE_INT(std::uint8_t cardNo) { Command(cardNo).Packet(kDisableInt).Send(2); }

VELKOR_API void Velkor_INTFACTOR_ENABLE(std::uint8_t cardNo, std::uint8_t param1, std::uint8_t param2, std::uint8_t param3)
{
    Command(cardNo).Packet(kIntFactorEnable).Byte(2, param1).Byte(4, param2).Byte(6, param3).Send(8);
}

VELKOR_API void Velkor_INTFACTOR_DISABLE(std::uint8_t cardNo, std::uint8_t param1, std::uint8_t param2)
{
    Command(cardNo).Packet(kIntFactorDisable).Byte(2, param1).Byte(4, param2).Send(6);
}

VELKOR_API std::uint8_t Velkor_INTERRUPT_RETURN_CODE(std::uint8_t cardNo)
{
    CardRecord* card = FindCard(cardNo);
    return card != nullptr ? ReadInterruptCode(*card) : 0;
}

} // extern "C"
