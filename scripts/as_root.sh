# Sourced by the set-up scripts: as_root runs a command as root, directly
# when we already are root, else through sudo keeping the environment (so
# DEBIAN_FRONTEND reaches apt-get). Root has no sudo on a fresh machine, and
# an empty sudo variable would leave "-E" as the command name.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo -E "$@"; fi
}
