#!/usr/bin/env bash
# The mailbox viewer on a large mailbox: builds a mailbox of N messages
# (4 in 5 in New Mail, the rest in Queued, Sent, Trash and three player's
# folders), then times opening the viewer on New Mail (index read, list
# built, window shown), switching folders, sorting by date, and rebuilding
# the index from the files with and without a complete index. Runs the
# real viewer on the offscreen platform; the median of RUNS runs is shown.
# Usage: bench/mailbox.sh [BUILD_DIR] [N] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/ci}
n=${2:-12500}
runs=${3:-5}
prog=$build/bin/ui_mailbox_bench
[ -x "$prog" ] || { echo "no $prog (cmake --build $build --target ui_mailbox_bench)" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
export XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"
work=$(mktemp -d)
trap 'rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
out=$work/runs.txt
for _ in $(seq "$runs"); do
  "$prog" "$work" "$n" >>"$out" 2>/dev/null
done
head -1 "$out"
for key in "open first window of the run" "open viewer on New Mail" "switch folder" "sort by date" \
           "rebuild, index missing" "rebuild, index complete"; do
  grep "^$key" "$out" | awk '{print $(NF-1)}' | sort -n |
    awk -v k="$key" '{a[NR]=$1} END {printf "%-30s %8.1f ms (median of %d)\n", k, a[int((NR+1)/2)], NR}'
done
