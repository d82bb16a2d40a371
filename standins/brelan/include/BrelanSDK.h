/* Slot-bus library of the controller: the six calls a slot driver uses.
 *
 * This is the stand-in build for an ordinary PC. Its window addresses lead to
 * a virtual backplane (see brelan/backplane.h) instead of the controller's
 * I/O space; the calls themselves keep the controller library's contract:
 *
 *  GetSlotAddr             I/O address of a slot's register window; register n
 *                          is at that address + n. Slots are 1 to 7.
 *  IoReadByte              one byte from an I/O address; an address where no
 *                          device answers reads 0xFF.
 *  IoWriteByte             one byte to an I/O address; the write has taken
 *                          effect when the call returns.
 *  Slot_Register_Interrupt an event handle signalled once per interrupt the
 *                          slot raises; 0 on failure (slot outside 1 to 7).
 *  Slot_Interrupt_Done     acknowledges the interrupt just handled.
 *  Slot_Interrupt_Close    ends delivery for the slot and releases any wait on
 *                          its event; 1 if the slot was registered, else 0.
 *
 * All six may be called from several threads at once.
 */
#ifndef BRELAN_SDK_H
#define BRELAN_SDK_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(BRELAN_BUILDING)
#    define BRELAN_API __declspec(dllexport)
#  else
#    define BRELAN_API __declspec(dllimport)
#  endif
#else
#  define BRELAN_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

BRELAN_API uint32_t GetSlotAddr(uint8_t slot);
BRELAN_API uint8_t IoReadByte(uint32_t address);
BRELAN_API void IoWriteByte(uint32_t address, uint8_t value);
BRELAN_API void* Slot_Register_Interrupt(uint8_t slot);
BRELAN_API int32_t Slot_Interrupt_Done(uint8_t slot);
BRELAN_API int32_t Slot_Interrupt_Close(uint8_t slot);

#ifdef __cplusplus
}
#endif

#endif
