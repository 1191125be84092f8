#!/usr/bin/env bash
# Builds the PGN fuzz targets with clang + libFuzzer (ASan, UBSan) outside
# the CMake build and runs each for a while, one after the other.
#   fuzz/pgn/run.sh [SECONDS-PER-TARGET]   (default 300)
#   FUZZ_TARGETS="movelib" fuzz/pgn/run.sh 60  (only some targets)
# Needs: apt-get install clang libclang-rt-14-dev
# Targets: reader (PGN files, up to 65536 bytes; the move library is compiled
# in from movelib/ so that it is instrumented too), movelib (the library's
# exports: a position text, then SAN texts).
# Findings (crash-*, timeout-*, oom-*) are copied to tests/pgn/regress/
# (reader) and tests/movelib/regress/ (movelib), which the ordinary test
# suite replays.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
secs=${1:-300}
targets=${FUZZ_TARGETS:-reader movelib}
out=${FUZZ_OUT:-$root/build/fuzz-pgn}
mkdir -p "$out"
# shellcheck source=../common.sh
source "$here/../common.sh"
movelib=("$root"/movelib/trvgutil.cpp "$root"/movelib/trvmovgen.cpp "$root"/movelib/trvg_pgn.cpp
         "$root"/movelib/qrlpgn32.cpp)
chess=("$root"/chess/gamerecord.cpp "$root"/chess/position.cpp "$root"/chess/notation.cpp
       "$root"/chess/rules.cpp "$root"/chess/moveentry.cpp "$root"/pgn/reader.cpp
       "$root"/platform/binary.cpp "$root"/platform/codepage.cpp "$root"/platform/datetime.cpp
       "$root"/platform/files.cpp "$root"/platform/text.cpp)
for t in $targets; do
  case $t in
    reader) srcs=("${chess[@]}" "${movelib[@]}") ;;
    movelib) srcs=("${movelib[@]}") ;;
  esac
  fuzz_build "$t" "$here/fuzz_$t.cpp" "${srcs[@]}"
done

# Seed corpora: the kept findings, the ECO openings file when installed
# (cut into pieces of a few games: small inputs keep the search fast), and a
# few hand-written inputs.
mkdir -p "$out/seeds_reader" "$out/seeds_movelib"
cp "$root"/tests/pgn/regress/reader-* "$out/seeds_reader"/ 2>/dev/null || true
cp "$root"/tests/movelib/regress/movelib-* "$out/seeds_movelib"/ 2>/dev/null || true
for eco in /usr/share/pgn-extract/eco.pgn /usr/share/games/pgn-extract/eco.pgn; do
  [ -f "$eco" ] || continue
  split -C 3000 "$eco" "$out/seeds_reader/eco-"
  break
done
cat > "$out/seeds_reader/twogames.pgn" <<'PGN'
[Event "Club"]
[Site "Here"]
[Date "2024.01.02"]
[Round "1"]
[White "Tal"]
[Black "Smyslov"]
[Result "1-0"]
[WhiteElo "2600"]

1. e4 {a comment} e5 2. Nf3 (2. f4 exf4) Nc6 3. Bb5 a6 $1 4. O-O Nf6 5. Re1 b5
6. Bb3 d6 7. c3 O-O 8. h3 Nb8 9. d4 Nbd7 10. Nbd2 Bb7 11. Bc2 Re8 12. a4 Bf8 1-0

[Event "Set-up"]
[FEN "4k3/P7/8/2pP4/8/8/8/R3K2R w KQ c6 0 1"]
[Result "*"]

1. dxc6 Kf7 2. a8=Q Kg6 3. O-O-O+ Kh5 4. Qh8+ *
PGN
i=0
while IFS= read -r seed; do
  i=$((i + 1))
  printf '%b' "$seed" > "$out/seeds_movelib/seed$i"
done <<'SEEDS'
\ne4\ne5\nNf3\nNc6\nBb5\na6\nO-O
rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6\nexf6\nNxf6
r3k2r/8/8/8/8/8/8/R3K2R w KQkq -\nO-O-O\nO-O\nRxa1+
8/P7/8/8/8/8/7p/k6K w - -\na8=Q\nh1=N\nQa7
\nd4\n!4k3/8/8/8/8/8/8/R3K2R w KQ -|Rad1\nKe7
SEEDS

status=0
for t in $targets; do
  case $t in reader) maxlen=65536; keep=tests/pgn/regress ;;
             *) maxlen=4096; keep=tests/movelib/regress ;; esac
  fuzz_run "$t" "$keep" "$secs" -max_len="$maxlen" || status=1
done
rm -f "$out"/fuzz_pgn_*.pgn
exit $status
