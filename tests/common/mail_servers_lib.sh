# Shell functions shared by the scripts that start and stop the private
# Dovecot and Exim test servers on 127.0.0.1 (tests/mail_net/servers.sh and
# tests/mail_imap/servers.sh). Source it after setting `dir` to the servers'
# folder; every function works inside "$dir".

# Stops Dovecot, Exim and the token introspection helper (whichever run) and
# gives the daemons a moment to release their ports.
stop_servers() {
  if [ -f "$dir/dovecot.conf" ]; then
    dovecot -c "$dir/dovecot.conf" stop >/dev/null 2>&1 || true
  fi
  local pidfile
  for pidfile in "$dir/exim.pid" "$dir/introspect.pid"; do
    if [ -f "$pidfile" ]; then
      kill "$(cat "$pidfile")" >/dev/null 2>&1 || true
      rm -f "$pidfile"
    fi
  done
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    [ -e "$dir/dovecot-run/master.pid" ] || break
    sleep 0.2
  done
}

# Stops whatever still runs in "$dir" and makes it an empty folder, with
# `dir` turned into an absolute path.
fresh_servers_dir() {
  stop_servers
  rm -rf "$dir"
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  chmod 755 "$dir"
}

port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# pick_free_ports BASE COUNT: fills the array `ports` with COUNT free
# loopback ports found above a random start between BASE and BASE + 20000.
pick_free_ports() {
  local p=$(($1 + (RANDOM % 2000) * 10))
  ports=()
  while [ ${#ports[@]} -lt "$2" ]; do
    p=$((p + 1))
    if port_free "$p"; then ports+=("$p"); fi
  done
}

# Self-signed certificate for localhost / 127.0.0.1: "$dir/cert.pem" and
# "$dir/key.pem". Test keys only, readable by all: the Exim user must read them.
make_localhost_cert() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=localhost" \
    -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" \
    -keyout "$dir/key.pem" -out "$dir/cert.pem" >/dev/null 2>&1
  chmod 644 "$dir/cert.pem" "$dir/key.pem"
}

# Sets MAIL_UID and MAIL_GID: the mail user's files belong to an
# unprivileged account (mail is never accessed as root).
choose_mail_ids() {
  if [ "$(id -u)" -eq 0 ]; then
    MAIL_UID=65534; MAIL_GID=65534
  else
    MAIL_UID=$(id -u); MAIL_GID=$(id -g)
  fi
}

# Hands Exim's spool and log to its own user when running as root; the
# configuration must be readable by that user.
settle_exim_files() {
  if [ "$(id -u)" -eq 0 ]; then
    chown -R Debian-exim:Debian-exim "$dir/exim-spool" "$dir/exim-log"
  fi
  chmod 644 "$dir/exim.conf"
}

# Starts Dovecot and Exim from their configurations in "$dir". The daemons
# must not hold the caller's output open.
start_daemons() {
  dovecot -c "$dir/dovecot.conf" </dev/null >>"$dir/daemons.out" 2>&1
  exim -C "$dir/exim.conf" -bd -q5m </dev/null >>"$dir/daemons.out" 2>&1
}

# wait_for_ports PORT...: waits until every port answers; if one stays
# closed, prints the servers' logs and exits with 1.
wait_for_ports() {
  local port ok
  for port in "$@"; do
    ok=0
    for _ in $(seq 1 50); do
      if ! port_free "$port"; then ok=1; break; fi
      sleep 0.1
    done
    if [ $ok -ne 1 ]; then
      echo "port $port did not open"
      cat "$dir/dovecot.log" "$dir/introspect.out" "$dir"/exim-log/* 2>/dev/null || true
      exit 1
    fi
  done
}

# The Dovecot services both setups share: LMTP on LMTP_PORT, through which
# Exim delivers, and no sign-in penalty (the tests fail passwords on purpose).
dovecot_lmtp_services() {
  cat <<CONF
service lmtp {
  inet_listener lmtp {
    address = 127.0.0.1
    port = $LMTP_PORT
  }
}
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
CONF
}

# Exim's routers and transports: every message for quorel.test goes to
# Dovecot over LMTP on LMTP_PORT.
exim_lmtp_delivery() {
  cat <<CONF
begin routers
to_dovecot:
  driver = accept
  domains = quorel.test
  transport = dovecot_lmtp

begin transports
dovecot_lmtp:
  driver = smtp
  protocol = lmtp
  hosts = 127.0.0.1
  port = $LMTP_PORT
  hosts_override
  allow_localhost
CONF
}
