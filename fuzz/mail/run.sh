#!/usr/bin/env bash
# Builds the mail fuzz targets with clang + libFuzzer (ASan, UBSan) outside
# the CMake build and runs each for a while.
#   fuzz/mail/run.sh [SECONDS-PER-TARGET]   (default 180)
# Needs: apt-get install clang libclang-rt-14-dev
# Findings (crash-*, timeout-*, oom-*) are copied to tests/mail_model/regress/,
# which the ordinary test suite replays.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
secs=${1:-180}
out=${FUZZ_OUT:-$root/build/fuzz-mail}
mkdir -p "$out"
CXX=${CXX_FUZZ:-clang++}
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$root")
srcs=("$root"/mail/message.cpp "$root"/mail/mime_encode.cpp "$root"/mail/mime_decode.cpp
      "$root"/mail/coding.cpp "$root"/mail/charset.cpp "$root"/mail/mimetypes.cpp
      "$root"/platform/codepage.cpp "$root"/platform/files.cpp "$root"/platform/binary.cpp)
for t in decoder headers; do
  "$CXX" "${flags[@]}" "$here/fuzz_$t.cpp" "${srcs[@]}" -o "$out/fuzz_$t"
done

# Seed corpora: the test messages and hostile inputs we keep.
seeds="$out/seeds"
mkdir -p "$seeds"
cp "$root"/tests/mail_model/regress/* "$seeds"/ 2>/dev/null || true
py=/opt/quorel-test/pytestsuite/usr/lib/python3.11/test/test_email/data
[ -d "$py" ] && cp "$py"/msg_*.txt "$seeds"/ || true

status=0
for t in decoder headers; do
  corpus="$out/corpus_$t"
  mkdir -p "$corpus" "$out/findings_$t"
  echo "== fuzz_$t for ${secs}s"
  (cd "$out/findings_$t" &&
   "$out/fuzz_$t" -max_total_time="$secs" -max_len="${FUZZ_MAX_LEN:-16384}" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 "$corpus" "$seeds") || status=1
  for f in "$out/findings_$t"/crash-* "$out/findings_$t"/timeout-* "$out/findings_$t"/oom-*; do
    [ -e "$f" ] || continue
    cp "$f" "$root/tests/mail_model/regress/${t}-$(basename "$f")"
    echo "finding kept: tests/mail_model/regress/${t}-$(basename "$f")"
    status=1
  done
done
exit $status
