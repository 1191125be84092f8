#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need,
# then runs the module set-up steps in scripts/setup.d/ (test peers and tools).
# Idempotent: a second run installs nothing new.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=as_root.sh
. "$here/as_root.sh"
export DEBIAN_FRONTEND=noninteractive

# Build and run.
pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libssl-dev libgtest-dev
      fonts-dejavu-core)
# Module extras (each scripts/setup.d/*.pkgs lists one package a line).
for f in "$here"/setup.d/*.pkgs; do
  [ -e "$f" ] || continue
  while read -r p; do
    p=${p%%#*}; p=$(echo "$p" | xargs)
    [ -n "$p" ] && pkgs+=("$p")
  done < "$f"
done

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  # Keep packaged daemons (dovecot, exim) from starting system services.
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | as_root tee /usr/sbin/policy-rc.d >/dev/null
    as_root chmod +x /usr/sbin/policy-rc.d
    trap 'as_root rm -f /usr/sbin/policy-rc.d' EXIT
  fi
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

for s in "$here"/setup.d/*.sh; do
  [ -e "$s" ] || continue
  echo "== set-up: $(basename "$s")"
  bash "$s"
done
