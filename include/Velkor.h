/* Velkor: driver library for the four-axis motion-control module.
 *
 * Every function here is exported with C linkage and an undecorated name.
 * A module is first bound to a card number 0 to 7 with Velkor_REGISTRATION;
 * all other calls name that card first.
 *
 * How a call reaches the module: a command function stages a packet and posts
 * it through the module's mailbox; it returns as soon as the module has taken
 * the packet, not when the module has carried it out. A reader runs a query
 * exchange and returns the module's reply. Waits on the module poll in 1 ms
 * steps and have no time-out.
 *
 * Bad input, for every function:
 *  - A card number above 7 is never used as an index: command functions then
 *    send nothing, readers return 0 and send nothing, WRITE_DATA returns 1.
 *  - A packer whose byte offset k would reach past the 32-byte staging area,
 *    or a reader whose k would reach past the reply area, does nothing and
 *    returns 0.
 *  - Calling any function but Velkor_REGISTRATION and Velkor_GET_VERSION on a
 *    card that was never registered is the caller's obligation to avoid; it
 *    is safe (nothing is sent to a slot) but does nothing useful.
 */
#ifndef VELKOR_H
#define VELKOR_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(VELKOR_BUILDING)
#    define VELKOR_API __declspec(dllexport)
#  else
#    define VELKOR_API __declspec(dllimport)
#  endif
#else
#  define VELKOR_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A point relative to the start of a three-dimensional segment, in the
 * module's position units. */
typedef struct POINT_3D {
    int32_t x;
    int32_t y;
    int32_t z;
} POINT_3D;

/* ---- Cards ------------------------------------------------------------- */

/* Free for the application's own use; 0 at load, never touched by the library. */
VELKOR_API extern int32_t nVelkor;

/* Binds card cardNo (0..7) to backplane slot slotNo (1..7): checks the module
 * ID ('D' or 'U') and a data-area read-back, and clears the card's stop, macro
 * recording and interrupt run flags. Returns 1 registered, 0 refused. Takes no
 * card lock: do not call it while another thread uses the card. */
VELKOR_API uint8_t Velkor_REGISTRATION(uint8_t cardNo, uint8_t slotNo);

/* The library's version, 1809 (0x711, version 7.1.1). Touches nothing. */
VELKOR_API uint16_t Velkor_GET_VERSION(void);

/* Sends the reset control code (10) once the mailbox is idle, clears the stop,
 * macro recording and interrupt run flags, restarts packet numbering and
 * blocks 500 ms. Takes no card lock: do not call it while another thread uses
 * the card. */
VELKOR_API void Velkor_RESET_CARD(uint8_t cardNo);

/* Sends the clear-buffer control code (11) once the mailbox is idle, ends
 * macro recording, restarts packet numbering and blocks 500 ms holding the
 * card lock. */
VELKOR_API void Velkor_CLEAR_CARD_BUFFER(uint8_t cardNo);

/* Probes the module by stepping the sequence register four times and reading
 * the handshake register after each step; restores the sequence number.
 * Returns 1 when any of the four reads is non-zero, else 0. */
VELKOR_API uint8_t Velkor_CHECK_RTC(uint8_t cardNo);

/* Queries (code 204) and returns the module's firmware version word. */
VELKOR_API uint32_t Velkor_GET_FW_VERSION(uint8_t cardNo);

/* ---- Transport ----------------------------------------------------------- */

/* Posts the card's staged packet: gives it the next sequence number, waits
 * (1 ms polls) while the module still holds the previous packet, then copies
 * it into the mailbox. Returns 0 when posted, 1 when dropped because the card's
 * stop flag is set and the mailbox is busy. Takes no lock: an application that
 * calls it directly must keep other threads off the card meanwhile. */
VELKOR_API uint8_t WRITE_DATA(uint8_t cardNo);

/* ---- Packing and reply decoding ------------------------------------------ */

/* The bit pattern of a float, and the float of a bit pattern (NaN and -0.0
 * included, unchanged). */
VELKOR_API uint32_t FtoDW(float value);
VELKOR_API float DWtoF(uint32_t value);

/* Pack a value little-endian into staging bytes k.. of the card's next packet
 * (k <= 28 for 32-bit values, k <= 30 for 16-bit values; otherwise nothing). */
VELKOR_API void FtoB(uint8_t cardNo, float value, uint8_t k);
VELKOR_API void DWtoB(uint8_t cardNo, uint32_t value, uint8_t k);
VELKOR_API void LtoB(uint8_t cardNo, int32_t value, uint8_t k);
VELKOR_API void WtoB(uint8_t cardNo, uint16_t value, uint8_t k);
VELKOR_API void StoB(uint8_t cardNo, int16_t value, uint8_t k);

/* Read reply bytes k.. of the card's mailbox, most significant byte first
 * (k + 3 <= 29 for 32-bit values, k + 1 <= 29 for 16-bit values; otherwise 0
 * and no bus access). */
VELKOR_API uint32_t BtoDW(uint8_t cardNo, uint8_t k);
VELKOR_API int32_t BtoL(uint8_t cardNo, uint8_t k);
VELKOR_API uint16_t BtoW(uint8_t cardNo, uint8_t k);

/* ---- Axis setup ------------------------------------------------------ */

/* (none yet) */

/* ---- Homing ---------------------------------------------------------- */

/* (none yet) */

/* ---- Counters and status --------------------------------------------- */

/* (none yet) */

/* ---- Variables and remote I/O ---------------------------------------- */

/* (none yet) */

/* ---- Speed profile and single-axis moves ----------------------------- */

/* (none yet) */

/* ---- Vector interpolation -------------------------------------------- */

/* (none yet) */

/* ---- Continuous and special interpolation ---------------------------- */

/* (none yet) */

/* ---- Three-dimensional arcs ------------------------------------------ */

/* (none yet) */

/* ---- Drive hold, start and stopping ---------------------------------- */

/* (none yet) */

/* ---- Synchronous actions, compare, latch, preset and output ---------- */

/* (none yet) */

/* ---- Line scan ------------------------------------------------------- */

/* (none yet) */

/* ---- Interrupts ------------------------------------------------------ */

/* Packet commands that switch the module's interrupt on (170) and off (171);
 * they return once the module has the packet. */
VELKOR_API void Velkor_ENABLE_INT(uint8_t cardNo);
VELKOR_API void Velkor_DISABLE_INT(uint8_t cardNo);

/* Packet commands that let interrupt factors raise the interrupt (172, bytes
 * 2/4/6 = param1..3) or stop them (173, bytes 2/4 = param1..2); the module
 * alone interprets the parameters. */
VELKOR_API void Velkor_INTFACTOR_ENABLE(uint8_t cardNo, uint8_t param1, uint8_t param2, uint8_t param3);
VELKOR_API void Velkor_INTFACTOR_DISABLE(uint8_t cardNo, uint8_t param1, uint8_t param2);

/* Reads the module's interrupt code (bit i = factor i) directly from the
 * window under the card lock, without the handshake: never waits for the
 * module. Returns 0 for a card number above 7. */
VELKOR_API uint8_t Velkor_INTERRUPT_RETURN_CODE(uint8_t cardNo);

/* Starts serving the card's slot interrupts: clears the eight interrupt
 * flags, reads the interrupt code once, registers the slot for interrupts
 * and starts the card's service thread, then blocks 100 ms. Returns 1 when
 * serving; 0 when a service is already running, the card was never
 * registered (no slot-bus call then), the slot registration failed, or the
 * thread could not be started (the registration is closed again). Takes no
 * card lock; call it and Velkor_DISABLE_RINT for one card from one thread
 * at a time. */
VELKOR_API uint8_t Velkor_ENABLE_RINT(uint8_t cardNo);

/* Tells the service thread to end and closes the slot's interrupt
 * registration; returns the slot bus's result of the close (0 for a card
 * number above 7). Does not wait for the thread; keeps the flags and the last
 * code. Sends nothing to the module. */
VELKOR_API int32_t Velkor_DISABLE_RINT(uint8_t cardNo);

/* Waits for an interrupt flag selected by mask (bit i = flag i), checking
 * every 2 ms, at most count ms rounded up to even (count 0: without end).
 * Consumes the lowest matching flag and returns the last interrupt code
 * (which may be 0); returns 0 on time-out (at once for a card number above
 * 7). Takes no card lock. */
VELKOR_API uint8_t Velkor_RINT_WAIT(uint8_t cardNo, uint8_t mask, uint32_t count);

/* Clears the eight interrupt flags; the last interrupt code stays. */
VELKOR_API void Velkor_CLEAR_RINT_FLAG(uint8_t cardNo);

/* ---- Macro program recording ----------------------------------------- */

/* (none yet) */

/* ---- Macro debugging ------------------------------------------------- */

/* Packet commands that start debugging a macro program (240) or an interrupt
 * routine (241), byte 2 = param; recorded like any packet while a program is
 * being recorded. */
VELKOR_API void Velkor_MP_DEBUG(uint8_t cardNo, uint8_t param);
VELKOR_API void Velkor_ISR_DEBUG(uint8_t cardNo, uint8_t param);

/* Hand code 242 (continue) or 243 (stop) to the module through the handshake
 * register under the card lock, waiting (1 ms polls, no time-out) for an idle
 * mailbox before and for the module after. Never recorded. */
VELKOR_API void Velkor_CONTINUE_DEBUG(uint8_t cardNo);
VELKOR_API void Velkor_STOP_DEBUG(uint8_t cardNo);

/* Waits like Velkor_RINT_WAIT for interrupt flag 5 (count in ms, 0 = without
 * end; needs Velkor_ENABLE_RINT), then under the card lock reads the debug
 * byte and word once the mailbox is idle; a consumed flag 5 always leads to
 * the read, whatever the last interrupt code. On time-out stores 255 and 1
 * and touches no register (likewise for a card number above 7). Null
 * pointers are not written through. */
VELKOR_API void Velkor_DEBUG_WAIT(uint8_t cardNo, uint32_t count, uint8_t* debugByte, uint16_t* debugWord);

/* Reads the debug byte and word at once (after waiting for an idle mailbox),
 * without the card lock: do not call it while another thread uses the card.
 * Never writes the handshake register. Null pointers are not written
 * through; a card number above 7 stores nothing. */
VELKOR_API void Velkor_DEBUG_INFO(uint8_t cardNo, uint8_t* debugByte, uint16_t* debugWord);

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_H */
