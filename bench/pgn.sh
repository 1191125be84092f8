#!/usr/bin/env bash
# PGN benchmark (run by hand, not by CI): on one PGN file, side by side,
#   qrltool pgn list              listing, as the game picker scans a file
#   qrltool pgn import --dry-run  full conversion, every move through QRLPGN32
#   pgn-extract -r                checking every game
#   pgn-extract -Wuci             converting every move to long algebraic form
#   Scid (tkscid)                 importing the file into a new database
#   chess.js loadPgn              the first CHESSJS_GAMES games (default 1000)
# Each is timed RUNS times (default 3) with /usr/bin/time; the best wall time
# and its CPU time and peak memory are reported in bench/RESULTS-pgn.md.
#
#   bash bench/pgn.sh /path/to/masters.pgn
#
# Needs: pgn-extract, scid (apt-get install pgn-extract scid), Node.js with
# chess.js in /opt/quorel-test (scripts/setup.d/pgn.sh).
set -euo pipefail
file=${1:?usage: bench/pgn.sh FILE.pgn}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/pgn-release
runs=${RUNS:-3}
chessjs_games=${CHESSJS_GAMES:-1000}
chessjs=/opt/quorel-test/node_modules/chess.js
out=$root/bench/RESULTS-pgn.md
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUOREL_GUI=OFF \
  -DQUOREL_TESTS=OFF >/dev/null
cmake --build "$build" --target qrltool -j 2 >/dev/null
qrltool=$build/bin/qrltool
pgnextract=$(command -v pgn-extract || echo /usr/games/pgn-extract)
tkscid=$(command -v tkscid || echo /usr/games/tkscid)

bytes=$(stat -c %s "$file")
mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
games=$("$qrltool" pgn list "$file" | tail -1 | awk '{print $1}')
echo "file: $file ($mb MB, $games games)"

# time_best NAME CMD...: best of $runs; sets WALL, CPU, RSS (KB).
time_best() {
  local name=$1; shift
  WALL=""; CPU=""; RSS=""
  for ((i = 0; i < runs; i++)); do
    rm -f "$work"/scid.*
    /usr/bin/time -f "%e %U %S %M" -o "$work/t" "$@" >"$work/out" 2>"$work/err" || {
      echo "$name failed:" >&2; tail -3 "$work/err" >&2; return 1; }
    read -r w u s m <"$work/t"
    if [ -z "$WALL" ] || awk -v a="$w" -v b="$WALL" 'BEGIN { exit !(a < b) }'; then
      WALL=$w; CPU=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }'); RSS=$m
    fi
  done
  echo "$name: ${WALL}s wall, ${CPU}s CPU, $((RSS / 1024)) MB"
}

declare -A W C R G
row() { W[$1]=$WALL; C[$1]=$CPU; R[$1]=$RSS; G[$1]=$2; }

time_best "qrltool pgn list" "$qrltool" pgn list "$file"; row list "$games"
time_best "qrltool pgn import --dry-run" "$qrltool" pgn import "$file" --dry-run \
  --to "$work/none"; row import "$games"
time_best "pgn-extract -r" "$pgnextract" -r -s "$file"; row per "$games"
time_best "pgn-extract -Wuci" "$pgnextract" -s -Wuci -o /dev/null "$file"; row peuci "$games"
if [ -x "$tkscid" ]; then
  time_best "scid import" "$tkscid" "$root/bench/pgn_scid.tcl" "$work/scid" "$file"
  row scid "$games"
fi
if [ -f "$chessjs/package.json" ]; then
  time_best "chess.js loadPgn ($chessjs_games games)" node "$root/bench/pgn_chessjs.js" \
    "$chessjs" "$file" "$chessjs_games"
  row chessjs "$chessjs_games"
fi

rate() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.0f", n / t }'; }
mbps() { awk -v n="$1" -v t="$2" -v g="$3" -v all="$games" \
  'BEGIN { printf "%.1f", n / 1048576 * (g / all) / t }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b / a }'; }

{
  echo "# PGN benchmark"
  echo
  echo "File: \`$(basename "$file")\`, $mb MB, $games games. $(date -u +%Y-%m-%d), $(nproc) cores,"
  echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg). Best of $runs runs;"
  echo "games/s and MB/s from the wall time. Produced by \`bash bench/pgn.sh FILE\`."
  echo
  echo "| Tool | Games | Wall s | CPU s | Games/s | MB/s | Peak memory MB |"
  echo "|---|---|---|---|---|---|---|"
  for k in list import per peuci scid chessjs; do
    [ -n "${W[$k]:-}" ] || continue
    case $k in
      list) name="qrltool pgn list";; import) name="qrltool pgn import --dry-run";;
      per) name="pgn-extract -r";; peuci) name="pgn-extract -Wuci";;
      scid) name="Scid import (tkscid, sc_base import)";;
      chessjs) name="chess.js loadPgn (first $chessjs_games games)";;
    esac
    echo "| $name | ${G[$k]} | ${W[$k]} | ${C[$k]} | $(rate "${G[$k]}" "${W[$k]}") |" \
         "$(mbps "$bytes" "${W[$k]}" "${G[$k]}") | $((${R[$k]} / 1024)) |"
  done
  echo
  echo "Ratios (wall time; CPU time in brackets):"
  echo
  echo "- listing vs \`pgn-extract -r\`: $(ratio "${W[list]}" "${W[per]}")×" \
       "($(ratio "${C[list]}" "${C[per]}")×); target ≥ 10×"
  echo "- conversion vs \`pgn-extract -Wuci\`: $(ratio "${W[import]}" "${W[peuci]}")×" \
       "($(ratio "${C[import]}" "${C[peuci]}")×); target ≥ 2×"
  if [ -n "${W[scid]:-}" ]; then
    echo "- conversion vs Scid import: $(ratio "${W[import]}" "${W[scid]}")×" \
         "($(ratio "${C[import]}" "${C[scid]}")×)"
  fi
  if [ -n "${W[chessjs]:-}" ]; then
    echo "- conversion vs chess.js, games/s: $(awk -v a="$(rate "$games" "${W[import]}")" \
      -v b="$(rate "${G[chessjs]}" "${W[chessjs]}")" 'BEGIN { printf "%.0f", a / b }')×"
  fi
  echo
  cat <<'NOTES'
Notes: the machine is shared with other builds; when the load average is above the
number of cores, wall times mostly measure the neighbours and the CPU-time ratios are
the fairer comparison. Scid has no command-line importer of its own in Debian's
package; its Tcl interpreter `tkscid` runs `sc_base create` and `sc_base import`
(bench/pgn_scid.tcl) without opening a window. chess.js is timed on the first
CHESSJS_GAMES games only (the whole file would take over an hour); its games/s are
comparable, its MB/s are scaled to the share of games it read.
NOTES
} >"$out"
sed -i "s/CHESSJS_GAMES games only/$chessjs_games games only/" "$out"
cat "$out"
