// libFuzzer target: a PGN file downloaded from anywhere. The reader over the
// whole file (every game with its movetext, converted into a game record
// through the move library), the game picker's seek, and the line helpers on
// every line. The move library is compiled in, so it is instrumented too.
// Any crash, hang or sanitizer report is a finding; keep the input in
// tests/pgn/regress/.
#include "chess/gamerecord.h"
#include "chess/notation.h"
#include "chess/rules.h"
#include "pgn/reader.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace quorel;

namespace {

// The file the reader opens: one per fuzzing process.
const std::string& InputPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/fuzz_pgn_" + std::to_string(::getpid()) +
               ".pgn";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = InputPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    pgn::TPGNReader reader;
    if (!reader.OpenFile(path)) std::abort();
    long games = 0;
    while (reader.ReadNextGame(true)) {
        ++games;
        reader.BuildGameRecord();
        // Past the first games the conversion alone is enough: the checks
        // below would only slow the search down on inputs of many games.
        if (games > 16) continue;
        const chess::TGameRecord& rec = reader.GameRecord;
        if (rec.MoveCount > chess::kMaxMoveRecords) std::abort();
        // What the import shows and stores: the moves, the final position,
        // the file image read back.
        for (int k = 1; k <= rec.MoveCount; ++k)
            (void)chess::SanOfMove(rec.Move(k), chess::kEnglish);
        (void)chess::PositionAtPly(rec, rec.MoveCount).GetEPDString();
        chess::TGameRecord back;
        if (!chess::LoadFromBytes(rec.ToFileBytes(), "import.QRL", back).Ok) std::abort();
        if (back.MoveCount != rec.MoveCount) std::abort();
    }
    // The picker loads a game by its number after listing without moves.
    if (games > 0) {
        if (!reader.SeekGame(games, false)) std::abort();
        reader.SeekGame(1, true);
        reader.BuildGameRecord();
    }
    reader.CloseFile();

    // The line helpers on every line, carrying the comment state along.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    pgn::TStripState state;
    for (size_t at = 0; at <= text.size();) {
        size_t nl = text.find('\n', at);
        if (nl == std::string_view::npos) nl = text.size();
        const std::string_view line = text.substr(at, nl - at);
        (void)pgn::TPGNReader::StripAnnotations(line, state);
        (void)pgn::TPGNReader::TagValue(line);
        at = nl + 1;
    }
    return 0;
}
