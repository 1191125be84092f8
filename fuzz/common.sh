# Shared by the fuzz scripts (sourced, not run): building a libFuzzer target
# with ASan and UBSan, and running one while keeping what it finds.
# The sourcing script sets: root (the source tree) and out (its build folder).

CXX=${CXX_FUZZ:-clang++}
fuzz_flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
            -I"$root")

# fuzz_build NAME TARGET.cpp SOURCE...: builds "$out/fuzz_NAME".
fuzz_build() {
  local name=$1
  shift
  "$CXX" "${fuzz_flags[@]}" "$@" -o "$out/fuzz_$name"
}

# fuzz_run NAME KEEP SECONDS LIBFUZZER-OPTION...: runs "$out/fuzz_NAME" on its
# corpus and "$out/seeds_NAME" for SECONDS; findings (crash-*, timeout-*,
# oom-*) are copied to KEEP (a folder of the source tree, replayed by the test
# suite) as NAME-<finding>. Returns 1 when the run failed or found anything.
fuzz_run() {
  local name=$1 keep=$2 secs=$3
  shift 3
  local corpus="$out/corpus_$name" findings="$out/findings_$name" status=0
  mkdir -p "$corpus" "$findings" "$out/seeds_$name"
  echo "== fuzz_$name for ${secs}s"
  (cd "$findings" && TMPDIR="$out" \
   "$out/fuzz_$name" -max_total_time="$secs" "$@" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 "$corpus" "$out/seeds_$name") || status=1
  local f
  for f in "$findings"/crash-* "$findings"/timeout-* "$findings"/oom-*; do
    [ -e "$f" ] || continue
    mkdir -p "$root/$keep"
    cp "$f" "$root/$keep/$name-$(basename "$f")"
    echo "finding kept: $keep/$name-$(basename "$f")"
    status=1
  done
  return $status
}
