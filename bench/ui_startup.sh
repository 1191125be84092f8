#!/usr/bin/env bash
# Start-up time of the desktop program: an empty program folder (first run:
# folders, settings, address book and mailbox index created), then a folder
# whose lastgame.lst reopens two games. Each run starts the real program on
# the offscreen platform; the program reports the time from the start of
# main() until the frame is shown and the last games are open, and the
# script measures the whole process (exec to exit) as well.
# Usage: bench/ui_startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
runs=${2:-7}
quorel=$build/bin/quorel
[ -x "$quorel" ] || { echo "no $quorel" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen QUOREL_STARTUP_BENCH=1
export XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

run_case() { # name setup-function
  local name=$1 setup=$2 inner=() outer=()
  for _ in $(seq "$runs"); do
    local home; home=$(mktemp -d)
    $setup "$home"
    local t0 t1 out
    t0=$(date +%s%N)
    out=$(cd /tmp && QUOREL_HOME=$home "$quorel" 2>/dev/null)
    t1=$(date +%s%N)
    inner+=("$(sed -n 's/.*startup_ms=\([0-9]*\).*/\1/p' <<<"$out")")
    outer+=("$(( (t1 - t0) / 1000000 ))")
    games=$(sed -n 's/.*games=\([0-9]*\).*/\1/p' <<<"$out")
    rm -rf "$home"
  done
  printf '%s | %s ms | %s ms | %s\n' "$name" \
    "$(printf '%s\n' "${inner[@]}" | median)" "$(printf '%s\n' "${outer[@]}" | median)" "$games"
}

empty() { :; }
two_games() {
  mkdir -p "$1/games"
  cp "$here/docs/samples/sample.qrl" "$1/games/FIRST.QRL"
  cp "$here/docs/samples/sample.qrl" "$1/games/SECOND.QRL"
  printf 'FIRST.QRL\r\nSECOND.QRL\r\n' > "$1/lastgame.lst"
}

echo "case | frame shown (median) | whole process (median) | games reopened"
run_case "empty program folder" empty
run_case "two games to reopen" two_games
