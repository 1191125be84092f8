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
# shellcheck source=../common.sh
source "$here/../common.sh"
srcs=("$root"/mail/message.cpp "$root"/mail/mime_encode.cpp "$root"/mail/mime_decode.cpp
      "$root"/mail/coding.cpp "$root"/mail/charset.cpp "$root"/mail/mimetypes.cpp
      "$root"/platform/codepage.cpp "$root"/platform/files.cpp "$root"/platform/binary.cpp
      "$root"/platform/text.cpp)
for t in decoder headers; do
  fuzz_build "$t" "$here/fuzz_$t.cpp" "${srcs[@]}"
done

# Seed corpora (the same for both targets): the test messages and hostile
# inputs we keep, and Python's test messages when unpacked.
py=/opt/quorel-test/pytestsuite/usr/lib/python3.11/test/test_email/data
for t in decoder headers; do
  mkdir -p "$out/seeds_$t"
  cp "$root"/tests/mail_model/regress/* "$out/seeds_$t"/ 2>/dev/null || true
  if [ -d "$py" ]; then cp "$py"/msg_*.txt "$out/seeds_$t"/; fi
done

status=0
for t in decoder headers; do
  fuzz_run "$t" tests/mail_model/regress "$secs" -max_len="${FUZZ_MAX_LEN:-16384}" || status=1
done
exit $status
