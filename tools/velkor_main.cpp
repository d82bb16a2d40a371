// The velkor command-line tool: for now it reports the library's version and
// the state of the virtual backplane.
#include <Velkor.h>
#include <brelan/backplane.h>

#include <cstdio>

int main()
{
    const unsigned version = Velkor_GET_VERSION();
    std::printf("Velkor library version %u.%u.%u (%u)\n", version >> 8, (version >> 4) & 0xF, version & 0xF, version);
    std::printf("virtual backplane, slots %u to %u:\n", unsigned(brelan::kFirstSlot), unsigned(brelan::kLastSlot));
    for (unsigned slot = brelan::kFirstSlot; slot <= brelan::kLastSlot; ++slot) {
        const std::uint8_t id = IoReadByte(GetSlotAddr(static_cast<std::uint8_t>(slot)));
        std::printf("  slot %u: window at 0x%05X, %s\n", slot, GetSlotAddr(static_cast<std::uint8_t>(slot)),
                    id == 0xFF ? "empty" : "module present");
    }
    return 0;
}
