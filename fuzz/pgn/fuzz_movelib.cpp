// libFuzzer target: the move library QRLPGN32 through its three exports. The
// first line of the input is a FEN-style position text (empty: the initial
// position); every further line is a SAN text played on the library's
// position. A line starting with "!" sets the position from the rest of the
// line together with the move after it ("!FEN|SAN"). Any crash, hang or
// sanitizer report is a finding; keep the input in tests/movelib/regress/.
#include "movelib/qrlpgn32.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// A played move's squares are board squares (rank * 10 + file).
bool BoardSquare(int s) {
    return s >= 0 && s <= 77 && s % 10 <= 7;
}

void Check(int32_t r) {
    const int32_t e = QRLgetTRVGerrno();
    if (e < 0 || e > 5) std::abort();
    if (r == 0) {
        if (e == 0) std::abort(); // a refusal always says why
        return;
    }
    if (r == -1) return;
    if (e != 0) std::abort();
    const uint32_t v = uint32_t(r);
    if (!BoardSquare(int(v & 0xFF)) || !BoardSquare(int((v >> 8) & 0xFF))) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (QRLPGNversion() != 131344) std::abort();
    size_t at = 0;
    bool first = true;
    while (at <= text.size()) {
        size_t nl = text.find('\n', at);
        if (nl == std::string_view::npos) nl = text.size();
        // The exports take zero-terminated texts: an embedded NUL ends the text.
        const std::string line(text.substr(at, nl - at));
        at = nl + 1;
        if (first) {
            first = false;
            Check(QRLpgn2move(line.c_str(), ""));
            continue;
        }
        if (!line.empty() && line[0] == '!') {
            const size_t bar = line.find('|');
            const std::string fen = line.substr(1, bar == std::string::npos ? bar : bar - 1);
            const std::string san = bar == std::string::npos ? "" : line.substr(bar + 1);
            Check(QRLpgn2move(fen.c_str(), san.c_str()));
            continue;
        }
        Check(QRLpgn2move(nullptr, line.c_str()));
    }
    return 0;
}
