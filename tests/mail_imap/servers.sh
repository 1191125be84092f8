#!/usr/bin/env bash
# Starts or stops the private IMAP test servers on 127.0.0.1:
#   Dovecot: IMAP with STARTTLS and IMAP over TLS, POP3 with STLS (UIDL),
#            password sign-in (any user, password "secret") and OAuth 2.0
#            (XOAUTH2, OAUTHBEARER) checked by an oauth2 passdb against
#   a token introspection endpoint: a few lines of python3 http.server that
#            accept the token "tok-USER" for USER and refuse every other;
#   Exim:    SMTP with STARTTLS accepting AUTH XOAUTH2 and OAUTHBEARER with
#            the same tokens, delivering to Dovecot over LMTP.
# Every user has a maildir of its own, made on first use, so each test
# works on a fresh mailbox. Everything lives in DIR; ports and paths are
# written to DIR/servers.env.
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
[ -x /usr/lib/dovecot/imap ] || { echo "dovecot-imapd is not installed (scripts/setup.sh)"; exit 1; }
command -v exim >/dev/null || { echo "exim is not installed (scripts/setup.sh)"; exit 1; }
command -v python3 >/dev/null || { echo "python3 is not installed"; exit 1; }

fresh_servers_dir

pick_free_ports 30000 7
IMAP_PORT=${ports[0]}
IMAPS_PORT=${ports[1]}
POP3_PORT=${ports[2]}
INTROSPECT_PORT=${ports[3]}
SPARE_PORT=${ports[4]}
SMTP_PORT=${ports[5]}
LMTP_PORT=${ports[6]}

make_localhost_cert
choose_mail_ids
mkdir -p "$dir/maildirs" "$dir/dovecot-run" "$dir/dovecot-state" "$dir/exim-spool" "$dir/exim-log"
chown "$MAIL_UID:$MAIL_GID" "$dir/maildirs"

cat > "$dir/introspect.py" <<'EOF'
# Token introspection for the test accounts: "tok-USER" and "tok-USER.ANY"
# are active tokens of USER; anything else is not active.
import json, sys, urllib.parse
from http.server import BaseHTTPRequestHandler, HTTPServer

class Handler(BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0"))).decode()
        token = urllib.parse.parse_qs(body).get("token", [""])[0]
        if token.startswith("tok-"):
            reply = {"active": "true", "username": token[4:].split(".")[0]}
        else:
            reply = {"active": "false"}
        data = json.dumps(reply).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass

HTTPServer(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
EOF
python3 "$dir/introspect.py" "$INTROSPECT_PORT" </dev/null >>"$dir/introspect.out" 2>&1 &
echo $! > "$dir/introspect.pid"

cat > "$dir/dovecot-oauth2.conf.ext" <<EOF
introspection_mode = post
introspection_url = http://127.0.0.1:$INTROSPECT_PORT/introspect
force_introspection = yes
username_attribute = username
active_attribute = active
active_value = true
EOF

cat > "$dir/dovecot.conf" <<EOF
base_dir = $dir/dovecot-run
state_dir = $dir/dovecot-state
log_path = $dir/dovecot.log
protocols = imap pop3 lmtp
lmtp_save_to_detail_mailbox = no
listen = 127.0.0.1
ssl = yes
ssl_cert = <$dir/cert.pem
ssl_key = <$dir/key.pem
disable_plaintext_auth = no
auth_mechanisms = plain login xoauth2 oauthbearer
auth_failure_delay = 0
first_valid_uid = 1
mail_location = maildir:$dir/maildirs/%n
pop3_uidl_format = %08Xu%08Xv
passdb {
  driver = static
  args = password=secret
  mechanisms = plain login
}
passdb {
  driver = oauth2
  mechanisms = xoauth2 oauthbearer
  args = $dir/dovecot-oauth2.conf.ext
}
userdb {
  driver = static
  args = uid=$MAIL_UID gid=$MAIL_GID home=$dir/maildirs/%n allow_all_users=yes
}
service imap-login {
  inet_listener imap {
    address = 127.0.0.1
    port = $IMAP_PORT
  }
  inet_listener imaps {
    address = 127.0.0.1
    port = $IMAPS_PORT
    ssl = yes
  }
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $POP3_PORT
  }
  inet_listener pop3s {
    port = 0
  }
}
$(dovecot_lmtp_services)
EOF

# XOAUTH2 and OAUTHBEARER through Exim's plaintext driver: the decoded
# initial response is $auth1; the token must be "tok-" + the user it names.
cat > "$dir/exim.conf" <<EOF
primary_hostname = quorel.test
spool_directory = $dir/exim-spool
log_file_path = $dir/exim-log/%slog
keep_environment =
pid_file_path = $dir/exim.pid
local_interfaces = 127.0.0.1
daemon_smtp_ports = $SMTP_PORT
tls_advertise_hosts = *
tls_certificate = $dir/cert.pem
tls_privatekey = $dir/key.pem
auth_advertise_hosts = *
host_lookup =
rfc1413_hosts =
acl_smtp_rcpt = acl_check_rcpt
exim_user = Debian-exim
exim_group = Debian-exim

begin acl
acl_check_rcpt:
  require authenticated = *
  accept

$(exim_lmtp_delivery)

begin authenticators
xoauth2:
  driver = plaintext
  public_name = XOAUTH2
  server_prompts = :
  server_condition = \${if match{\$auth1}{\N^user=([^\x01]+)\x01auth=Bearer tok-\1\x01\x01\$\N}}
  server_set_id = \$auth1
oauthbearer:
  driver = plaintext
  public_name = OAUTHBEARER
  server_prompts = :
  server_condition = \${if match{\$auth1}{\N^n,a=([^,]+),\x01.*auth=Bearer tok-\1\x01\x01\$\N}}
  server_set_id = \$auth1
EOF
settle_exim_files

cat > "$dir/servers.env" <<EOF
IMAP_PORT=$IMAP_PORT
IMAPS_PORT=$IMAPS_PORT
POP3_PORT=$POP3_PORT
INTROSPECT_PORT=$INTROSPECT_PORT
SPARE_PORT=$SPARE_PORT
SMTP_PORT=$SMTP_PORT
MAIL_PASSWORD=secret
CERT=$dir/cert.pem
DOVECOT_CONF=$dir/dovecot.conf
MAILDIRS=$dir/maildirs
EOF

start_daemons
wait_for_ports $IMAP_PORT $IMAPS_PORT $POP3_PORT $INTROSPECT_PORT $SMTP_PORT $LMTP_PORT
echo "imap servers up: imap $IMAP_PORT imaps $IMAPS_PORT pop3 $POP3_PORT smtp $SMTP_PORT introspection $INTROSPECT_PORT"
