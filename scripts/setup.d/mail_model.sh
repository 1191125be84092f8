#!/usr/bin/env bash
# Real-world mail corpus for the decoder tests: the e-mail test messages that
# Debian's libpython3.11-testsuite ships, unpacked (not installed) into a
# fixed folder. Idempotent: nothing happens when the folder is there.
set -euo pipefail
dest=/opt/quorel-test/pytestsuite
marker="$dest/usr/lib/python3.11/test/test_email/data"
if [ -d "$marker" ]; then exit 0; fi
# shellcheck source=../as_root.sh
. "$(dirname "$0")/../as_root.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
if ! apt-get download libpython3.11-testsuite >/dev/null 2>&1; then
  as_root apt-get update -qq
  apt-get download libpython3.11-testsuite
fi
as_root mkdir -p "$dest"
as_root dpkg -x libpython3.11-testsuite_*.deb "$dest"
test -d "$marker"
