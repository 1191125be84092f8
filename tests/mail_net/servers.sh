#!/usr/bin/env bash
# Starts or stops the private test mail servers on 127.0.0.1:
#   Dovecot: POP3 (plain and STLS) and POP3S, LMTP for local delivery;
#   Exim:    SMTP (plain and STARTTLS, AUTH PLAIN/LOGIN) and SMTP over TLS,
#            delivering every message for quorel.test to Dovecot over LMTP.
# Everything lives in DIR (configs, certificate, spool, maildirs, logs); the
# chosen ports and credentials are written to DIR/servers.env for the tests.
#
#   servers.sh start DIR      servers.sh stop DIR
set -euo pipefail
cmd=${1:?start or stop}
dir=${2:?folder}

source "$(dirname "${BASH_SOURCE[0]}")/../common/mail_servers_lib.sh"

if [ "$cmd" = stop ]; then
  stop_servers
  exit 0
fi

command -v dovecot >/dev/null || { echo "dovecot is not installed (scripts/setup.sh)"; exit 1; }
command -v exim >/dev/null || { echo "exim is not installed (scripts/setup.sh)"; exit 1; }

fresh_servers_dir

# Free high ports on the loopback interface.
pick_free_ports 20000 6
POP3_PORT=${ports[0]}
POP3S_PORT=${ports[1]}
LMTP_PORT=${ports[2]}
SMTP_PORT=${ports[3]}
SMTPS_PORT=${ports[4]}
SPARE_PORT=${ports[5]}

make_localhost_cert
# A second certificate that nobody trusts and that names another host.
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=other.invalid" \
  -addext "subjectAltName=DNS:other.invalid" \
  -keyout "$dir/other-key.pem" -out "$dir/other-cert.pem" >/dev/null 2>&1
# Test keys only: the Exim user must read them.
chmod 644 "$dir/other-cert.pem" "$dir/other-key.pem"

choose_mail_ids
mkdir -p "$dir/maildirs/player" "$dir/dovecot-run" "$dir/dovecot-state" "$dir/exim-spool" "$dir/exim-log"
chown -R "$MAIL_UID:$MAIL_GID" "$dir/maildirs"
echo "player:{PLAIN}secret:$MAIL_UID:$MAIL_GID::$dir/maildirs/player" > "$dir/users"
chmod 644 "$dir/users"

cat > "$dir/dovecot.conf" <<EOF
base_dir = $dir/dovecot-run
state_dir = $dir/dovecot-state
log_path = $dir/dovecot.log
protocols = pop3 lmtp
listen = 127.0.0.1
ssl = yes
ssl_cert = <$dir/cert.pem
ssl_key = <$dir/key.pem
disable_plaintext_auth = no
auth_mechanisms = plain
auth_failure_delay = 0
first_valid_uid = 1
mail_location = maildir:$dir/maildirs/%n
pop3_uidl_format = %08Xu%08Xv
lmtp_save_to_detail_mailbox = no
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%n $dir/users
}
userdb {
  driver = passwd-file
  args = username_format=%n $dir/users
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $POP3_PORT
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = $POP3S_PORT
    ssl = yes
  }
}
service imap-login {
  inet_listener imap {
    port = 0
  }
  inet_listener imaps {
    port = 0
  }
}
$(dovecot_lmtp_services)
EOF

cat > "$dir/exim.conf" <<EOF
primary_hostname = quorel.test
spool_directory = $dir/exim-spool
log_file_path = $dir/exim-log/%slog
keep_environment =
pid_file_path = $dir/exim.pid
local_interfaces = 127.0.0.1
daemon_smtp_ports = $SMTP_PORT : $SMTPS_PORT
tls_on_connect_ports = $SMTPS_PORT
tls_advertise_hosts = *
tls_certificate = $dir/cert.pem
tls_privatekey = $dir/key.pem
auth_advertise_hosts = *
host_lookup =
rfc1413_hosts =
message_size_limit = 64M
smtp_accept_max = 200
smtp_accept_queue_per_connection = 0
acl_smtp_rcpt = acl_check_rcpt
exim_user = Debian-exim
exim_group = Debian-exim
log_selector = +smtp_connection

begin acl
acl_check_rcpt:
  deny    local_parts = refused
          message = 5.1.1 mailbox unavailable
  accept

$(exim_lmtp_delivery)

begin authenticators
plain_auth:
  driver = plaintext
  public_name = PLAIN
  server_prompts = :
  server_condition = \${if and{{eq{\$auth2}{player}}{eq{\$auth3}{secret}}}}
  server_set_id = \$auth2
login_auth:
  driver = plaintext
  public_name = LOGIN
  server_prompts = Username:: : Password::
  server_condition = \${if and{{eq{\$auth1}{player}}{eq{\$auth2}{secret}}}}
  server_set_id = \$auth1
EOF
settle_exim_files

cat > "$dir/servers.env" <<EOF
POP3_PORT=$POP3_PORT
POP3S_PORT=$POP3S_PORT
LMTP_PORT=$LMTP_PORT
SMTP_PORT=$SMTP_PORT
SMTPS_PORT=$SMTPS_PORT
SPARE_PORT=$SPARE_PORT
MAIL_USER=player
MAIL_PASSWORD=secret
MAIL_DOMAIN=quorel.test
CERT=$dir/cert.pem
OTHER_CERT=$dir/other-cert.pem
OTHER_KEY=$dir/other-key.pem
MAILDIR=$dir/maildirs/player
EOF

start_daemons
wait_for_ports $POP3_PORT $POP3S_PORT $LMTP_PORT $SMTP_PORT $SMTPS_PORT
echo "mail servers up: pop3 $POP3_PORT pop3s $POP3S_PORT smtp $SMTP_PORT smtps $SMTPS_PORT"
