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

/* Readers of this section run one query exchange under the card lock and block
 * (1 ms polls, no time-out) until the module answers. While a macro program is
 * recorded, GET_LP, GET_EP, GET_DI, GET_DI_ALL, GET_ERROR, GET_ERROR_CODE and
 * QUORL_IN instead post their query code with their byte parameters as a
 * packet (a program step) and return 0; GET_CV and GET_CA always query.
 * axis, input and port are forwarded unchanged. */

/* Sets the LP / EP counter of the axes: packet 40 / 42, axis at byte 2, data
 * at bytes 4..7; 8 bytes. Recorded like any packet. */
VELKOR_API void Velkor_SET_LP(uint8_t cardNo, uint8_t axis, int32_t data);
VELKOR_API void Velkor_SET_EP(uint8_t cardNo, uint8_t axis, int32_t data);

/* The LP / EP counter: query 41 / 43 with axis at 96 after the idle wait;
 * reply bytes 0..3 as a signed value. Recording: packet 41 / 43, axis, 4 bytes. */
VELKOR_API int32_t Velkor_GET_LP(uint8_t cardNo, uint8_t axis);
VELKOR_API int32_t Velkor_GET_EP(uint8_t cardNo, uint8_t axis);

/* The CV / CA reading: query 44 / 45 and then the range query 255, each with
 * axis at 96 after the idle wait, in one exchange. Both replies are unsigned
 * 32-bit values; the result is, in single precision, 8000000 / range times
 * the reading, times 1 (CV) or 125 (CA), truncated toward zero. A range of 0
 * or a NaN gives 0; values beyond the int32 range saturate to INT32_MAX or
 * INT32_MIN. Always queries, also while recording. */
VELKOR_API int32_t Velkor_GET_CV(uint8_t cardNo, uint8_t axis);
VELKOR_API int32_t Velkor_GET_CA(uint8_t cardNo, uint8_t axis);

/* One digital input: query 46 with axis at 96 and input at 108 after the idle
 * wait; reply byte 0. Recording: packet 46, axis, input, 6 bytes. */
VELKOR_API uint8_t Velkor_GET_DI(uint8_t cardNo, uint8_t axis, uint8_t input);

/* All digital inputs of the axes: query 49 with axis at 96 before the idle
 * wait; reply bytes 0..1. Recording: packet 49, axis, 4 bytes. */
VELKOR_API uint16_t Velkor_GET_DI_ALL(uint8_t cardNo, uint8_t axis);

/* The module's error state: query 47; reply byte 0, or 1 whatever the module
 * says while the card's stop flag is set. Recording: packet 47, 2 bytes. */
VELKOR_API uint8_t Velkor_GET_ERROR(uint8_t cardNo);

/* The axes' error code: query 48 with axis at 96 before the idle wait; reply
 * bytes 0..1, with bit 8 (0x100) set in addition while the card's stop flag
 * is set. Recording: packet 48, axis, 4 bytes. */
VELKOR_API uint16_t Velkor_GET_ERROR_CODE(uint8_t cardNo, uint8_t axis);

/* A remote I/O input word: query 50 with port at 100 before the idle wait;
 * reply bytes 0..1. Recording: packet 50, port, 4 bytes. */
VELKOR_API uint16_t Velkor_QUORL_IN(uint8_t cardNo, uint8_t port);

/* ---- Variables and remote I/O ---------------------------------------- */

/* Reads query the module under the card lock and block (1 ms polls, no
 * time-out) until it answers, also while a macro program is recorded. Writes
 * are packets. No index is range-checked; the module decides what it means. */

/* Byte variable `index`: query 34 with (index + 128) mod 256 at 104 before the
 * idle wait (106 is not written); reply byte 0. */
VELKOR_API uint8_t Velkor_READ_bVAR(uint8_t cardNo, uint8_t index);

/* Sets byte variable `index` (sent without offset): packet 35, index at byte
 * 2, data at byte 4; 6 bytes. */
VELKOR_API void Velkor_WRITE_bVAR(uint8_t cardNo, uint8_t index, uint8_t data);

/* Long variable `index` (low 16 bits sent): query 36 with the high index byte
 * at 106, then the low byte at 104, before the idle wait; reply bytes 0..3. */
VELKOR_API int32_t Velkor_READ_VAR(uint8_t cardNo, int32_t index);

/* Sets long variable `index` (low 16 bits sent): packet 37, index at bytes
 * 2..3, data at bytes 6..9; 10 bytes. */
VELKOR_API void Velkor_WRITE_VAR(uint8_t cardNo, int32_t index, int32_t data);

/* MD entry `index` (low 16 bits sent): query 38 with the high index byte at
 * 114, then the low byte at 112, before the idle wait; reply bytes 0..3. An
 * index below 1024 (negative ones included) stores the reply as an integer in
 * *intOut, any other as a float in *floatOut; the other pointer is not touched.
 * The exchange runs even when the pointer to store through is null; nothing is
 * stored then. */
VELKOR_API void Velkor_READ_MD(uint8_t cardNo, int32_t index, int32_t* intOut, float* floatOut);

/* Sets MD entry `index` (low 16 bits sent): packet 39, index at bytes 2..3,
 * at bytes 6..9 intData for an index below 1024 (signed), else the bit pattern
 * of floatData; 10 bytes. */
VELKOR_API void Velkor_WRITE_MD(uint8_t cardNo, int32_t index, int32_t intData, float floatData);

/* Writes a word to remote I/O port `port`: packet 51, port at byte 2, data at
 * bytes 4..7; 8 bytes. */
VELKOR_API void Velkor_QUORL_OUT(uint8_t cardNo, uint8_t port, uint32_t data);

/* ---- Speed profile and single-axis moves ----------------------------- */

/* (none yet) */

/* ---- Vector interpolation -------------------------------------------- */

/* (none yet) */

/* ---- Continuous and special interpolation ---------------------------- */

/* (none yet) */

/* ---- Three-dimensional arcs ------------------------------------------ */

/* (none yet) */

/* ---- Drive hold, start and stopping ---------------------------------- */

/* Holds back / releases the start of motion on the axes: packet 180 / 181,
 * axis at byte 2; 4 bytes. */
VELKOR_API void Velkor_DRV_HOLD(uint8_t cardNo, uint8_t axis);
VELKOR_API void Velkor_DRV_START(uint8_t cardNo, uint8_t axis);

/* Ends an interpolation: packet 188, param at byte 2; 4 bytes. */
VELKOR_API void Velkor_INTP_END(uint8_t cardNo, uint8_t param);

/* The stops. Not recording: the code goes straight to the handshake register
 * as a direct exchange (no sequence number; blocks until the module has taken
 * it) and the card's stop flag is set. While the flag is set, a packet that
 * meets a busy mailbox is dropped instead of waited for, GET_ERROR returns 1
 * and GET_ERROR_CODE sets bit 8. While a macro program is recorded: a packet
 * with the same code (4 bytes with the axis at byte 2, else 2 bytes) and the
 * stop flag unchanged.
 * STOP_SLOWLY / STOP_SUDDENLY (183 / 184): the axes, axis at 96 before the
 * idle wait. VSTOP_SLOWLY / VSTOP_SUDDENLY (185 / 186): the interpolated
 * motion; 96 is not written. */
VELKOR_API void Velkor_STOP_SLOWLY(uint8_t cardNo, uint8_t axis);
VELKOR_API void Velkor_STOP_SUDDENLY(uint8_t cardNo, uint8_t axis);
VELKOR_API void Velkor_VSTOP_SLOWLY(uint8_t cardNo);
VELKOR_API void Velkor_VSTOP_SUDDENLY(uint8_t cardNo);

/* Clears the card's stop flag after a direct exchange with code 187, which
 * leaves 31 in the sequence register until the next packet or exchange. While
 * recording: packet 187, 2 bytes, and the flag unchanged. */
VELKOR_API void Velkor_CLEAR_STOP(uint8_t cardNo);

/* One poll of the axes' stop state: pauses 2 ms, then query 182 with axis at
 * 96 before the idle wait, all under the card lock; returns reply byte 0 as
 * the module gives it. Always queries, also while recording (the recorded
 * counterpart is Velkor_MP_STOP_WAIT); never loops until a stop. */
VELKOR_API uint8_t Velkor_STOP_WAIT(uint8_t cardNo, uint8_t axis);

/* ---- Synchronous actions, compare, latch, preset and output ---------- */

/* Sets up a synchronous action: packet 110 (param1 at byte 2, param2 at 4,
 * param3 at 6..9; 10 bytes), then packet 111 (param4..param12 at the even
 * bytes 2..18; 20 bytes; its odd bytes, 7 and 9 among them, go out as packet
 * 110 left them), both under one hold of the card lock. */
VELKOR_API void Velkor_SYNC_ACTION(uint8_t cardNo, uint8_t param1, uint8_t param2, uint32_t param3, uint8_t param4, uint8_t param5, uint8_t param6, uint8_t param7, uint8_t param8, uint8_t param9, uint8_t param10, uint8_t param11, uint8_t param12);

/* Sets a compare: packet 112, param1..param3 at bytes 2, 4, 6, param4 at
 * bytes 8..11; 12 bytes. */
VELKOR_API void Velkor_SET_COMPARE(uint8_t cardNo, uint8_t param1, uint8_t param2, uint8_t param3, int32_t param4);

/* The latched value of the axes: query 113 with axis at 96 before the idle
 * wait; reply bytes 0..3 as a signed value; blocks until the module answers.
 * While a macro program is recorded: packet 113, axis at byte 2, 4 bytes, and
 * returns 0. */
VELKOR_API int32_t Velkor_GET_LATCH(uint8_t cardNo, uint8_t axis);

/* Sets a preset value: packet 114, param1 at byte 2, param2 at bytes 4..7;
 * 8 bytes. */
VELKOR_API void Velkor_SET_PRESET(uint8_t cardNo, uint8_t param1, int32_t param2);

/* Sets an output: packet 115, param1..param3 at bytes 2, 4, 6; 8 bytes. */
VELKOR_API void Velkor_SET_OUT(uint8_t cardNo, uint8_t param1, uint8_t param2, uint8_t param3);

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
