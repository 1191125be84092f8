#!/usr/bin/env bash
# Runs a copy of scripts/setup.sh in a temporary folder with stand-ins for
# apt-get, dpkg-query, sudo and id first on the PATH (plus tee, chmod and rm,
# which would otherwise touch /usr/sbin/policy-rc.d). The stand-ins write what
# they were asked to do into a log; the checks read the log.
# Usage: setup_script_test.sh SCRIPTS_FOLDER
set -uo pipefail
scripts=${1:?usage: setup_script_test.sh SCRIPTS_FOLDER}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The script under test, with a set-up folder of its own: one package list
# and one step that only reports that it ran.
mkdir -p "$work/scripts/setup.d" "$work/bin"
cp "$scripts/setup.sh" "$scripts/as_root.sh" "$work/scripts/" || fail "copy of the scripts"
printf 'extra-tool  # a module extra\n\n' > "$work/scripts/setup.d/extra.pkgs"
printf 'echo "step ran uid=$(id -u)" >> "$STUB_LOG"\n' > "$work/scripts/setup.d/step.sh"

stub() { printf '#!/usr/bin/env bash\n%s\n' "$2" > "$work/bin/$1"; chmod +x "$work/bin/$1"; }
stub id 'if [ "${1:-}" = -u ]; then echo "$STUB_UID"; else echo "uid=$STUB_UID"; fi'
stub sudo 'echo "sudo $*" >> "$STUB_LOG"
[ "${1:-}" = -E ] && shift
STUB_UID=0 exec "$@"'
stub apt-get 'echo "apt-get uid=$(id -u) $*" >> "$STUB_LOG"'
stub dpkg-query 'for p in $STUB_MISSING; do [ "$p" = "${!#}" ] && exit 1; done
printf "install ok installed"'
stub tee 'cat > /dev/null; echo "tee uid=$(id -u) $*" >> "$STUB_LOG"'
stub chmod 'echo "chmod uid=$(id -u) $*" >> "$STUB_LOG"'
stub rm 'echo "rm uid=$(id -u) $*" >> "$STUB_LOG"'

# run UID "MISSING PACKAGES": runs the script, leaves its log in $log.
run() {
  log="$work/log.$1.${2// /_}"
  : > "$log"
  STUB_LOG=$log STUB_UID=$1 STUB_MISSING=$2 PATH="$work/bin:$PATH" \
    bash "$work/scripts/setup.sh" > "$work/out" 2>&1 || fail "uid $1, missing '$2': exit status $? ($(tail -1 "$work/out"))"
}
has() { grep -qxF -- "$1" "$log" || fail "uid $STUB_CASE: no line '$1' in: $(tr '\n' '|' < "$log")"; }
hasnt() { ! grep -q -- "$1" "$log" || fail "uid $STUB_CASE: unexpected '$1' in: $(tr '\n' '|' < "$log")"; }
install='install -y -qq --no-install-recommends libgtest-dev extra-tool'

# As root: apt-get directly, exactly the missing packages, no sudo.
STUB_CASE=0; run 0 "libgtest-dev extra-tool"
has "apt-get uid=0 update -qq"
has "apt-get uid=0 $install"
hasnt "^sudo"
has "step ran uid=0"

# As a user: every root command through sudo -E.
STUB_CASE=1000; run 1000 "libgtest-dev extra-tool"
has "sudo -E apt-get update -qq"
has "sudo -E apt-get $install"
has "apt-get uid=0 $install"
hasnt "apt-get uid=1000"
has "step ran uid=1000"

# Nothing missing: apt-get is never called, for root or a user.
for uid in 0 1000; do
  STUB_CASE=$uid; run "$uid" ""
  hasnt "apt-get"
  hasnt "^sudo"
  has "step ran uid=$uid"
done

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "set-up script: all checks passed"
