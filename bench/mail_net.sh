#!/usr/bin/env bash
# Mail transfer benchmark: qrltool (the connection logic over our SMTP/POP3
# clients) against curl on the same private Exim and Dovecot servers, in one
# run, over plain TCP and over TLS (STARTTLS / POP3S):
#   send 200 messages of 10 KB, send one of 5 MB,
#   retrieve 200 messages, retrieve one of 5 MB.
# Wall and CPU (user + system) time of the client process only; results go to
# bench/RESULTS-mail_net.md.
#
#   bash bench/mail_net.sh            (builds an optimised qrltool when
#                                      QRLTOOL does not name one)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/.." && pwd)
work=${BENCH_DIR:-$src/build/bench-mail_net}
mkdir -p "$work"
work=$(cd "$work" && pwd)

if [ -z "${QRLTOOL:-}" ]; then
  cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUOREL_GUI=OFF \
    -DQUOREL_TESTS=OFF >/dev/null
  cmake --build "$work/build" --target qrltool -j2 >/dev/null
  QRLTOOL=$work/build/bin/qrltool
fi

servers=$work/servers
bash "$src/tests/mail_net/servers.sh" start "$servers" >/dev/null
trap 'bash "$src/tests/mail_net/servers.sh" stop "$servers" >/dev/null' EXIT
# shellcheck disable=SC1091
source "$servers/servers.env"
maildir=$servers/maildirs/player

export QUOREL_HOME=$work/home
TIMEFORMAT="%R %U %S"

# time_of CMD...: runs CMD (output discarded), prints "wall cpu".
time_of() {
  local t
  t=$( { time "$@" >/dev/null 2>"$work/last.err"; } 2>&1 ) || {
    echo "command failed: $*" >&2
    cat "$work/last.err" >&2
    exit 1
  }
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$t"
}

# best3 CMD...: the run with the least wall time of three (for repeatable cases).
best3() {
  local a b c
  a=$(time_of "$@"); b=$(time_of "$@"); c=$(time_of "$@")
  printf '%s\n%s\n%s\n' "$a" "$b" "$c" | sort -n | head -1
}

setup_home() { # security: NONE or STARTTLS / TLS
  rm -rf "$QUOREL_HOME"
  mkdir -p "$QUOREL_HOME"
  local smtp_sec=$1 pop_sec=$2 pop_port=$POP3_PORT
  [ "$pop_sec" = TLS ] && pop_port=$POP3S_PORT
  printf '[Setup]\r\nSMTP Server=127.0.0.1:%s\r\nPOP3 Server=127.0.0.1:%s\r\nPOP3 User Name=%s\r\nEmail Address=bench@quorel.test\r\nUser Name=Bench Player\r\nSMTP Security=%s\r\nPOP3 Security=%s\r\nTrusted Certificate=%s\r\n' \
    "$SMTP_PORT" "$pop_port" "$MAIL_USER" "$smtp_sec" "$pop_sec" "$CERT" >"$QUOREL_HOME/quorel.ini"
  echo "$MAIL_PASSWORD" | "$QRLTOOL" password pop3
}

empty_server() {
  find "$maildir" -type f -path '*/new/*' -delete 2>/dev/null || true
  find "$maildir" -type f -path '*/cur/*' -delete 2>/dev/null || true
  rm -f "$maildir"/dovecot-uidlist "$maildir"/dovecot.index* 2>/dev/null || true
}

server_count() {
  find "$maildir" -type f \( -path '*/new/*' -o -path '*/cur/*' \) 2>/dev/null | wc -l
}

wait_for() { # n
  for _ in $(seq 1 300); do
    [ "$(server_count)" -ge "$1" ] && return 0
    sleep 0.1
  done
  echo "only $(server_count) of $1 messages arrived" >&2
  exit 1
}

# Bodies: 10 KB of text lines, and a 5 MB attachment.
mkdir -p "$work/data"
body10k=$work/data/body10k.txt
: >"$body10k"
for i in $(seq 1 160); do printf 'Line %03d of the move message: 23. Rd1 Qe7 24. Nf5 Bxf5 25. exf5\n' "$i" >>"$body10k"; done
big=$work/data/big.bin
head -c 5242880 /dev/urandom >"$big"
printf 'See the attachment.\n' >"$work/data/short.txt"

rows=()
add_row() { rows+=("$1|$2|$3|$4|$5"); } # case|ours|curl  (each "wall cpu")

run_mode() { # label smtp_sec pop_sec curl_smtp_url curl_pop_url curl_smtp_flags curl_pop_flags
  local label=$1 smtp_sec=$2 pop_sec=$3 smtp_url=$4 pop_url=$5
  local -a smtp_flags pop_flags
  read -r -a smtp_flags <<<"$6"
  read -r -a pop_flags <<<"$7"

  # -- send 200 x 10 KB --
  setup_home "$smtp_sec" "$pop_sec"
  empty_server
  for i in $(seq 1 200); do
    "$QRLTOOL" mail queue --to "$MAIL_USER@$MAIL_DOMAIN" --name Opponent --subject "Game $i" \
      --body-file "$body10k" --no-save-copy >/dev/null
  done
  # curl sends the very files that were queued, over one connection.
  local cfg=$work/curl-send.cfg
  : >"$cfg"
  rm -rf "$work/data/sendset"
  mkdir -p "$work/data/sendset"
  cp "$QUOREL_HOME"/mailbox/*.032 "$work/data/sendset/"
  for f in "$work"/data/sendset/*.032; do
    printf 'url = "%s"\nupload-file = "%s"\n' "$smtp_url" "$f" >>"$cfg"
  done
  local ours theirs
  ours=$(time_of "$QRLTOOL" mail send)
  wait_for 200
  empty_server
  theirs=$(time_of curl -sS "${smtp_flags[@]}" --mail-from bench@quorel.test \
    --mail-rcpt "$MAIL_USER@$MAIL_DOMAIN" -K "$cfg")
  wait_for 200
  add_row "$label" "send 200 × 10 KB" "$ours" "$theirs" ""

  # -- retrieve 200 --
  local fetch_cfg=$work/curl-fetch.cfg
  : >"$fetch_cfg"
  for i in $(seq 1 200); do
    printf 'url = "%s/%d"\noutput = "%s/got/%d.eml"\n' "$pop_url" "$i" "$work" "$i" >>"$fetch_cfg"
  done
  rm -rf "$work/got"
  mkdir -p "$work/got"
  theirs=$(best3 curl -sS "${pop_flags[@]}" --user "$MAIL_USER:$MAIL_PASSWORD" -K "$fetch_cfg")
  ours=$(best3 "$QRLTOOL" mail fetch --save-games no)
  add_row "$label" "retrieve 200 × 10 KB" "$ours" "$theirs" ""
  if command -v eatmydata >/dev/null; then
    ours=$(best3 eatmydata "$QRLTOOL" mail fetch --save-games no)
    add_row "$label" "retrieve 200 × 10 KB, disk flushes off" "$ours" "$theirs" ""
  fi
  # Retrieve and delete: every filed message is on disk before its DELE, so
  # this pays one flush per message; curl's row is its plain retrieval.
  ours=$(time_of "$QRLTOOL" mail fetch --delete --save-games no)
  if [ "$(server_count)" -ne 0 ]; then
    echo "fetch --delete left $(server_count) messages on the server" >&2
    exit 1
  fi
  add_row "$label" "retrieve and delete 200 × 10 KB (one run)" "$ours" "$theirs" ""

  # -- send one of 5 MB --
  setup_home "$smtp_sec" "$pop_sec"
  empty_server
  "$QRLTOOL" mail queue --to "$MAIL_USER@$MAIL_DOMAIN" --subject "Big" \
    --body-file "$work/data/short.txt" --attach "$big" --no-save-copy >/dev/null
  local bigfile
  bigfile=$(ls "$QUOREL_HOME"/mailbox/*.032)
  cp "$bigfile" "$work/data/big.eml"
  ours=$(time_of "$QRLTOOL" mail send)
  wait_for 1
  empty_server
  theirs=$(time_of curl -sS "${smtp_flags[@]}" --mail-from bench@quorel.test \
    --mail-rcpt "$MAIL_USER@$MAIL_DOMAIN" --url "$smtp_url" -T "$work/data/big.eml")
  wait_for 1
  add_row "$label" "send 1 × 5 MB" "$ours" "$theirs" ""

  # -- retrieve one of 5 MB --
  theirs=$(best3 curl -sS "${pop_flags[@]}" --user "$MAIL_USER:$MAIL_PASSWORD" "$pop_url/1" -o "$work/got/big.eml")
  ours=$(best3 "$QRLTOOL" mail fetch --save-games no)
  add_row "$label" "retrieve 1 × 5 MB" "$ours" "$theirs" ""
  if command -v eatmydata >/dev/null; then
    ours=$(best3 eatmydata "$QRLTOOL" mail fetch --save-games no)
    add_row "$label" "retrieve 1 × 5 MB, disk flushes off" "$ours" "$theirs" ""
  fi
}

run_mode "plain" NONE NONE "smtp://127.0.0.1:$SMTP_PORT" "pop3://127.0.0.1:$POP3_PORT" "" ""
run_mode "TLS" STARTTLS TLS "smtp://127.0.0.1:$SMTP_PORT" "pop3s://127.0.0.1:$POP3S_PORT" \
  "--ssl-reqd --cacert $CERT" "--cacert $CERT"

out=$here/RESULTS-mail_net.md
{
  echo "# Mail transfer: qrltool against curl"
  echo
  echo "Run: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(curl --version | head -1 | cut -d' ' -f1-2)."
  echo "Servers: private Exim (SMTP, STARTTLS) and Dovecot (POP3, POP3S) on 127.0.0.1,"
  echo "started by \`tests/mail_net/servers.sh\`. Times are seconds of the client process"
  echo "only (wall; CPU = user + system); retrievals are the best of three runs, sends one run."
  echo "curl uses one connection per case; qrltool's fetch is the dialog's Quick transfer"
  echo "retrieval: one POP3 session holding the listing (LIST and TOP per message), the"
  echo "transfer (LIST and RETR per message, DELE after the message is on disk) and the"
  echo "listing after it; Dovecot announces PIPELINING, so the commands go out in groups of"
  echo "32 messages and their replies are read in order."
  echo "\"send\" in qrltool includes loading each queued file and encoding it again;"
  echo "\"retrieve\" in qrltool includes listing (LIST/TOP per message), decoding and filing"
  echo "every message in New Mail; curl only writes the raw messages."
  echo "Ratio = qrltool ÷ curl (below 1: qrltool is faster). \"disk flushes off\" runs the"
  echo "same qrltool command under eatmydata (fsync and syncfs made no-ops), to separate the"
  echo "cost of flushing the filed messages to disk from the network and coding work."
  echo
  echo "| transport | case | qrltool wall | curl wall | wall ratio | qrltool CPU | curl CPU | CPU ratio |"
  echo "|---|---|---|---|---|---|---|---|"
  for r in "${rows[@]}"; do
    IFS='|' read -r mode name ours theirs _ <<<"$r"
    read -r ow oc <<<"$ours"
    read -r tw tc <<<"$theirs"
    awk -v m="$mode" -v n="$name" -v ow="$ow" -v oc="$oc" -v tw="$tw" -v tc="$tc" 'BEGIN {
      wr = (tw > 0) ? sprintf("%.2f", ow / tw) : "-"
      cr = (tc > 0) ? sprintf("%.2f", oc / tc) : "-"
      printf "| %s | %s | %.3f | %.3f | %s | %.3f | %.3f | %s |\n", m, n, ow, tw, wr, oc, tc, cr }'
  done
  echo
  echo "## Reading the figures"
  echo
  echo "- Sending is bound by the server for both clients: Exim writes each message to its"
  echo "  spool and delivers it to Dovecot over LMTP before it answers the final \".\", so"
  echo "  200 messages take the same wall time. qrltool's extra CPU is loading each queued"
  echo "  mail file and encoding it again (the 5 MB case decodes and re-encodes 7 MB of"
  echo "  base64) and the index updates."
  echo "- Retrieval in qrltool keeps the connection dialog's dialogue for what the player"
  echo "  sees (the listing, a line per retrieved and deleted message, the listing after it)"
  echo "  but runs it in one session with pipelined commands. Each message is decoded, its"
  echo "  attachments saved, the message re-encoded and filed. The filed messages and their"
  echo "  index records are flushed to disk together (one syncfs) per group of 32 before"
  echo "  that group's DELE commands go out, and at the end; curl flushes nothing: compare"
  echo "  the \"disk flushes off\" rows."
  echo "- TLS adds one handshake per session (one per fetch for both clients); the system"
  echo "  CA store is read once per run."
} >"$out"
cat "$out"
