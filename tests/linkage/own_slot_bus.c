/* A program that brings its own slot-bus calls: the library must use these,
 * not the stand-in's, since it takes them from whatever defines them at load
 * time. The program also proves the header is plain C. */
#include <Velkor.h>

#include <stdio.h>

static unsigned slot_addr_calls;
static unsigned reads;
static unsigned writes;
static uint8_t data_byte;

uint32_t GetSlotAddr(uint8_t slot)
{
    ++slot_addr_calls;
    return 0x5000u + slot;
}

uint8_t IoReadByte(uint32_t address)
{
    ++reads;
    if (address == 0x5002u) {
        return 'D';
    }
    return address == 0x5002u + 64 ? data_byte : 0;
}

void IoWriteByte(uint32_t address, uint8_t value)
{
    ++writes;
    if (address == 0x5002u + 64) {
        data_byte = value;
    }
}

void* Slot_Register_Interrupt(uint8_t slot) { (void)slot; return 0; }
int32_t Slot_Interrupt_Done(uint8_t slot) { (void)slot; return 0; }
int32_t Slot_Interrupt_Close(uint8_t slot) { (void)slot; return 0; }

int main(void)
{
    if (Velkor_REGISTRATION(0, 2) != 1) {
        fprintf(stderr, "registration through the program's own slot bus failed\n");
        return 1;
    }
    if (slot_addr_calls != 1 || reads != 2 || writes != 3) {
        fprintf(stderr, "unexpected slot-bus calls: %u addr, %u reads, %u writes\n", slot_addr_calls, reads, writes);
        return 1;
    }
    return 0;
}
