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

/* An arc is given by three points relative to where it starts: the middle
 * point (any point of the arc between start and end) and the end point. The
 * host cuts it into equal-angle chords whose distance from the arc stays
 * below chordTolerance and sends one segment packet (129) per chord; the
 * chords add up exactly to the end point. speed is in units per second.
 * An arc function returns the time of its chords at speed in ms (saturated
 * at INT32_MAX) or, when a chord would take under 0.2 ms, minus the highest
 * speed at which it takes 0.2 ms (at most 2147483647); the chords are sent
 * in either case, holding the card lock from the first packet to the last. */

/* Returned, with nothing at all sent, for an arc that cannot be planned:
 * a null point; collinear or coinciding points (an end point equal to the
 * start: a full circle cannot be given); chordTolerance 0 or above twice the
 * radius; speed 0 (for a mixed path: no Velkor_MIX_3D_INITIAL yet on the
 * card); points whose angles tie or give no positive sweep; a radius so large
 * that no chord angle fits the tolerance; more than 1048576 chords; a chord
 * position or displacement beyond the signed 32-bit range; a card above 7. */
#define VELKOR_ARC_DEGENERATE ((int32_t)INT32_MIN)

/* A complete path of one arc: sends 127 (axes), 128 (speed, speed, 1000000)
 * and the chords, the last with end flag 1. Blocks until the module has
 * taken every packet. Returns as described above. */
VELKOR_API int32_t Velkor_ARC_3D(uint8_t cardNo, uint8_t axis1, uint8_t axis2, uint8_t axis3, const POINT_3D* midPoint, const POINT_3D* endPoint, uint32_t chordTolerance, uint32_t speed);

/* Opens a mixed path of lines and arcs: sends 127 (axes) and 128 (data1,
 * data2, data3) and keeps data2 as the card's speed for the arcs of the path. */
VELKOR_API void Velkor_MIX_3D_INITIAL(uint8_t cardNo, uint8_t axis1, uint8_t axis2, uint8_t axis3, uint32_t data1, uint32_t data2, uint32_t data3);

/* One segment of a mixed path. isArc 0: sends one 129 with the endFlag byte
 * unchanged and the displacement point1 (point2 and chordTolerance unread) and
 * returns 0, or VELKOR_ARC_DEGENERATE without sending when point1 is null.
 * isArc nonzero: sends the chords of the arc through point1 to point2, timed
 * with the speed kept by the last Velkor_MIX_3D_INITIAL, the last chord with
 * end flag 1 if endFlag is nonzero, and returns as described above. Blocks
 * until the module has taken every packet. */
VELKOR_API int32_t Velkor_MIX_3D_CONTINUE(uint8_t cardNo, uint8_t endFlag, uint8_t isArc, const POINT_3D* point1, const POINT_3D* point2, uint32_t chordTolerance);

/* ---- Drive hold, start and stopping ---------------------------------- */

/* (none yet) */

/* ---- Synchronous actions, compare, latch, preset and output ---------- */

/* (none yet) */

/* ---- Line scan ------------------------------------------------------- */

/* (none yet) */

/* ---- Interrupts ------------------------------------------------------ */

/* (none yet) */

/* ---- Macro program recording ----------------------------------------- */

/* (none yet) */

/* ---- Macro debugging ------------------------------------------------- */

/* (none yet) */

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_H */
