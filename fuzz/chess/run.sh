#!/usr/bin/env bash
# Builds the chess fuzz targets with clang + libFuzzer (ASan, UBSan) outside
# the CMake build and runs each for a while, one after the other.
#   fuzz/chess/run.sh [SECONDS-PER-TARGET]   (default 300)
#   FUZZ_TARGETS="epd" fuzz/chess/run.sh 60  (only some targets)
# Needs: apt-get install clang libclang-rt-14-dev
# Targets: gamefile (game files, up to 20000 bytes), epd (EPD texts, up to 512).
# Findings (crash-*, timeout-*, oom-*) are copied to tests/chess/regress/,
# which the ordinary test suite replays.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
secs=${1:-300}
targets=${FUZZ_TARGETS:-gamefile epd}
out=${FUZZ_OUT:-$root/build/fuzz-chess}
mkdir -p "$out"
# shellcheck source=../common.sh
source "$here/../common.sh"
srcs=("$root"/chess/gamerecord.cpp "$root"/chess/position.cpp "$root"/chess/notation.cpp
      "$root"/chess/rules.cpp "$root"/chess/moveentry.cpp
      "$root"/platform/binary.cpp "$root"/platform/codepage.cpp "$root"/platform/datetime.cpp
      "$root"/platform/files.cpp "$root"/platform/text.cpp)
for t in $targets; do
  fuzz_build "$t" "$here/fuzz_$t.cpp" "${srcs[@]}"
done
# The seed writer: long and set-up games the fuzzer would not grow by itself.
"$CXX" -std=c++20 -O1 -I"$root" "$here/make_seeds.cpp" "${srcs[@]}" -o "$out/make_seeds"

# Seed corpora: the sample game, written games, the kept findings, and EPD
# texts.
mkdir -p "$out/seeds_gamefile" "$out/seeds_epd"
cp "$root"/docs/samples/sample.qrl "$out/seeds_gamefile"/
"$out/make_seeds" "$out/seeds_gamefile"
cp "$root"/tests/chess/regress/gamefile-* "$out/seeds_gamefile"/ 2>/dev/null || true
cp "$root"/tests/chess/regress/epd-* "$out/seeds_epd"/ 2>/dev/null || true
i=0
while IFS= read -r epd; do
  i=$((i + 1))
  printf '%s' "$epd" > "$out/seeds_epd/epd$i"
done <<'SEEDS'
rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -
rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3
r3k2r/8/8/8/8/8/8/R3K2R b qK -
8/8/8/8/8/8/8/4K2k w - -
rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3
8/P7/8/8/8/8/7p/k6K w - - 0 1
r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -
SEEDS

status=0
for t in $targets; do
  # Game files are searched at full length from the start (-len_control=0):
  # otherwise the 400-record seed is cut short for a long while.
  case $t in gamefile) opts=(-max_len=20000 -len_control=0) ;; *) opts=(-max_len=512) ;; esac
  fuzz_run "$t" tests/chess/regress "$secs" "${opts[@]}" || status=1
done
exit $status
