// The three exports of QRLPGN32 over the TRVG position and SAN matcher.
#include "movelib/qrlpgn32.h"
#include "movelib/trvg.h"

#include <memory>
#include <new>

namespace {

// The library's one position record: created by the first QRLpgn2move call,
// released when the library is unloaded.
std::unique_ptr<trvg::TRVGPosition> g_position;

int32_t Pack(const trvg::TRVGMove& m) {
    uint32_t last = 0;
    if (m.flags & trvg::kFlagPromotion) {
        last = uint32_t(m.extra);
    } else if (m.piece == trvg::kPawn && (m.to - m.from == 2 || m.from - m.to == 2)) {
        last = uint32_t(trvg::ToMainSquare(m.extra));
    }
    uint32_t v = uint32_t(trvg::ToMainSquare(m.from)) | (uint32_t(trvg::ToMainSquare(m.to)) << 8) |
                 (uint32_t(m.flags & 0xFF) << 16) | (last << 24);
    return int32_t(v);
}

} // namespace

extern "C" int32_t QRLpgn2move(const char* position, const char* move) {
    using namespace trvg;
    g_errno = kErrNone;
    if (!g_position) {
        g_position.reset(new (std::nothrow) TRVGPosition);
        if (!g_position) {
            g_errno = kErrMemory;
            return 0;
        }
        if (SetUp(g_position.get(), 1, nullptr) != 0) return 0;
    }
    TRVGPosition* p = g_position.get();
    const bool hasPosition = position && *position;
    const bool hasMove = move && *move;
    if (hasPosition) {
        if (SetUp(p, 3, position) != 0) return 0;
        if (!hasMove) return -1;
    } else if (!hasMove) {
        if (SetUp(p, 1, nullptr) != 0) return 0;
        return -1;
    }
    TRVGMove m;
    if (MatchSan(p, move, m) != 0) {
        if (g_errno == kErrNone) g_errno = kErrParameter;
        return 0;
    }
    // The matcher has just checked the position and found the entry: make it.
    ApplyMove(p, m);
    g_errno = kErrNone;
    return Pack(m);
}

extern "C" int32_t QRLgetTRVGerrno(void) {
    return trvg::g_errno;
}

extern "C" int32_t QRLPGNversion(void) {
    return 131344;
}
