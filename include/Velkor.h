/**
 * @file
 * Velkor: driver library for the four-axis motion-control module.
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
 *  - A card is usable from a Velkor_REGISTRATION that returned 1 until the
 *    next registration attempt that gets past the card and slot checks. A
 *    card that was never registered, or whose latest registration was refused
 *    (no module in the slot, a wrong module ID, a data area that does not read
 *    back), is treated by every function but Velkor_REGISTRATION and
 *    Velkor_GET_VERSION exactly like a card number above 7: no slot-bus call
 *    at all, readers return 0 at once, nothing waits, no flag of the card
 *    changes. A registration refused for its slot or card number (slot
 *    outside 1..7, card above 7) changes nothing, so a usable card stays so.
 *  - A packer whose byte offset k would reach past the 32-byte staging area,
 *    or a reader whose k would reach past the reply area, does nothing and
 *    returns 0.
 *
 * Unloading and the end of the program. The only things the library starts
 * on its own are a card's interrupt service (a thread and the slot's
 * interrupt registration, see Velkor_ENABLE_RINT), and it never leaves its
 * code running once it is gone:
 *  - POSIX (dlclose): the unload ends every service still running, closes
 *    every slot registration a card still holds and waits for the threads
 *    (each at most 1 s; see Velkor_DISABLE_RINT for a thread held up behind
 *    a card lock).
 *  - Windows (FreeLibrary): a running service thread holds a reference to
 *    Velkor.dll, so FreeLibrary while a card is served leaves the library
 *    loaded and serving, until the process ends or until the application
 *    loads it again and calls Velkor_DISABLE_RINT. Once no service runs, the
 *    last FreeLibrary unloads it and closes any registration still held.
 *  - A program that returns from main (or calls exit) while services run
 *    ends at once; the services end with it.
 * The application's duty: no call may be in progress in another thread when
 * it unloads the library (a thread blocked in a wait without end, such as a
 * command to a module that never takes its packet or Velkor_RINT_WAIT with
 * count 0, is such a call); and it calls Velkor_DISABLE_RINT for every card
 * it served before FreeLibrary, if the library is to leave memory.
 */
#ifndef VELKOR_H
#define VELKOR_H

#include <stdint.h>

/**
 * @def VELKOR_API
 * Marks the library's exports: dllexport while building Velkor.dll,
 * dllimport for its users, default visibility elsewhere.
 */
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

/**
 * A point relative to the start of a three-dimensional segment, in the
 * module's position units.
 */
typedef struct POINT_3D {
    int32_t x; /**< First axis, in the module's position units */
    int32_t y; /**< Second axis, in the module's position units */
    int32_t z; /**< Third axis, in the module's position units */
} POINT_3D;

/** @name Cards */
/** @{ */

/** Free for the application's own use; 0 at load, never touched by the library. */
VELKOR_API extern int32_t nVelkor;

/**
 * Binds card cardNo (0..7) to backplane slot slotNo (1..7): checks the module
 * ID ('D' or 'U') and a data-area read-back, and clears the card's stop, macro
 * recording and interrupt run flags. Returns 1 registered (the card is usable),
 * 0 refused. A refusal after the slot and card checks keeps the new slot but
 * leaves the card unusable until a registration succeeds. Takes no card lock:
 * do not call it while another thread uses the card.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param slotNo Backplane slot 1..7.
 * @return 1 registered (the card is usable), 0 refused.
 */
VELKOR_API uint8_t Velkor_REGISTRATION(uint8_t cardNo, uint8_t slotNo);

/**
 * The library's version, 1809 (0x711, version 7.1.1). Touches nothing.
 *
 * @return 1809 (0x711): version 7.1.1.
 */
VELKOR_API uint16_t Velkor_GET_VERSION(void);

/**
 * Sends the reset control code (10) once the mailbox is idle, clears the stop,
 * macro recording and interrupt run flags, restarts packet numbering and
 * blocks 500 ms. Takes no card lock: do not call it while another thread uses
 * the card.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_RESET_CARD(uint8_t cardNo);

/**
 * Sends the clear-buffer control code (11) once the mailbox is idle, ends
 * macro recording, restarts packet numbering and blocks 500 ms holding the
 * card lock.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_CLEAR_CARD_BUFFER(uint8_t cardNo);

/**
 * Probes the module by stepping the sequence register four times and reading
 * the handshake register after each step; restores the sequence number.
 * Returns 1 when the module is not ready to take a command (any of the four
 * reads is non-zero: the mailbox is busy, or the slot is empty and reads
 * 0xFF), 0 when a live module's mailbox is idle.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @return 1 when the module is not ready (busy mailbox or empty slot), 0 when its mailbox is idle.
 */
VELKOR_API uint8_t Velkor_CHECK_RTC(uint8_t cardNo);

/**
 * Queries (code 204) and returns the module's firmware version word.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @return The module's firmware version word; 0 for an unusable card.
 */
VELKOR_API uint32_t Velkor_GET_FW_VERSION(uint8_t cardNo);

/** @} */

/** @name Transport */
/** @{ */

/**
 * Posts the card's staged packet: gives it the next sequence number, waits
 * (1 ms polls) while the module still holds the previous packet, then copies
 * it into the mailbox. Returns 0 when posted, 1 when dropped because the card's
 * stop flag is set and the mailbox is busy. Takes no lock: an application that
 * calls it directly must keep other threads off the card meanwhile.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @return 0 posted; 1 dropped (stop flag set and the mailbox busy); 1 also for a card number above 7.
 */
VELKOR_API uint8_t WRITE_DATA(uint8_t cardNo);

/** @} */

/** @name Packing and reply decoding */
/** @{ */

/**
 * The bit pattern of a float, and the float of a bit pattern (NaN and -0.0
 * included, unchanged).
 *
 * @param value The float.
 * @return The 32 bits of value.
 */
VELKOR_API uint32_t FtoDW(float value);
/**
 * Companion of FtoDW(), described with it.
 *
 * @param value The bit pattern.
 * @return The float whose bits are value.
 */
VELKOR_API float DWtoF(uint32_t value);

/**
 * Pack a value little-endian into staging bytes k.. of the card's next packet
 * (k <= 28 for 32-bit values, k <= 30 for 16-bit values; otherwise nothing).
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param value The value, packed least significant byte first.
 * @param k First staging byte (at most 28 for 32-bit values, 30 for 16-bit ones; beyond: nothing packed).
 */
VELKOR_API void FtoB(uint8_t cardNo, float value, uint8_t k);
/**
 * Companion of FtoB(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param value The value, packed least significant byte first.
 * @param k First staging byte (at most 28 for 32-bit values, 30 for 16-bit ones; beyond: nothing packed).
 */
VELKOR_API void DWtoB(uint8_t cardNo, uint32_t value, uint8_t k);
/**
 * Companion of FtoB(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param value The value, packed least significant byte first.
 * @param k First staging byte (at most 28 for 32-bit values, 30 for 16-bit ones; beyond: nothing packed).
 */
VELKOR_API void LtoB(uint8_t cardNo, int32_t value, uint8_t k);
/**
 * Companion of FtoB(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param value The value, packed least significant byte first.
 * @param k First staging byte (at most 28 for 32-bit values, 30 for 16-bit ones; beyond: nothing packed).
 */
VELKOR_API void WtoB(uint8_t cardNo, uint16_t value, uint8_t k);
/**
 * Companion of FtoB(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param value The value, packed least significant byte first.
 * @param k First staging byte (at most 28 for 32-bit values, 30 for 16-bit ones; beyond: nothing packed).
 */
VELKOR_API void StoB(uint8_t cardNo, int16_t value, uint8_t k);

/**
 * Read reply bytes k.. of the card's mailbox, most significant byte first
 * (k + 3 <= 29 for 32-bit values, k + 1 <= 29 for 16-bit values; otherwise 0
 * and no bus access).
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param k First reply byte (k + 3 at most 29 for 32-bit values, k + 1 for 16-bit ones; beyond: 0).
 * @return The unsigned value at reply bytes k..k+3, most significant first; 0 when k + 3 > 29 or the card is unusable.
 */
VELKOR_API uint32_t BtoDW(uint8_t cardNo, uint8_t k);
/**
 * Companion of BtoDW(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param k First reply byte (k + 3 at most 29 for 32-bit values, k + 1 for 16-bit ones; beyond: 0).
 * @return The signed value at reply bytes k..k+3, most significant first; 0 when k + 3 > 29 or the card is unusable.
 */
VELKOR_API int32_t BtoL(uint8_t cardNo, uint8_t k);
/**
 * Companion of BtoDW(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param k First reply byte (k + 3 at most 29 for 32-bit values, k + 1 for 16-bit ones; beyond: 0).
 * @return The value at reply bytes k..k+1, most significant first; 0 when k + 1 > 29 or the card is unusable.
 */
VELKOR_API uint16_t BtoW(uint8_t cardNo, uint8_t k);

/** @} */

/**
 * @name Axis setup
 *
 * Axis configuration. Each call sends one packet (code, axis at byte 2, the
 * values after it; unwritten odd bytes keep what the staging area held) and
 * returns nothing once the module has taken it: it waits in 1 ms polls while
 * the mailbox is busy, and the packet is dropped silently if the card's stop
 * flag is set meanwhile. Values are forwarded unchanged, never checked.
 */
/** @{ */

/**
 * Packet 12 (6 bytes): the pulse mode of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Byte, forwarded unchanged; packet byte 4.
 */
VELKOR_API void Velkor_SET_PULSE_MODE(uint8_t cardNo, uint8_t axis, uint8_t data);
/**
 * Packet 13 (8 bytes): the MAX_V value of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Ceiling of the drive speed V, pulses per second; packet bytes 4..7.
 */
VELKOR_API void Velkor_SET_MAX_V(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 14 (8 bytes): the two HLMT settings of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data1 Byte, forwarded unchanged; packet byte 4.
 * @param data2 Byte, forwarded unchanged; packet byte 6.
 */
VELKOR_API void Velkor_SET_HLMT(uint8_t cardNo, uint8_t axis, uint8_t data1, uint8_t data2);
/**
 * Packet 15 (6 bytes): the limit-stop mode of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Byte, forwarded unchanged; packet byte 4.
 */
VELKOR_API void Velkor_LIMITSTOP_MODE(uint8_t cardNo, uint8_t axis, uint8_t data);
/**
 * Packet 16 (6 bytes): the NHOME setting of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Byte, forwarded unchanged; packet byte 4.
 */
VELKOR_API void Velkor_SET_NHOME(uint8_t cardNo, uint8_t axis, uint8_t data);
/**
 * Packet 17 (6 bytes): the home edge of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Byte, forwarded unchanged; packet byte 4.
 */
VELKOR_API void Velkor_SET_HOME_EDGE(uint8_t cardNo, uint8_t axis, uint8_t data);
/**
 * Packet 18 (14 bytes): the SLMT limits of an axis, two signed values and a setting byte.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data1 Signed 32-bit value, forwarded unchanged; packet bytes 4..7.
 * @param data2 Signed 32-bit value, forwarded unchanged; packet bytes 8..11.
 * @param data3 Byte, forwarded unchanged; packet byte 12.
 */
VELKOR_API void Velkor_SET_SLMT(uint8_t cardNo, uint8_t axis, int32_t data1, int32_t data2, uint8_t data3);
/**
 * Packet 19 (4 bytes): clears the SLMT limits of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 */
VELKOR_API void Velkor_CLEAR_SLMT(uint8_t cardNo, uint8_t axis);
/**
 * Packet 20 (10 bytes): the three encoder settings of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data1 Byte, forwarded unchanged; packet byte 4.
 * @param data2 Byte, forwarded unchanged; packet byte 6.
 * @param data3 Byte, forwarded unchanged; packet byte 8.
 */
VELKOR_API void Velkor_SET_ENCODER(uint8_t cardNo, uint8_t axis, uint8_t data1, uint8_t data2, uint8_t data3);
/**
 * Packet 21 (4 bytes): servo on.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 */
VELKOR_API void Velkor_SERVO_ON(uint8_t cardNo, uint8_t axis);
/**
 * Packet 22 (4 bytes): servo off.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 */
VELKOR_API void Velkor_SERVO_OFF(uint8_t cardNo, uint8_t axis);
/**
 * Packet 23 (8 bytes): the two alarm settings of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data1 Byte, forwarded unchanged; packet byte 4.
 * @param data2 Byte, forwarded unchanged; packet byte 6.
 */
VELKOR_API void Velkor_SET_ALARM(uint8_t cardNo, uint8_t axis, uint8_t data1, uint8_t data2);
/**
 * Packet 24 (8 bytes): the two INPOS settings of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data1 Byte, forwarded unchanged; packet byte 4.
 * @param data2 Byte, forwarded unchanged; packet byte 6.
 */
VELKOR_API void Velkor_SET_INPOS(uint8_t cardNo, uint8_t axis, uint8_t data1, uint8_t data2);
/**
 * Packet 25 (8 bytes): the two filter settings of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data1 Byte, forwarded unchanged; packet byte 4.
 * @param data2 Byte, forwarded unchanged; packet byte 6.
 */
VELKOR_API void Velkor_SET_FILTER(uint8_t cardNo, uint8_t axis, uint8_t data1, uint8_t data2);
/**
 * Packet 26 (8 bytes): enables VRING with its value.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Unsigned 32-bit value, forwarded unchanged; packet bytes 4..7.
 */
VELKOR_API void Velkor_VRING_ENABLE(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 27 (4 bytes): disables VRING.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 */
VELKOR_API void Velkor_VRING_DISABLE(uint8_t cardNo, uint8_t axis);
/**
 * Packet 28 (4 bytes): enables AVTRI.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 */
VELKOR_API void Velkor_AVTRI_ENABLE(uint8_t cardNo, uint8_t axis);
/**
 * Packet 29 (4 bytes): disables AVTRI.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 */
VELKOR_API void Velkor_AVTRI_DISABLE(uint8_t cardNo, uint8_t axis);
/**
 * Packet 30 (8 bytes): EXD in its MP form, with its value.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Unsigned 32-bit value, forwarded unchanged; packet bytes 4..7.
 */
VELKOR_API void Velkor_EXD_MP(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 31 (8 bytes): EXD in its FP form, with its value.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Unsigned 32-bit value, forwarded unchanged; packet bytes 4..7.
 */
VELKOR_API void Velkor_EXD_FP(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 32 (8 bytes): EXD in its CP form, with its value.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Unsigned 32-bit value, forwarded unchanged; packet bytes 4..7.
 */
VELKOR_API void Velkor_EXD_CP(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 33 (4 bytes): disables EXD.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 */
VELKOR_API void Velkor_EXD_DISABLE(uint8_t cardNo, uint8_t axis);

/** @} */

/**
 * @name Homing
 *
 * Homing. Each call sends one packet, like the axis setup commands, and does
 * not wait for the homing itself; its end is seen through the stop and status
 * queries.
 */
/** @{ */

/**
 * Packet 60 (8 bytes): the HV value of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Homing speed, pulses per second; packet bytes 4..7.
 */
VELKOR_API void Velkor_SET_HV(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 61 (6 bytes): the HOME_LIMIT setting of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Byte, forwarded unchanged; packet byte 4.
 */
VELKOR_API void Velkor_HOME_LIMIT(uint8_t cardNo, uint8_t axis, uint8_t data);
/**
 * Packet 62 (16 bytes): the home mode, four setting bytes and one signed value.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data1 Byte, forwarded unchanged; packet byte 4.
 * @param data2 Byte, forwarded unchanged; packet byte 6.
 * @param data3 Byte, forwarded unchanged; packet byte 8.
 * @param data4 Byte, forwarded unchanged; packet byte 10.
 * @param data5 Signed 32-bit value, forwarded unchanged; packet bytes 12..15.
 */
VELKOR_API void Velkor_SET_HOME_MODE(uint8_t cardNo, uint8_t axis, uint8_t data1, uint8_t data2, uint8_t data3, uint8_t data4, int32_t data5);
/**
 * Packet 63 (4 bytes): starts the homing of an axis and returns at once.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 */
VELKOR_API void Velkor_HOME_START(uint8_t cardNo, uint8_t axis);

/** @} */

/**
 * @name Counters and status
 *
 * Readers of this section run one query exchange under the card lock and block
 * (1 ms polls, no time-out) until the module answers. While a macro program is
 * recorded, GET_LP, GET_EP, GET_DI, GET_DI_ALL, GET_ERROR, GET_ERROR_CODE and
 * QUORL_IN instead post their query code with their byte parameters as a
 * packet (a program step) and return 0; GET_CV and GET_CA always query.
 * axis, input and port are forwarded unchanged.
 */
/** @{ */

/**
 * Sets the LP / EP counter of the axes: packet 40 / 42, axis at byte 2, data
 * at bytes 4..7; 8 bytes. Recorded like any packet.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data New LP counter value, pulses; packet bytes 4..7.
 */
VELKOR_API void Velkor_SET_LP(uint8_t cardNo, uint8_t axis, int32_t data);
/**
 * Companion of Velkor_SET_LP(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data New EP counter value, encoder counts; packet bytes 4..7.
 */
VELKOR_API void Velkor_SET_EP(uint8_t cardNo, uint8_t axis, int32_t data);

/**
 * The LP / EP counter: query 41 / 43 with axis at 96 after the idle wait;
 * reply bytes 0..3 as a signed value. Recording: packet 41 / 43, axis, 4 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); written to register 96 of the window before the query.
 * @return The LP counter, pulses; 0 while recording or for an unusable card.
 */
VELKOR_API int32_t Velkor_GET_LP(uint8_t cardNo, uint8_t axis);
/**
 * Companion of Velkor_GET_LP(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); written to register 96 of the window before the query.
 * @return The EP counter, encoder counts; 0 while recording or for an unusable card.
 */
VELKOR_API int32_t Velkor_GET_EP(uint8_t cardNo, uint8_t axis);

/**
 * The CV / CA reading: query 44 / 45 and then the range query 255, each with
 * axis at 96 after the idle wait, in one exchange. Both replies are unsigned
 * 32-bit values; the result is, in single precision, 8000000 / range times
 * the reading, times 1 (CV) or 125 (CA), truncated toward zero to an
 * unsigned 32-bit number and returned as those 32 bits: cast the result to
 * uint32_t to read values from 2^31 to 2^32 - 1. A value of 2^32 or more
 * gives all bits set (4294967295 as unsigned, -1 as signed); a range of 0
 * gives 0. Always queries, also while recording.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); written to register 96 of the window before the query.
 * @return The current speed, pulses per second (as 32 bits: cast to uint32_t); 0 for a range of 0 or an unusable card.
 */
VELKOR_API int32_t Velkor_GET_CV(uint8_t cardNo, uint8_t axis);
/**
 * Companion of Velkor_GET_CV(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); written to register 96 of the window before the query.
 * @return The current acceleration, pulses per second squared (as 32 bits: cast to uint32_t); 0 for a range of 0 or an unusable card.
 */
VELKOR_API int32_t Velkor_GET_CA(uint8_t cardNo, uint8_t axis);

/**
 * One digital input: query 46 with axis at 96 and input at 108 after the idle
 * wait; reply byte 0. Recording: packet 46, axis, input, 6 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); written to register 96 of the window before the query.
 * @param input Input number of the axis; written to register 108 of the window before the query.
 * @return The input's state (reply byte 0); 0 while recording or for an unusable card.
 */
VELKOR_API uint8_t Velkor_GET_DI(uint8_t cardNo, uint8_t axis, uint8_t input);

/**
 * All digital inputs of the axes: query 49 with axis at 96 before the idle
 * wait; reply bytes 0..1. Recording: packet 49, axis, 4 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); written to register 96 of the window before the query.
 * @return The axis's input word (reply bytes 0..1); 0 while recording or for an unusable card.
 */
VELKOR_API uint16_t Velkor_GET_DI_ALL(uint8_t cardNo, uint8_t axis);

/**
 * The module's error state: query 47; reply byte 0, or 1 whatever the module
 * says while the card's stop flag is set. Recording: packet 47, 2 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @return The module's error state (reply byte 0), 1 while the stop flag is set; 0 while recording or for an unusable card.
 */
VELKOR_API uint8_t Velkor_GET_ERROR(uint8_t cardNo);

/**
 * The axes' error code: query 48 with axis at 96 before the idle wait; reply
 * bytes 0..1, with bit 8 (0x100) set in addition while the card's stop flag
 * is set. Recording: packet 48, axis, 4 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); written to register 96 of the window before the query.
 * @return The error code bits (reply bytes 0..1), with 0x100 while the stop flag is set; 0 while recording or for an unusable card.
 */
VELKOR_API uint16_t Velkor_GET_ERROR_CODE(uint8_t cardNo, uint8_t axis);

/**
 * A remote I/O input word: query 50 with port at 100 before the idle wait;
 * reply bytes 0..1. Recording: packet 50, port, 4 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param port Remote I/O port number; written to register 100 of the window before the query.
 * @return The port's input word; 0 while recording or for an unusable card.
 */
VELKOR_API uint16_t Velkor_QUORL_IN(uint8_t cardNo, uint8_t port);

/** @} */

/**
 * @name Variables and remote I/O
 *
 * Reads query the module under the card lock and block (1 ms polls, no
 * time-out) until it answers, also while a macro program is recorded. Writes
 * are packets. No index is range-checked; the module decides what it means.
 */
/** @{ */

/**
 * Byte variable `index`: query 34 with (index + 128) mod 256 at 104 before the
 * idle wait (106 is not written); reply byte 0.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param index Variable or table index.
 * @return The byte variable; 0 for an unusable card.
 */
VELKOR_API uint8_t Velkor_READ_bVAR(uint8_t cardNo, uint8_t index);

/**
 * Sets byte variable `index` (sent without offset): packet 35, index at byte
 * 2, data at byte 4; 6 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param index Variable or table index.
 * @param data Byte, forwarded unchanged.
 */
VELKOR_API void Velkor_WRITE_bVAR(uint8_t cardNo, uint8_t index, uint8_t data);

/**
 * Long variable `index` (low 16 bits sent): query 36 with the high index byte
 * at 106, then the low byte at 104, before the idle wait; reply bytes 0..3.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param index Variable or table index.
 * @return The long variable; 0 for an unusable card.
 */
VELKOR_API int32_t Velkor_READ_VAR(uint8_t cardNo, int32_t index);

/**
 * Sets long variable `index` (low 16 bits sent): packet 37, index at bytes
 * 2..3, data at bytes 6..9; 10 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param index Variable or table index.
 * @param data Signed 32-bit value, forwarded unchanged.
 */
VELKOR_API void Velkor_WRITE_VAR(uint8_t cardNo, int32_t index, int32_t data);

/**
 * MD entry `index` (low 16 bits sent): query 38 with the high index byte at
 * 114, then the low byte at 112, before the idle wait; reply bytes 0..3. An
 * index below 1024 (negative ones included) stores the reply as an integer in
 * *intOut, any other as a float in *floatOut; the other pointer is not touched.
 * The exchange runs even when the pointer to store through is null; nothing is
 * stored then.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param index Variable or table index.
 * @param intOut Where an integer entry is stored (index below 1024; NULL: not stored).
 * @param floatOut Where a float entry is stored (index 1024 and above; NULL: not stored).
 */
VELKOR_API void Velkor_READ_MD(uint8_t cardNo, int32_t index, int32_t* intOut, float* floatOut);

/**
 * Sets MD entry `index` (low 16 bits sent): packet 39, index at bytes 2..3,
 * at bytes 6..9 intData for an index below 1024 (signed), else the bit pattern
 * of floatData; 10 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param index Variable or table index.
 * @param intData Value sent for an index below 1024.
 * @param floatData Value sent (its bit pattern) for an index of 1024 and above.
 */
VELKOR_API void Velkor_WRITE_MD(uint8_t cardNo, int32_t index, int32_t intData, float floatData);

/**
 * Writes a word to remote I/O port `port`: packet 51, port at byte 2, data at
 * bytes 4..7; 8 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param port Remote I/O port number.
 * @param data Unsigned 32-bit value, forwarded unchanged.
 */
VELKOR_API void Velkor_QUORL_OUT(uint8_t cardNo, uint8_t port, uint32_t data);

/** @} */

/**
 * @name Speed profile and single-axis moves
 *
 * Single-axis speed profile and moves. Each call sends one packet (axis at
 * byte 2, the value from byte 4) and returns once the module has taken it,
 * not when a move ends. Values are forwarded unchanged, never checked.
 */
/** @{ */

/**
 * Packet 70 (6 bytes): the NORMAL_SPEED setting of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data 0 ramped profile, 1 constant speed; packet byte 4.
 */
VELKOR_API void Velkor_NORMAL_SPEED(uint8_t cardNo, uint8_t axis, uint8_t data);
/**
 * Packet 71 (8 bytes): SV of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Start speed, pulses per second; packet bytes 4..7.
 */
VELKOR_API void Velkor_SET_SV(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 72 (8 bytes): V of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Drive speed, pulses per second; packet bytes 4..7.
 */
VELKOR_API void Velkor_SET_V(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 73 (8 bytes): A of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Acceleration, pulses per second squared (0: V at once); packet bytes 4..7.
 */
VELKOR_API void Velkor_SET_A(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 74 (8 bytes): D of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Deceleration, pulses per second squared (0: the same as A); packet bytes 4..7.
 */
VELKOR_API void Velkor_SET_D(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 75 (8 bytes): K of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Jerk while accelerating, pulses per second cubed (0: a trapezoid); packet bytes 4..7.
 */
VELKOR_API void Velkor_SET_K(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 76 (8 bytes): L of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Jerk while decelerating, pulses per second cubed (0: the same as K); packet bytes 4..7.
 */
VELKOR_API void Velkor_SET_L(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 77 (8 bytes): AO of an axis, signed.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Braking offset, pulses (positive: braking begins earlier); packet bytes 4..7.
 */
VELKOR_API void Velkor_SET_AO(uint8_t cardNo, uint8_t axis, int32_t data);
/**
 * Packet 78 (8 bytes): starts a fixed move of the signed amount data.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Signed distance, pulses (0 moves nothing); packet bytes 4..7.
 */
VELKOR_API void Velkor_FIXED_MOVE(uint8_t cardNo, uint8_t axis, int32_t data);
/**
 * Packet 79 (8 bytes): a PULSE value of an axis.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data The PULSE distance, pulses, for a synchronous start action; packet bytes 4..7.
 */
VELKOR_API void Velkor_SET_PULSE(uint8_t cardNo, uint8_t axis, uint32_t data);
/**
 * Packet 80 (8 bytes): starts a continuous move with the signed value data.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 * @param data Direction by its sign (0 is positive); the axes run at V until stopped; packet bytes 4..7.
 */
VELKOR_API void Velkor_CONTINUE_MOVE(uint8_t cardNo, uint8_t axis, int32_t data);

/** @} */

/**
 * @name Vector interpolation
 *
 * Vector interpolation. Each call sends one packet (arcs: two, back to back
 * under one hold of the card lock) and returns once the module has taken
 * them. The profile values start at byte 2: no axis byte.
 */
/** @{ */

/**
 * Packet 90 (8 bytes): the axes taking part in interpolation.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis1 First interpolation axis (1, 2, 4 or 8); packet byte 2.
 * @param axis2 Second interpolation axis (1, 2, 4 or 8); packet byte 4.
 * @param axis3 Third interpolation axis (1, 2, 4 or 8; 0 for plane motion only); packet byte 6.
 */
VELKOR_API void Velkor_AXIS_ASSIGN(uint8_t cardNo, uint8_t axis1, uint8_t axis2, uint8_t axis3);
/**
 * Packet 91 (4 bytes): the VECTOR_SPEED setting.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data 0 ramped profile, 1 constant speed along the path; packet byte 2.
 */
VELKOR_API void Velkor_VECTOR_SPEED(uint8_t cardNo, uint8_t data);
/**
 * Packet 92 (6 bytes): vector SV.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data Vector start speed, pulses per second; packet bytes 2..5.
 */
VELKOR_API void Velkor_SET_VSV(uint8_t cardNo, uint32_t data);
/**
 * Packet 93 (6 bytes): vector V.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data Vector drive speed, pulses per second; packet bytes 2..5.
 */
VELKOR_API void Velkor_SET_VV(uint8_t cardNo, uint32_t data);
/**
 * Packet 94 (6 bytes): vector A.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data Vector acceleration, pulses per second squared; packet bytes 2..5.
 */
VELKOR_API void Velkor_SET_VA(uint8_t cardNo, uint32_t data);
/**
 * Packet 95 (6 bytes): vector D.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data Vector deceleration, pulses per second squared; packet bytes 2..5.
 */
VELKOR_API void Velkor_SET_VD(uint8_t cardNo, uint32_t data);
/**
 * Packet 96 (6 bytes): vector K.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data Vector jerk while accelerating, pulses per second cubed; packet bytes 2..5.
 */
VELKOR_API void Velkor_SET_VK(uint8_t cardNo, uint32_t data);
/**
 * Packet 97 (6 bytes): vector L.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data Vector jerk while decelerating, pulses per second cubed; packet bytes 2..5.
 */
VELKOR_API void Velkor_SET_VL(uint8_t cardNo, uint32_t data);
/**
 * Packet 98 (6 bytes): vector AO, signed.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data Vector braking offset, pulses; packet bytes 2..5.
 */
VELKOR_API void Velkor_SET_VAO(uint8_t cardNo, int32_t data);
/**
 * Packet 99 (10 bytes): a two-axis straight line.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 Displacement of the first interpolation axis, pulses; packet bytes 2..5.
 * @param data2 Displacement of the second interpolation axis, pulses; packet bytes 6..9.
 */
VELKOR_API void Velkor_LINE_2D(uint8_t cardNo, int32_t data1, int32_t data2);
/**
 * Packet 100 (14 bytes): a three-axis straight line.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 Displacement of the first interpolation axis, pulses; packet bytes 2..5.
 * @param data2 Displacement of the second interpolation axis, pulses; packet bytes 6..9.
 * @param data3 Displacement of the third interpolation axis, pulses; packet bytes 10..13.
 */
VELKOR_API void Velkor_LINE_3D(uint8_t cardNo, int32_t data1, int32_t data2, int32_t data3);
/**
 * Packets 101 (data1, data2) then 102 (data3, data4), 10 bytes each: a clockwise arc.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 Centre on the first axis, pulses from the start; packet bytes 2..5.
 * @param data2 Centre on the second axis, pulses from the start; packet bytes 6..9.
 * @param data3 End point on the first axis, pulses from the start (the start itself: a full circle); packet bytes 2..5.
 * @param data4 End point on the second axis, pulses from the start; packet bytes 6..9.
 */
VELKOR_API void Velkor_ARC_CW(uint8_t cardNo, int32_t data1, int32_t data2, int32_t data3, int32_t data4);
/**
 * Packets 103 (data1, data2) then 104 (data3, data4), 10 bytes each: a counter-clockwise arc.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 Centre on the first axis, pulses from the start; packet bytes 2..5.
 * @param data2 Centre on the second axis, pulses from the start; packet bytes 6..9.
 * @param data3 End point on the first axis, pulses from the start (the start itself: a full circle); packet bytes 2..5.
 * @param data4 End point on the second axis, pulses from the start; packet bytes 6..9.
 */
VELKOR_API void Velkor_ARC_CCW(uint8_t cardNo, int32_t data1, int32_t data2, int32_t data3, int32_t data4);
/**
 * Packet 105 (10 bytes): a clockwise full circle.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 Centre on the first axis, pulses from the start; packet bytes 2..5.
 * @param data2 Centre on the second axis, pulses from the start; packet bytes 6..9.
 */
VELKOR_API void Velkor_CIRCLE_CW(uint8_t cardNo, int32_t data1, int32_t data2);
/**
 * Packet 106 (10 bytes): a counter-clockwise full circle.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 Centre on the first axis, pulses from the start; packet bytes 2..5.
 * @param data2 Centre on the second axis, pulses from the start; packet bytes 6..9.
 */
VELKOR_API void Velkor_CIRCLE_CCW(uint8_t cardNo, int32_t data1, int32_t data2);

/** @} */

/**
 * @name Continuous and special interpolation
 *
 * Continuous and special interpolation. Each call sends its packets in order
 * under one hold of the card lock (no other thread's packet falls between
 * them) and returns once the module has taken the last. A packet dropped
 * because of the stop flag does not stop the ones after it. The host keeps no
 * path state: pairing INITIAL and CONTINUE calls is the caller's task.
 */
/** @{ */

/**
 * Packets 120 (five bytes), 121 (three signed values), 122 and 123 (two unsigned values each): a rectangle.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 The axis of the width (`axis1` in the module's manual); packet byte 2.
 * @param data2 The axis of the height (`axis2` in the module's manual); packet byte 4.
 * @param data3 0 width first, 1 height first (`order` in the module's manual); packet byte 6.
 * @param data4 Times round (0 counts as 1) (`rounds` in the module's manual); packet byte 8.
 * @param data5 0 through the corners, 1 slowing to SV at each (`cornerStops` in the module's manual); packet byte 10.
 * @param data6 Signed width, pulses (`width` in the module's manual); packet bytes 2..5.
 * @param data7 Signed height, pulses (`height` in the module's manual); packet bytes 6..9.
 * @param data8 Corner radius, pulses (0 sharp) (`radius` in the module's manual); packet bytes 10..13.
 * @param data9 Start speed, pulses per second (0: the vector SV) (`sv` in the module's manual); packet bytes 2..5.
 * @param data10 Drive speed, pulses per second (`v` in the module's manual); packet bytes 6..9.
 * @param data11 Acceleration, pulses per second squared (`a` in the module's manual); packet bytes 2..5.
 * @param data12 Deceleration, pulses per second squared (`d` in the module's manual); packet bytes 6..9.
 */
VELKOR_API void Velkor_RECTANGLE(uint8_t cardNo, uint8_t data1, uint8_t data2, uint8_t data3, uint8_t data4, uint8_t data5, int32_t data6, int32_t data7, int32_t data8, uint32_t data9, uint32_t data10, uint32_t data11, uint32_t data12);
/**
 * Packets 124 (the two axes) and 125 (the three profile values): opens a two-axis line path.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis1 First axis (1, 2, 4 or 8); packet byte 2.
 * @param axis2 Second axis; packet byte 4.
 * @param data1 Start speed, pulses per second (`sv` in the module's manual); packet bytes 2..5.
 * @param data2 Drive speed, pulses per second (`v` in the module's manual); packet bytes 6..9.
 * @param data3 Acceleration (and deceleration), pulses per second squared (`a` in the module's manual); packet bytes 10..13.
 */
VELKOR_API void Velkor_LINE_2D_INITIAL(uint8_t cardNo, uint8_t axis1, uint8_t axis2, uint32_t data1, uint32_t data2, uint32_t data3);
/**
 * Packet 126 (12 bytes): one segment of a two-axis line path; a nonzero endFlag ends the path.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param endFlag Nonzero ends the path with this segment; packet byte 2.
 * @param data1 Displacement of the first axis, pulses (`dx` in the module's manual); packet bytes 4..7.
 * @param data2 Displacement of the second axis, pulses (`dy` in the module's manual); packet bytes 8..11.
 */
VELKOR_API void Velkor_LINE_2D_CONTINUE(uint8_t cardNo, uint8_t endFlag, int32_t data1, int32_t data2);
/**
 * Packets 127 (the three axes) and 128 (the three profile values): opens a three-axis line path.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis1 First axis (1, 2, 4 or 8); packet byte 2.
 * @param axis2 Second axis; packet byte 4.
 * @param axis3 Third axis; packet byte 6.
 * @param data1 Start speed, pulses per second (`sv` in the module's manual); packet bytes 2..5.
 * @param data2 Drive speed, pulses per second (`v` in the module's manual); packet bytes 6..9.
 * @param data3 Acceleration (and deceleration), pulses per second squared (`a` in the module's manual); packet bytes 10..13.
 */
VELKOR_API void Velkor_LINE_3D_INITIAL(uint8_t cardNo, uint8_t axis1, uint8_t axis2, uint8_t axis3, uint32_t data1, uint32_t data2, uint32_t data3);
/**
 * Packet 129 (16 bytes): one segment of a three-axis line path; a nonzero endFlag ends the path.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param endFlag Nonzero ends the path with this segment; packet byte 2.
 * @param data1 Displacement of the first axis, pulses (`dx` in the module's manual); packet bytes 4..7.
 * @param data2 Displacement of the second axis, pulses (`dy` in the module's manual); packet bytes 8..11.
 * @param data3 Displacement of the third axis, pulses (`dz` in the module's manual); packet bytes 12..15.
 */
VELKOR_API void Velkor_LINE_3D_CONTINUE(uint8_t cardNo, uint8_t endFlag, int32_t data1, int32_t data2, int32_t data3);
/**
 * Packets 130 (three bytes) and 131 (three unsigned values): opens a mixed two-axis path.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 First axis of the plane (1, 2, 4 or 8) (`axis1` in the module's manual); packet byte 2.
 * @param data2 Second axis of the plane (`axis2` in the module's manual); packet byte 4.
 * @param data3 0 through the joints, 1 slowing to SV at each (`cornerStops` in the module's manual); packet byte 6.
 * @param data4 Start speed, pulses per second (`sv` in the module's manual); packet bytes 2..5.
 * @param data5 Drive speed, pulses per second (`v` in the module's manual); packet bytes 6..9.
 * @param data6 Acceleration, pulses per second squared (`a` in the module's manual); packet bytes 10..13.
 */
VELKOR_API void Velkor_MIX_2D_INITIAL(uint8_t cardNo, uint8_t data1, uint8_t data2, uint8_t data3, uint32_t data4, uint32_t data5, uint32_t data6);
/**
 * Packets 132 (two bytes, two signed values) and 133 (two signed values): one piece of a mixed two-axis path.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 Nonzero: the last segment (`end` in the module's manual); packet byte 2.
 * @param data2 0 line, 1 clockwise arc, 2 counter-clockwise arc (`kind` in the module's manual); packet byte 4.
 * @param data3 End point on the first axis, pulses from the segment's start (`x` in the module's manual); packet bytes 6..9.
 * @param data4 End point on the second axis, pulses (`y` in the module's manual); packet bytes 10..13.
 * @param data5 Arc centre on the first axis, pulses (a line does not read it) (`cx` in the module's manual); packet bytes 2..5.
 * @param data6 Arc centre on the second axis, pulses (`cy` in the module's manual); packet bytes 6..9.
 */
VELKOR_API void Velkor_MIX_2D_CONTINUE(uint8_t cardNo, uint8_t data1, uint8_t data2, int32_t data3, int32_t data4, int32_t data5, int32_t data6);
/**
 * Packet 134 (26 bytes): one general continuous interpolation segment.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 Bits 0-1 the segment (0 line, 1 clockwise arc, 2 counter-clockwise arc, 3 no motion), +4 ends the path (`kind` in the module's manual); packet byte 2.
 * @param data2 First axis (1, 2, 4 or 8) (`axis1` in the module's manual); packet byte 4.
 * @param data3 Second axis (`axis2` in the module's manual); packet byte 6.
 * @param data4 1 opens a new path, 0 continues the open one (`newPath` in the module's manual); packet byte 8.
 * @param data5 End point on the first axis, pulses (read as signed) (`x` in the module's manual); packet bytes 10..13.
 * @param data6 End point on the second axis, pulses (`y` in the module's manual); packet bytes 14..17.
 * @param data7 Arc centre on the first axis, pulses (`cx` in the module's manual); packet bytes 18..21.
 * @param data8 Arc centre on the second axis, pulses (`cy` in the module's manual); packet bytes 22..25.
 */
VELKOR_API void Velkor_CONTINUE_INTP(uint8_t cardNo, uint8_t data1, uint8_t data2, uint8_t data3, uint8_t data4, uint32_t data5, uint32_t data6, uint32_t data7, uint32_t data8);
/**
 * One packet 135 (26 bytes: index, data1[i], data2[i]..data6[i]) per entry i from 0, up to and including the first entry whose data1 is 7, at most 100 entries (indexes 0..99); the arrays are read no further. Any null array: sends nothing and returns.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 Segment kinds as for Velkor_CONTINUE_INTP, 7 ends the list (`kind` in the module's manual).
 * @param data2 End points on the first axis, pulses (`x` in the module's manual).
 * @param data3 End points on the second axis, pulses (`y` in the module's manual).
 * @param data4 Arc centres on the first axis, pulses (`cx` in the module's manual).
 * @param data5 Arc centres on the second axis, pulses (`cy` in the module's manual).
 * @param data6 Displacements of the third axis, pulses (`z` in the module's manual).
 */
VELKOR_API void Velkor_CONTINUE_INTP_ARRAY(uint8_t cardNo, const uint8_t* data1, const int32_t* data2, const int32_t* data3, const int32_t* data4, const int32_t* data5, const int32_t* data6);
/**
 * Packets 136 (four bytes), 137 (one unsigned, two signed values) and 138 (two signed values): a three-axis helix.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 First axis of the circle's plane (`axis1` in the module's manual); packet byte 2.
 * @param data2 Second axis of the plane (`axis2` in the module's manual); packet byte 4.
 * @param data3 The axis it rises along (`axis3` in the module's manual); packet byte 6.
 * @param data4 0 clockwise, 1 counter-clockwise (`direction` in the module's manual); packet byte 8.
 * @param data5 Path speed, pulses per second (0: the vector V) (`v` in the module's manual); packet bytes 2..5.
 * @param data6 Centre on the first axis, pulses from the start (`cx` in the module's manual); packet bytes 6..9.
 * @param data7 Centre on the second axis, pulses from the start (`cy` in the module's manual); packet bytes 10..13.
 * @param data8 Rise along the third axis, pulses (`height` in the module's manual); packet bytes 2..5.
 * @param data9 Thousandths of a turn (2500: two and a half turns) (`sweep` in the module's manual); packet bytes 6..9.
 */
VELKOR_API void Velkor_HELIX_3D(uint8_t cardNo, uint8_t data1, uint8_t data2, uint8_t data3, uint8_t data4, uint32_t data5, int32_t data6, int32_t data7, int32_t data8, int32_t data9);
/**
 * Packets 139 (data1, data2, data3, data4) and 140 (data5, data6, data7): opens a ratio move.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 The master axis (`master` in the module's manual); packet byte 2.
 * @param data2 The slave axis (`slave` in the module's manual); packet byte 4.
 * @param data3 Start speed, pulses per second (`sv` in the module's manual); packet bytes 6..9.
 * @param data4 Drive speed, pulses per second (`v` in the module's manual); packet bytes 10..13.
 * @param data5 Acceleration, pulses per second squared (`a` in the module's manual); packet bytes 2..5.
 * @param data6 Numerator of the slave's ratio (`numerator` in the module's manual); packet byte 6.
 * @param data7 Denominator (not 0) (`denominator` in the module's manual); packet byte 8.
 */
VELKOR_API void Velkor_RATIO_INITIAL(uint8_t cardNo, uint8_t data1, uint8_t data2, uint32_t data3, uint32_t data4, uint32_t data5, uint8_t data6, uint8_t data7);
/**
 * Packet 141 (10 bytes): a two-axis ratio move.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 Nonzero ends the path (`end` in the module's manual); packet byte 2.
 * @param data2 Master's distance, pulses (`distance` in the module's manual); packet bytes 4..7.
 * @param data3 0 the slave moves the same way, 1 the other (`opposite` in the module's manual); packet byte 8.
 */
VELKOR_API void Velkor_RATIO_2D(uint8_t cardNo, uint8_t data1, int32_t data2, uint8_t data3);

/** @} */

/**
 * @name Three-dimensional arcs
 *
 * An arc is given by three points relative to where it starts: the middle
 * point (any point of the arc between start and end) and the end point. The
 * host cuts it into equal-angle chords whose distance from the arc stays
 * below chordTolerance and sends one segment packet (129) per chord; the
 * chords add up exactly to the end point. speed is in units per second.
 * An arc function returns the time of its chords at speed in ms (saturated
 * at INT32_MAX) or, when a chord would take under 0.2 ms, minus the highest
 * speed at which it takes 0.2 ms (at most 2147483647); the chords are sent
 * in either case, holding the card lock from the first packet to the last.
 */
/** @{ */

/**
 * Returned, with nothing at all sent, for an arc that cannot be planned:
 * a null point; collinear or coinciding points (an end point equal to the
 * start: a full circle cannot be given); chordTolerance 0 or above twice the
 * radius; speed 0 (for a mixed path: no Velkor_MIX_3D_INITIAL yet on the
 * card); points whose angles tie or give no positive sweep; a radius so large
 * that no chord angle fits the tolerance; more than 1048576 chords; a chord
 * end (relative to the arc's start) or a chord displacement that could leave
 * the signed 32-bit range, judged by the arc itself (how far it gets from its
 * start, and its chords) plus the rounding of the chord walk, never by the
 * size of its circle; a card above 7 or not usable.
 */
#define VELKOR_ARC_DEGENERATE ((int32_t)INT32_MIN)

/**
 * A complete path of one arc: sends 127 (axes), 128 (speed, speed, 1000000)
 * and the chords, the last with end flag 1. Blocks until the module has
 * taken every packet. Returns as described above.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis1 Byte, forwarded unchanged.
 * @param axis2 Byte, forwarded unchanged.
 * @param axis3 Byte, forwarded unchanged.
 * @param midPoint A point of the arc between start and end, units from the arc's start.
 * @param endPoint The arc's end point, units from its start (not the start itself).
 * @param chordTolerance Largest distance of a chord from the arc, units (above 0, at most twice the radius).
 * @param speed Path speed, units per second, for the chords' time (above 0).
 * @return The chords' time at speed in ms (saturated at INT32_MAX), or minus the highest speed at which a chord takes 0.2 ms; VELKOR_ARC_DEGENERATE, with nothing sent, for an arc that cannot be planned.
 */
VELKOR_API int32_t Velkor_ARC_3D(uint8_t cardNo, uint8_t axis1, uint8_t axis2, uint8_t axis3, const POINT_3D* midPoint, const POINT_3D* endPoint, uint32_t chordTolerance, uint32_t speed);

/**
 * Opens a mixed path of lines and arcs: sends 127 (axes) and 128 (data1,
 * data2, data3) and keeps data2 as the card's speed for the arcs of the path.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis1 Byte, forwarded unchanged.
 * @param axis2 Byte, forwarded unchanged.
 * @param axis3 Byte, forwarded unchanged.
 * @param data1 Unsigned 32-bit value, forwarded unchanged.
 * @param data2 Unsigned 32-bit value, forwarded unchanged.
 * @param data3 Unsigned 32-bit value, forwarded unchanged.
 */
VELKOR_API void Velkor_MIX_3D_INITIAL(uint8_t cardNo, uint8_t axis1, uint8_t axis2, uint8_t axis3, uint32_t data1, uint32_t data2, uint32_t data3);

/**
 * One segment of a mixed path. isArc 0: sends one 129 with the endFlag byte
 * unchanged and the displacement point1 (point2 and chordTolerance unread) and
 * returns 0, or VELKOR_ARC_DEGENERATE without sending when point1 is null.
 * isArc nonzero: sends the chords of the arc through point1 to point2, timed
 * with the speed kept by the last Velkor_MIX_3D_INITIAL, the last chord with
 * end flag 1 if endFlag is nonzero, and returns as described above. Blocks
 * until the module has taken every packet.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param endFlag Nonzero: the segment ends the path.
 * @param isArc 0 a line to point1; nonzero an arc through point1 to point2.
 * @param point1 Line: the displacement; arc: its middle point, from the segment's start.
 * @param point2 Arc: its end point, from the segment's start (unread for a line).
 * @param chordTolerance Largest distance of a chord from the arc, units (above 0, at most twice the radius).
 * @return For a line 0 (VELKOR_ARC_DEGENERATE for a null point1); for an arc as Velkor_ARC_3D.
 */
VELKOR_API int32_t Velkor_MIX_3D_CONTINUE(uint8_t cardNo, uint8_t endFlag, uint8_t isArc, const POINT_3D* point1, const POINT_3D* point2, uint32_t chordTolerance);

/** @} */

/** @name Drive hold, start and stopping */
/** @{ */

/**
 * Holds back / releases the start of motion on the axes: packet 180 / 181,
 * axis at byte 2; 4 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 */
VELKOR_API void Velkor_DRV_HOLD(uint8_t cardNo, uint8_t axis);
/**
 * Companion of Velkor_DRV_HOLD(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 */
VELKOR_API void Velkor_DRV_START(uint8_t cardNo, uint8_t axis);

/**
 * Ends an interpolation: packet 188, param at byte 2; 4 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param Byte, forwarded unchanged; packet byte 2.
 */
VELKOR_API void Velkor_INTP_END(uint8_t cardNo, uint8_t param);

/**
 * The stops. Not recording: the code goes straight to the handshake register
 * as a direct exchange (no sequence number; blocks until the module has taken
 * it) and the card's stop flag is set. While the flag is set, a packet that
 * meets a busy mailbox is dropped instead of waited for, GET_ERROR returns 1
 * and GET_ERROR_CODE sets bit 8. While a macro program is recorded: a packet
 * with the same code (4 bytes with the axis at byte 2, else 2 bytes) and the
 * stop flag unchanged.
 * STOP_SLOWLY / STOP_SUDDENLY (183 / 184): the axes, axis at 96 before the
 * idle wait. VSTOP_SLOWLY / VSTOP_SUDDENLY (185 / 186): the interpolated
 * motion; 96 is not written.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 */
VELKOR_API void Velkor_STOP_SLOWLY(uint8_t cardNo, uint8_t axis);
/**
 * Companion of Velkor_STOP_SLOWLY(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several); packet byte 2.
 */
VELKOR_API void Velkor_STOP_SUDDENLY(uint8_t cardNo, uint8_t axis);
/**
 * Companion of Velkor_STOP_SLOWLY(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_VSTOP_SLOWLY(uint8_t cardNo);
/**
 * Companion of Velkor_STOP_SLOWLY(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_VSTOP_SUDDENLY(uint8_t cardNo);

/**
 * Clears the card's stop flag after a direct exchange with code 187, which
 * leaves 31 in the sequence register until the next packet or exchange. While
 * recording: packet 187, 2 bytes, and the flag unchanged.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_CLEAR_STOP(uint8_t cardNo);

/**
 * One poll of the axes' stop state: pauses 2 ms, then query 182 with axis at
 * 96 before the idle wait, all under the card lock; returns reply byte 0 as
 * the module gives it. Always queries, also while recording (the recorded
 * counterpart is Velkor_MP_STOP_WAIT); never loops until a stop.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several).
 * @return Reply byte 0 of the stop query, as the module gives it (1: the axes have stopped); 0 for an unusable card.
 */
VELKOR_API uint8_t Velkor_STOP_WAIT(uint8_t cardNo, uint8_t axis);

/** @} */

/** @name Synchronous actions, compare, latch, preset and output */
/** @{ */

/**
 * Sets up a synchronous action: packet 110 (param1 at byte 2, param2 at 4,
 * param3 at 6..9; 10 bytes), then packet 111 (param4..param12 at the even
 * bytes 2..18; 20 bytes; its odd bytes, 7 and 9 among them, go out as packet
 * 110 left them), both under one hold of the card lock.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param1 Source axis (one axis) (`source` in the module's manual).
 * @param param2 0 none, 1 compare, 2 motion ends, 3 input rises, 4 input falls, 5 motion begins (`trigger` in the module's manual).
 * @param param3 A signed count (distance or preset, pulses) (`value` in the module's manual).
 * @param param4 Target axes (a selector) (`targets` in the module's manual).
 * @param param5 1 start, 2 stop suddenly, 3 stop slowly, 4 latch LP, 5 latch EP, 6 output, 7 fixed move, 8 preset LP (`action` in the module's manual).
 * @param param6 The output bit of action 6 (`output` in the module's manual).
 * @param param7 The level of action 6 (`level` in the module's manual).
 * @param param8 Whether the action repeats (`repeat` in the module's manual).
 * @param param9 The input bit of triggers 3 and 4 (`input` in the module's manual).
 * @param param10 0 (`reserved1` in the module's manual).
 * @param param11 0 (`reserved2` in the module's manual).
 * @param param12 0 (`reserved3` in the module's manual).
 */
VELKOR_API void Velkor_SYNC_ACTION(uint8_t cardNo, uint8_t param1, uint8_t param2, uint32_t param3, uint8_t param4, uint8_t param5, uint8_t param6, uint8_t param7, uint8_t param8, uint8_t param9, uint8_t param10, uint8_t param11, uint8_t param12);

/**
 * Sets a compare: packet 112, param1..param3 at bytes 2, 4, 6, param4 at
 * bytes 8..11; 12 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param1 The compare's axis (one axis) (`axis` in the module's manual).
 * @param param2 The output bit it drives (`output` in the module's manual).
 * @param param3 0 off, 1 rising to value, 2 falling to it, 3 either way, +4 watches EP (`condition` in the module's manual).
 * @param param4 The compare value, pulses (`value` in the module's manual).
 */
VELKOR_API void Velkor_SET_COMPARE(uint8_t cardNo, uint8_t param1, uint8_t param2, uint8_t param3, int32_t param4);

/**
 * The latched value of the axes: query 113 with axis at 96 before the idle
 * wait; reply bytes 0..3 as a signed value; blocks until the module answers.
 * While a macro program is recorded: packet 113, axis at byte 2, 4 bytes, and
 * returns 0.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several).
 * @return The latched value, pulses; 0 while recording or for an unusable card.
 */
VELKOR_API int32_t Velkor_GET_LATCH(uint8_t cardNo, uint8_t axis);

/**
 * Sets a preset value: packet 114, param1 at byte 2, param2 at bytes 4..7;
 * 8 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param1 Low four bits the axes, bits 4-5 the counters (0 or 1 LP, 2 EP, 3 both) (`axes` in the module's manual).
 * @param param2 The preset value (`value` in the module's manual).
 */
VELKOR_API void Velkor_SET_PRESET(uint8_t cardNo, uint8_t param1, int32_t param2);

/**
 * Sets an output: packet 115, param1..param3 at bytes 2, 4, 6; 8 bytes.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param1 The axes (a selector) (`axes` in the module's manual).
 * @param param2 The output bit 0..7 (`bit` in the module's manual).
 * @param param3 0 or 1 (`level` in the module's manual).
 */
VELKOR_API void Velkor_SET_OUT(uint8_t cardNo, uint8_t param1, uint8_t param2, uint8_t param3);

/** @} */

/**
 * @name Line scan
 *
 * Line scan. Calls return once the module has taken their packets.
 */
/** @{ */

/**
 * Packet 144 (14 bytes): the line scan, four bytes and a signed value.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 The scan axis (`scanAxis` in the module's manual); packet byte 2.
 * @param data2 The follow axis (`followAxis` in the module's manual); packet byte 4.
 * @param data3 Pulses of the follow axis per offset unit (not 0) (`scale` in the module's manual); packet byte 6.
 * @param data4 0 each entry a step, 1 each entry a height above the start line (`mode` in the module's manual); packet byte 8.
 * @param data5 Pulses of the scan axis per entry (signed, not 0) (`pitch` in the module's manual); packet bytes 10..13.
 */
VELKOR_API void Velkor_LINE_SCAN(uint8_t cardNo, uint8_t data1, uint8_t data2, uint8_t data3, uint8_t data4, int32_t data5);
/**
 * Packet 145 (10 bytes): starts the line scan, two bytes and a signed value.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param data1 First table entry (`first` in the module's manual); packet byte 2.
 * @param data2 1 adds a segment back to the start line (`back` in the module's manual); packet byte 4.
 * @param data3 Entries to run (above 0) (`count` in the module's manual); packet bytes 6..9.
 */
VELKOR_API void Velkor_LINE_SCAN_START(uint8_t cardNo, uint8_t data1, uint8_t data2, int32_t data3);
/**
 * Loads the count bytes of offsets as packets 146 of up to 20 bytes each (byte 2 the chunk's byte count, bytes 3..6 the table index of its first byte, then the bytes; length n + 7 for a chunk of n bytes, n at most 20), in order under one hold of the card lock. count 0, or a null offsets: sends nothing and returns.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param count Number of bytes in offsets (0: nothing is sent).
 * @param offsets The table bytes to load (NULL: nothing is sent).
 */
VELKOR_API void Velkor_LINE_SCAN_OFFSET(uint8_t cardNo, uint32_t count, const uint8_t* offsets);

/** @} */

/** @name Interrupts */
/** @{ */

/**
 * Packet commands that switch the module's interrupt on (170) and off (171);
 * they return once the module has the packet.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_ENABLE_INT(uint8_t cardNo);
/**
 * Companion of Velkor_ENABLE_INT(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_DISABLE_INT(uint8_t cardNo);

/**
 * Packet commands that let interrupt factors raise the interrupt (172, bytes
 * 2/4/6 = param1..3) or stop them (173, bytes 2/4 = param1..2); the module
 * alone interprets the parameters.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param1 Byte, forwarded unchanged.
 * @param param2 Byte, forwarded unchanged.
 * @param param3 Byte, forwarded unchanged.
 */
VELKOR_API void Velkor_INTFACTOR_ENABLE(uint8_t cardNo, uint8_t param1, uint8_t param2, uint8_t param3);
/**
 * Companion of Velkor_INTFACTOR_ENABLE(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param1 Byte, forwarded unchanged.
 * @param param2 Byte, forwarded unchanged.
 */
VELKOR_API void Velkor_INTFACTOR_DISABLE(uint8_t cardNo, uint8_t param1, uint8_t param2);

/**
 * Reads the module's interrupt code (bit i = factor i) directly from the
 * window under the card lock, without the handshake: never waits for the
 * module. Returns 0 for a card number above 7 or a card that is not usable.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @return The interrupt code (bit i = factor i); 0 for an unusable card.
 */
VELKOR_API uint8_t Velkor_INTERRUPT_RETURN_CODE(uint8_t cardNo);

/**
 * Starts serving the card's slot interrupts: clears the eight interrupt
 * flags, reads the interrupt code once, registers the slot for interrupts
 * and starts the card's service thread, then blocks 100 ms. Returns 1 when
 * serving; 0 when a service is already running, the card is not usable (no
 * slot-bus call then), the slot registration failed, or the thread could not
 * be started (the registration is closed again).
 * Velkor_REGISTRATION and Velkor_RESET_CARD end a service without closing
 * its slot registration (its thread ends at its next wake-up, without
 * reading or acknowledging); this call first closes such a registration and
 * waits for that thread, so that never two threads serve one card and no
 * interrupt meant for the new service wakes the old thread. It returns 0 if
 * an earlier service thread has still not ended after 1 s (held up behind
 * the card lock, see Velkor_DISABLE_RINT); it can be called again later.
 * Takes no card lock; call it and Velkor_DISABLE_RINT for one card from one
 * thread at a time.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @return 1 serving; 0 already serving, unusable card, registration failed, thread not started, or an earlier thread still running after 1 s.
 */
VELKOR_API uint8_t Velkor_ENABLE_RINT(uint8_t cardNo);

/**
 * Stops serving the card's interrupts: tells the service thread to end,
 * closes the slot's interrupt registration (and also one the card still
 * holds for the slot it was registered to before) and waits until the thread
 * has ended, so that no service thread of the card is left when it returns.
 * Returns the slot bus's result of closing the card's slot (0 for a card
 * number above 7 or a card that is not usable, with no slot-bus call unless
 * the card lost its registration while it was served: then its old service
 * is ended and the old slot's registration closed all the same). Keeps the
 * flags and the last code; sends nothing to the module.
 * The wait is bounded by 1 s. A thread that an interrupt woke just before
 * needs the card lock to read the code; if another thread keeps that lock
 * longer (for example a command waiting for a module that never takes its
 * packet), this returns after 1 s with the thread still there. That thread
 * then serves its interrupt once it has the lock (reads the code,
 * acknowledges it, raises the flags) and ends; until it has,
 * Velkor_ENABLE_RINT for the card returns 0.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @return The slot bus's result of closing the card's slot; 0 for an unusable card.
 */
VELKOR_API int32_t Velkor_DISABLE_RINT(uint8_t cardNo);

/**
 * Waits for an interrupt flag selected by mask (bit i = flag i) for about
 * count ms (count 0: without end), in 2 ms passes: count rounded up to even
 * gives count / 2 passes, each checks the flags, then sleeps 1 ms twice; the
 * wait lasts as long as those sleeps take, under load some percent longer.
 * Consumes the lowest matching flag and returns the last interrupt code
 * (which may be 0); returns 0 on time-out (at once for a card number above
 * 7 or a card that is not usable). Takes no card lock.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param mask Interrupt flags to wait for (bit i = flag i).
 * @param count About how many ms to wait (0: without end).
 * @return The last interrupt code (may be 0) when a flag was consumed; 0 on time-out or for an unusable card.
 */
VELKOR_API uint8_t Velkor_RINT_WAIT(uint8_t cardNo, uint8_t mask, uint32_t count);

/**
 * Clears the eight interrupt flags; the last interrupt code stays.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_CLEAR_RINT_FLAG(uint8_t cardNo);

/** @} */

/**
 * @name Macro program recording
 *
 * Macro program recording. Between Velkor_MP_CREATE and Velkor_MP_CLOSE every
 * packet sent to the card becomes a step of the program, and the readers with
 * a recording path post their code instead of asking the module (they return
 * 0). Each call sends one packet, whether or not a program is being recorded,
 * and returns once the module has taken it.
 */
/** @{ */

/**
 * Packet 200 (2 bytes).
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_LOAD_INITIAL(uint8_t cardNo);
/**
 * Sets the card's macro recording flag, then sends packet 201 (4 bytes) with the program number.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param program Macro program number 0..255.
 */
VELKOR_API void Velkor_MP_CREATE(uint8_t cardNo, uint8_t program);
/**
 * Clears the card's macro recording flag, then sends packet 202 (2 bytes), also when nothing was being recorded.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_MP_CLOSE(uint8_t cardNo);
/**
 * Packet 203 (4 bytes): runs a recorded program in the module.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param program Macro program number 0..255.
 */
VELKOR_API void Velkor_MP_CALL(uint8_t cardNo, uint8_t program);
/**
 * Packet 210 (10 bytes): a variable step.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param1 Signed 32-bit value, forwarded unchanged.
 * @param param2 Signed 32-bit value, forwarded unchanged.
 */
VELKOR_API void Velkor_MP_SET_VAR(uint8_t cardNo, int32_t param1, int32_t param2);
/**
 * Packet 211 (6 bytes): an RVAR step.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param1 Signed 32-bit value, forwarded unchanged.
 */
VELKOR_API void Velkor_MP_SET_RVAR(uint8_t cardNo, int32_t param1);
/**
 * Packet 212 (16 bytes): an arithmetic step; param2 at byte 6.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param1 Signed 32-bit value, forwarded unchanged.
 * @param param2 Byte, forwarded unchanged.
 * @param param3 Signed 32-bit value, forwarded unchanged.
 * @param param4 Signed 32-bit value, forwarded unchanged.
 */
VELKOR_API void Velkor_MP_VAR_CALCULATE(uint8_t cardNo, int32_t param1, uint8_t param2, int32_t param3, int32_t param4);
/**
 * Packet 213 (6 bytes): opens a loop.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param1 Signed 32-bit value, forwarded unchanged.
 */
VELKOR_API void Velkor_MP_FOR(uint8_t cardNo, int32_t param1);
/**
 * Packet 214 (2 bytes): closes a loop.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_MP_NEXT(uint8_t cardNo);
/**
 * Packet 215 (12 bytes): a condition. comparison is a character constant ('>' or '<='): two characters go out in reading order at bytes 6 and 7, a lone '=' as "==", a lone '!' as "!=", any other lone character followed by 0.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param1 Signed 32-bit value, forwarded unchanged.
 * @param comparison Character constant of the comparison ('>', '<=', '=', '!' ...).
 * @param param3 Signed 32-bit value, forwarded unchanged.
 */
VELKOR_API void Velkor_MP_IF(uint8_t cardNo, int32_t param1, uint16_t comparison, int32_t param3);
/**
 * Packet 216 (2 bytes): the else branch of a condition.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_MP_ELSE(uint8_t cardNo);
/**
 * Packet 217 (2 bytes): ends a condition.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_MP_IF_END(uint8_t cardNo);
/**
 * Packet 218 (6 bytes): a timer step.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param1 Signed 32-bit value, forwarded unchanged.
 */
VELKOR_API void Velkor_MP_TIMER(uint8_t cardNo, int32_t param1);
/**
 * Packet 219 (4 bytes): a step that waits for the axis to stop.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param axis Axis selector, forwarded unchanged (the module reads a bit mask: 1, 2, 4, 8 select axes 1 to 4, a sum several).
 */
VELKOR_API void Velkor_MP_STOP_WAIT(uint8_t cardNo, uint8_t axis);
/**
 * Packet 220 (2 bytes): a step that raises the host interrupt.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_MP_SET_RINT(uint8_t cardNo);

/** @} */

/** @name Macro debugging */
/** @{ */

/**
 * Packet commands that start debugging a macro program (240) or an interrupt
 * routine (241), byte 2 = param; recorded like any packet while a program is
 * being recorded.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param Byte, forwarded unchanged; packet byte 2.
 */
VELKOR_API void Velkor_MP_DEBUG(uint8_t cardNo, uint8_t param);
/**
 * Companion of Velkor_MP_DEBUG(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param param Byte, forwarded unchanged; packet byte 2.
 */
VELKOR_API void Velkor_ISR_DEBUG(uint8_t cardNo, uint8_t param);

/**
 * Hand code 242 (continue) or 243 (stop) to the module through the handshake
 * register under the card lock, waiting (1 ms polls, no time-out) for an idle
 * mailbox before and for the module after. Never recorded.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_CONTINUE_DEBUG(uint8_t cardNo);
/**
 * Companion of Velkor_CONTINUE_DEBUG(), described with it.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 */
VELKOR_API void Velkor_STOP_DEBUG(uint8_t cardNo);

/**
 * Waits like Velkor_RINT_WAIT for interrupt flag 5 (count in ms, 0 = without
 * end; needs Velkor_ENABLE_RINT), then under the card lock reads the debug
 * byte and word once the mailbox is idle; a consumed flag 5 always leads to
 * the read, whatever the last interrupt code. On time-out stores 255 and 1
 * and touches no register (likewise, at once, for a card number above 7 or a
 * card that is not usable). Null pointers are not written through.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param count About how many ms to wait (0: without end).
 * @param debugByte Where the debug byte is stored (NULL: not stored).
 * @param debugWord Where the debug word is stored (NULL: not stored).
 */
VELKOR_API void Velkor_DEBUG_WAIT(uint8_t cardNo, uint32_t count, uint8_t* debugByte, uint16_t* debugWord);

/**
 * Reads the debug byte and word at once (after waiting for an idle mailbox),
 * without the card lock: do not call it while another thread uses the card.
 * Never writes the handshake register. Null pointers are not written
 * through; a card number above 7 or a card that is not usable stores nothing.
 *
 * @param cardNo Card number 0..7, registered with Velkor_REGISTRATION.
 * @param debugByte Where the debug byte is stored (NULL: not stored).
 * @param debugWord Where the debug word is stored (NULL: not stored).
 */
VELKOR_API void Velkor_DEBUG_INFO(uint8_t cardNo, uint8_t* debugByte, uint16_t* debugWord);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_H */
