#pragma once
// The exports of the move library QRLPGN32 (libQRLPGN32.so): a SAN move text is
// turned into a move on the library's own position, which it keeps between
// calls. Plain C calling convention; texts are zero-terminated single-byte
// strings owned by the caller for the duration of the call.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QRLPGN32_BUILDING)
#define QRLPGN32_API __attribute__((visibility("default")))
#else
#define QRLPGN32_API
#endif

// Sets the position and/or plays one SAN move on it.
//  - position text non-empty: the position is set from that FEN-style text;
//    with no move text the result is -1.
//  - both texts empty or null: the position is reset to the initial position,
//    result -1.
//  - otherwise the move is matched among the legal moves of the current
//    position and made.
// Result: the packed move (bits 0..7 from, 8..15 to, in rank*10+file squares;
// 16..23 flags 1 en passant, 2 promotion, 4 capture, 0x10/0x20 castling,
// 0x40 lands on the other king's square; 24..31 the promoted piece 2 queen,
// 3 bishop, 4 knight, 5 rook, or for a double step the skipped square, else
// 0); 0 on failure, with the error number set (QRLgetTRVGerrno).
QRLPGN32_API int32_t QRLpgn2move(const char* position, const char* move);

// Error number of the last QRLpgn2move call: 0 no error, 1 memory,
// 2 invalid parameter, 3 invalid colour, 4 invalid field, 5 invalid piece type.
QRLPGN32_API int32_t QRLgetTRVGerrno(void);

// Always 131344 (0x20110).
QRLPGN32_API int32_t QRLPGNversion(void);

#ifdef __cplusplus
}
#endif
