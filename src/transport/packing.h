// Packing values into a card's staging area and the bounds that keep every
// packer inside it.
#ifndef VELKOR_TRANSPORT_PACKING_H
#define VELKOR_TRANSPORT_PACKING_H

#include "transport/card_table.h"

#include <cstdint>

namespace velkor {

// Little-endian into staging bytes k..k+3 (k..k+1); nothing if that would
// reach past the staging area. Bytes outside the field are left as they are.
void PackDword(CardRecord& card, std::uint32_t value, std::uint8_t k);
void PackWord(CardRecord& card, std::uint16_t value, std::uint8_t k);

} // namespace velkor

#endif
